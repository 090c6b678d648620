#include "TestProject.h"

#include "codebook/CodebookStore.h"
#include "platform/ScriptedUi.h"

#include <gtest/gtest.h>

namespace qavn {
namespace {

using test::TestProject;

TEST(CodebookStoreTest, RoundTripsRecordsAndTexts)
{
    TestProject project;
    auto age = test::variable("AGE", "Age of respondent", "Demographics", 1, 1, "6-7");
    age.description = {"Age at last birthday", "Second line"};
    age.categories = {categoryLine("1", "250", "12.5", "Yes")};
    project.add(age);
    project.write();

    ScriptedUi ui;
    CodebookStore store(ui);
    ASSERT_TRUE(store.open("C:\\RES", "ZEL"));
    EXPECT_EQ(store.recordCount(), 1u);
    ASSERT_TRUE(store.readRecord(1));
    EXPECT_EQ(store.record().variableName(), "AGE");
    EXPECT_EQ(store.record().locationText(), "6-7");
    EXPECT_EQ(store.readLine(store.record().labelRef), "Age of respondent");
    std::vector<std::string> lines;
    store.readLines(store.record().descriptionRef, store.record().descriptionLineCount, LineVariant::DisplayText,
                    [&](std::string_view l) {
                        lines.emplace_back(l);
                        return true;
                    });
    EXPECT_EQ(lines, (std::vector<std::string>{"Age at last birthday", "Second line"}));
    EXPECT_TRUE(ui.messages().empty());
}

} // namespace
} // namespace qavn
