// Which description window shows the next variable, and the pin.

#include "project/ProjectSpec.h"
#include "catalogue/DescriptionSlots.h"
#include "catalogue/TaggedItems.h"
#include "catalogue/VariableList.h"

#include <gtest/gtest.h>

namespace qavn {
namespace {

// Plays the part of the view: shows the chosen slot's window on the row.
int show(DescriptionSlots& slots, std::uint32_t row)
{
    const int slot = slots.choose(row);
    if (slot == DescriptionSlots::none)
        return slot;
    if (!slots.window(slot).exists)
        slots.created(slot);
    slots.setVisible(slot, true);
    slots.showing(slot, row);
    return slot;
}

TEST(DescriptionSlotsTest, TwoWindowsThenTheOneNotUsedLast)
{
    DescriptionSlots slots;
    EXPECT_EQ(show(slots, 10), 0);
    EXPECT_EQ(show(slots, 10), DescriptionSlots::none); // already shown: nothing, not even activated
    EXPECT_EQ(show(slots, 20), 1);
    EXPECT_EQ(show(slots, 30), 0);
    EXPECT_EQ(show(slots, 40), 1);
    EXPECT_EQ(slots.window(0).row, 30u);
    EXPECT_EQ(slots.window(1).row, 40u);
}

TEST(DescriptionSlotsTest, PinnedWindowKeepsItsVariable)
{
    DescriptionSlots slots;
    show(slots, 1);
    show(slots, 2);
    slots.pin(0);
    EXPECT_EQ(show(slots, 3), 1);
    EXPECT_EQ(show(slots, 4), 1);
    EXPECT_EQ(slots.window(0).row, 1u);
    // Pinning window 1 unpins window 0.
    slots.pin(1);
    EXPECT_FALSE(slots.window(0).pinned);
    EXPECT_EQ(show(slots, 5), 0);
    EXPECT_EQ(slots.window(1).row, 4u);
}

TEST(DescriptionSlotsTest, HiddenWindowsAreFreeAndReused)
{
    DescriptionSlots slots;
    show(slots, 1);
    show(slots, 2);
    slots.setVisible(0, false); // closing hides
    EXPECT_EQ(show(slots, 3), 0);
    EXPECT_TRUE(slots.window(0).exists);
    slots.setVisible(0, false);
    slots.setVisible(1, false);
    EXPECT_EQ(show(slots, 2), 0); // a hidden window showing the row does not count
    slots.destroyed(1);
    EXPECT_FALSE(slots.window(1).exists);
}

TEST(DescriptionTextsTest, CaptionInfoLineAndCategoryItems)
{
    EXPECT_EQ(descriptionCaption("AGE"), "Description/Frequency - [AGE]");

    ProjectSpec project;
    project.dataFiles.resize(1);
    project.dataFiles[0].dataPath = "DATA\\FILE1.DAT";
    VariableRecord r;
    r.fileNumber = 1;
    r.recordNumber = 2;
    r.locationLength = 3;
    r.location = {'6', '-', '7', 'x', 'x', 'x', 'x', 'x', 'x'};
    EXPECT_EQ(descriptionInfoLine(r, project), "In DATA\\FILE1.DAT on record 2 at 6-7");
    r.fileNumber = 9;
    EXPECT_EQ(descriptionInfoLine(r, project), "In  on record 2 at 6-7");

    struct Case {
        const char* line;
        CategoryItem item;
    };
    for (const Case& c : {Case{"1\t25\t3.5\tYes", {"1", "25", "3.5", "Yes"}}, Case{"1\t25", {"1", "25", "", ""}},
                          Case{"", {"", "", "", ""}}, Case{"\t\t\tLabel only", {"", "", "", "Label only"}},
                          Case{"1\t2\t3\t4\t5", {"15", "2", "3", "4"}}}) {
        SCOPED_TRACE(c.line);
        const CategoryItem item = splitCategoryItem(c.line);
        EXPECT_EQ(item.code, c.item.code);
        EXPECT_EQ(item.frequency, c.item.frequency);
        EXPECT_EQ(item.percent, c.item.percent);
        EXPECT_EQ(item.label, c.item.label);
    }
}


TEST(TaggedItemsTest, ListsTaggedRowsInListOrderWithoutTouchingTheMainList)
{
    VariableList main;
    main.setRowCount(5);
    for (std::uint32_t r = 1; r <= 5; ++r)
        main.appendRow("V" + std::to_string(r) + "       Label " + std::to_string(r), rowData(r == 4 ? 'A' : ' ', 1));
    main.showList(5);
    main.tagRow(4);
    main.tagRow(2);
    const std::uint32_t anchor = main.anchorRow();

    VariableList dialog(VariableList::Mode::TaggedItems);
    fillTaggedItems(main, dialog);
    ASSERT_EQ(dialog.rowCount(), 2u);
    EXPECT_EQ(dialog.rowText(1), "V2       Label 2");
    EXPECT_EQ(dialog.rowText(2), "V4       Label 4");
    EXPECT_EQ(dialog.rowInfo(2).typeCode, 'A');
    EXPECT_EQ(dialog.tagCount(), 0u);
    EXPECT_FALSE(dialog.inputEnabled());
    EXPECT_EQ(main.tagCount(), 2u);
    EXPECT_EQ(main.anchorRow(), anchor);
}

} // namespace
} // namespace qavn
