// Tag files read back, alone and merged.

#include "TestProject.h"

#include "platform/ScriptedUi.h"
#include "search/TagImport.h"
#include "catalogue/VariableList.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qavn {
namespace {

using test::TempDir;
using test::writeFile;

// A list of `rows` rows, shown, as loading leaves it.
struct Listed {
    explicit Listed(std::uint32_t rows) : list(VariableList::Mode::Main, &ui)
    {
        list.setRowCount(rows);
        for (std::uint32_t r = 1; r <= rows; ++r)
            list.appendRow("V" + std::to_string(r) + "        LABEL", 0);
        list.showList(rows);
    }
    std::vector<std::uint32_t> tagged() const
    {
        std::vector<std::uint32_t> rows;
        for (std::uint32_t r = 1; r <= list.rowCount(); ++r) {
            if (list.isTagged(r))
                rows.push_back(r);
        }
        return rows;
    }
    ScriptedUi ui;
    VariableList list;
};

using Rows = std::vector<std::uint32_t>;

TEST(TagImportTest, OneFileTagsTheRowsInTheCatalogueOnly)
{
    TempDir dir;
    struct Case {
        const char* what;
        std::string bytes;
        Rows tagged;
    } cases[] = {
        {"numbers outside the catalogue", "3\r\n7\r\n12\r\n0\r\n-4\r\n", {3, 7}},
        {"the writer's right-aligned numbers", "     1\r\n     4\r\n    10\r\n", {1, 4, 10}},
        {"an empty file", "", {}},
        {"blank lines inside", "2\r\n\r\n   \r\n5\n", {2, 5}},
        {"garbage lines", "abc\r\n6x\r\n+8\r\nx9\r\n\t 1 \r\n", {1, 6, 8}},
        {"no line end at the end", "9", {9}},
        {"a huge number", "99999999999999999999\r\n4\r\n", {4}},
        {"an over-long line is one number", std::string(60, ' ') + "3" + std::string(60, '7') + "\r\n2\r\n", {2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Listed l(10);
        writeFile(dir / "one.tag", c.bytes);
        EXPECT_TRUE(importTagFile((dir / "one.tag").string(), l.list, l.ui));
        EXPECT_EQ(l.tagged(), c.tagged);
        EXPECT_EQ(l.list.tagCount(), c.tagged.size());
        EXPECT_TRUE(l.ui.messages().empty());
    }
}

TEST(TagImportTest, FileThatCannotBeOpened)
{
    TempDir dir;
    const std::string missing = (dir / "missing.tag").string();
    const std::string present = (dir / "present.tag").string();
    writeFile(present, "1\r\n2\r\n");

    Listed one(10);
    EXPECT_FALSE(importTagFile(missing, one.list, one.ui));
    EXPECT_EQ(one.ui.messageTexts(), std::vector<std::string>{"Cannot Open " + missing + " !"});
    EXPECT_EQ(one.ui.messages().front().icon, Ui::Icon::Stop);

    Listed first(10);
    EXPECT_FALSE(importTagFiles(missing, present, TagCombine::Or, first.list, first.ui));
    EXPECT_EQ(first.ui.messageTexts(), (std::vector<std::string>{"Cannot Open " + missing + " !", "No Tagged Item !"}));
    EXPECT_TRUE(first.tagged().empty());

    Listed second(10);
    EXPECT_FALSE(importTagFiles(present, missing, TagCombine::And, second.list, second.ui));
    EXPECT_EQ(second.ui.messageTexts(),
              (std::vector<std::string>{"Cannot Open " + missing + " !", "No Tagged Item !"}));
    EXPECT_TRUE(second.tagged().empty());

    // A field emptied completely names no file.
    Listed empty(10);
    EXPECT_FALSE(importTagFile("", empty.list, empty.ui));
    EXPECT_EQ(empty.ui.messageTexts(), std::vector<std::string>{"Cannot Open  !"});
}

TEST(TagImportTest, TwoFilesCombinedByAndOrOr)
{
    TempDir dir;
    struct Case {
        const char* what;
        std::string first;
        std::string second;
        TagCombine combine;
        Rows tagged;
        bool message; // "No Tagged Item !"
    } cases[] = {
        {"AND keeps the common numbers", "1\r\n4\r\n9\r\n", "4\r\n5\r\n9\r\n", TagCombine::And, {4, 9}, false},
        {"OR keeps all of them", "1\r\n4\r\n9\r\n", "4\r\n5\r\n9\r\n", TagCombine::Or, {1, 4, 5, 9}, false},
        {"AND with nothing in common", "1\r\n3\r\n", "2\r\n4\r\n", TagCombine::And, {}, true},
        {"OR of an empty file and one listing 2", "", "2\r\n", TagCombine::Or, {2}, false},
        {"OR of two empty files", "", "", TagCombine::Or, {}, true},
        {"AND of an empty file", "", "2\r\n", TagCombine::And, {}, true},
        {"OR of lists of different lengths", "1\r\n2\r\n3\r\n7\r\n", "8\r\n", TagCombine::Or, {1, 2, 3, 7, 8}, false},
        {"AND skips blank and garbage lines as 0", "\r\nabc\r\n5\r\n", "5\r\n", TagCombine::And, {5}, false},
        {"AND of numbers outside the catalogue", "11\r\n12\r\n", "12\r\n", TagCombine::And, {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Listed l(10);
        writeFile(dir / "a.tag", c.first);
        writeFile(dir / "b.tag", c.second);
        EXPECT_EQ(importTagFiles((dir / "a.tag").string(), (dir / "b.tag").string(), c.combine, l.list, l.ui),
                  !c.message);
        EXPECT_EQ(l.tagged(), c.tagged);
        EXPECT_EQ(l.ui.messageTexts(),
                  c.message ? std::vector<std::string>{"No Tagged Item !"} : std::vector<std::string>{});
    }
}

TEST(TagImportTest, LinesWithoutAWholeNumberAreReportedWithTheirFileAndLine)
{
    TempDir dir;
    const std::string a = (dir / "a.tag").string();
    const std::string b = (dir / "b.tag").string();
    writeFile(a, "1\r\nabc\r\n\r\n 6x \r\n7\r\n");
    writeFile(b, "6\r\n-\r\n");
    Listed one(10);
    const auto read = importTagFile(a, one.list);
    ASSERT_TRUE(read);
    EXPECT_EQ(one.tagged(), (Rows{1, 6, 7})); // the import rules still apply
    const auto& lines = read.value().unreadableLines;
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(describe(lines[0]), a + " line 2: no variable number: 'abc'");
    EXPECT_EQ(describe(lines[1]), a + " line 4: text after the variable number: '6x'");
    EXPECT_EQ(read.value().unreadableCount, 2u);

    Listed both(10);
    const auto merged = importTagFiles(a, b, TagCombine::Or, both.list);
    ASSERT_TRUE(merged);
    std::vector<std::pair<std::string, std::uint64_t>> where;
    for (const ReadError& e : merged.value().unreadableLines)
        where.emplace_back(e.file, e.line);
    EXPECT_EQ(where, (std::vector<std::pair<std::string, std::uint64_t>>{{a, 2}, {b, 2}, {a, 4}}));
}

TEST(TagImportTest, NumbersNamingNoVariableAreReportedAndLongLinesReadInBoundedMemory)
{
    TempDir dir;
    const std::string a = (dir / "a.tag").string();
    const std::string b = (dir / "b.tag").string();
    // A line of 8 MB: blanks around a number, judged as it is read.
    const std::string blanks(4 << 20, ' ');
    writeFile(a, "2\r\n99\r\n0\r\n-3\r\n" + blanks + "5" + blanks + "\r\n" + blanks + "7" + blanks + "x\r\n" +
                     std::string(30, '0') + "8\r\n" + std::string(30, '9') + "\r\n");
    writeFile(b, "5\r\n11\r\n");
    Listed one(10);
    const auto read = importTagFile(a, one.list);
    ASSERT_TRUE(read);
    EXPECT_EQ(one.tagged(), (Rows{2, 5, 7, 8})); // the import rules still apply
    std::vector<std::string> described;
    for (const ReadError& e : read.value().unreadableLines)
        described.push_back(describe(e));
    const std::string outside = " is not in the project, which has variables 1 to 10";
    EXPECT_EQ(described, (std::vector<std::string>{
                             a + " line 2: variable 99" + outside,
                             a + " line 3: variable 0" + outside,
                             a + " line 4: variable -3" + outside,
                             a + " line 6: text after the variable number: '7" + std::string(39, ' ') + "...'",
                             a + " line 8: variable 9223372036854775807" + outside,
                         }));

    const std::string c = (dir / "c.tag").string();
    writeFile(c, "1\r\n5\r\n12\r\n");
    Listed both(10);
    const auto merged = importTagFiles(c, b, TagCombine::And, both.list);
    ASSERT_TRUE(merged);
    EXPECT_EQ(both.tagged(), (Rows{5}));
    std::vector<std::pair<std::string, std::uint64_t>> where;
    for (const ReadError& e : merged.value().unreadableLines)
        where.emplace_back(e.file, e.line);
    EXPECT_EQ(where, (std::vector<std::pair<std::string, std::uint64_t>>{{c, 3}, {b, 2}}));
}

TEST(TagImportTest, ALineOfAnyLengthCostsNoMoreMemoryThanItsNumber)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address-space limit does not work with the address sanitizer";
#else
    TempDir dir;
    const std::string a = (dir / "a.tag").string();
    const std::string b = (dir / "b.tag").string();
    constexpr std::size_t lineBytes = std::size_t{96} << 20;
    {
        std::ofstream out(a, std::ios::binary);
        out << "3" << std::string(lineBytes, ' ') << "\r\n4\r\n";
    }
    writeFile(b, "3\r\n4\r\n");
    // A child process whose address space has room for the list and the
    // reader but not for the line: it imports the file alone and with
    // --and's merge, and reports by its exit status.
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        Listed l(10);
        long sizeKb = 0;
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmSize:", 0) == 0)
                sizeKb = std::atol(line.c_str() + 7);
        const rlim_t limit = static_cast<rlim_t>(sizeKb) * 1024 + (rlim_t{32} << 20);
        const rlimit bound{limit, limit};
        if (sizeKb == 0 || ::setrlimit(RLIMIT_AS, &bound) != 0)
            ::_exit(3);
        try {
            const auto one = importTagFile(a, l.list);
            const auto both = importTagFiles(a, b, TagCombine::And, l.list);
            ::_exit(one && both && l.tagged() == Rows{3, 4} ? 0 : 1);
        } catch (...) {
            ::_exit(2);
        }
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
#endif
}

TEST(TagImportTest, TagsAlreadySetStay)
{
    TempDir dir;
    writeFile(dir / "a.tag", "2\r\n");
    Listed l(5);
    l.list.tagRow(4);
    l.list.tagRow(2);
    EXPECT_TRUE(importTagFile((dir / "a.tag").string(), l.list, l.ui));
    EXPECT_EQ(l.tagged(), (Rows{2, 4}));
    EXPECT_EQ(l.list.tagCount(), 2u);
}

} // namespace
} // namespace qavn
