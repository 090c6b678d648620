// Hostile input: codebooks, data-file numbers, tag files, raw data and
// output places that no well-made project holds. None may crash, hang, read
// outside its files or destroy one of them; each gives the reading or the
// message stated here.

#include "TestProject.h"

#include "project/Configuration.h"
#include "project/ProjectSpec.h"
#include "codebook/OpenProject.h"
#include "codebook/CodebookStore.h"
#include "catalogue/Loader.h"
#include "export/AccessExport.h"
#include "platform/Progress.h"
#include "platform/ScriptedUi.h"
#include "search/Search.h"
#include "search/TagImport.h"
#include "catalogue/DescriptionSlots.h"
#include "catalogue/Navigation.h"
#include "catalogue/VariableList.h"
#include "outputs/OutputFormats.h"
#include "writers/WriterDriver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <numeric>

namespace qavn {
namespace {

namespace fs = std::filesystem;
using test::variable;

// Every case here must end well within this bound.
constexpr auto timeBound = std::chrono::seconds(30);

class HostileTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        EXPECT_LT(std::chrono::steady_clock::now() - started_, timeBound) << "took too long";
    }

    // Starts the written project and loads its variables.
    void start()
    {
        ASSERT_TRUE(session.start("P=" + project.id, [](Settings&) {}));
        Progress loading;
        ASSERT_TRUE(loadVariables(session.store, session.project, list, ui, loading));
    }

    std::vector<std::uint32_t> everyRow() const
    {
        std::vector<std::uint32_t> all(list.rowCount());
        std::iota(all.begin(), all.end(), 1u);
        return all;
    }

    OutputResult write(int kind, const std::string& name)
    {
        const WriterServices services{list, session.store, session.project, session.settings, ui};
        Progress progress;
        // kind 1 to 5: the one-file outputs in the order of the output format table.
        return writeOutput(outputFormats()[static_cast<std::size_t>(kind - 1)], services,
                           OutputJob{LabelChoice::Categorical, "C:\\OUT\\" + name}, progress);
    }

    AccessExportResult exportRows(const std::vector<std::uint32_t>& rows)
    {
        Progress progress;
        return runAccessExport(rows, session.store, session.project, session.settings, ui, progress);
    }

    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    test::TestProject project;
    ScriptedUi ui;
    OpenProject session{ui};
    VariableList list{VariableList::Mode::Main, &ui};
};

// Index records written byte for byte, for references no codebook writer
// would make.
std::string indexOf(const std::vector<VariableRecord>& records)
{
    std::string bytes(records.size() * VariableRecord::size, '\0');
    for (std::size_t i = 0; i < records.size(); ++i)
        records[i].encode(reinterpret_cast<std::uint8_t*>(bytes.data() + i * VariableRecord::size));
    return bytes;
}

VariableRecord recordNamed(const std::string& name)
{
    VariableRecord r;
    r.nameLength = static_cast<std::uint8_t>(name.size());
    std::copy(name.begin(), name.end(), r.name.begin());
    r.fileNumber = 1;
    r.recordNumber = 1;
    r.locationLength = 3;
    r.location = {'1', '-', '2'};
    return r;
}

TEST_F(HostileTest, DataFileNumbersOutsideTheProject)
{
    // Two data files; variables claim files 0 and 7 as well.
    project.dataFiles = {test::TestProject::DataFile{1, "0", "DATA\\ONE.DAT", {"11", "12"}},
                         test::TestProject::DataFile{1, "0", "DATA\\TWO.DAT", {"21", "22"}}};
    project.add(variable("FIRST", "In file one", "S", 1, 1, "1-2"));
    project.add(variable("LAST", "In file one too", "S", 1, 1, "2"));
    project.add(variable("ZERO", "In file zero", "S", 0, 1, "1-2"));
    project.add(variable("BEYOND", "In file seven", "S", 7, 1, "1-2"));
    project.add(variable("SECOND", "In file two", "S", 2, 1, "1-2"));
    project.write();
    ASSERT_NO_FATAL_FAILURE(start());

    // Loading: every record is a row; only real files get a first row.
    EXPECT_EQ(list.rowCount(), 5u);
    EXPECT_EQ(session.project.dataFiles[0].firstRow, 1u);
    EXPECT_EQ(session.project.dataFiles[1].firstRow, 5u);
    EXPECT_EQ(list.rowInfo(3).fileNumber, 0);
    EXPECT_EQ(list.rowInfo(4).fileNumber, 7);

    // Navigation by file from the rows of no file stays inside the list.
    for (std::uint32_t row : {3u, 4u}) {
        list.goToRow(row);
        goToNextFile(list, session.store, session.project);
        EXPECT_GE(list.activeRow(), 1u);
        EXPECT_LE(list.activeRow(), 5u);
        list.goToRow(row);
        goToPrevFile(list, session.store, session.project);
        EXPECT_GE(list.activeRow(), 1u);
        EXPECT_LE(list.activeRow(), 5u);
    }

    // The description's info line names no file.
    ASSERT_TRUE(session.store.readRecord(4));
    EXPECT_EQ(descriptionInfoLine(session.store.record(), session.project), "In  on record 1 at 1-2");
    ASSERT_TRUE(session.store.readRecord(3));
    EXPECT_EQ(descriptionInfoLine(session.store.record(), session.project), "In  on record 1 at 1-2");

    // The writers run to their end with everything tagged.
    for (std::uint32_t r = 1; r <= 5; ++r)
        list.tagRow(r);
    for (int kind = 1; kind <= 5; ++kind) {
        SCOPED_TRACE(kind);
        const auto result = write(kind, "ALL" + std::to_string(kind));
        EXPECT_EQ(result.status, OutputStatus::Written);
        EXPECT_FALSE(test::readFile(project.outputDir() / result.fileName.substr(result.fileName.rfind('\\') + 1))
                         .empty());
    }
    EXPECT_TRUE(ui.messages().empty()) << ui.messageTexts().front();

    // The export cuts the variables of the real files only.
    const auto exported = exportRows(everyRow());
    EXPECT_TRUE(exported.completed);
    EXPECT_EQ(test::readFile(project.outputDir() / "DATA_ONE.txt"), "FIRST,LAST \r\n 11, 1 \r\n 12, 2 \r\n");
    EXPECT_EQ(test::readFile(project.outputDir() / "DATA_TWO.txt"), "SECOND \r\n 21 \r\n 22 \r\n");
}

TEST_F(HostileTest, ReferencesPastTheEndAndBlocksThatNeverEnd)
{
    project.add(variable("PLACE", "Placeholder"));
    project.write();
    // Text: a label, a section title, 300 bytes without a line end, then a
    // last category line without its line end.
    const std::string text = std::string("Good label\xDB" "Section\xDB", 19) + std::string(300, 'L') + "1\xDC" "5";
    const auto end = static_cast<std::uint32_t>(text.size());

    VariableRecord atEnd = recordNamed("ATEND");
    atEnd.sectionRef = TextRef::fromOffset(11);
    atEnd.categoryRef = TextRef::fromOffset(end - 3); // "1\xDC" "5", then the end of the file
    atEnd.categoryLineCount = 65535;
    atEnd.descriptionRef = TextRef::fromOffset(19); // 300 L and more, never a line end
    atEnd.descriptionLineCount = 65535;
    VariableRecord past = recordNamed("PAST");
    for (TextRef* ref : {&past.labelRef, &past.sectionRef, &past.categoryRef, &past.descriptionRef})
        *ref = TextRef{0xFFFFFFFFu, 0xFF};
    past.categoryLineCount = 65535;
    past.descriptionLineCount = 65535;
    VariableRecord unended = recordNamed("UNENDED");
    unended.labelRef = TextRef::fromOffset(19); // no line end in its first 100 bytes
    unended.sectionRef = TextRef::fromOffset(end);
    unended.descriptionRef = TextRef::fromOffset(19);
    unended.descriptionLineCount = 3;
    unended.typeCode = 'A';
    test::writeFile(project.resourceDir() / "ZEL01.CDC", indexOf({atEnd, past, unended}) + "partial");
    test::writeFile(project.resourceDir() / "ZEL02.CDC", text);
    ASSERT_NO_FATAL_FAILURE(start());

    // The trailing partial record is no variable; labels are cut at their
    // window and a label past the end is empty.
    EXPECT_EQ(list.rowCount(), 3u);
    EXPECT_EQ(list.rowLabel(1), "Good label");
    EXPECT_EQ(list.rowLabel(2), "");
    EXPECT_EQ(list.rowLabel(3), std::string(100, 'L'));

    // The category block at the end of the file holds one line, not 65,535.
    std::vector<std::string> lines;
    session.store.readLines(atEnd.categoryRef, 65535, LineVariant::CategoryFields, [&](std::string_view line) {
        lines.emplace_back(line);
        return true;
    });
    EXPECT_EQ(lines, std::vector<std::string>{"1\xDC" "5"});

    // Searches of every field end with nothing found.
    CommandState commands;
    Search search(list, session.store, ui, commands);
    SearchRequest request;
    request.text = "ZQXJ";
    request.fields = {true, true, true, true};
    const auto outcome = search.start(request, SearchMode::TagAll);
    EXPECT_TRUE(outcome.ran);
    EXPECT_FALSE(outcome.found);
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"Cannot Find 'ZQXJ' !"});
    ui.clearMessages();

    // The writers go through every block and finish.
    for (std::uint32_t r = 1; r <= 3; ++r)
        list.tagRow(r);
    for (int kind = 1; kind <= 5; ++kind) {
        SCOPED_TRACE(kind);
        EXPECT_EQ(write(kind, "HOSTILE" + std::to_string(kind)).status, OutputStatus::Written);
    }
    EXPECT_TRUE(ui.messages().empty());
}

TEST_F(HostileTest, RawDataWithoutTheLastLineEnd)
{
    project.dataFiles[0].dataPath = "DATA\\FILE1.DAT";
    project.add(variable("V", "L", "S", 1, 1, "1-3"));
    project.write();
    test::writeFile(project.driveD() / "DATA" / "FILE1.DAT", "abc\r\ndef");
    ASSERT_NO_FATAL_FAILURE(start());
    EXPECT_TRUE(exportRows({1}).completed);
    EXPECT_EQ(test::readFile(project.outputDir() / "DATA_FILE1.txt"), "V \r\n abc \r\n def \r\n");
}

TEST_F(HostileTest, ExportNeverReplacesTheFilesItReads)
{
    // The output directory is the root of the data drive, where the raw data
    // file's name is the one its part would get.
    project.dataFiles[0].dataPath = "FILE1.txt";
    project.dataFiles[0].rawLines = {"12", "34"};
    project.add(variable("V", "L", "S", 1, 1, "1-2"));
    project.write();
    ASSERT_NO_FATAL_FAILURE(start());
    session.settings.outputDir = "D:\\";
    EXPECT_FALSE(exportRows({1}).completed);
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{"Cannot update Access database !\nThe file D:\\\\FILE1.txt for FILE1.txt would "
                                       "replace D:\\FILE1.txt. Choose another output directory with Setup."});
    EXPECT_EQ(test::readFile(project.driveD() / "FILE1.txt"), "12\r\n34\r\n");

    // The same with the letter case of the name changed.
    ui.clearMessages();
    session.settings.outputDir = "d:";
    session.project.dataFiles[0].dataPath = "file1.TXT";
    fs::rename(project.driveD() / "FILE1.txt", project.driveD() / "file1.txt");
    EXPECT_FALSE(exportRows({1}).completed);
    EXPECT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(test::readFile(project.driveD() / "file1.txt"), "12\r\n34\r\n");

    // No output directory at all: nothing is written at the root.
    ui.clearMessages();
    session.settings.outputDir = "  ";
    session.project.dataFiles[0].dataPath = "QAVNHOSTILE.DAT";
    EXPECT_FALSE(exportRows({1}).completed);
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"Cannot update Access database !\nNo output directory is "
                                                          "set. Choose one with Setup."});
    EXPECT_FALSE(fs::exists("/QAVNHOSTILE.txt"));
}

TEST(HostileFilesTest, TagFilesWithLongAndGarbageLines)
{
    const auto started = std::chrono::steady_clock::now();
    test::TempDir dir;
    ScriptedUi ui;
    auto listOf = [&](std::uint32_t rows) {
        auto list = std::make_unique<VariableList>(VariableList::Mode::Main, &ui);
        list->setRowCount(rows);
        for (std::uint32_t r = 1; r <= rows; ++r)
            list->appendRow("V", r);
        list->showList(rows);
        return list;
    };
    auto taggedRows = [](const VariableList& list) {
        std::vector<std::uint32_t> rows;
        for (std::uint32_t r = 1; r <= list.rowCount(); ++r)
            if (list.isTagged(r))
                rows.push_back(r);
        return rows;
    };
    // 200-character lines are one value each: a number padded with blanks,
    // and digits that overflow.
    const std::string padded = std::string(197, ' ') + "4\r\n";
    const std::string overflowing = std::string(200, '9') + "\r\n";
    test::writeFile(dir / "LONG.TAG", "2\r\n" + padded + overflowing + "5\r\n");
    auto one = listOf(10);
    EXPECT_TRUE(importTagFile((dir / "LONG.TAG").string(), *one, ui));
    EXPECT_EQ(taggedRows(*one), (std::vector<std::uint32_t>{2, 4, 5}));

    // Merging walks both files in step; garbage, negative and huge values
    // take part as the numbers they read as and tag nothing themselves.
    test::writeFile(dir / "A.TAG", "-5\r\nxyz\r\n2\r\n" + padded + overflowing + "6\r\n");
    test::writeFile(dir / "B.TAG", "2\r\n" + padded + "6\r\n" + overflowing);
    auto both = listOf(10);
    EXPECT_TRUE(importTagFiles((dir / "A.TAG").string(), (dir / "B.TAG").string(), TagCombine::And, *both, ui));
    for (std::uint32_t r : taggedRows(*both))
        EXPECT_TRUE(r == 2 || r == 4 || r == 6) << r;
    EXPECT_FALSE(taggedRows(*both).empty());
    auto either = listOf(10);
    EXPECT_TRUE(importTagFiles((dir / "A.TAG").string(), (dir / "B.TAG").string(), TagCombine::Or, *either, ui));
    for (std::uint32_t r : taggedRows(*either))
        EXPECT_TRUE(r == 2 || r == 4 || r == 6) << r;
    EXPECT_EQ(taggedRows(*either), (std::vector<std::uint32_t>{2, 4, 6}));
    EXPECT_LT(std::chrono::steady_clock::now() - started, timeBound);
}

TEST(HostileFilesTest, SpecificationAndConfigurationLines)
{
    test::TempDir dir;
    test::ScopedEnv drive("QAVN_DRIVE_R", dir.path().string());
    ScriptedUi ui;
    // A data-file line of 5,000 characters is refused, not cut into fields.
    test::writeFile(dir / "QAVSPEC.ZEL", "TITLE\r\nZEL\r\n1\r\n1 1-5 " + std::string(4994, 'P') + "\r\n");
    ProjectSpec spec;
    spec.filePrefix = "ZEL";
    EXPECT_FALSE(readProjectSpec("R:", spec, ui));
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"QAVSPEC File Has Invalid Data !\nCannot Run QAVN."});

    // A configuration file of one line reads as a resource directory alone;
    // the Setup dialog's rewrite then gives the three kept lines empty.
    test::ScopedCwd cwd(dir.path());
    test::writeFile(dir / "ZELQAV.CFG", "c:\\res");
    Settings settings;
    ASSERT_TRUE(readConfigurationFile("ZELQAV.CFG", settings));
    settings.outputDir = "C:\\OUT";
    ASSERT_TRUE(writeConfiguration("ZELQAV.CFG", settings, SetupMode::Change, ui));
    EXPECT_EQ(test::readFile(dir / "ZELQAV.CFG"), "C:\\RES\r\nC:\\OUT\r\n\r\n\r\n\r\n");
}

TEST(HostileFilesTest, AnAddedExtensionNeverReplacesAFileUnasked)
{
    test::TempDir dir;
    test::ScopedEnv drive("QAVN_DRIVE_R", dir.path().string());
    ScriptedUi ui;
    test::writeFile(dir / "RESULT.SAS", "kept");
    // The dialog confirmed R:\RESULT.SAS itself: no second question.
    EXPECT_TRUE(confirmReplacement("R:\\RESULT.SAS", ".SAS", ui));
    // "RESULT" becomes RESULT.SAS, which the dialog never asked about.
    EXPECT_FALSE(confirmReplacement("R:\\RESULT", ".SAS", ui));
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{"R:\\RESULT.SAS already exists.\nDo you want to replace it?"});
    EXPECT_EQ(ui.messages()[0].buttons, Ui::Buttons::YesNo);
    ui.queueAnswer(Ui::Answer::Yes);
    EXPECT_TRUE(confirmReplacement("R:\\result", ".SAS", ui));
    // A name that exists nowhere is not asked about.
    ui.clearMessages();
    EXPECT_TRUE(confirmReplacement("R:\\OTHER", ".TXT", ui));
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_EQ(test::readFile(dir / "RESULT.SAS"), "kept");
}

} // namespace
} // namespace qavn
