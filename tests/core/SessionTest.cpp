// The start-up steps of a session.

#include "TestProject.h"

#include "codebook/OpenProject.h"
#include "platform/ScriptedUi.h"

#include <filesystem>

#include <gtest/gtest.h>

namespace qavn {
namespace {

using test::TempDir;

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

} // namespace
} // namespace qavn
