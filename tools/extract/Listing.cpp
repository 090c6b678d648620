// The listings of the batch tool (--list, --show, --list-tagged), variable
// numbers of the command line, and the terminal's encoding.
#include "Extract.h"

#include "codebook/CodebookStore.h"
#include "platform/Latin1.h"
#include "platform/Strings.h"

#include <langinfo.h>

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace qavn::extract {

namespace {

bool utf8Terminal = false;

void printRow(const VariableList& list, std::uint32_t row)
{
    const std::string text = terminalText(list.rowText(row));
    std::printf("%u\t%s\n", row, text.c_str());
}

void printField(const char* key, std::string_view value)
{
    std::printf("%s: %s\n", key, terminalText(value).c_str());
}

void printLine(std::string_view line)
{
    const std::string text = terminalText(line);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
}

} // namespace

void useLocaleEncoding()
{
    std::setlocale(LC_CTYPE, "");
    const char* codeset = nl_langinfo(CODESET);
    utf8Terminal = codeset != nullptr && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
    // Everything else keeps the C library's plain behaviour.
    std::setlocale(LC_CTYPE, "C");
}

bool terminalIsUtf8()
{
    return utf8Terminal;
}

std::string terminalText(std::string_view latin1)
{
    return utf8Terminal ? latin1ToUtf8(latin1) : std::string(latin1);
}

std::optional<std::string> typedText(std::string_view typed, std::string& bad)
{
    if (!utf8Terminal)
        return std::string(typed);
    std::string out;
    for (std::size_t i = 0; i < typed.size();) {
        const auto b = static_cast<unsigned char>(typed[i]);
        std::size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
        std::uint32_t code = n == 1 ? b : n == 0 ? 0xFFFFFFFF : (b & (0x7Fu >> n));
        for (std::size_t k = 1; k < n; ++k) {
            const auto c = i + k < typed.size() ? static_cast<unsigned char>(typed[i + k]) : 0;
            if ((c & 0xC0) != 0x80) {
                code = 0xFFFFFFFF;
                n = k;
                break;
            }
            code = (code << 6) | (c & 0x3Fu);
        }
        if (code > 0xFF) {
            bad = std::string(typed.substr(i, std::max<std::size_t>(n, 1)));
            return std::nullopt;
        }
        out += static_cast<char>(code);
        i += std::max<std::size_t>(n, 1);
    }
    return out;
}

void printList(const Context& context)
{
    for (std::uint32_t row = 1; row <= context.list.rowCount(); ++row)
        printRow(context.list, row);
}

void printListTagged(const Context& context)
{
    context.list.forEachTagged([&](std::uint32_t row) {
        printRow(context.list, row);
        return true;
    });
}

bool printShow(Context& context, std::uint32_t variable)
{
    CodebookStore& store = context.session.store;
    if (!store.readRecord(variable))
        return false;
    const VariableRecord record = store.record();
    printField("name", record.variableName());
    std::printf("fileNumber: %u\n", record.fileNumber);
    std::printf("recordNumber: %u\n", record.recordNumber);
    printField("location", record.locationText());
    printField("typeCode", std::string_view(&record.typeCode, 1));
    printField("label", store.readLine(record.labelRef));
    printField("section", store.readLine(record.sectionRef));
    std::printf("descriptionLineCount: %u\n", record.descriptionLineCount);
    std::printf("categoryLineCount: %u\n", record.categoryLineCount);
    std::printf("description:\n");
    store.readLines(record.descriptionRef, record.descriptionLineCount, LineVariant::DisplayText,
                    [](std::string_view line) {
                        printLine(line);
                        return true;
                    });
    std::printf("categories:\n");
    store.readLines(record.categoryRef, record.categoryLineCount, LineVariant::CategoryFields,
                    [](std::string_view line) {
                        const CategoryFields f = splitCategoryLine(line);
                        printLine(std::string(f.code) + "\t" + std::string(f.frequency) + "\t" +
                                  std::string(f.percent) + "\t" + std::string(f.label));
                        return true;
                    });
    return true;
}

std::optional<std::uint64_t> parseVariableNumber(std::string_view text)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range)
        return UINT64_MAX; // outside every project all the same
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

bool checkVariableNumber(const Context& context, std::string_view option, std::string_view number,
                         std::uint64_t value)
{
    const std::uint32_t rows = context.list.rowCount();
    if (value >= 1 && value <= rows)
        return true;
    std::fprintf(stderr, "qavn-extract: %.*s: variable %.*s is outside 1..%u, the project's variables\n",
                 static_cast<int>(option.size()), option.data(), static_cast<int>(number.size()), number.data(),
                 rows);
    return false;
}

bool tagFromList(Context& context, const std::string& text)
{
    // Every item is checked before anything is tagged; the ranges are then
    // merged so that overlapping ones cost what the rows cost.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        const std::size_t comma = std::min(text.find(',', pos), text.size());
        const std::string item(trimmed(std::string_view(text).substr(pos, comma - pos)));
        const std::size_t dash = item.find('-', 1);
        const std::string lowText = item.substr(0, dash);
        const std::string highText = dash == std::string::npos ? lowText : item.substr(dash + 1);
        const auto low = parseVariableNumber(lowText);
        const auto high = parseVariableNumber(highText);
        if (!low || !high || *high < *low) {
            std::fprintf(stderr, "qavn-extract: bad variable list item '%s'\n", item.c_str());
            return false;
        }
        if (!checkVariableNumber(context, "--tag", lowText, *low) ||
            !checkVariableNumber(context, "--tag", highText, *high))
            return false;
        ranges.emplace_back(*low, *high);
        pos = comma + 1;
    }
    std::sort(ranges.begin(), ranges.end());
    std::uint64_t next = 1; // the first row no earlier range has tagged
    for (const auto& [low, high] : ranges) {
        for (std::uint64_t n = std::max(low, next); n <= high; ++n)
            context.list.tagRow(static_cast<std::uint32_t>(n));
        next = std::max(next, high + 1);
    }
    return true;
}

} // namespace qavn::extract
