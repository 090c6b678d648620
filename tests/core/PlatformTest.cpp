// The platform helpers: host paths, line reading, text output.

#include "TestProject.h"

#include "platform/HostPath.h"
#include "platform/LineReader.h"
#include "platform/ScriptedUi.h"
#include "platform/Strings.h"
#include "platform/TextOutput.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace qavn {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::writeFile;

TEST(HostPathTest, DrivesSeparatorsAndLetterCase)
{
    TempDir dir;
    test::ScopedEnv drive("QAVN_DRIVE_Q", dir.path().string());
    writeFile(dir / "Survey" / "Data" / "Youth.dat", "x");
    writeFile(dir / "Survey" / "DATA" / "exact.dat", "y");

    // The exact name wins; otherwise the first match in sorted order.
    EXPECT_EQ(toHostPath("Q:\\SURVEY\\DATA\\YOUTH.DAT"), dir.path() / "Survey" / "DATA" / "YOUTH.DAT");
    EXPECT_EQ(toHostPath("Q:\\SURVEY\\Data\\YOUTH.DAT"), dir.path() / "Survey" / "Data" / "Youth.dat");
    EXPECT_EQ(toHostPath("q:/survey/DATA/EXACT.DAT"), dir.path() / "Survey" / "DATA" / "exact.dat");
    EXPECT_TRUE(hostPathExists("Q:\\survey\\data\\exact.dat"));
    // "data" matches DATA before Data, so the file in Data is not seen there.
    EXPECT_FALSE(hostPathExists("Q:\\survey\\data\\youth.dat"));
    // Doubled separators collapse; files still to be created keep their names.
    EXPECT_EQ(toHostPath("Q:\\\\SURVEY\\NEW\\OUT.SAS"), dir.path() / "Survey" / "NEW" / "OUT.SAS");
    // No drive: relative to the working directory, or absolute.
    test::ScopedCwd cwd(dir.path());
    EXPECT_EQ(toHostPath("SURVEY\\DATA"), fs::path("Survey") / "DATA");
    EXPECT_EQ(toHostPath((dir.path() / "survey").string()), dir.path() / "Survey");
    EXPECT_EQ(toHostPath(""), fs::path());
}

TEST(HostPathTest, UnsetDriveFallsBackToMnt)
{
    ::unsetenv("QAVN_DRIVE_K");
    EXPECT_EQ(toHostPath("K:\\A\\B"), fs::path("/mnt/k/A/B"));
    EXPECT_EQ(toHostPath("k:"), fs::path("/mnt/k"));
}

TEST(HostPathTest, UnsetDriveUsesAFolderOfItsLetterInTheWorkingDirectory)
{
    TempDir dir;
    ::unsetenv("QAVN_DRIVE_K");
    ::unsetenv("QAVN_DRIVE_J");
    test::ScopedEnv set("QAVN_DRIVE_C", (dir / "elsewhere").string());
    fs::create_directories(dir / "k" / "Data");
    fs::create_directories(dir / "J");
    fs::create_directories(dir / "c");
    test::ScopedCwd cwd(dir.path());
    EXPECT_EQ(toHostPath("K:\\DATA\\X.DAT"), fs::absolute("k") / "Data" / "X.DAT");
    EXPECT_EQ(toHostPath("j:\\A"), fs::absolute("J") / "A");
    // The variable wins over the folder; without either it is /mnt/x.
    EXPECT_EQ(toHostPath("C:\\A"), dir / "elsewhere" / "A");
    EXPECT_EQ(toHostPath("L:\\A"), fs::path("/mnt/l/A"));
}

TEST(HostPathTest, DirectoriesAreNotOpenedAsFiles)
{
    TempDir dir;
    test::ScopedEnv drive("QAVN_DRIVE_Q", dir.path().string());
    fs::create_directories(dir / "SUB");
    EXPECT_EQ(openHostFile("Q:\\SUB", "rb"), nullptr);
}

TEST(LineReaderTest, DeliversPiecesOfTheBufferSize)
{
    TempDir dir;
    writeFile(dir / "f", "abc\r\n" + std::string(10, 'x') + "\nlast");
    std::FILE* f = std::fopen((dir / "f").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    LineReader reader(f, 6);
    std::string line;
    std::vector<std::pair<std::string, bool>> got;
    while (reader.next(line))
        got.emplace_back(line, reader.lastWasWhole());
    std::fclose(f);
    const std::vector<std::pair<std::string, bool>> expected = {
        {"abc\r\n", true}, {"xxxxx", false}, {"xxxxx", false}, {"\n", true}, {"last", true}};
    EXPECT_EQ(got, expected);
}

TEST(TextOutputTest, LineEndsBecomeCrLfAndFailuresAreKept)
{
    StringTextOutput text;
    text.write("a\nb");
    text.print("%6ld\n", 17L);
    text.put('\n');
    text.print("%s", std::string(2000, 'z').c_str()); // longer than the formatting buffer
    EXPECT_EQ(text.text(), "a\r\nb    17\r\n\r\n" + std::string(2000, 'z'));

    TempDir dir;
    test::ScopedEnv drive("QAVN_DRIVE_Q", dir.path().string());
    // A write that fails after part of the file went out keeps the old file
    // whole and leaves no temporary file.
    writeFile(dir / "OUT.TXT", "old\r\n");
    FileTextOutput file;
    ASSERT_TRUE(file.open("Q:\\OUT.TXT"));
    file.failFromWrite(2);
    file.write(std::string(70000, 'a')); // first flush succeeds
    file.write("b\n");
    EXPECT_FALSE(file.close());
    EXPECT_TRUE(file.failed());
    EXPECT_FALSE(file.errorText().empty());
    EXPECT_EQ(test::readFile(dir / "OUT.TXT"), "old\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

    FileTextOutput nowhere;
    EXPECT_FALSE(nowhere.open("Q:\\NO\\SUCH\\DIR\\OUT.TXT"));
}

TEST(ScriptedUiTest, AnswersRecordsAndScheduledCancel)
{
    ScriptedUi ui;
    ui.queueAnswer(Ui::Answer::Yes);
    EXPECT_TRUE(ui.askYesNo("first?"));
    EXPECT_FALSE(ui.askYesNo("second?")); // an empty queue answers No
    ui.error("boom");
    ASSERT_EQ(ui.messages().size(), 3u);
    EXPECT_EQ(ui.messages()[2].icon, Ui::Icon::Stop);
    EXPECT_EQ(ui.messages()[2].buttons, Ui::Buttons::Ok);

    int cancel = 0;
    ui.cancelAfter(3, cancel);
    ui.pumpStep();
    ui.pumpStep();
    EXPECT_EQ(cancel, 0);
    ui.pumpStep();
    EXPECT_EQ(cancel, 1);
    EXPECT_EQ(ui.pumpSteps(), 3u);

    ui.queueFile(std::string("/tmp/x.sas"));
    EXPECT_EQ(ui.chooseFile(Ui::FileDialog::Save, "SAS Code|*.sas|", " "), std::optional<std::string>("/tmp/x.sas"));
    EXPECT_EQ(ui.chooseFile(Ui::FileDialog::Open, "Tag|*.tag|", " "), std::nullopt);
    EXPECT_EQ(ui.fileRequests().size(), 2u);
    {
        WaitCursor wait(ui);
        EXPECT_EQ(ui.waitCursorDepth(), 1);
    }
    EXPECT_EQ(ui.waitCursorDepth(), 0);
}



} // namespace
} // namespace qavn
