// Tagging rows, ranges and the tag pane.

#include "platform/ScriptedUi.h"
#include "catalogue/VariableList.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace qavn {
namespace {

// Records what the list tells its view.
struct RecordingObserver : VariableListObserver {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> spans;
    std::vector<std::uint32_t> counts;
    std::vector<std::uint32_t> active;
    void tagsChanged(std::uint32_t first, std::uint32_t last) override { spans.emplace_back(first, last); }
    void tagCountChanged(std::uint32_t count) override { counts.push_back(count); }
    void activeRowChanged(std::uint32_t row) override { active.push_back(row); }
};

// A loaded list of `rows` rows named V1, V2, ...
struct Fixture {
    explicit Fixture(std::uint32_t rows = 20, VariableList::Mode mode = VariableList::Mode::Main)
        : list(mode, &ui)
    {
        list.setRowCount(rows);
        for (std::uint32_t r = 1; r <= rows; ++r) {
            std::string text = "V" + std::to_string(r);
            text.resize(9, ' ');
            list.appendRow(text + "Label " + std::to_string(r), (static_cast<std::uint32_t>('A') << 16) | 2);
        }
        list.showList(rows);
        list.goToRow(1);
        list.setObserver(&seen);
    }
    std::vector<std::uint32_t> tagged() const
    {
        std::vector<std::uint32_t> rows;
        for (std::uint32_t r = 1; r <= list.rowCount(); ++r)
            if (list.isTagged(r))
                rows.push_back(r);
        return rows;
    }

    ScriptedUi ui;
    VariableList list;
    RecordingObserver seen;
};

using Rows = std::vector<std::uint32_t>;

TEST(Tagging, RowsOutsideTheListAreIgnored)
{
    Fixture f(5);
    f.list.tagRow(2);
    for (std::uint32_t row : {0u, 6u, 0xFFFFFFFFu}) {
        EXPECT_EQ(f.list.tagRow(row), 0);
        EXPECT_EQ(f.list.untagRow(row), 0);
        EXPECT_EQ(f.list.toggleTag(row), 0);
        EXPECT_EQ(f.list.tagRange(row), 0);
        EXPECT_EQ(f.list.goToRow(row), 0);
        EXPECT_FALSE(f.list.isTagged(row));
    }
    EXPECT_EQ(f.tagged(), Rows{2});
    EXPECT_EQ(f.list.anchorRow(), 2u);
    EXPECT_EQ(f.list.activeRow(), 1u);
}

TEST(Tagging, TagAndUntagLeaveRowsInTheirStateAloneIncludingTheAnchor)
{
    Fixture f;
    EXPECT_EQ(f.list.tagRow(3), 1);
    EXPECT_EQ(f.list.tagRow(7), 1);
    ASSERT_EQ(f.list.anchorRow(), 7u);
    f.seen.counts.clear();

    EXPECT_EQ(f.list.tagRow(3), 1); // already tagged
    EXPECT_EQ(f.list.untagRow(5), 1); // not tagged
    EXPECT_EQ(f.list.anchorRow(), 7u);
    EXPECT_EQ(f.list.tagCount(), 2u);
    EXPECT_TRUE(f.seen.counts.empty());

    EXPECT_EQ(f.list.untagRow(3), 1);
    EXPECT_EQ(f.list.anchorRow(), 3u);
    EXPECT_EQ(f.list.tagCount(), 1u);
    EXPECT_EQ(f.seen.counts, Rows{1});
}

TEST(Tagging, ToggleAlwaysMovesTheAnchorAndTheCountFollows)
{
    Fixture f;
    f.list.toggleTag(4);
    f.list.toggleTag(9);
    f.list.toggleTag(4);
    EXPECT_EQ(f.tagged(), Rows{9});
    EXPECT_EQ(f.list.anchorRow(), 4u);
    EXPECT_EQ(f.list.tagCount(), 1u);
    EXPECT_EQ(f.seen.counts, (Rows{1, 2, 1}));
}

TEST(Tagging, RangeFollowsTheAnchorRowsOwnStateInBothDirections)
{
    struct Case {
        const char* name;
        Rows tagFirst;       // toggled in order; the last one is the anchor
        std::uint32_t clicked;
        Rows expected;
        std::uint32_t anchorAfter;
    };
    const std::vector<Case> cases{
        {"no anchor, untagged row keeps its state", {}, 6, {}, 0},
        {"tagged anchor 10 down to row 4", {10}, 4, {4, 5, 6, 7, 8, 9, 10}, 9},
        {"tagged anchor 3 up to row 7", {3}, 7, {3, 4, 5, 6, 7}, 7},
        {"untagged anchor clears the range", {2, 3, 4, 5, 8, 8}, 2, {}, 5},
        {"untagged anchor with nothing to change keeps it", {8, 8}, 12, {}, 8},
        {"range onto the anchor itself", {6}, 6, {6}, 6},
        {"partly tagged range only counts changes", {5, 7, 9}, 4, {4, 5, 6, 7, 8, 9}, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        for (std::uint32_t row : c.tagFirst)
            f.list.toggleTag(row);
        EXPECT_EQ(f.list.tagRange(c.clicked), 1);
        EXPECT_EQ(f.tagged(), c.expected);
        EXPECT_EQ(f.list.tagCount(), c.expected.size());
        EXPECT_EQ(f.list.anchorRow(), c.anchorAfter);
    }
}

TEST(Tagging, LongRangesShowTheWaitPointerAndNotifyOnce)
{
    Fixture f(500);
    f.list.toggleTag(100);
    f.seen.spans.clear();
    f.seen.counts.clear();
    f.list.tagRange(180); // 80 rows apart: no wait pointer
    EXPECT_EQ(f.ui.waitCursorShown(), 0u);
    EXPECT_EQ(f.seen.spans, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{101, 180}}));
    EXPECT_EQ(f.seen.counts, Rows{81});

    f.list.tagRange(261); // 81 rows from the anchor 180
    EXPECT_EQ(f.ui.waitCursorShown(), 1u);
    EXPECT_EQ(f.ui.waitCursorDepth(), 0);
    EXPECT_EQ(f.list.tagCount(), 162u);
    EXPECT_EQ(f.list.anchorRow(), 261u);
}

TEST(Tagging, ClearAllStopsAtTheLastTagAndDropsTheAnchor)
{
    Fixture f(1000);
    f.list.tagRow(3);
    f.list.tagRow(40);
    f.seen.spans.clear();
    f.list.clearAllTags();
    EXPECT_TRUE(f.tagged().empty());
    EXPECT_EQ(f.list.tagCount(), 0u);
    EXPECT_EQ(f.list.anchorRow(), 0u);
    EXPECT_EQ(f.seen.spans, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{3, 40}}));

    // Nothing tagged: nothing changes but the anchor.
    f.list.toggleTag(7);
    f.list.toggleTag(7);
    ASSERT_EQ(f.list.anchorRow(), 7u);
    f.seen.spans.clear();
    f.list.clearAllTags();
    EXPECT_TRUE(f.seen.spans.empty());
    EXPECT_EQ(f.list.anchorRow(), 0u);
}

TEST(Tagging, TagPaneText)
{
    EXPECT_EQ(VariableList::tagPaneText(0), "Tag      0 ");
    EXPECT_EQ(VariableList::tagPaneText(3), "Tag      3 ");
    EXPECT_EQ(VariableList::tagPaneText(123456), "Tag 123456 ");
    EXPECT_EQ(VariableList::tagPaneText(1234567), "Tag 1234567 ");
}

TEST(Tagging, TaggedItemsListNeverTouchesTheTagPane)
{
    Fixture f(10, VariableList::Mode::TaggedItems);
    f.list.tagRow(2);
    f.list.toggleTag(3);
    EXPECT_TRUE(f.seen.counts.empty());
    EXPECT_EQ(f.list.tagCount(), 2u);
}

TEST(Tagging, CountAlwaysMatchesTheTagsUnderAnyMixOfOperations)
{
    Fixture f(300);
    std::mt19937 random(7);
    std::uniform_int_distribution<std::uint32_t> row(0, 301);
    std::uniform_int_distribution<int> op(0, 4);
    for (int i = 0; i < 3000; ++i) {
        const std::uint32_t r = row(random);
        switch (op(random)) {
        case 0: f.list.tagRow(r); break;
        case 1: f.list.untagRow(r); break;
        case 2: f.list.toggleTag(r); break;
        case 3: f.list.tagRange(r); break;
        default:
            if (i % 97 == 0)
                f.list.clearAllTags();
        }
        ASSERT_EQ(f.list.tagCount(), f.tagged().size()) << "after step " << i;
        if (!f.seen.counts.empty()) {
            ASSERT_EQ(f.seen.counts.back(), f.list.tagCount());
        }
    }
}

TEST(Tagging, ShowListClearsEveryTag)
{
    Fixture f(10);
    f.list.tagRow(4);
    f.list.showList(10);
    EXPECT_EQ(f.list.tagCount(), 0u);
    EXPECT_FALSE(f.list.isTagged(4));
    EXPECT_EQ(f.seen.counts.back(), 0u);
}

} // namespace
} // namespace qavn
