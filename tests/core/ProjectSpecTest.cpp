#include "TestProject.h"

#include "project/Configuration.h"
#include "project/ProjectSpec.h"
#include "codebook/OpenProject.h"
#include "platform/ScriptedUi.h"
#include "platform/Strings.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <unistd.h>

#include <gtest/gtest.h>

namespace qavn {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

constexpr const char* invalidData = "QAVSPEC File Has Invalid Data !\nCannot Run QAVN.";
const std::string defaultSas = "***** You WILL need to edit this code *******;\r\n"
                               "***** Check all PROC FORMAT statements ******;\r\n"
                               "***** Check all MERGE statements ************;\r\n"
                               "***** Check for unneeded semicolons *********;\r\n";
const std::string defaultSpss = "* You will need to EDIT this code!  Please check all.\r\n"
                                "* FILE=  and MATCH FILES statements.\r\n";

struct SpecRead {
    bool ok;
    ProjectSpec spec;
    std::vector<std::string> messages;
};

SpecRead readSpec(const std::string& bytes, const std::string& id = "ZEL")
{
    TempDir dir;
    test::ScopedEnv drive("QAVN_DRIVE_R", dir.path().string());
    writeFile(dir / ("QAVSPEC." + id), bytes);
    ScriptedUi ui;
    SpecRead result;
    result.spec.filePrefix = id;
    result.ok = readProjectSpec("R:", result.spec, ui);
    result.messages = ui.messageTexts();
    return result;
}

TEST(ProjectSpecTest, ReadsTheSmallestFileWithDefaultHeaders)
{
    const auto r = readSpec("SAMPLE STUDY\nZEL\n1\n2 1-6 DATA\\YOUTH.DAT\n");
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(r.messages.empty());
    EXPECT_EQ(r.spec.dataSetTitle, "SAMPLE STUDY");
    EXPECT_EQ(r.spec.filePrefix, "ZEL");
    ASSERT_EQ(r.spec.dataFiles.size(), 1u);
    const DataFileEntry& f = r.spec.dataFiles[0];
    EXPECT_EQ(f.linesPerCase, 2);
    EXPECT_EQ(f.idLocation, "1-6");
    EXPECT_EQ(f.dataPath, "DATA\\YOUTH.DAT");
    EXPECT_EQ(f.fileTitle, "YOUTH");
    EXPECT_EQ(f.firstRow, 0u);
    EXPECT_TRUE(f.hasIdentifier());
    EXPECT_EQ(r.spec.sasHeader, defaultSas);
    EXPECT_EQ(r.spec.spssHeader, defaultSpss);
}

TEST(ProjectSpecTest, HeaderLinesReplaceTheDefaultsAndBlankLinesAreSkipped)
{
    const auto r = readSpec("  SAMPLE STUDY \r\nZEL\r\n  3abc\r\n1 0 A.DAT\r\n1 1-5 B.DAT\r\n3 1-5 DISK1.DAT\\PART.ONE\r\n"
                            "\r\n   \r\n LIBNAME IN 'D:\\' \r\n\r\n");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.spec.dataSetTitle, "SAMPLE STUDY");
    ASSERT_EQ(r.spec.dataFiles.size(), 3u);
    EXPECT_FALSE(r.spec.dataFiles[0].hasIdentifier());
    EXPECT_EQ(r.spec.dataFiles[2].fileTitle, "PART");
    EXPECT_EQ(r.spec.sasHeader, "LIBNAME IN 'D:\\';\r\n");
    EXPECT_EQ(r.spec.spssHeader, "LIBNAME IN 'D:\\'.\r\n");
}

TEST(ProjectSpecTest, FailuresShowTheirMessages)
{
    struct Case {
        const char* name;
        std::string bytes;
        std::string message;
    };
    const std::string path = "R:\\QAVSPEC.ZEL";
    const std::vector<Case> cases = {
        {"ends within the first three lines", "TITLE\nZEL\n", invalidData},
        {"empty file", "", invalidData},
        {"count of zero", "TITLE\nZEL\n0\n1 0 A.DAT\n", "Cannot Open '" + path + "' Has Invalid Entry !"},
        {"non-numeric count", "TITLE\nZEL\nthree\n1 0 A.DAT\n", "Cannot Open '" + path + "' Has Invalid Entry !"},
        {"blank count line", "TITLE\nZEL\n\n1 0 A.DAT\n", "Cannot Open '" + path + "' Has Invalid Entry !"},
        {"negative count", "TITLE\nZEL\n-2\n1 0 A.DAT\n", invalidData},
        {"missing data file lines", "TITLE\nZEL\n3\n1 0 A.DAT\n", invalidData},
        {"one-field data file line", "TITLE\nZEL\n1\n2\n", invalidData},
        {"two-field data file line", "TITLE\nZEL\n1\n2 1-5\n", invalidData},
        {"blank data file line", "TITLE\nZEL\n1\n\n", invalidData},
        {"no lines per case", "TITLE\nZEL\n1\nX 1-5 A.DAT\n", invalidData},
        {"zero lines per case", "TITLE\nZEL\n1\n0 1-5 A.DAT\n", invalidData},
        {"largest lines per case", "TITLE\nZEL\n1\n2147483647 1-5 A.DAT\n", invalidData},
        {"over-long data path", "TITLE\nZEL\n1\n1 0 " + std::string(80, 'P') + "\n", invalidData},
        {"over-long identifier location", "TITLE\nZEL\n1\n1 " + std::string(112, '1') + " A.DAT\n", invalidData},
        {"over-long title line", std::string(5000, 'T') + "\nZEL\n1\n1 0 A.DAT\n", invalidData},
        {"over-long header line", "TITLE\nZEL\n1\n1 0 A.DAT\n" + std::string(5000, 'H') + "\n", invalidData},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = readSpec(c.bytes);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.messages, std::vector<std::string>{c.message});
    }
}

TEST(ProjectSpecTest, ReadErrorsNameTheFileTheLineAndTheReason)
{
    struct Case {
        const char* name;
        std::string bytes;
        ReadError::Kind kind;
        std::uint64_t line;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"empty file", "", ReadError::Kind::InvalidData, 1, "the file ends before the data set title"},
        {"ends before the count", "TITLE\nZEL\n", ReadError::Kind::InvalidData, 3,
         "the file ends before the data file count"},
        {"count of zero", "TITLE\nZEL\n0\n", ReadError::Kind::Empty, 3, "data file count is 0"},
        {"non-numeric count", "TITLE\nZEL\nthree\n", ReadError::Kind::Empty, 3,
         "data file count 'three' is not a number"},
        {"negative count", "TITLE\nZEL\n-2\n", ReadError::Kind::InvalidData, 3,
         "data file count is -2, not a positive number"},
        {"missing data file line", "TITLE\nZEL\n2\n1 0 A.DAT\n", ReadError::Kind::InvalidData, 5,
         "the file ends before data file line 2 of 2"},
        {"two-field data file line", "TITLE\nZEL\n2\n1 0 A.DAT\r\n2 1-5\r\n", ReadError::Kind::InvalidData, 5,
         "data-file line has 2 fields, 3 needed"},
        {"blank data file line", "TITLE\nZEL\n1\n\n", ReadError::Kind::InvalidData, 4,
         "data-file line has 0 fields, 3 needed"},
        {"no lines per case", "TITLE\nZEL\n1\nX 1-5 A.DAT\n", ReadError::Kind::InvalidData, 4,
         "lines per case 'X' is not a number"},
        {"zero lines per case", "TITLE\nZEL\n1\n0 1-5 A.DAT\n", ReadError::Kind::InvalidData, 4,
         "lines per case is 0, at least 1 needed"},
        // Counts no project has, which the program writers would turn into
        // one statement a line: refused however they are written.
        {"lines per case past the bound", "TITLE\nZEL\n1\n10000 1-5 A.DAT\n", ReadError::Kind::InvalidData, 4,
         "lines per case is 10000, at most 9999"},
        {"largest lines per case", "TITLE\nZEL\n2\n1 0 A.DAT\n2147483647 1-5 B.DAT\n", ReadError::Kind::InvalidData,
         5, "lines per case is 2147483647, at most 9999"},
        {"saturating lines per case", "TITLE\nZEL\n1\n99999999999999 1-5 A.DAT\n", ReadError::Kind::InvalidData,
         4, "lines per case is 2147483647, at most 9999"},
        {"over-long data path", "TITLE\nZEL\n1\n1 0 " + std::string(80, 'P') + "\n", ReadError::Kind::InvalidData,
         4, "data path has 80 characters, at most 79"},
        {"control byte in the data path", "TITLE\nZEL\n1\n1 0 DATA\\A" + std::string(1, '\0') + "B.DAT\n",
         ReadError::Kind::InvalidData, 4, "data path holds the control byte 0x00 at character 7"},
        {"over-long header line", "TITLE\nZEL\n1\n1 0 A.DAT\nH\n" + std::string(5000, 'H') + "\n",
         ReadError::Kind::InvalidData, 6, "line longer than 997 characters"},
    };
    TempDir dir;
    test::ScopedEnv drive("QAVN_DRIVE_R", dir.path().string());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(dir / "QAVSPEC.ZEL", c.bytes);
        const auto read = readProjectSpecFile("R:", "ZEL");
        ASSERT_FALSE(read);
        EXPECT_EQ(read.error().kind, c.kind);
        EXPECT_EQ(read.error().file, "R:\\QAVSPEC.ZEL");
        EXPECT_EQ(read.error().line, c.line);
        EXPECT_EQ(read.error().reason, c.reason);
        EXPECT_EQ(describe(read.error()), "R:\\QAVSPEC.ZEL line " + std::to_string(c.line) + ": " + c.reason);
    }
}

TEST(ProjectSpecTest, LimitsThatStillFitAreAccepted)
{
    const auto r = readSpec("TITLE\nZEL\n1\n1 " + std::string(111, '1') + " " + std::string(79, 'P') + "\n" +
                            std::string(997, 'H') + "\n");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.spec.dataFiles[0].dataPath.size(), 79u);
    EXPECT_EQ(r.spec.sasHeader, std::string(997, 'H') + ";\r\n");
    const auto most = readSpec("TITLE\nZEL\n1\n9999 0 A.DAT\n");
    ASSERT_TRUE(most.ok);
    EXPECT_EQ(most.spec.dataFiles[0].linesPerCase, 9999);
}

TEST(ProjectSpecTest, MissingFileIsReportedWithItsPath)
{
    TempDir dir;
    test::ScopedEnv drive("QAVN_DRIVE_R", dir.path().string());
    ScriptedUi ui;
    ProjectSpec spec;
    spec.filePrefix = "NONE";
    EXPECT_FALSE(readProjectSpec("R:\\RES", spec, ui));
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"Cannot Open 'R:\\RES\\QAVSPEC.NONE' !"});
    EXPECT_EQ(ui.messages()[0].icon, Ui::Icon::Stop);
}

TEST(ProjectSpecTest, TheWindowsOpenFailuresCarryWhereTheProgramLookedAsDetail)
{
    // No drive variable for Q: and no folder q here: the box keeps its text
    // and says, under it, which host path was tried and what maps the drive.
    test::ScopedEnv unset("QAVN_DRIVE_Q", "");
    ::unsetenv("QAVN_DRIVE_Q");
    ScriptedUi ui;
    ProjectSpec spec;
    spec.filePrefix = "FAIR";
    EXPECT_FALSE(readProjectSpec("Q:\\QAVN\\FAIR", spec, ui));
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].text, "Cannot Open 'Q:\\QAVN\\FAIR\\QAVSPEC.FAIR' !");
    const std::string& detail = ui.messages()[0].detail;
    EXPECT_NE(detail.find("QAVSPEC.FAIR"), std::string::npos) << detail;
    EXPECT_NE(detail.find("QAVN_DRIVE_Q"), std::string::npos) << detail;
    EXPECT_NE(detail.find("not set"), std::string::npos) << detail;

    // The codebook files likewise.
    test::TestProject project;
    project.add(test::variable("AGE", "Age"));
    project.write();
    std::filesystem::remove(project.resourceDir() / "ZEL02.CDC");
    ScriptedUi storeUi;
    CodebookStore store(storeUi);
    EXPECT_FALSE(store.open("C:\\RES", "ZEL"));
    ASSERT_EQ(storeUi.messages().size(), 1u);
    EXPECT_EQ(storeUi.messages()[0].text, "Cannot Open ZEL02.CDC !");
    EXPECT_NE(storeUi.messages()[0].detail.find((project.resourceDir() / "ZEL02.CDC").string()), std::string::npos)
        << storeUi.messages()[0].detail;
}

TEST(ConfigurationTest, ValuesAreTrimmedAndUpperCased)
{
    TempDir dir;
    test::ScopedCwd cwd(dir.path());
    writeFile(dir / "ZELQAV.CFG", "d:\\survey\\data\r\n  d:\\out\r\n   f  \r\n1\r\n1\r\n3");
    Settings s;
    ASSERT_TRUE(readConfigurationFile("ZELQAV.CFG", s));
    EXPECT_EQ(s.resourceDir, "D:\\SURVEY\\DATA");
    EXPECT_EQ(s.outputDir, "D:\\OUT");
    EXPECT_EQ(s.cdromDrive, 'F');

    writeFile(dir / "ONEQAV.CFG", "c:\\res");
    Settings one;
    ASSERT_TRUE(readConfigurationFile("ONEQAV.CFG", one));
    EXPECT_EQ(one.resourceDir, "C:\\RES");
    EXPECT_EQ(one.outputDir, "");
    EXPECT_EQ(one.cdromDrive, '\0');
}

TEST(ConfigurationTest, AMissingFileIsReportedWithTheHostPathAndTheDriveThatMapsIt)
{
    TempDir dir;
    test::ScopedCwd cwd(dir.path());
    Settings s;
    const auto here = readConfigurationFile("ZELQAV.CFG", s);
    ASSERT_FALSE(here);
    EXPECT_EQ(here.error().kind, ReadError::Kind::CannotOpen);
    EXPECT_EQ(here.error().file, "ZELQAV.CFG");
    EXPECT_EQ(here.error().hostPath, (std::filesystem::current_path() / "ZELQAV.CFG").string());
    EXPECT_EQ(here.error().reason, std::strerror(ENOENT));
    EXPECT_FALSE(here.error().drive);

    {
        test::ScopedEnv unset("QAVN_DRIVE_K", "");
        const auto unmapped = readConfigurationFile("k:\\CFG\\ZELQAV.CFG", s);
        ASSERT_FALSE(unmapped);
        EXPECT_EQ(describe(unmapped.error()),
                  "cannot open k:\\CFG\\ZELQAV.CFG (host path /mnt/k/CFG/ZELQAV.CFG; drive K: maps through "
                  "QAVN_DRIVE_K, which is not set): " +
                      std::string(std::strerror(ENOENT)));
    }
    test::ScopedEnv mapped("QAVN_DRIVE_K", dir.path().string());
    std::filesystem::create_directories(dir / "CFG" / "ZELQAV.CFG");
    const auto directory = readConfigurationFile("K:\\CFG\\ZELQAV.CFG", s);
    ASSERT_FALSE(directory);
    EXPECT_EQ(directory.error().hostPath, (dir / "CFG" / "ZELQAV.CFG").string());
    EXPECT_EQ(directory.error().reason, std::strerror(EISDIR));
    ASSERT_TRUE(directory.error().drive);
    EXPECT_EQ(directory.error().drive->variable, "QAVN_DRIVE_K");
    EXPECT_TRUE(directory.error().drive->set);
}

TEST(ConfigurationTest, CreationWritesTheExactBytes)
{
    TempDir dir;
    test::ScopedCwd cwd(dir.path());
    Settings s;
    s.resourceDir = "D:\\RES";
    s.outputDir = "D:\\OUT";
    s.cdromDrive = 'E';
    ScriptedUi ui;
    ASSERT_TRUE(writeConfiguration("ZELQAV.CFG", s, SetupMode::Creation, ui));
    EXPECT_EQ(readFile(dir / "ZELQAV.CFG"), "D:\\RES\r\nD:\\OUT\r\nE\r\n0\r\n0\r\n2");
    EXPECT_TRUE(ui.messages().empty());
}

TEST(ConfigurationTest, ChangeKeepsLinesFourToSixAndDropsTheRest)
{
    TempDir dir;
    test::ScopedCwd cwd(dir.path());
    Settings s;
    s.resourceDir = "C:\\NEW";
    s.outputDir = "C:\\OUT2";
    s.cdromDrive = 'G';
    ScriptedUi ui;

    writeFile(dir / "AQAV.CFG", "X\r\nY\r\nD\r\n 1 \r\n1\r\n3\r\nseven\r\neight\r\n");
    ASSERT_TRUE(writeConfiguration("AQAV.CFG", s, SetupMode::Change, ui));
    EXPECT_EQ(readFile(dir / "AQAV.CFG"), "C:\\NEW\r\nC:\\OUT2\r\nG\r\n1\r\n1\r\n3");

    writeFile(dir / "BQAV.CFG", "X\nY\nD\n");
    ASSERT_TRUE(writeConfiguration("BQAV.CFG", s, SetupMode::Change, ui));
    EXPECT_EQ(readFile(dir / "BQAV.CFG"), "C:\\NEW\r\nC:\\OUT2\r\nG\r\n\r\n\r\n");

    // No previous file in change mode: the message, and nothing is written.
    EXPECT_FALSE(writeConfiguration("CQAV.CFG", s, SetupMode::Change, ui));
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"Cannot Open CQAV.CFG !"});
    EXPECT_FALSE(std::filesystem::exists(dir / "CQAV.CFG"));
    // No temporary file is left behind by any of the rewrites.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

TEST(ConfigurationTest, AFailedWriteIsReportedAndLeavesNoTemporaryFile)
{
    TempDir dir;
    test::ScopedCwd cwd(dir.path());
    // A directory in the file's place makes the final rename fail, for root too.
    std::filesystem::create_directories(dir / "ZELQAV.CFG" / "inside");
    Settings s;
    s.resourceDir = "NEW";
    ScriptedUi ui;
    EXPECT_FALSE(writeConfiguration("ZELQAV.CFG", s, SetupMode::Creation, ui));
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].text.rfind("Cannot Write ZELQAV.CFG !\n", 0), 0u);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "ZELQAV.CFG" / "inside"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(ConfigurationTest, SetupOkWithNothingChangedKeepsTheFileAsItIs)
{
    TempDir dir;
    test::ScopedCwd cwd(dir.path());
    ScriptedUi ui;
    // A first line far longer than a field shows, Latin-1 bytes in a path,
    // and no line end after the last kept line: read at start-up and written
    // back, the file is the same bytes.
    const std::string bytes = "C:\\" + std::string(600, 'R') + "\r\nD:\\SORTIE\xC9T\xC9\r\nE\r\nkeep4\r\nkeep5\r\nkeep6";
    writeFile(dir / "ZELQAV.CFG", bytes);
    Settings s;
    ASSERT_TRUE(readConfigurationFile("ZELQAV.CFG", s));
    ASSERT_TRUE(writeConfiguration("ZELQAV.CFG", s, SetupMode::Change, ui));
    EXPECT_EQ(readFile(dir / "ZELQAV.CFG"), bytes);
    EXPECT_TRUE(ui.messages().empty());

    // A configuration shared through a symbolic link: the link stays, the
    // file it leads to is rewritten and keeps its permissions.
    std::filesystem::create_directories(dir / "shared");
    writeFile(dir / "shared" / "ZEL.CFG", bytes);
    std::filesystem::permissions(dir / "shared" / "ZEL.CFG", std::filesystem::perms(0640));
    std::filesystem::create_symlink("shared/ZEL.CFG", dir / "LNKQAV.CFG");
    s.outputDir = "D:\\NEW";
    ASSERT_TRUE(writeConfiguration("LNKQAV.CFG", s, SetupMode::Change, ui));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "LNKQAV.CFG"));
    EXPECT_EQ(readFile(dir / "shared" / "ZEL.CFG"),
              "C:\\" + std::string(600, 'R') + "\r\nD:\\NEW\r\nE\r\nkeep4\r\nkeep5\r\nkeep6");
    EXPECT_EQ(std::filesystem::status(dir / "shared" / "ZEL.CFG").permissions(), std::filesystem::perms(0640));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "shared"), {}), 1);
}

TEST(ConfigurationTest, AFolderThatCannotTakeTheFileIsNamed)
{
    TempDir dir;
    test::ScopedCwd cwd(dir.path());
    writeFile(dir / "NOTDIR", "a file, not a folder");
    Settings s;
    s.resourceDir = "NEW";
    ScriptedUi ui;
    EXPECT_FALSE(writeConfiguration("NOTDIR/ZELQAV.CFG", s, SetupMode::Creation, ui));
    const std::string tmp = "ZELQAV.CFG.tmp" + std::to_string(static_cast<long>(::getpid()));
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"Cannot Write NOTDIR/ZELQAV.CFG !\nNot a directory: the folder " +
                                                          (dir / "NOTDIR").string() +
                                                          " cannot take the temporary file " + tmp});
}

TEST(ConfigurationTest, MissingFileOffersTheSetupDialog)
{
    TempDir dir;
    test::ScopedCwd cwd(dir.path());
    ScriptedUi ui;
    Settings s;
    int dialogs = 0;
    EXPECT_FALSE(readConfiguration("ZEL", s, ui, [&](Settings&) { ++dialogs; }));
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].text, "Cannot Find ZELQAV.CFG !\nDo You Want to Create It ? ");
    EXPECT_EQ(ui.messages()[0].buttons, Ui::Buttons::YesNo);
    EXPECT_EQ(ui.messages()[0].icon, Ui::Icon::Stop);
    EXPECT_EQ(dialogs, 0);

    ui.queueAnswer(Ui::Answer::Yes);
    EXPECT_TRUE(readConfiguration("ZEL", s, ui, [&](Settings& settings) {
        ++dialogs;
        settings.resourceDir = "C:\\RES";
    }));
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(s.resourceDir, "C:\\RES");
}

TEST(SessionTest, CommandLine)
{
    struct Case {
        const char* line;
        bool ok;
        const char* id;
    };
    for (const Case& c : {Case{"P=ZEL", true, "ZEL"}, Case{"p=zel", true, "ZEL"}, Case{"   P=ZEL  ", true, "ZEL  "},
                          Case{"P=", true, ""}, Case{"ZEL", false, ""}, Case{"", false, ""}, Case{"Q=ZEL", false, ""},
                          Case{"P", false, ""}}) {
        SCOPED_TRACE(c.line);
        ScriptedUi ui;
        std::string id;
        EXPECT_EQ(Session::parseCommandLine(c.line, id, ui), c.ok);
        if (c.ok) {
            EXPECT_EQ(id, c.id);
            EXPECT_TRUE(ui.messages().empty());
        } else {
            EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{
                                             "Invalid Parameter !\nStart QAVN with setup file.\nQAVN P='project ID'\n"
                                             "Ex) QAVN P=ZEL"});
        }
    }
}

TEST(SessionTest, StartsAProjectAndChecksTheRawData)
{
    test::TestProject project;
    project.add(test::variable("AGE", "Age"));
    project.dataFiles[0].rawLines = {"12"};
    project.write();

    ScriptedUi ui;
    OpenProject session(ui);
    ASSERT_TRUE(session.start("P=zel", [](Settings&) { FAIL() << "no setup expected"; }));
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_EQ(session.projectId, "ZEL");
    EXPECT_EQ(session.settings.resourceDir, "C:\\RES");
    EXPECT_EQ(session.project.dataSetTitle, "SAMPLE STUDY");
    EXPECT_EQ(session.store.recordCount(), 1u);
    EXPECT_TRUE(session.settings.dataOnCd);

    std::filesystem::remove(project.driveD() / "DATA" / "FILE1.DAT");
    OpenProject without(ui);
    ASSERT_TRUE(without.start("P=ZEL", [](Settings&) {}));
    EXPECT_FALSE(without.settings.dataOnCd);
}

TEST(SessionTest, StartStopsAtTheFirstFailure)
{
    test::TestProject project;
    project.add(test::variable("AGE", "Age"));
    project.write();
    std::filesystem::remove(project.resourceDir() / "ZEL02.CDC");

    ScriptedUi ui;
    OpenProject session(ui);
    EXPECT_FALSE(session.start("P=ZEL", [](Settings&) {}));
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"Cannot Open ZEL02.CDC !"});

    ScriptedUi noConfig;
    OpenProject other(noConfig);
    EXPECT_FALSE(other.start("P=OTHER", [](Settings&) {}));
    EXPECT_EQ(noConfig.messageTexts(),
              std::vector<std::string>{"Cannot Find OTHERQAV.CFG !\nDo You Want to Create It ? "});
}

TEST(SessionTest, TheBatchStartNeverAsks)
{
    TempDir dir;
    test::ScopedCwd cwd(dir.path());
    ScriptedUi ui;
    OpenProject session(ui);
    const auto loaded = session.load("NOPE");
    ASSERT_FALSE(loaded);
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_EQ(loaded.error().kind, ReadError::Kind::CannotOpen);
    EXPECT_EQ(describe(loaded.error()), "cannot open NOPEQAV.CFG (host path " + (dir / "NOPEQAV.CFG").string() +
                                            "): No such file or directory");
}

} // namespace
} // namespace qavn

namespace qavn {
namespace {

TEST(StringsTest, LeadingIntegerReadsLikeTheCLibraryAndSaturates)
{
    bool digits = false;
    EXPECT_EQ(leadingInteger<long>("  3 abc"), 3);
    EXPECT_EQ(leadingInteger<long>("-17x"), -17);
    EXPECT_EQ(leadingInteger<long>("+8"), 8);
    EXPECT_EQ(leadingInteger<long>("abc", &digits), 0);
    EXPECT_FALSE(digits);
    EXPECT_EQ(leadingInteger<long>("-", &digits), 0);
    EXPECT_FALSE(digits);
    EXPECT_EQ(leadingInteger<std::int32_t>("99999999999999999999"), INT32_MAX);
    EXPECT_EQ(leadingInteger<std::int32_t>("-2147483648"), INT32_MIN);
    EXPECT_EQ(leadingInteger<std::int32_t>("-2147483649"), INT32_MIN);
    EXPECT_EQ(leadingInteger<long>("-9223372036854775808"), LONG_MIN);
    EXPECT_EQ(leadingInteger<long>(std::string(300, '9')), LONG_MAX);
}

} // namespace
} // namespace qavn
