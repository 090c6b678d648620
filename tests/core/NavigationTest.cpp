// The Move and Tag commands that walk the list.

#include "TestProject.h"

#include "project/ProjectSpec.h"
#include "codebook/CodebookStore.h"
#include "catalogue/Loader.h"
#include "platform/Progress.h"
#include "platform/ScriptedUi.h"
#include "catalogue/Navigation.h"
#include "catalogue/VariableList.h"

#include <gtest/gtest.h>

#include <memory>

namespace qavn {
namespace {

using test::TestProject;
using test::variable;

struct Var {
    const char* section;
    std::uint16_t file;
};

// A project written to disk, opened and loaded into a list.
struct Loaded {
    Loaded(const std::vector<Var>& vars, std::size_t files = 3)
    {
        project.dataFiles.clear();
        for (std::size_t f = 1; f <= files; ++f) {
            TestProject::DataFile file;
            file.dataPath = "DATA\\FILE" + std::to_string(f) + ".DAT";
            project.dataFiles.push_back(file);
        }
        int n = 0;
        for (const Var& v : vars)
            project.add(variable("V" + std::to_string(++n), "Label", v.section, v.file));
        project.write();
        spec.filePrefix = "ZEL";
        EXPECT_TRUE(readProjectSpec("C:\\RES", spec, ui));
        EXPECT_TRUE(store.open("C:\\RES", "ZEL"));
        Progress progress;
        EXPECT_TRUE(loadVariables(store, spec, list, ui, progress));
    }

    std::uint32_t from(std::uint32_t row, void (*move)(VariableList&, CodebookStore&))
    {
        list.goToRow(row);
        move(list, store);
        return list.activeRow();
    }
    std::uint32_t fileFrom(std::uint32_t row, void (*move)(VariableList&, CodebookStore&, const ProjectSpec&))
    {
        list.goToRow(row);
        move(list, store, spec);
        return list.activeRow();
    }

    TestProject project;
    ScriptedUi ui;
    ProjectSpec spec;
    CodebookStore store{ui};
    VariableList list{VariableList::Mode::Main, &ui};
};

TEST(Navigation, SectionsWalkToTheFirstRowOfTheirNeighbour)
{
    // Sections X X Y X Z Z: a title that comes back starts a new section.
    Loaded p({{"X", 1}, {"X", 1}, {"Y", 1}, {"X", 1}, {"Z", 1}, {"Z", 1}});
    struct Case {
        std::uint32_t from;
        std::uint32_t next;
        std::uint32_t prev;
    };
    for (const Case& c : std::vector<Case>{{1, 3, 1}, {2, 3, 1}, {3, 4, 1}, {4, 5, 3}, {5, 5, 4}, {6, 6, 4}}) {
        SCOPED_TRACE(c.from);
        EXPECT_EQ(p.from(c.from, goToNextSection), c.next);
        EXPECT_EQ(p.from(c.from, goToPrevSection), c.prev);
    }
    EXPECT_TRUE(p.ui.messages().empty());
}

TEST(Navigation, PrevSectionWalkingPastRowOneLandsOnRowOne)
{
    // The walk skips the active section (rows 2-3 of "B") and all of "A"
    // down past row 1.
    Loaded p({{"A", 1}, {"B", 1}, {"B", 1}});
    EXPECT_EQ(p.from(3, goToPrevSection), 1u);
    EXPECT_EQ(p.from(2, goToPrevSection), 1u);
    Loaded single({{"A", 1}, {"A", 1}});
    EXPECT_EQ(single.from(2, goToPrevSection), 1u);
    EXPECT_EQ(single.from(1, goToNextSection), 1u);
}

TEST(Navigation, SectionTitlesCompareExactly)
{
    // Case and trailing blanks make titles differ.
    Loaded p({{"Income", 1}, {"INCOME", 1}, {"INCOME ", 1}});
    EXPECT_EQ(p.from(1, goToNextSection), 2u);
    EXPECT_EQ(p.from(2, goToNextSection), 3u);
}

TEST(Navigation, FilesGoToTheFirstRowOfTheNeighbouringFile)
{
    Loaded p({{"S", 1}, {"S", 1}, {"S", 2}, {"S", 2}, {"S", 2}, {"S", 3}});
    ASSERT_EQ(p.spec.dataFiles[0].firstRow, 1u);
    ASSERT_EQ(p.spec.dataFiles[1].firstRow, 3u);
    ASSERT_EQ(p.spec.dataFiles[2].firstRow, 6u);
    EXPECT_EQ(p.fileFrom(1, goToNextFile), 3u);
    EXPECT_EQ(p.fileFrom(4, goToNextFile), 6u);
    EXPECT_EQ(p.fileFrom(6, goToNextFile), 6u); // last file: stays
    EXPECT_EQ(p.fileFrom(5, goToPrevFile), 1u);
    EXPECT_EQ(p.fileFrom(6, goToPrevFile), 3u);
    EXPECT_EQ(p.fileFrom(2, goToPrevFile), 2u); // file 1: stays
}

TEST(Navigation, AFileWithoutVariablesIsNotAPlaceToGo)
{
    Loaded p({{"S", 1}, {"S", 1}, {"S", 3}});
    ASSERT_EQ(p.spec.dataFiles[1].firstRow, 0u);
    EXPECT_EQ(p.fileFrom(1, goToNextFile), 1u);
    EXPECT_EQ(p.fileFrom(3, goToPrevFile), 3u);
}

TEST(Navigation, TopBottomAndTags)
{
    Loaded p({{"S", 1}, {"S", 1}, {"S", 1}, {"S", 1}, {"S", 1}, {"S", 1}});
    p.list.goToRow(4);
    goToTopOfList(p.list);
    EXPECT_EQ(p.list.activeRow(), 1u);
    goToBottomOfList(p.list);
    EXPECT_EQ(p.list.activeRow(), 6u);

    p.list.tagRow(2);
    p.list.tagRow(5);
    p.list.goToRow(3);
    goToNextTag(p.list);
    EXPECT_EQ(p.list.activeRow(), 5u);
    goToNextTag(p.list); // on the last tagged row: stays
    EXPECT_EQ(p.list.activeRow(), 5u);
    goToPrevTag(p.list);
    EXPECT_EQ(p.list.activeRow(), 2u);
    goToPrevTag(p.list);
    EXPECT_EQ(p.list.activeRow(), 2u);
    p.list.tagRow(1);
    goToPrevTag(p.list); // row 1 is reached
    EXPECT_EQ(p.list.activeRow(), 1u);
    p.list.clearAllTags();
    goToNextTag(p.list);
    EXPECT_EQ(p.list.activeRow(), 1u);
}

// Over the rows a view shows (the matches of a query), the commands go only
// to those rows, sections and files counted among them.
TEST(Navigation, OverShownRowsTheCommandsVisitOnlyThem)
{
    // Rows 1-9: sections A A B B B A C C C; files 1 1 1 2 2 2 3 3 3.
    Loaded p({{"A", 1}, {"A", 1}, {"B", 1}, {"B", 2}, {"B", 2}, {"A", 2}, {"C", 3}, {"C", 3}, {"C", 3}});
    const std::vector<std::uint32_t> shown{2, 4, 5, 6, 8, 9};
    const auto at = [&](std::uint32_t row, auto move) {
        p.list.goToRow(row);
        move();
        return p.list.activeRow();
    };
    const struct {
        std::uint32_t from;
        std::uint32_t nextSection, prevSection, nextFile, prevFile;
    } cases[] = {
        {2, 4, 2, 4, 2},  // first shown row: nowhere to go back to
        {5, 6, 2, 8, 2},  // within B: back to the start of A before it
        {6, 8, 4, 8, 2},  // the second A is a section of its own
        {9, 9, 6, 9, 4},  // last section and file: stays going forward
        {3, 6, 2, 4, 3},  // a row not shown: from where it lies
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from);
        EXPECT_EQ(at(c.from, [&] { goToNextSection(p.list, p.store, shown); }), c.nextSection);
        EXPECT_EQ(at(c.from, [&] { goToPrevSection(p.list, p.store, shown); }), c.prevSection);
        EXPECT_EQ(at(c.from, [&] { goToNextFile(p.list, shown); }), c.nextFile);
        EXPECT_EQ(at(c.from, [&] { goToPrevFile(p.list, shown); }), c.prevFile);
    }
    EXPECT_EQ(at(5, [&] { goToTopOfList(p.list, shown); }), 2u);
    EXPECT_EQ(at(5, [&] { goToBottomOfList(p.list, shown); }), 9u);
    p.list.tagRow(3); // tagged but not shown
    p.list.tagRow(8);
    EXPECT_EQ(at(2, [&] { goToNextTag(p.list, shown); }), 8u);
    EXPECT_EQ(at(9, [&] { goToPrevTag(p.list, shown); }), 8u);
    EXPECT_EQ(at(6, [&] { goToPrevTag(p.list, shown); }), 6u);
    // Nothing shown: nothing moves.
    EXPECT_EQ(at(5, [&] { goToTopOfList(p.list, {}); }), 5u);
    EXPECT_EQ(at(5, [&] { goToPrevSection(p.list, p.store, {}); }), 5u);
}

} // namespace
} // namespace qavn
