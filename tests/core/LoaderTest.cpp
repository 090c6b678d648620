// Loading the variable list from the index file.

#include "TestProject.h"

#include "catalogue/Loader.h"
#include "catalogue/VariableList.h"
#include "codebook/CodebookStore.h"
#include "platform/Progress.h"
#include "platform/ScriptedUi.h"
#include "project/ProjectSpec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace qavn {
namespace {

using test::TestProject;
using test::variable;

// Progress that remembers what the loader told it.
struct RecordingProgress : Progress {
    long range = -1;
    std::vector<long> steps;
    void setRange(long maximum) override { range = maximum; }
    void advance(long step) override { steps.push_back(step); }
};

// A project of `records` variables written, its specification read and its
// codebook open, ready to load.
struct Opened {
    explicit Opened(std::size_t records)
    {
        for (std::size_t i = 1; i <= records; ++i)
            project.add(variable("V" + std::to_string(i), "Label " + std::to_string(i)));
        project.write();
        spec.filePrefix = "ZEL";
        EXPECT_TRUE(readProjectSpec("C:\\RES", spec, ui));
        EXPECT_TRUE(store.open("C:\\RES", "ZEL"));
    }

    TestProject project;
    ScriptedUi ui;
    ProjectSpec spec;
    CodebookStore store{ui};
};

TEST(LoaderTest, RowsAndProgressStepsFollowTheBlocks)
{
    struct Case {
        std::size_t records;
        long range;
        std::vector<long> steps; // after blocks 0, 4, 8..., then records / 10
    };
    for (const Case& c : std::vector<Case>{
             {1, 0, {15, 0}}, {41, 4, {15, 4}}, {200, 20, {15, 15, 20}}, {205, 20, {15, 15, 20}}}) {
        SCOPED_TRACE(c.records);
        Opened p(c.records);
        VariableList list(VariableList::Mode::Main, &p.ui);
        RecordingProgress progress;
        ASSERT_TRUE(loadVariables(p.store, p.spec, list, p.ui, progress));
        EXPECT_EQ(progress.range, c.range);
        EXPECT_EQ(progress.steps, c.steps);
        EXPECT_TRUE(list.shown());
        EXPECT_EQ(list.rowCount(), c.records);
        EXPECT_EQ(list.activeRow(), 1u);
        EXPECT_EQ(list.rowName(c.records), "V" + std::to_string(c.records));
        EXPECT_EQ(list.rowLabel(c.records), "Label " + std::to_string(c.records));
        // The store reads on after loading.
        ASSERT_TRUE(p.store.readRecord(static_cast<std::uint32_t>(c.records)));
        EXPECT_EQ(p.store.readLine(p.store.record().labelRef), "Label " + std::to_string(c.records));
    }
}

TEST(LoaderTest, FirstRowsOfTheDataFilesAndRowData)
{
    TestProject project;
    project.dataFiles = {{}, {}, {}};
    const std::uint16_t files[] = {1, 1, 2, 2, 2, 3};
    for (std::size_t i = 0; i < 6; ++i)
        project.add(test::variable("V" + std::to_string(i + 1), "Label " + std::to_string(i + 1), "S", files[i], 1,
                                   "1-2", i == 5 ? 'A' : ' '));
    project.write();

    ScriptedUi ui;
    CodebookStore store(ui);
    ASSERT_TRUE(store.open("C:\\RES", "ZEL"));
    ProjectSpec spec;
    spec.dataFiles.resize(3);
    VariableList list;
    Progress progress;
    ASSERT_TRUE(loadVariables(store, spec, list, ui, progress));
    EXPECT_EQ(spec.dataFiles[0].firstRow, 1u);
    EXPECT_EQ(spec.dataFiles[1].firstRow, 3u);
    EXPECT_EQ(spec.dataFiles[2].firstRow, 6u);
    EXPECT_EQ(list.rowText(3), "V3       Label 3");
    EXPECT_EQ(list.rowName(3), "V3");
    EXPECT_EQ(list.rowLabel(3), "Label 3");
    EXPECT_EQ(list.rowInfo(6).typeCode, 'A');
    EXPECT_EQ(list.rowInfo(6).fileNumber, 3);
}

TEST(LoaderTest, NamesOnlyThenLabelsOfChosenRowsGiveTheWholeLoadsTexts)
{
    Opened p(85);
    VariableList whole(VariableList::Mode::Main, &p.ui);
    VariableList names(VariableList::Mode::Main, &p.ui);
    Progress progress;
    ASSERT_TRUE(loadVariables(p.store, p.spec, whole, p.ui, progress));
    ASSERT_TRUE(loadVariables(p.store, p.spec, names, p.ui, progress, RowTexts::NamesOnly));
    EXPECT_EQ(names.rowText(2), "V2       ");
    // The first and the last row, and rows in blocks that follow and skip.
    const std::vector<std::uint32_t> rows = {1, 40, 41, 80, 85};
    loadLabels(p.store, names, rows);
    for (std::uint32_t r = 1; r <= 85; ++r) {
        SCOPED_TRACE(r);
        const bool chosen = std::find(rows.begin(), rows.end(), r) != rows.end();
        EXPECT_EQ(names.rowText(r), chosen ? whole.rowText(r) : whole.rowText(r).substr(0, 9));
    }
}

TEST(LoaderTest, CancelIsSeenAfterTheBlockAndTheListStaysHidden)
{
    Opened p(400);
    VariableList list(VariableList::Mode::Main, &p.ui);
    RecordingProgress progress;
    // Pump steps: one before the first block, then after blocks 0, 4, 8...
    const std::size_t before = p.ui.pumpSteps();
    p.ui.cancelAfter(2, progress.cancel);
    EXPECT_FALSE(loadVariables(p.store, p.spec, list, p.ui, progress));
    EXPECT_FALSE(list.shown());
    EXPECT_EQ(progress.steps, std::vector<long>{15});
    EXPECT_EQ(p.ui.pumpSteps() - before, 2u);
    EXPECT_EQ(mainWindowTitle(p.spec), "QAVN - [SAMPLE STUDY]");

    // A progress that stops the run itself is asked at the same points: the
    // second poll (after block 4) ends loading.
    VariableList again(VariableList::Mode::Main, &p.ui);
    ScriptedProgress scripted(2);
    const std::size_t pumps = p.ui.pumpSteps();
    EXPECT_FALSE(loadVariables(p.store, p.spec, again, p.ui, scripted));
    EXPECT_FALSE(again.shown());
    EXPECT_EQ(scripted.polls(), 2u);
    EXPECT_TRUE(scripted.cancelled());
    EXPECT_EQ(scripted.value(), 30);
    EXPECT_EQ(p.ui.pumpSteps() - pumps, 3u);
}

} // namespace
} // namespace qavn
