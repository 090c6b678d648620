// Which of the two description windows shows the next variable, and the pin that
// keeps one on its variable.

#include "catalogue/DescriptionSlots.h"

#include "project/ProjectSpec.h"

namespace qavn {

int DescriptionSlots::choose(std::uint32_t row)
{
    int busy = 0;
    int candidate = none;
    for (int slot = 0; slot < 2; ++slot) {
        const Window& w = windows_[slot];
        if (w.exists && w.visible) {
            if (w.row == row)
                return none;
            ++busy;
        } else {
            candidate = slot;
        }
    }
    int slot = 0;
    if (busy == 1)
        slot = candidate;
    else if (busy == 2) {
        if (windows_[1].pinned)
            slot = 0;
        else if (windows_[0].pinned)
            slot = 1;
        else
            slot = lastUsed_ == 0 ? 1 : 0;
    }
    lastUsed_ = slot;
    return slot;
}

void DescriptionSlots::created(int slot)
{
    windows_[slot] = Window{true, true, 0, false};
}

void DescriptionSlots::setVisible(int slot, bool visible)
{
    windows_[slot].visible = visible;
}

void DescriptionSlots::showing(int slot, std::uint32_t row)
{
    windows_[slot].row = row;
}

void DescriptionSlots::destroyed(int slot)
{
    windows_[slot] = Window{};
}

void DescriptionSlots::pin(int slot)
{
    windows_[slot].pinned = true;
    windows_[1 - slot].pinned = false;
}

void DescriptionSlots::unpin(int slot)
{
    windows_[slot].pinned = false;
}

std::string descriptionCaption(std::string_view rowName)
{
    return "Description/Frequency - [" + std::string(rowName) + "]";
}

std::string descriptionInfoLine(const VariableRecord& record, const ProjectSpec& project)
{
    const DataFileEntry* file = project.dataFile(record.fileNumber);
    return "In " + (file ? file->dataPath : std::string()) + " on record " + std::to_string(record.recordNumber) +
           " at " + std::string(record.locationText());
}

CategoryItem splitCategoryItem(std::string_view line)
{
    CategoryItem item;
    std::string* fields[4] = {&item.label, &item.code, &item.frequency, &item.percent};
    unsigned field = 1;
    for (char c : line) {
        if (c == '\t') {
            ++field;
            continue;
        }
        fields[field % 4]->push_back(c);
    }
    return item;
}

} // namespace qavn
