// Tag sets, their combinations, and the kept tags and saved selections.

#include "TestProject.h"

#include "catalogue/VariableList.h"
#include "search/TagImport.h"
#include "selections/SelectionFile.h"
#include "selections/TagSet.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Two windows of one project each restore the kept tags when they open and
// save them when they close: the window closing last keeps what the other
// saved, with its own additions and removals.
TEST(SelectionsTest, TwoWindowsKeepEachOthersTags)
{
    TempDir dir;
    ScopedCwd cwd(dir.path());
    Listed start(40);
    start.list.tagRow(3);
    start.list.tagRow(9);
    ASSERT_EQ(saveKeptTags("ZEL", start.list), "");

    Listed a(40);
    Listed b(40);
    KeptTags keptA("ZEL");
    KeptTags keptB("ZEL");
    keptA.restore(a.list);
    keptB.restore(b.list);
    a.list.tagRow(5);   // a adds 5
    b.list.toggleTag(3); // b removes 3 and adds 30
    b.list.tagRow(30);
    EXPECT_EQ(keptA.save(a.list), "");
    EXPECT_EQ(keptB.save(b.list), "Tags merged with those another window saved: 3 variables kept");
    Listed next(40);
    restoreKeptTags("ZEL", next.list);
    EXPECT_EQ(next.tagged(), (Numbers{5, 9, 30}));

    // A window that saves again merges only what changed since its last save.
    b.list.toggleTag(9);
    EXPECT_EQ(keptB.save(b.list), "");
    Listed last(40);
    restoreKeptTags("ZEL", last.list);
    EXPECT_EQ(last.tagged(), (Numbers{5, 30}));
}

// Saved tags and selections are read as they stream in: a long file costs no
// memory beyond the codebook's variables, and a file that is not a regular
// file (a FIFO, which would block the reader) is refused at once.
TEST(SelectionsTest, LongAndIrregularSelectionFiles)
{
    TempDir dir;
    ScopedCwd cwd(dir.path());
    Listed l(40);
    const CodebookFingerprint codebook = CodebookFingerprint::of(l.list);
    ASSERT_EQ(saveSelection("ZEL", "long", codebook, setOf(40, {})), "");
    {
        std::FILE* f = std::fopen(selectionPath("ZEL", "long").c_str(), "ab");
        ASSERT_NE(f, nullptr);
        const std::string block = [] {
            std::string b;
            for (int i = 0; i < 1 << 16; ++i)
                b += std::to_string(i % 40 + 1) + "\r\n";
            return b;
        }();
        for (int i = 0; i < 64; ++i) // 8 million numbers, 32 MB
            std::fwrite(block.data(), 1, block.size(), f);
        std::fclose(f);
    }
    // The peak resident memory, reset when the kernel allows it.
    auto peakKb = [] {
        std::FILE* status = std::fopen("/proc/self/status", "r");
        long kb = -1;
        char line[256];
        while (status && std::fgets(line, sizeof line, status))
            if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1)
                break;
        if (status)
            std::fclose(status);
        return kb;
    };
    std::FILE* reset = std::fopen("/proc/self/clear_refs", "w");
    const bool measured = reset && std::fputs("5", reset) >= 0 && std::fclose(reset) == 0;
    const long before = peakKb();
    auto loaded = loadSelection("ZEL", "long", codebook);
    const long after = peakKb();
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded.value().count(), 40u);
    if (measured && before > 0) {
        EXPECT_LT(after - before, 8 * 1024) << "reading 32 MB of numbers took " << after - before << " kB";
    }

    ASSERT_EQ(::mkfifo(selectionPath("ZEL", "pipe").c_str(), 0600), 0);
    EXPECT_EQ(selectionNames("ZEL"), std::vector<std::string>{"long"});
    auto piped = loadSelection("ZEL", "pipe", codebook);
    ASSERT_FALSE(piped);
    EXPECT_EQ(piped.error().kind, ReadError::Kind::CannotOpen);
    EXPECT_NE(piped.error().reason.find("FIFO"), std::string::npos) << piped.error().reason;
    TagSet fromPipe(40);
    auto tagFile = addTagFile(selectionPath("ZEL", "pipe").string(), fromPipe);
    ASSERT_FALSE(tagFile);
    EXPECT_NE(tagFile.error().reason.find("FIFO"), std::string::npos);
}

// A disk that fills while the tags are written keeps the file saved before
// (a small tmpfs mounted for the test; root only).
TEST(SelectionsTest, AFullDiskKeepsTheSavedTags)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a full file system needs root";
    TempDir dir;
    const std::filesystem::path disk = dir / "disk";
    std::filesystem::create_directory(disk);
    if (::mount("qavn-full", disk.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    struct Unmount {
        std::filesystem::path path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{disk};
    ScopedCwd cwd(disk);

    Listed l(40);
    l.list.tagRow(7);
    ASSERT_EQ(saveKeptTags("ZEL", l.list), "");
    ASSERT_EQ(saveSelection("ZEL", "kept", CodebookFingerprint::of(l.list), TagSet::of(l.list)), "");
    const std::string tags = test::readFile(disk / "ZELQAV.TAGS");
    const std::string selection = test::readFile(selectionPath("ZEL", "kept"));
    {
        std::FILE* filler = std::fopen((disk / "filler").c_str(), "wb");
        ASSERT_NE(filler, nullptr);
        const std::string block(4096, 'x');
        while (std::fwrite(block.data(), 1, block.size(), filler) == block.size() && std::fflush(filler) == 0) {
        }
        std::fclose(filler);
    }
    for (std::uint32_t r = 1; r <= 40; ++r)
        l.list.tagRow(r);
    EXPECT_EQ(saveKeptTags("ZEL", l.list).rfind("Tags not saved: cannot write ", 0), 0u);
    KeptTags kept("ZEL");
    EXPECT_EQ(kept.save(l.list).rfind("Tags not saved: cannot write ", 0), 0u);
    EXPECT_NE(saveSelection("ZEL", "kept", CodebookFingerprint::of(l.list), TagSet::of(l.list)), "");
    EXPECT_EQ(test::readFile(disk / "ZELQAV.TAGS"), tags);
    EXPECT_EQ(test::readFile(selectionPath("ZEL", "kept")), selection);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(disk))
        EXPECT_EQ(entry.path().filename().string().find(".qavn-"), std::string::npos) << entry.path();
}

} // namespace
} // namespace qavn
