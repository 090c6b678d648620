#include "TestProject.h"

#include "catalogue/VariableList.h"
#include "search/TagImport.h"
#include "selections/SelectionFile.h"
#include "selections/TagSet.h"

#include <gtest/gtest.h>

namespace qavn {
namespace {

using test::ScopedCwd;
using test::TempDir;
using test::writeFile;
using Numbers = std::vector<std::uint32_t>;

TagSet setOf(std::uint32_t variables, const Numbers& numbers)
{
    TagSet set(variables);
    for (std::uint32_t n : numbers)
        set.add(n);
    return set;
}

// A loaded list whose variables are named `prefix` + number.
struct Listed {
    explicit Listed(std::uint32_t rows, const std::string& prefix = "V") : list(VariableList::Mode::Main)
    {
        list.setRowCount(rows);
        for (std::uint32_t r = 1; r <= rows; ++r) {
            std::string name = prefix + std::to_string(r);
            name.resize(9, ' ');
            list.appendRow(name + "LABEL", 0);
        }
        list.showList(rows);
    }
    Numbers tagged() const { return TagSet::of(list).numbers(); }
    VariableList list;
};

TEST(SelectionsTest, CombiningSets)
{
    struct Case {
        SetOperation operation;
        const char* name;
        Numbers result;
    } cases[] = {
        {SetOperation::Replace, "replace", {2, 3, 4}}, {SetOperation::And, "AND", {2, 3}},
        {SetOperation::Or, "Or", {1, 2, 3, 4}},        {SetOperation::Not, "not", {1, 5, 6}},
        {SetOperation::Minus, "MINUS", {1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(parseOperation(c.name), c.operation);
        TagSet current = setOf(6, {1, 2, 3});
        combine(current, setOf(6, {2, 3, 4, 99}), c.operation);
        EXPECT_EQ(current.numbers(), c.result);
        EXPECT_EQ(current.count(), c.result.size());
    }
    EXPECT_FALSE(parseOperation("XOR"));

    // Applying a set leaves the list tagged exactly so, whatever it held.
    const std::pair<Numbers, Numbers> applied[] = {
        {{1, 6}, {2, 6}},          {{}, {1, 2, 3, 4, 5, 6, 7, 8}}, {{1, 2, 3, 4, 5, 6, 7, 8}, {}},
        {{2, 3, 7}, {1, 2, 3, 8}}, {{1, 3, 5, 7}, {2, 4, 6, 8}},   {{4}, {4}},
    };
    for (const auto& [before, after] : applied) {
        Listed l(8);
        for (std::uint32_t r : before)
            l.list.tagRow(r);
        setOf(8, after).applyTo(l.list);
        EXPECT_EQ(l.tagged(), after);
        EXPECT_EQ(l.list.tagCount(), after.size());
    }

    // A tag file of the written design read into a set: what names no
    // variable is reported and left out.
    TempDir dir;
    writeFile(dir / "a.tag", "     1\r\nabc\r\n     4\r\n    70\r\n");
    TagSet fromFile(6);
    auto report = addTagFile((dir / "a.tag").string(), fromFile);
    ASSERT_TRUE(report);
    EXPECT_EQ(fromFile.numbers(), (Numbers{1, 4}));
    ASSERT_EQ(report.value().unreadableLines.size(), 2u);
    EXPECT_EQ(report.value().unreadableLines[1].line, 4u);
    EXPECT_FALSE(addTagFile((dir / "missing.tag").string(), fromFile));
}

TEST(SelectionsTest, KeptTagsAndNamedSelections)
{
    TempDir dir;
    ScopedCwd cwd(dir.path());

    // Nothing saved: nothing to say, nothing tagged.
    Listed fresh(40);
    EXPECT_EQ(restoreKeptTags("ZEL", fresh.list), "");
    EXPECT_EQ(saveKeptTags("ZEL", fresh.list), "");
    EXPECT_FALSE(std::filesystem::exists(dir / "ZELQAV.TAGS"));

    // Round trip, the file as the format says.
    Listed first(40);
    for (std::uint32_t r : {3u, 17u, 40u})
        first.list.tagRow(r);
    ASSERT_EQ(saveKeptTags("ZEL", first.list), "");
    const std::string saved = test::readFile(dir / "ZELQAV.TAGS");
    const std::string header = "QAVN-TAGS 1 variables=40 names=";
    ASSERT_EQ(saved.substr(0, header.size()), header);
    EXPECT_EQ(saved.substr(header.size() + 16), "\r\n3\r\n17\r\n40\r\n");
    Listed again(40);
    EXPECT_EQ(restoreKeptTags("ZEL", again.list), "Tags of the last session restored: 3 variables");
    EXPECT_EQ(again.tagged(), (Numbers{3, 17, 40}));
    // Tags cleared since: the file keeps none.
    ASSERT_EQ(saveKeptTags("ZEL", fresh.list), "");
    Listed cleared(40);
    EXPECT_EQ(restoreKeptTags("ZEL", cleared.list), "");
    EXPECT_TRUE(cleared.tagged().empty());
    ASSERT_EQ(saveKeptTags("ZEL", first.list), "");

    // Another codebook (other names, or another count) keeps its tags out.
    for (const auto& [rows, prefix] : {std::pair<std::uint32_t, const char*>{40, "W"}, {41, "V"}}) {
        Listed l(rows, prefix);
        const std::string note = restoreKeptTags("ZEL", l.list);
        EXPECT_NE(note.find("belong to another codebook"), std::string::npos) << note;
        EXPECT_TRUE(l.tagged().empty());
        std::filesystem::rename(dir / "ZELQAV.TAGS.old", dir / "ZELQAV.TAGS");
    }

    // Damaged files: nothing restored, the note names the file and line.
    const std::string good = "QAVN-TAGS 1 variables=40 names=" + saved.substr(header.size(), 16) + "\r\n";
    struct Damaged {
        std::string bytes;
        std::string reason; // describe() of the error
    } damaged[] = {
        {"", "ZELQAV.TAGS line 1: the file is empty"},
        {"3\r\n17\r\n", "ZELQAV.TAGS line 1: not a file of saved tags (line 1 does not start with QAVN-TAGS)"},
        {"QAVN-TAGS 2 variables=40 names=0000000000000000\r\n",
         "ZELQAV.TAGS line 1: format version 2 is not one this program reads (it reads 1)"},
        {"QAVN-TAGS 1 variables=40\r\n", "ZELQAV.TAGS line 1: the codebook's names= field is missing or damaged"},
        {good + "3\r\n\r\n1x\r\n", "ZELQAV.TAGS line 4: not a variable number: '1x'"},
        {good + "3\n41\n", "ZELQAV.TAGS line 3: variable 41 is outside 1..40, the variables of its codebook"},
    };
    for (const Damaged& d : damaged) {
        SCOPED_TRACE(d.reason);
        writeFile(dir / "ZELQAV.TAGS", d.bytes);
        Listed l(40);
        l.list.tagRow(5);
        EXPECT_EQ(restoreKeptTags("ZEL", l.list), "Saved tags not restored: " + d.reason + "; kept as ZELQAV.TAGS.old");
        EXPECT_EQ(l.tagged(), Numbers{5});
        EXPECT_EQ(test::readFile(dir / "ZELQAV.TAGS.old"), d.bytes);
        EXPECT_FALSE(std::filesystem::exists(dir / "ZELQAV.TAGS"));
    }

    // A folder that cannot take the file: a note, no exception.
    writeFile(dir / "blocked", "a file, not a folder");
    const std::string note = saveKeptTags("blocked/ZEL", first.list);
    EXPECT_EQ(note.rfind("Tags not saved: cannot write " + (dir / "blocked" / "ZELQAV.TAGS").string() + ": ", 0), 0u)
        << note;

    // Named selections: saved, listed, loaded back for this codebook only.
    const CodebookFingerprint codebook = CodebookFingerprint::of(first.list);
    ASSERT_EQ(saveSelection("ZEL", "income vars", codebook, setOf(40, {1, 2})), "");
    ASSERT_EQ(saveSelection("ZEL", "age", codebook, setOf(40, {})), "");
    writeFile(dir / "ZELQAV.SEL" / "notes.txt", "not a selection");
    EXPECT_EQ(selectionNames("ZEL"), (std::vector<std::string>{"age", "income vars"}));
    auto loaded = loadSelection("ZEL", "income vars", codebook);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded.value().numbers(), (Numbers{1, 2}));
    auto foreign = loadSelection("ZEL", "age", CodebookFingerprint::of(Listed(40, "W").list));
    ASSERT_FALSE(foreign);
    EXPECT_EQ(foreign.error().line, 1u);
    EXPECT_NE(foreign.error().reason.find("saved for another codebook"), std::string::npos);
    EXPECT_EQ(loadSelection("ZEL", "gone", codebook).error().kind, ReadError::Kind::CannotOpen);
    for (const char* bad : {"", "../x", "a/b", ".hidden", "tab\there"})
        EXPECT_NE(saveSelection("ZEL", bad, codebook, setOf(40, {1})), "") << bad;
}

} // namespace
} // namespace qavn
