// The tag file reader over two fuzzed tag files, one alone and both merged
// by AND and by OR.

#include "FuzzSupport.h"

#include "platform/ScriptedUi.h"
#include "search/TagImport.h"
#include "catalogue/VariableList.h"

#include <memory>
#include <string>

using namespace qavn;

namespace {

void fill(VariableList& list, std::uint32_t rows)
{
    list.setRowCount(rows);
    for (std::uint32_t r = 1; r <= rows; ++r)
        list.appendRow("V" + std::to_string(r) + "        label", r);
    list.showList(rows);
}

void checkReport(const ReadResult<TagImportReport>& result)
{
    if (!result)
        return;
    const TagImportReport& report = result.value();
    fuzz::require(report.unreadableLines.size() <= TagImportReport::keptLines, "at most the kept lines");
    fuzz::require(report.unreadableLines.size() <= report.unreadableCount, "the count covers the kept lines");
    for (const ReadError& line : report.unreadableLines)
        fuzz::require(line.line >= 1 && !line.reason.empty(), "an unreadable line has its number and reason");
}

void checkCount(const VariableList& list)
{
    std::uint32_t tagged = 0;
    for (std::uint32_t r = 1; r <= list.rowCount(); ++r)
        tagged += list.isTagged(r) ? 1 : 0;
    fuzz::require(tagged == list.tagCount(), "the tag count matches the tagged rows");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte sets the list size (1 to 256 rows).
    const std::uint32_t rows = data[0] + 1u;
    const auto parts = fuzz::splitInput(data + 1, size - 1, 2);
    const auto dir = fuzz::freshDir("tags");
    const std::string first = (dir / "FIRST.TAG").string();
    const std::string second = (dir / "SECOND.TAG").string();
    fuzz::writeBytes(first, parts[0]);
    fuzz::writeBytes(second, parts[1]);

    for (std::string_view line : {std::string_view(parts[0]), std::string_view(parts[1])})
        (void)tagFileValue(line.substr(0, line.find('\n')));

    ScriptedUi ui;
    {
        VariableList list(VariableList::Mode::Main, &ui);
        fill(list, rows);
        fuzz::require(importTagFile(first, list, ui), "an existing tag file opens");
        checkCount(list);
    }
    for (auto combine : {TagCombine::And, TagCombine::Or}) {
        VariableList list(VariableList::Mode::Main, &ui);
        fill(list, rows);
        importTagFiles(first, second, combine, list, ui);
        checkCount(list);
        VariableList again(VariableList::Mode::Main, &ui);
        fill(again, rows);
        const auto merged = importTagFiles(first, second, combine, again);
        fuzz::require(merged.ok(), "two existing tag files open");
        checkReport(merged);
        fuzz::require(again.tagCount() == list.tagCount(), "the same tags with or without messages");
    }
    {
        VariableList list(VariableList::Mode::Main, &ui);
        checkReport(importTagFile(second, list));
    }
    (void)importTagFile((dir / "MISSING.TAG").string(), *std::make_unique<VariableList>(), ui);
    return 0;
}
