#pragma once

// Which of the two description windows shows the next variable, and the pin that
// keeps one on its variable.

#include "codebook/VariableRecord.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qavn {

struct ProjectSpec;

// Which of the two description windows shows the next variable, and the pin
// that keeps one of them on its variable. The windows themselves belong to
// the view; this model holds what the choice depends on.
class DescriptionSlots {
public:
    static constexpr int none = -1;

    struct Window {
        bool exists = false;
        bool visible = false;
        std::uint32_t row = 0;
        bool pinned = false;
    };

    // The slot to bring up for row r, or none when a visible window already
    // shows r (it is then not even activated). A slot whose window does not
    // exist gets a new window. The chosen slot becomes the one used last.
    int choose(std::uint32_t row);

    // State changes reported by the windows.
    void created(int slot);
    void setVisible(int slot, bool visible);
    void showing(int slot, std::uint32_t row);
    void destroyed(int slot);
    // The pin-up button: pins this window and unpins the other one.
    void pin(int slot);
    void unpin(int slot);

    const Window& window(int slot) const { return windows_[slot]; }

private:
    Window windows_[2];
    int lastUsed_ = none;
};

// "Description/Frequency - [NAME]".
std::string descriptionCaption(std::string_view rowName);

// "In <dataPath> on record <recordNumber> at <location>"; a file number
// outside the project's data files gives an empty path.
std::string descriptionInfoLine(const VariableRecord& record, const ProjectSpec& project);

// A frequency list item split for drawing: each tab moves on to the next
// field, and field k (counted from 1) goes to Code, Freq, % and Category
// Label in turn, a fifth field going to Code again.
struct CategoryItem {
    std::string code;
    std::string frequency;
    std::string percent;
    std::string label;
};
CategoryItem splitCategoryItem(std::string_view line);

} // namespace qavn
