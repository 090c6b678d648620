// The configuration file: reading, creating and rewriting it.

#include "TestProject.h"

#include "project/Configuration.h"
#include "platform/ScriptedUi.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#include <gtest/gtest.h>

namespace qavn {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

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

} // namespace
} // namespace qavn
