// The Access DB data export: part files, values, limits and refusals.

#include "TestProject.h"

#include "codebook/OpenProject.h"
#include "catalogue/Loader.h"
#include "export/AccessExport.h"
#include "platform/Progress.h"
#include "platform/ScriptedUi.h"
#include "catalogue/VariableList.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <numeric>

namespace qavn {
namespace {

namespace fs = std::filesystem;
using test::variable;

struct RecordingProgress : Progress {
    std::map<std::string, std::string, std::less<>> texts;
    void setText(std::string_view field, std::string_view text) override { texts[std::string(field)] = text; }
};

// A project on disk, started and loaded as the program does it, and the
// export run on a list of variable numbers.
class AccessExportTest : public ::testing::Test {
protected:
    test::TestProject project;
    ScriptedUi ui;
    OpenProject session{ui};
    RecordingProgress progress;

    test::TestProject::DataFile& file(std::size_t f = 1) { return project.dataFiles[f - 1]; }

    void start()
    {
        project.write();
        ASSERT_TRUE(session.start("P=" + project.id, [](Settings&) {}));
        VariableList list(VariableList::Mode::Main, &ui);
        Progress loading;
        ASSERT_TRUE(loadVariables(session.store, session.project, list, ui, loading));
    }

    AccessExportResult run(const std::vector<std::uint32_t>& tagged, std::size_t failFromWrite = 0)
    {
        AccessExportOptions options;
        options.projectId = session.projectId;
        options.failFromWrite = failFromWrite;
        return runAccessExport(tagged, session.store, session.project, session.settings, ui, progress, options);
    }

    AccessExportResult runAll()
    {
        std::vector<std::uint32_t> all(session.store.recordCount());
        std::iota(all.begin(), all.end(), 1u);
        return run(all);
    }

    std::string output(const std::string& name) const { return test::readFile(project.outputDir() / name); }
    bool exists(const std::string& name) const { return fs::exists(project.outputDir() / name); }
};

TEST(AccessFormatTest, ValuesLocationsAndNames)
{
    struct ValueCase {
        std::string value;
        char type;
        std::string written;
    };
    const ValueCase values[] = {
        {"O'NEIL, JR  ", 'A', " \"O NEIL  JR\","},
        {"  12  ", ' ', "   12,"},
        {"1  ", ' ', " 1  ,"},
        {"A\"B", 'A', " \"A B\","},
        {"1  ", 'A', " \"1  \","},
        {"", '0', " ,"},
        {"x,y'z\"  \t\r\n", ' ', " x,y'z\","},
    };
    for (const auto& c : values) {
        std::string line;
        appendAccessValue(line, c.value, c.type);
        EXPECT_EQ(line, c.written) << c.value;
    }

    struct LocationCase {
        std::string text;
        std::int32_t first, last;
    };
    const LocationCase locations[] = {
        {"1-6", 1, 6}, {"7", 7, 7}, {" 3- 5", 3, 5}, {"-5", 0, 5}, {"12-x", 12, 0}, {"", 0, 0},
    };
    for (const auto& c : locations) {
        const ColumnRange r = parseColumnLocation(c.text);
        EXPECT_EQ(r.first, c.first) << c.text;
        EXPECT_EQ(r.last, c.last) << c.text;
    }

    EXPECT_EQ(accessPartName("C:\\OUT", "SURVEY\\DATA\\BASE.DAT", 0, 3), "C:\\OUT\\SURVEY_DATA_BASEa.txt");
    EXPECT_EQ(accessPartName("C:\\OUT", "SURVEY\\DATA\\BASE.DAT", 2, 3), "C:\\OUT\\SURVEY_DATA_BASEc.txt");
    EXPECT_EQ(accessPartName("C:\\OUT", "BASE.DAT", 0, 1), "C:\\OUT\\BASE.txt");
    // Nothing of the data path can lead out of the output directory.
    EXPECT_EQ(accessPartName("C:\\OUT", "..\\..\\ETC\\PASSWD", 0, 1), "C:\\OUT\\.txt");
    EXPECT_EQ(accessPartName("C:\\OUT", "SUB\\..\\..\\X", 0, 1), "C:\\OUT\\SUB_.txt");
    EXPECT_EQ(accessPartName("C:\\OUT", "D:\\DATA\\X.DAT", 0, 1), "C:\\OUT\\D__DATA_X.txt");
    EXPECT_EQ(accessPartName("C:\\OUT", "/etc/passwd", 0, 1), "C:\\OUT\\_etc_passwd.txt");
}

TEST_F(AccessExportTest, OneVariableWithIdentifier)
{
    file().idLocation = "1-5";
    file().rawLines = {"00017 12", "00018  3"};
    project.add(variable("V1", "First", "S", 1, 1, "7-8"));
    ASSERT_NO_FATAL_FAILURE(start());

    const auto result = run({1});
    EXPECT_TRUE(result.completed);
    EXPECT_EQ(result.generatedFiles, (std::vector<std::string>{"", "C:\\OUT\\DATA_FILE1.txt"}));
    EXPECT_EQ(output("DATA_FILE1.txt"), "ID,V1 \r\n 00017, 12 \r\n 00018,  3 \r\n");
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_EQ(progress.texts["1048"], "from [DATA\\FILE1.DAT] !");
    EXPECT_EQ(progress.texts["1050"], "2");
    EXPECT_EQ(progress.cancel, 0);
}

// Parts of 255 columns: the identifier opens every part.
TEST_F(AccessExportTest, PartsSplitAt255Columns)
{
    struct Case {
        int variables;
        bool identifier;
        std::vector<int> columnsPerPart;
    };
    const Case cases[] = {
        {254, true, {255}}, {255, true, {255, 2}}, {255, false, {255}}, {256, false, {255, 1}}, {509, true, {255, 255, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.variables) + (c.identifier ? " with identifier" : " without identifier"));
        test::TestProject p;
        p.dataFiles[0].idLocation = c.identifier ? "1-3" : "0";
        std::string line = "042";
        for (int v = 0; v < c.variables; ++v) {
            line += static_cast<char>('a' + v % 26);
            p.add(variable("V" + std::to_string(v + 1), "L", "S", 1, 1, std::to_string(v + 4)));
        }
        p.dataFiles[0].rawLines = {line};
        p.write();
        ScriptedUi u;
        OpenProject s(u);
        ASSERT_TRUE(s.start("P=ZEL", [](Settings&) {}));
        VariableList list(VariableList::Mode::Main, &u);
        Progress loading;
        ASSERT_TRUE(loadVariables(s.store, s.project, list, u, loading));
        std::vector<std::uint32_t> all(static_cast<std::size_t>(c.variables));
        std::iota(all.begin(), all.end(), 1u);
        Progress pr;
        const auto result = runAccessExport(all, s.store, s.project, s.settings, u, pr);
        ASSERT_TRUE(result.completed);
        ASSERT_EQ(result.generatedFiles.size(), c.columnsPerPart.size() + 1);

        int nextVariable = 1;
        for (std::size_t j = 0; j < c.columnsPerPart.size(); ++j) {
            const std::string suffix = c.columnsPerPart.size() > 1 ? std::string(1, static_cast<char>('a' + j)) : "";
            EXPECT_EQ(result.generatedFiles[j + 1], "C:\\OUT\\DATA_FILE1" + suffix + ".txt");
            std::string header, data;
            for (int k = 0; k < c.columnsPerPart[j]; ++k) {
                if (k == 0 && c.identifier) {
                    header += "ID,";
                    data += " 042,";
                    continue;
                }
                header += "V" + std::to_string(nextVariable) + ",";
                data += std::string(" ") + static_cast<char>('a' + (nextVariable - 1) % 26) + ",";
                ++nextVariable;
            }
            header.back() = ' ';
            data.back() = ' ';
            EXPECT_EQ(test::readFile(p.outputDir() / ("DATA_FILE1" + suffix + ".txt")), header + "\r\n" + data + "\r\n");
        }
        EXPECT_EQ(nextVariable, c.variables + 1);
    }
}

TEST_F(AccessExportTest, ShortLinesAndLineEndsLieBeyondTheLine)
{
    file().rawLines = {"ABCD", "AB", "ABCDEFGHIJKL  "};
    project.add(variable("LAST", "L", "S", 1, 1, "4-5"));  // on "ABCD\r\n": reaches into the line end
    project.add(variable("FAR", "L", "S", 1, 1, "7-8"));   // beyond the line end: one blank
    project.add(variable("TEXT", "L", "S", 1, 1, "3-14", 'A'));
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_TRUE(runAll().completed);
    // A field that reaches into the line end is short of its line: one
    // blank, never a CR inside the row.
    EXPECT_EQ(output("DATA_FILE1.txt"), "LAST,FAR,TEXT \r\n"
                                        "  ,  , \" \" \r\n"
                                        "  ,  , \" \" \r\n"
                                        " DE, GH, \"CDEFGHIJKL\" \r\n");
}

TEST_F(AccessExportTest, CasesAcrossLinesEndAndAbort)
{
    // Every value comes from its own line, whatever the order of the tagged
    // variables; a last case short of the lines it needs is dropped.
    file().linesPerCase = 3;
    file().idLocation = "1-2";
    file().rawLines = {"01 a", "01 b", "01 c", "02 d", "02 e", "02 f", "03 g"};
    project.add(variable("ON2", "L", "S", 1, 2, "4"));
    project.add(variable("ON1", "L", "S", 1, 1, "4"));
    project.add(variable("ON3", "L", "S", 1, 3, "4"));
    ASSERT_NO_FATAL_FAILURE(start());
    auto result = runAll();
    EXPECT_TRUE(result.completed);
    EXPECT_EQ(output("DATA_FILE1.txt"), "ID,ON2,ON1,ON3 \r\n 01, b, a, c \r\n 02, e, d, f \r\n");

    // Only line 1 needed: a last case that lacks unneeded lines is written.
    result = run({2});
    EXPECT_TRUE(result.completed);
    EXPECT_EQ(output("DATA_FILE1.txt"), "ID,ON1 \r\n 01, a \r\n 02, d \r\n 03, g \r\n");
    EXPECT_TRUE(ui.messages().empty());
}

TEST_F(AccessExportTest, VariableBeyondLinesPerCaseWritesOneCaseThenAborts)
{
    file().linesPerCase = 2;
    file().rawLines = {"A1", "A2", "A3", "A4", "A5", "A6"};
    project.add(variable("L1", "L", "S", 1, 1, "2"));
    project.add(variable("L3", "L", "S", 1, 3, "2"));
    ASSERT_NO_FATAL_FAILURE(start());
    const auto result = runAll();
    EXPECT_FALSE(result.completed);
    EXPECT_EQ(progress.cancel, 1);
    EXPECT_EQ(output("DATA_FILE1.txt"), "L1,L3 \r\n 1, 3 \r\n");
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].text, accessLinesMessage);
    EXPECT_EQ(ui.messages()[0].buttons, Ui::Buttons::Ok);
    EXPECT_EQ(ui.messages()[0].icon, Ui::Icon::None);
}

TEST_F(AccessExportTest, VariableNamedIdRepeatsTheRememberedIdentifier)
{
    file().rawLines = {"001 42", "002 43"};
    project.add(variable("ID", "L", "S", 1, 1, "1-3"));
    project.add(variable("V", "L", "S", 1, 1, "5-6"));
    project.add(variable("ID", "L", "S", 1, 1, "5-6", 'A'));
    ASSERT_NO_FATAL_FAILURE(start());

    // First column: cut and remembered; later: the remembered identifier.
    ASSERT_TRUE(runAll().completed);
    EXPECT_EQ(output("DATA_FILE1.txt"), "ID,V,ID \r\n 001, 42, \"001\" \r\n 002, 43, \"002\" \r\n");
    // Nothing remembered yet: an empty value.
    ASSERT_TRUE(run({2, 3}).completed);
    EXPECT_EQ(output("DATA_FILE1.txt"), "V,ID \r\n 42, \"\" \r\n 43, \"\" \r\n");
}

TEST_F(AccessExportTest, DataFilesGiveTheirPartsInOrder)
{
    file(1).rawLines = {"11", "12"};
    project.dataFiles.push_back({1, "0", "DATA\\NONE.DAT", {"x"}});
    project.dataFiles.push_back({1, "0", "DATA\\FILE3.DAT", {"31"}});
    project.add(variable("A", "L", "S", 1, 1, "1-2"));
    project.add(variable("B", "L", "S", 1, 1, "2"));
    project.add(variable("N", "L", "S", 2, 1, "1"));
    project.add(variable("C", "L", "S", 3, 1, "1-2"));
    ASSERT_NO_FATAL_FAILURE(start());
    const auto result = run({2, 4});
    EXPECT_TRUE(result.completed);
    EXPECT_EQ(result.generatedFiles,
              (std::vector<std::string>{"", "C:\\OUT\\DATA_FILE1.txt", "C:\\OUT\\DATA_FILE3.txt"}));
    EXPECT_EQ(output("DATA_FILE1.txt"), "B \r\n 1 \r\n 2 \r\n");
    EXPECT_EQ(output("DATA_FILE3.txt"), "C \r\n 31 \r\n");
    EXPECT_FALSE(exists("DATA_NONE.txt"));
}

TEST_F(AccessExportTest, CancelKeepsWhatWasWritten)
{
    for (int i = 0; i < 50; ++i)
        file().rawLines.push_back(std::to_string(10 + i));
    project.add(variable("V", "L", "S", 1, 1, "1-2"));
    ASSERT_NO_FATAL_FAILURE(start());
    // Pump steps: two at the start, one after opening the raw data, one per
    // column, then one per case.
    ui.cancelAfter(2 + 1 + 1 + 5, progress.cancel);
    const auto result = run({1});
    EXPECT_FALSE(result.completed);
    EXPECT_EQ(output("DATA_FILE1.txt"), "V \r\n 10 \r\n 11 \r\n 12 \r\n 13 \r\n 14 \r\n");
    EXPECT_TRUE(ui.messages().empty());
}

TEST_F(AccessExportTest, OpenFailures)
{
    project.add(variable("V", "L", "S", 1, 1, "1"));
    ASSERT_NO_FATAL_FAILURE(start()); // no raw data written
    auto result = run({1});
    EXPECT_FALSE(result.completed);
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"Cannot Open D:\\DATA\\FILE1.DAT"});
    EXPECT_EQ(output("DATA_FILE1.txt"), ""); // parts are created first

    ui.clearMessages();
    fs::remove_all(project.outputDir());
    result = run({1});
    EXPECT_FALSE(result.completed);
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"Cannot Open C:\\OUT\\DATA_FILE1.txt"});
}

TEST_F(AccessExportTest, WriteFailureIsReported)
{
    for (int i = 0; i < 20000; ++i)
        file().rawLines.push_back("0123456789");
    project.add(variable("V", "L", "S", 1, 1, "1-10"));
    ASSERT_NO_FATAL_FAILURE(start());
    test::writeFile(project.outputDir() / "DATA_FILE1.txt", "earlier");
    const auto result = run({1}, 2); // the disk is full from the second write on
    EXPECT_FALSE(result.completed);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].text,
              "Cannot update Access database !\nNo space left on device\nC:\\OUT\\DATA_FILE1.txt");
    // Stopped at the failure, not after reading the whole file.
    EXPECT_LT(std::stoi(progress.texts["1050"]), 20000);
    EXPECT_EQ(output("DATA_FILE1.txt"), "earlier"); // an incomplete extract never takes the name
}

// The parts are made inside the output folder, never through a link, and
// never over a project file; a damaged path is refused.
TEST_F(AccessExportTest, WritesOnlyItsOwnNamesInsideTheOutputFolder)
{
    file().idLocation = "1-1";
    file().rawLines = {"1ab", "2c", "3", "4de"};
    project.add(variable("V", "L", "S", 1, 1, "2-3"));
    ASSERT_NO_FATAL_FAILURE(start());

    ASSERT_TRUE(run({1}).completed);

    const fs::path elsewhere = project.root() / "elsewhere.txt";
    test::writeFile(elsewhere, "mine");
    fs::remove(project.outputDir() / "DATA_FILE1.txt");
    fs::create_symlink(elsewhere, project.outputDir() / "DATA_FILE1.txt");
    ASSERT_TRUE(run({1}).completed);
    EXPECT_EQ(test::readFile(elsewhere), "mine");
    EXPECT_FALSE(fs::is_symlink(project.outputDir() / "DATA_FILE1.txt"));
    fs::remove(project.outputDir() / "DATA_FILE1.txt");
    fs::create_symlink(project.root() / "dangling.txt", project.outputDir() / "DATA_FILE1.txt");
    ASSERT_TRUE(run({1}).completed);
    EXPECT_FALSE(fs::exists(project.root() / "dangling.txt"));

    // A link to a project file is that file.
    fs::remove(project.outputDir() / "DATA_FILE1.txt");
    fs::create_symlink(project.root() / "ZELQAV.CFG", project.outputDir() / "DATA_FILE1.txt");
    const std::string configuration = test::readFile(project.root() / "ZELQAV.CFG");
    ui.clearMessages();
    EXPECT_FALSE(run({1}).completed);
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"Cannot update Access database !\nThe file "
                                                          "C:\\OUT\\DATA_FILE1.txt for DATA\\FILE1.DAT would replace "
                                                          "ZELQAV.CFG. Choose another output directory with Setup."});
    EXPECT_EQ(test::readFile(project.root() / "ZELQAV.CFG"), configuration);
    fs::remove(project.outputDir() / "DATA_FILE1.txt");

    struct Case {
        const char* what;
        std::string outputDir;
        std::string dataPath;
        std::string message;
    };
    const Case cases[] = {
        {"NUL in the output folder", std::string("C:\\OUT\0X", 9), "DATA\\FILE1.DAT",
         "The output directory holds a control character. Choose another one with Setup."},
        {"control byte in the data path", "C:\\OUT", "DATA\\FI\x01LE1.DAT",
         "The data path of data file 1 holds a control character; the project specification file is damaged."},
        {"data path out of the drive", "C:\\OUT", "..\\..\\FILE1.DAT",
         "The data path ..\\..\\FILE1.DAT leads out of its drive's folder; the project specification file is "
         "damaged."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Settings settings = session.settings;
        settings.outputDir = c.outputDir;
        ProjectSpec spec = session.project;
        spec.dataFiles[0].dataPath = c.dataPath;
        ui.clearMessages();
        const std::vector<std::uint32_t> tagged{1};
        EXPECT_FALSE(runAccessExport(tagged, session.store, spec, settings, ui, progress).completed);
        EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"Cannot update Access database !\n" + c.message});
    }
    EXPECT_EQ(fs::directory_iterator(project.outputDir()), fs::directory_iterator());
}

// Input the output could only get wrong is refused before any file of the
// data file is made.
TEST_F(AccessExportTest, RefusesWhatCannotBeCutFaithfully)
{
    struct Case {
        std::string name;
        std::string idLocation;
        std::string location;
        std::uint8_t line;
        std::string expected;
    };
    const std::string longId = "+00000000000000000000000000000000000000000000000001-5";
    const Case cases[] = {
        {"before column 1", "0", "0-4", 1, "The variable V of DATA\\FILE1.DAT has the location \"0-4\", which starts before column 1."},
        {"line 0", "0", "1-4", 0, "The variable V of DATA\\FILE1.DAT lies on line 0 of a case."},
        {"value too wide", "0", "1-8000", 1, "The variable V of DATA\\FILE1.DAT has the location \"1-8000\", wider than 7,999 characters."},
        {"identifier too wide", "1-100", "1-2", 1, "The identifier ID of DATA\\FILE1.DAT has the location \"1-100\", wider than 99 characters."},
        {"identifier location too long", longId, "1-2", 1, "The identifier location \"" + longId + "\" of DATA\\FILE1.DAT is longer than 51 characters."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TestProject p;
        p.dataFiles[0].idLocation = c.idLocation;
        p.dataFiles[0].rawLines = {"12345"};
        p.add(variable("V", "L", "S", 1, c.line, c.location));
        p.write();
        ScriptedUi u;
        OpenProject s(u);
        ASSERT_TRUE(s.start("P=ZEL", [](Settings&) {}));
        VariableList list(VariableList::Mode::Main, &u);
        Progress loading, pr;
        ASSERT_TRUE(loadVariables(s.store, s.project, list, u, loading));
        const std::vector<std::uint32_t> tagged{1};
        EXPECT_FALSE(runAccessExport(tagged, s.store, s.project, s.settings, u, pr).completed);
        EXPECT_EQ(u.messageTexts(), std::vector<std::string>{"Cannot update Access database !\n" + c.expected});
        EXPECT_FALSE(fs::exists(p.outputDir() / "DATA_FILE1.txt"));
    }
}

TEST_F(AccessExportTest, RefusesMoreThanThirtyParts)
{
    file().rawLines = {"1"};
    for (int v = 0; v < 30 * 255 + 1; ++v)
        project.add(variable("V", "L", "S", 1, 1, "1"));
    ASSERT_NO_FATAL_FAILURE(start());
    auto all = std::vector<std::uint32_t>(30 * 255 + 1);
    std::iota(all.begin(), all.end(), 1u);
    EXPECT_FALSE(run(all).completed);
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{"Cannot update Access database !\nThe tagged variables of DATA\\FILE1.DAT need "
                                       "31 files of 255 columns; at most 30 can be written. Tag fewer variables of "
                                       "this data file."});
    EXPECT_TRUE(fs::is_empty(project.outputDir()));

    // 30 parts are still written.
    ui.clearMessages();
    all.pop_back();
    const auto result = run(all);
    EXPECT_TRUE(result.completed);
    EXPECT_EQ(result.generatedFiles.size(), 31u);
    EXPECT_EQ(result.generatedFiles.back(), "C:\\OUT\\DATA_FILE1~.txt");
}

TEST_F(AccessExportTest, RefusesOverlongRawLineAndNameClash)
{
    file().rawLines = {"1", std::string(14997, 'x'), std::string(14998, 'y'), "2"};
    project.dataFiles.push_back({1, "0", "data\\file1.txt", {"3"}});
    project.add(variable("V", "L", "S", 1, 1, "1"));
    project.add(variable("W", "L", "S", 2, 1, "1"));
    ASSERT_NO_FATAL_FAILURE(start());

    // 14,997 characters and CR LF fit; 14,998 and CR LF do not.
    EXPECT_FALSE(run({1}).completed);
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"Cannot update Access database !\nLine 3 of "
                                                          "D:\\DATA\\FILE1.DAT is longer than 14,999 characters."});
    EXPECT_EQ(output("DATA_FILE1.txt"), "V \r\n 1 \r\n x \r\n");

    ui.clearMessages();
    test::writeFile(project.driveD() / "DATA" / "FILE1.DAT", "1\r\n");
    EXPECT_FALSE(run({1, 2}).completed);
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"Cannot update Access database !\nThe file "
                                                          "C:\\OUT\\data_file1.txt for data\\file1.txt has already "
                                                          "been written for an earlier data file of this project."});
    EXPECT_EQ(output("DATA_FILE1.txt"), "V \r\n 1 \r\n");
}

} // namespace
} // namespace qavn
