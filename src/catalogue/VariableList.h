#pragma once

// The variable list: one row per variable with its text, data and tag, the anchor
// and active row, and the observer told of every change.

#include "codebook/Catalogue.h"
#include "platform/FunctionRef.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qavn {

class Ui;

// Told of every change of a variable list, so that a view can repaint only
// what changed. Row numbers are 1-based.
class VariableListObserver {
public:
    virtual ~VariableListObserver() = default;
    virtual void tagsChanged(std::uint32_t firstRow, std::uint32_t lastRow) { (void)firstRow, (void)lastRow; }
    virtual void tagCountChanged(std::uint32_t tagCount) { (void)tagCount; }
    virtual void activeRowChanged(std::uint32_t row) { (void)row; }
    // Rows were added, the row count changed or the list was shown.
    virtual void listReset() {}
};

// The list of every variable of the project, one row per variable in index
// order, with each row's text, row data and tag, the active row and the tag
// anchor. It is the only holder of the tags.
//
// Row numbers count from 1. Every operation ignores a row outside
// 1..rowCount() and returns 0 (false) for it.
class VariableList {
public:
    enum class Mode { Main, TaggedItems };
    static constexpr std::uint32_t initialRowCount = 50;
    static constexpr std::uint32_t waitCursorRange = 80;

    explicit VariableList(Mode mode = Mode::Main, Ui* ui = nullptr);

    Mode mode() const { return mode_; }
    // Mouse, keys and cell notifications act on the main list only.
    bool inputEnabled() const { return mode_ == Mode::Main; }
    void setObserver(VariableListObserver* observer) { observer_ = observer; }

    // Filling, as loading does it: set the number of rows, then append each
    // row in order, then showList().
    void setRowCount(std::uint32_t count);
    void reserve(std::uint32_t rows, std::size_t textBytes);
    void appendRow(std::string_view rowText, std::uint32_t rowData);
    // Starts a row and returns the store of every row text: the caller
    // appends the new row's text to it (and changes nothing else) before
    // endRow(), so that the text is written once, in place.
    std::string& beginRow(std::uint32_t rowData);
    void endRow();
    // After filling: appends to the texts of `rows` (ascending, each in the
    // list) what `append(row, text)` adds to the string it is given; the
    // other rows keep their texts. One pass over every row text.
    void appendToRows(std::span<const std::uint32_t> rows,
                      FunctionRef<void(std::uint32_t row, std::string& text)> append);
    // tagCount = 0, rowCount = count, the list is shown.
    void showList(std::uint32_t count);
    bool shown() const { return shown_; }

    std::uint32_t rowCount() const { return rowCount_; }
    std::uint32_t tagCount() const { return tagCount_; }
    std::uint32_t anchorRow() const { return anchorRow_; }
    std::uint32_t activeRow() const { return activeRow_; }

    // Makes the row active. Returns 1, or 0 (and nothing changes) for a row
    // outside the list.
    int goToRow(std::uint32_t row);

    // The whole row text: name padded to 9 characters, then the label.
    std::string_view rowText(std::uint32_t row) const;
    // Every row text, one after another in row order with nothing between
    // them: rowText(r) is a part of it, for readers that look through all
    // of them at once.
    std::string_view rowTexts() const { return text_; }
    // The first 8 characters of the row text without leading and trailing
    // blanks; row 0 means the active row.
    std::string rowName(std::uint32_t row) const;
    // The row text from its 10th character on; row 0 means the active row.
    std::string_view rowLabel(std::uint32_t row) const;
    std::uint32_t rowData(std::uint32_t row) const;
    struct RowInfo {
        std::uint16_t fileNumber = 0;
        char typeCode = ' ';
    };
    RowInfo rowInfo(std::uint32_t row) const;

    // Tagging. Each returns 0 for a row outside the list and 1 otherwise.
    bool isTagged(std::uint32_t row) const;
    int tagRow(std::uint32_t row);
    int untagRow(std::uint32_t row);
    int toggleTag(std::uint32_t row);
    // Tags or untags every row from the anchor to `row`, as the anchor row's
    // own state says; shows the wait pointer for more than 80 rows.
    int tagRange(std::uint32_t row);
    void clearAllTags();
    // Calls visit(row) for each tagged row, in ascending order, and stops
    // after the last one (or when visit returns false).
    template <typename Visit>
    void forEachTagged(Visit&& visit) const;
    // The tagged rows, ascending.
    std::vector<std::uint32_t> taggedRows() const;

    // The tag pane's text for a count: "Tag %6ld ".
    static std::string tagPaneText(std::uint32_t count);

private:
    bool valid(std::uint32_t row) const { return row >= 1 && row <= rowCount_; }
    void setTag(std::uint32_t row, bool on);
    // While a batch is open, tag changes are gathered and told to the
    // observer once, as one span of rows and one count, when it closes: a
    // range of a million rows then costs one repaint, not a million.
    void beginBatch();
    void endBatch();

    Mode mode_;
    Ui* ui_;
    VariableListObserver* observer_ = nullptr;
    std::uint32_t rowCount_ = initialRowCount;
    std::uint32_t tagCount_ = 0;
    std::uint32_t anchorRow_ = 0;
    std::uint32_t activeRow_ = 1;
    bool shown_ = false;

    std::string text_;                 // every row text, one after another
    std::vector<std::uint64_t> start_; // start of row r's text at [r - 1]; one extra entry at the end
    std::vector<std::uint32_t> data_;
    std::vector<std::uint8_t> tags_;
    int batchDepth_ = 0;
    std::uint32_t batchFirst_ = 0; // 0: nothing changed in the batch
    std::uint32_t batchLast_ = 0;
};

template <typename Visit>
void VariableList::forEachTagged(Visit&& visit) const
{
    std::uint32_t found = 0;
    for (std::uint32_t row = 1; row <= rowCount_ && found < tagCount_; ++row) {
        if (!isTagged(row))
            continue;
        ++found;
        if (!visit(row))
            return;
    }
}

} // namespace qavn
