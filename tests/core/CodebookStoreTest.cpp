// The codebook store: records, lines, windows and damaged files.

#include "TestProject.h"

#include "project/ProjectSpec.h"
#include "codebook/Catalogue.h"
#include "codebook/CodebookStore.h"
#include "catalogue/Loader.h"
#include "platform/Progress.h"
#include "platform/ScriptedUi.h"
#include "catalogue/VariableList.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

#include <cstring>

namespace qavn {
namespace {

using test::TempDir;
using test::writeFile;

const std::string locateMessage = "Cannot Locate Next Record in ZEL01.CDC File !\nPlease Restart Application.";

// Raw codebook bytes written straight to disk, for cases no correct encoder
// produces.
struct RawCodebook {
    TempDir dir;
    test::ScopedEnv drive{"QAVN_DRIVE_R", dir.path().string()};
    ScriptedUi ui;
    CodebookStore store{ui};

    bool open(const std::string& index, const std::string& text)
    {
        writeFile(dir / "ZEL01.CDC", index);
        writeFile(dir / "ZEL02.CDC", text);
        return store.open("R:", "ZEL");
    }
};

std::string recordBytes(const VariableRecord& r)
{
    std::string bytes(VariableRecord::size, '\0');
    r.encode(reinterpret_cast<std::uint8_t*>(bytes.data()));
    return bytes;
}

VariableRecord recordWith(std::uint32_t labelOffset, std::uint32_t descriptionOffset = 0, std::uint16_t lines = 0)
{
    VariableRecord r;
    r.nameLength = 3;
    r.name = {'A', 'G', 'E', 'x', 'x', 'x', 'x', 'x'};
    r.labelRef = TextRef::fromOffset(labelOffset);
    r.descriptionRef = TextRef::fromOffset(descriptionOffset);
    r.descriptionLineCount = lines;
    r.categoryRef = TextRef::fromOffset(descriptionOffset);
    r.categoryLineCount = lines;
    r.sectionRef = TextRef::fromOffset(labelOffset);
    return r;
}

std::vector<std::string> collect(CodebookStore& store, TextRef ref, std::uint32_t count, LineVariant variant)
{
    std::vector<std::string> lines;
    store.readLines(ref, count, variant, [&](std::string_view l) {
        lines.emplace_back(l);
        return true;
    });
    return lines;
}

TEST(CodebookStoreTest, RecordLayoutAndTextRefArithmetic)
{
    std::uint8_t bytes[VariableRecord::size] = {};
    bytes[0] = 3;
    bytes[1] = 'A';
    bytes[2] = 'G';
    bytes[3] = 'E';
    bytes[9] = 0x02;  // fileNumber 0x0102
    bytes[10] = 0x01;
    bytes[11] = 3;
    bytes[12] = 3;
    bytes[13] = '6';
    bytes[14] = '-';
    bytes[15] = '7';
    bytes[22] = 'A';
    bytes[23] = 1;    // labelRef high 1, low 5 → 261
    bytes[27] = 5;
    bytes[33] = 0xFF; // categoryLineCount 65535
    bytes[34] = 0xFF;
    bytes[42] = 0xFF; // sectionRef high 0xFFFFFFFF, low 0xFF wraps in 32 bits
    bytes[43] = 0xFF;
    bytes[44] = 0xFF;
    bytes[45] = 0xFF;
    bytes[46] = 0xFF;
    const VariableRecord r = VariableRecord::decode(bytes);
    EXPECT_EQ(r.variableName(), "AGE");
    EXPECT_EQ(r.fileNumber, 0x0102);
    EXPECT_EQ(r.recordNumber, 3);
    EXPECT_EQ(r.locationText(), "6-7");
    EXPECT_EQ(r.typeCode, 'A');
    EXPECT_EQ(r.labelRef.offset(), 261u);
    EXPECT_EQ(r.categoryLineCount, 65535);
    EXPECT_EQ(r.sectionRef.offset(), 0xFFFFFFFFu * 256u + 0xFFu);

    std::uint8_t again[VariableRecord::size] = {};
    r.encode(again);
    EXPECT_EQ(std::memcmp(bytes, again, sizeof bytes), 0);
}

TEST(CodebookStoreTest, OpenCountsWholeRecordsAndReportsMissingFiles)
{
    {
        RawCodebook cb;
        EXPECT_FALSE(cb.open(std::string(46, '\0'), "x\xDB"));
        EXPECT_TRUE(cb.ui.messages().empty()); // silent
    }
    {
        RawCodebook cb;
        ASSERT_TRUE(cb.open(std::string(95, '\0'), ""));
        EXPECT_EQ(cb.store.recordCount(), 2u);
        EXPECT_TRUE(cb.store.readRecord(2));
        EXPECT_FALSE(cb.store.readRecord(3));
        EXPECT_FALSE(cb.store.readRecord(0));
        EXPECT_EQ(cb.ui.messageTexts(), (std::vector<std::string>{locateMessage, locateMessage}));
    }
    {
        TempDir dir;
        test::ScopedEnv drive("QAVN_DRIVE_R", dir.path().string());
        ScriptedUi ui;
        CodebookStore store(ui);
        EXPECT_FALSE(store.open("R:\\RES", "ZEL"));
        EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"Cannot Open R:\\RES\\ZEL01.CDC"});
        writeFile(dir / "RES" / "zel01.cdc", std::string(47, '\0'));
        EXPECT_FALSE(store.open("R:\\RES", "ZEL"));
        EXPECT_EQ(ui.messageTexts().back(), "Cannot Open ZEL02.CDC !");
        writeFile(dir / "RES" / "Zel02.Cdc", "");
        EXPECT_TRUE(store.open("R:\\RES", "ZEL")); // names matched whatever their case
    }
}

TEST(CodebookStoreTest, OpenFailuresNameTheFileAndWhere)
{
    RawCodebook cb;
    writeFile(cb.dir / "ZEL01.CDC", std::string(46, '\0'));
    writeFile(cb.dir / "ZEL02.CDC", "");
    const auto short_ = cb.store.openFiles("R:", "ZEL");
    ASSERT_FALSE(short_);
    EXPECT_EQ(short_.error().kind, ReadError::Kind::Empty);
    EXPECT_EQ(short_.error().file, "R:\\ZEL01.CDC");
    EXPECT_EQ(short_.error().offset, 46u);
    EXPECT_EQ(describe(short_.error()), "R:\\ZEL01.CDC byte 46: the file ends inside its first 47-byte record");
    EXPECT_FALSE(cb.store.isOpen());

    writeFile(cb.dir / "ZEL01.CDC", std::string(47, '\0'));
    std::filesystem::remove(cb.dir / "ZEL02.CDC");
    const auto noText = cb.store.openFiles("R:", "ZEL");
    ASSERT_FALSE(noText);
    EXPECT_EQ(noText.error().kind, ReadError::Kind::CannotOpen);
    EXPECT_EQ(noText.error().file, "R:\\ZEL02.CDC");
    EXPECT_EQ(noText.error().hostPath, (cb.dir / "ZEL02.CDC").string());
    EXPECT_EQ(cb.store.recordCount(), 0u);
    EXPECT_TRUE(cb.ui.messages().empty());
}

TEST(CodebookStoreTest, IndexCountsBeyondWhatCanBeLoadedAreRefused)
{
    // Sparse index files: as many records as can be numbered, and one more.
    // Neither may get as far as loading; each says what is wrong.
    const std::uint64_t memory = static_cast<std::uint64_t>(::sysconf(_SC_PHYS_PAGES)) *
                                 static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    struct Case {
        std::uint64_t records;
        ReadError::Kind kind;
        std::string message;
    } cases[] = {
        {UINT32_MAX, ReadError::Kind::OutOfMemory, "Not Enough Memory !"},
        {std::uint64_t{UINT32_MAX} + 1, ReadError::Kind::InvalidData, "Cannot Open R:\\ZEL01.CDC"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.records);
        if (c.kind == ReadError::Kind::OutOfMemory && c.records * VariableRecord::size <= memory)
            continue; // a machine that could load them
        RawCodebook cb;
        writeFile(cb.dir / "ZEL02.CDC", "");
        {
            std::ofstream index(cb.dir / "ZEL01.CDC", std::ios::binary);
        }
        std::error_code ec;
        std::filesystem::resize_file(cb.dir / "ZEL01.CDC", c.records * VariableRecord::size, ec);
        if (ec)
            GTEST_SKIP() << "no sparse file of that size here: " << ec.message();
        const auto opened = cb.store.openFiles("R:", "ZEL");
        ASSERT_FALSE(opened);
        EXPECT_EQ(opened.error().kind, c.kind);
        EXPECT_EQ(opened.error().file, "R:\\ZEL01.CDC");
        EXPECT_FALSE(cb.store.isOpen());
        EXPECT_FALSE(cb.store.open("R:", "ZEL"));
        EXPECT_EQ(cb.ui.messageTexts(), std::vector<std::string>{c.message});
    }
}

TEST(CodebookStoreTest, ReadBlockDeliversFortyRecordsAtATime)
{
    RawCodebook cb;
    ASSERT_TRUE(cb.open(std::string(41 * 47 + 20, '\0'), ""));
    std::vector<std::uint8_t> buffer(40 * 47);
    EXPECT_EQ(cb.store.readBlock(buffer.data()), 40u);
    EXPECT_EQ(cb.store.readBlock(buffer.data()), 1u);
    EXPECT_EQ(cb.store.readBlock(buffer.data()), 0u);
    cb.store.rewindBlocks();
    EXPECT_EQ(cb.store.readBlock(buffer.data()), 40u);
}

TEST(CodebookStoreTest, ReadLineDropsFillersAndStaysInItsWindow)
{
    RawCodebook cb;
    const std::string text = std::string("Ag\xFF" "e\xDC" "x\xDB", 7) + std::string(120, 'L') + "\xDB" + "tail";
    ASSERT_TRUE(cb.open(recordBytes(recordWith(0)), text));
    EXPECT_EQ(cb.store.readLine(TextRef::fromOffset(0)), "Age\xDCx");
    // No terminator within 100 bytes: the window's bytes, no more.
    EXPECT_EQ(cb.store.readLine(TextRef::fromOffset(7)), std::string(100, 'L'));
    // A line without terminator at the end of the file, and a reference past it.
    EXPECT_EQ(cb.store.readLine(TextRef::fromOffset(static_cast<std::uint32_t>(text.size() - 4))), "tail");
    EXPECT_EQ(cb.store.readLine(TextRef::fromOffset(static_cast<std::uint32_t>(text.size()))), "");
    EXPECT_EQ(cb.store.readLine(TextRef{0xFFFFFFFFu, 0xFF}), "");
}

TEST(CodebookStoreTest, VariantsTreatTheSeparatorAsTheirUsersNeed)
{
    RawCodebook cb;
    const std::string text = "1\xDC" "250\xDC" "12.5\xDCY\xFF" "es\xDB" "2\xDC" "5\xDB";
    ASSERT_TRUE(cb.open(recordBytes(recordWith(0)), text));
    const TextRef ref = TextRef::fromOffset(0);
    for (LineVariant v : {LineVariant::ListLines, LineVariant::JoinedText, LineVariant::LineSearch})
        EXPECT_EQ(collect(cb.store, ref, 2, v), (std::vector<std::string>{"1\t250\t12.5\tYes", "2\t5"}));
    for (LineVariant v : {LineVariant::DisplayText, LineVariant::FileEcho, LineVariant::CategoryFields})
        EXPECT_EQ(collect(cb.store, ref, 2, v),
                  (std::vector<std::string>{"1\xDC" "250\xDC" "12.5\xDCYes", "2\xDC" "5"}));

    const CategoryFields f = splitCategoryLine("1\xDC" "250\xDC" "12.5\xDCYes\xDCmore");
    EXPECT_EQ(f.code, "1");
    EXPECT_EQ(f.frequency, "250");
    EXPECT_EQ(f.percent, "12.5");
    EXPECT_EQ(f.label, "Yes");
    const CategoryFields partial = splitCategoryLine("7\xDC" "3");
    EXPECT_EQ(partial.code, "7");
    EXPECT_EQ(partial.frequency, "3");
    EXPECT_EQ(partial.percent, "");
    EXPECT_EQ(partial.label, "");
}

TEST(CodebookStoreTest, WindowSizesFollowTheLineCount)
{
    EXPECT_EQ(CodebookStore::windowSize(LineVariant::ListLines, 1), 90u);
    EXPECT_EQ(CodebookStore::windowSize(LineVariant::ListLines, 184), 14730u);
    EXPECT_EQ(CodebookStore::windowSize(LineVariant::ListLines, 185), 15099u);
    EXPECT_EQ(CodebookStore::windowSize(LineVariant::FileEcho, 200), 15099u);
    EXPECT_EQ(CodebookStore::windowSize(LineVariant::DisplayText, 200), 15095u);
    EXPECT_EQ(CodebookStore::windowSize(LineVariant::BlockSearch, 65535), 15095u);
}

TEST(CodebookStoreTest, LongBlocksAreRefilledAndEveryLineComesOnceInOrder)
{
    // 200 lines of 78 to 80 characters with fillers: several windows.
    std::string text;
    std::vector<std::string> expected;
    for (int i = 0; i < 200; ++i) {
        std::string line = "Line " + std::to_string(i) + " ";
        line.append(static_cast<std::size_t>(72 + i % 3) - line.size() % 5, static_cast<char>('a' + i % 26));
        expected.push_back(line);
        text += line.substr(0, 10) + "\xFF\xFF" + line.substr(10) + "\xDB";
    }
    text += "next block";
    RawCodebook cb;
    ASSERT_TRUE(cb.open(recordBytes(recordWith(0)), text));
    for (LineVariant v : {LineVariant::DisplayText, LineVariant::FileEcho}) {
        EXPECT_EQ(collect(cb.store, TextRef::fromOffset(0), 200, v), expected);
        // A consumer can stop the reader.
        int seen = 0;
        EXPECT_EQ(cb.store.readLines(TextRef::fromOffset(0), 200, v, [&](std::string_view) { return ++seen < 150; }),
                  150u);
    }
    // The block search sees windows of 15,095 bytes, each starting right
    // after the last whole line of the one before.
    std::vector<std::size_t> starts;
    const auto base = cb.store.textBytes().data();
    cb.store.forEachBlockWindow(TextRef::fromOffset(0), 200, [&](std::span<const std::uint8_t> w) {
        starts.push_back(static_cast<std::size_t>(w.data() - base));
        EXPECT_LE(w.size(), 15095u);
        return true;
    });
    ASSERT_GE(starts.size(), 2u);
    for (std::size_t i = 1; i < starts.size(); ++i) {
        EXPECT_EQ(static_cast<unsigned char>(text[starts[i] - 1]), 0xDBu);
        EXPECT_GT(starts[i], starts[i - 1] + 15095 - 100);
    }
}

TEST(CodebookStoreTest, HostileBlocksEndCleanly)
{
    RawCodebook cb;
    // A line far longer than any window, then a normal line, then an
    // unterminated end of file.
    const std::string text = std::string(40000, 'X') + "\xDB" + "ok\xDB" + "end";
    ASSERT_TRUE(cb.open(recordBytes(recordWith(0)), text));
    const auto lines = collect(cb.store, TextRef::fromOffset(0), 65535, LineVariant::DisplayText);
    // The long line arrives in window-sized pieces, then the rest in order.
    ASSERT_GE(lines.size(), 4u);
    std::size_t xs = 0;
    std::size_t i = 0;
    for (; i < lines.size() && lines[i].find_first_not_of('X') == std::string::npos; ++i)
        xs += lines[i].size();
    EXPECT_EQ(xs, 40000u);
    ASSERT_EQ(lines.size(), i + 2);
    EXPECT_EQ(lines[i], "ok");
    EXPECT_EQ(lines[i + 1], "end");

    // A count far larger than the file holds, and a reference past the end.
    EXPECT_EQ(collect(cb.store, TextRef::fromOffset(40001), 65535, LineVariant::ListLines),
              (std::vector<std::string>{"ok", "end"}));
    EXPECT_TRUE(collect(cb.store, TextRef::fromOffset(static_cast<std::uint32_t>(text.size()) + 10), 5,
                        LineVariant::ListLines)
                    .empty());
    // A block made only of line ends delivers empty lines, not garbage.
    RawCodebook ends;
    ASSERT_TRUE(ends.open(recordBytes(recordWith(0)), std::string(20000, '\xDB')));
    EXPECT_EQ(collect(ends.store, TextRef::fromOffset(0), 20000, LineVariant::CategoryFields).size(), 20000u);
    EXPECT_EQ(collect(ends.store, TextRef::fromOffset(0), 30000, LineVariant::CategoryFields).size(), 20000u);
}

TEST(CodebookStoreTest, WriterRoundTripKeepsSectionsAndSharedDescriptions)
{
    test::TestProject project;
    project.codebook.setFillerEvery(7);
    auto a = test::variable("AGE", "Age of respondent", "X");
    a.description = {"Shared text", "second"};
    project.add(a);
    auto b = test::variable("ABCDEFGH", "Eight", "X", 1, 1, "3-4", 'A');
    b.sharesDescriptionOf = 1;
    project.add(b);
    project.add(test::variable("C", "Third", "Y"));
    project.add(test::variable("D", "Fourth", "X"));
    project.write();

    ScriptedUi ui;
    CodebookStore store(ui);
    ASSERT_TRUE(store.open("C:\\RES", "ZEL"));
    ASSERT_EQ(store.recordCount(), 4u);
    ASSERT_TRUE(store.readRecord(2));
    EXPECT_EQ(rowText(store.record(), store.readLine(store.record().labelRef)), "ABCDEFGH Eight");
    EXPECT_EQ(store.record().descriptionRef, store.recordAt(1).descriptionRef);
    EXPECT_EQ(store.record().descriptionLineCount, 2);
    ASSERT_TRUE(store.readRecord(1));
    EXPECT_EQ(rowText(store.record(), store.readLine(store.record().labelRef)), "AGE      Age of respondent");
    std::string title;
    std::vector<std::string> titles;
    for (std::uint32_t k = 1; k <= 4; ++k) {
        ASSERT_TRUE(store.sectionTitleOf(k, title));
        titles.push_back(title);
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"X", "X", "Y", "X"}));
    EXPECT_TRUE(ui.messages().empty());
}

} // namespace
} // namespace qavn
