// The project specification file: its lines, limits and messages.

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
