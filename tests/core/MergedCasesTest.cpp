// The cases of several data files matched by their identifier: the order of
// identifiers, files in and out of that order (sorted through runs on disk),
// cases one file lacks, and the identifiers that are refused.

#include "TestProject.h"

#include "export/MergedCases.h"
#include "platform/Strings.h"
#include "project/ProjectSpec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

namespace qavn {
namespace {

using test::TempDir;

TEST(MergedCases, IdentifiersCompareAsNumbersBeforeTexts)
{
    struct Case {
        const char* a;
        const char* b;
        int order;
    } cases[] = {
        {"7", "007", 0},   {" 12", "12  ", 0}, {"-0", "0", 0},  {"9", "10", -1},   {"-10", "-9", -1},
        {"-1", "+1", -1},  {"99", "A", -1},    {"A", "B", -1},  {"AB", "A", 1},    {"1A", "1", 1},
        {"100", "99", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        EXPECT_EQ(compareIdentifiers(c.a, c.b), c.order);
        EXPECT_EQ(compareIdentifiers(c.b, c.a), -c.order);
    }
}

// Data files in a scratch folder, each read as a table of its identifier
// and one or two columns.
class MergeFiles {
public:
    // A table of `path`'s lines: the identifier in columns idFirst..idLast of
    // line 1, a value in `valueColumns` of line `valueLine`.
    const DataTable* add(const std::string& name, std::vector<std::string> lines, std::size_t idFirst,
                         std::size_t idWidth, std::size_t valueFirst, std::size_t valueWidth, int linesPerCase = 1,
                         std::uint32_t valueLine = 1)
    {
        std::string bytes;
        for (const std::string& line : lines)
            bytes += line + "\r\n";
        test::writeFile(dir_ / name, bytes);
        DataFileEntry& entry = entries_.emplace_back();
        entry.linesPerCase = linesPerCase;
        entry.dataPath = name;
        DataTable& table = tables_.emplace_back();
        table.file = &entry;
        table.rawName = (dir_ / name).string();
        TableColumn id;
        id.name = id.variableName = "ID";
        id.isIdentifier = true;
        id.offset = idFirst - 1;
        id.width = idWidth;
        TableColumn value;
        value.name = value.variableName = "V";
        value.offset = valueFirst - 1;
        value.width = valueWidth;
        value.line = valueLine;
        value.typeCode = 'A';
        table.columns = {id, value};
        table.neededLines = valueLine;
        return &table;
    }

    const std::filesystem::path& dir() const { return dir_.path(); }

private:
    TempDir dir_;
    std::deque<DataFileEntry> entries_;
    std::deque<DataTable> tables_;
};

std::vector<std::string> rowsOf(MergedCases& merged, ReadOutcome* outcome = nullptr)
{
    std::vector<std::string> rows;
    const ReadOutcome walked = merged.walk([&](std::span<const std::string_view> fields) {
        std::string row;
        for (const std::string_view field : fields)
            row += (row.empty() ? "" : "|") + std::string(trimmed(field));
        rows.push_back(row);
        return true;
    });
    if (outcome)
        *outcome = walked;
    EXPECT_TRUE(walked.isDone()) << (walked.isFailed() ? describe(walked.error()) : "");
    return rows;
}

TEST(MergedCases, MatchesEveryIdentifierOfFilesInAndOutOfItsOrder)
{
    MergeFiles files;
    // In order, with identifiers of two widths.
    const DataTable* a = files.add("A.DAT", {"001a1", "003a3", "04 a4"}, 1, 3, 4, 2);
    // Out of order: sorted in runs of one case each, merged two at a time.
    const DataTable* b = files.add("B.DAT", {"7 b7", "1 b1", "3 b3", "X b9"}, 1, 2, 3, 2);
    // Two lines a case, the value on the second.
    const DataTable* c = files.add("C.DAT", {"4", "  c4", "7", "  c7"}, 1, 1, 3, 2, 2, 2);
    const std::vector<const DataTable*> tables{a, b, c};

    const std::vector<TableColumn> columns = mergedColumns(tables);
    std::vector<std::string> names;
    for (const TableColumn& column : columns)
        names.push_back(column.name);
    EXPECT_EQ(names, (std::vector<std::string>{"ID", "V", "V_2", "V_3"}));

    MergedCases merged(tables, files.dir(), MergedCases::Limits{1, 2});
    int polls = 0;
    ASSERT_TRUE(merged.prepare([&] { return ++polls > 0; }).isDone());
    EXPECT_FALSE(merged.sorted(0));
    EXPECT_TRUE(merged.sorted(1));
    EXPECT_FALSE(merged.sorted(2));
    // Identifiers equal by value come together, in the order of the tables.
    const std::vector<std::string> rows = rowsOf(merged);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0], "001|a1|b1|");
    EXPECT_EQ(rows[1], "003|a3|b3|");
    EXPECT_EQ(rows[2], "04|a4||c4");
    EXPECT_EQ(rows[3], "7||b7|c7");
    EXPECT_EQ(rows[4], "X||b9|");
    // A second walk, as a format that scans first makes, gives the same.
    EXPECT_EQ(rowsOf(merged), rows);
    // Nothing is left in the folder: the sorting files have no names.
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(files.dir()))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"A.DAT", "B.DAT", "C.DAT"}));
}

TEST(MergedCases, RefusesABlankOrRepeatedIdentifierNamingTheLine)
{
    struct Case {
        const char* what;
        std::vector<std::string> lines;
        std::size_t runBytes;
        std::uint64_t line;
        const char* reason;
    } cases[] = {
        {"in order", {"1 x", "2 x", "02x", "3 x"}, 1u << 20, 3,
         "the identifier 02 is also the identifier of the case on line 2"},
        {"out of order, in one run", {"5 x", "2 x", "5 y"}, 1u << 20, 3,
         "the identifier 5 is also the identifier of the case on line 1"},
        {"out of order, across runs", {"5 x", "2 x", "4 x", "05y"}, 1, 4,
         "the identifier 05 is also the identifier of the case on line 1"},
        {"blank, in order", {"1 x", "  x"}, 1u << 20, 2, "the case has no identifier"},
        {"blank, out of order", {"2 x", "1 x", "  x"}, 1, 3, "the case has no identifier"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MergeFiles files;
        const DataTable* a = files.add("A.DAT", {"1 a", "2 a"}, 1, 2, 3, 1);
        const DataTable* b = files.add("B.DAT", c.lines, 1, 2, 3, 1);
        MergedCases merged({a, b}, files.dir(), MergedCases::Limits{c.runBytes, 2});
        const ReadOutcome outcome = merged.prepare([] { return true; });
        ASSERT_TRUE(outcome.isFailed());
        EXPECT_EQ(outcome.error().file, b->rawName);
        EXPECT_EQ(outcome.error().line, c.line);
        EXPECT_NE(outcome.error().reason.find(c.reason), std::string::npos) << outcome.error().reason;
    }
}

TEST(MergedCases, StopsWhenTold)
{
    MergeFiles files;
    std::vector<std::string> lines;
    for (int i = 2000; i > 0; --i)
        lines.push_back(std::to_string(10000 + i));
    const DataTable* a = files.add("A.DAT", lines, 1, 5, 1, 5);
    const DataTable* b = files.add("B.DAT", {"10001"}, 1, 5, 1, 5);
    MergedCases merged({a, b}, files.dir());
    EXPECT_TRUE(merged.prepare([] { return false; }).isStopped());
    ASSERT_TRUE(merged.prepare([] { return true; }).isDone());
    int seen = 0;
    EXPECT_TRUE(merged.walk([&](std::span<const std::string_view>) { return ++seen < 3; }).isStopped());
    EXPECT_EQ(seen, 3);
}

} // namespace
} // namespace qavn
