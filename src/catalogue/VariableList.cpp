// The variable list: one row per variable with its text, data and tag, the anchor
// and active row, and the observer told of every change.

#include "catalogue/VariableList.h"

#include "platform/Strings.h"
#include "platform/Ui.h"

#include <algorithm>
#include <cstdio>

namespace qavn {

VariableList::VariableList(Mode mode, Ui* ui) : mode_(mode), ui_(ui)
{
    start_.push_back(0);
}

void VariableList::setRowCount(std::uint32_t count)
{
    rowCount_ = count;
    text_.clear();
    start_.assign(1, 0);
    data_.clear();
    tags_.assign(count, 0);
    tagCount_ = 0;
    anchorRow_ = 0;
    if (observer_)
        observer_->listReset();
}

void VariableList::reserve(std::uint32_t rows, std::size_t textBytes)
{
    text_.reserve(textBytes);
    start_.reserve(static_cast<std::size_t>(rows) + 1);
    data_.reserve(rows);
}

void VariableList::appendRow(std::string_view rowText, std::uint32_t rowData)
{
    text_.append(rowText);
    start_.push_back(text_.size());
    data_.push_back(rowData);
}

std::string& VariableList::beginRow(std::uint32_t rowData)
{
    data_.push_back(rowData);
    return text_;
}

void VariableList::endRow()
{
    start_.push_back(text_.size());
}

void VariableList::appendToRows(std::span<const std::uint32_t> rows,
                                FunctionRef<void(std::uint32_t row, std::string& text)> append)
{
    if (rows.empty())
        return;
    std::string text;
    text.reserve(text_.size() + rows.size() * 64);
    std::size_t next = 0;
    const std::uint32_t filled = static_cast<std::uint32_t>(start_.size() - 1);
    std::uint64_t from = 0;
    for (std::uint32_t r = 1; r <= filled; ++r) {
        text.append(text_, from, start_[r] - from);
        from = start_[r];
        if (next < rows.size() && rows[next] == r) {
            append(r, text);
            ++next;
        }
        start_[r] = text.size();
    }
    text_ = std::move(text);
}

void VariableList::showList(std::uint32_t count)
{
    tagCount_ = 0;
    rowCount_ = count;
    if (tags_.size() < count)
        tags_.resize(count, 0);
    std::fill(tags_.begin(), tags_.end(), 0);
    shown_ = true;
    if (observer_) {
        observer_->listReset();
        observer_->tagCountChanged(tagCount_);
    }
}

int VariableList::goToRow(std::uint32_t row)
{
    if (!valid(row))
        return 0;
    activeRow_ = row;
    if (observer_)
        observer_->activeRowChanged(row);
    return 1;
}

std::string_view VariableList::rowText(std::uint32_t row) const
{
    if (row < 1 || row >= start_.size())
        return {};
    return std::string_view(text_).substr(start_[row - 1], start_[row] - start_[row - 1]);
}

std::string VariableList::rowName(std::uint32_t row) const
{
    if (row == 0)
        row = activeRow_;
    return std::string(trimmed(rowText(row).substr(0, 8)));
}

std::string_view VariableList::rowLabel(std::uint32_t row) const
{
    if (row == 0)
        row = activeRow_;
    const std::string_view text = rowText(row);
    return text.size() > 9 ? text.substr(9) : std::string_view();
}

std::uint32_t VariableList::rowData(std::uint32_t row) const
{
    return (row >= 1 && row <= data_.size()) ? data_[row - 1] : 0;
}

VariableList::RowInfo VariableList::rowInfo(std::uint32_t row) const
{
    const std::uint32_t data = rowData(row);
    return {fileNumberOf(data), typeCodeOf(data)};
}

bool VariableList::isTagged(std::uint32_t row) const
{
    return valid(row) && row <= tags_.size() && tags_[row - 1] != 0;
}

std::vector<std::uint32_t> VariableList::taggedRows() const
{
    std::vector<std::uint32_t> rows;
    rows.reserve(tagCount_);
    forEachTagged([&](std::uint32_t row) {
        rows.push_back(row);
        return true;
    });
    return rows;
}

void VariableList::setTag(std::uint32_t row, bool on)
{
    if (tags_.size() < row)
        tags_.resize(rowCount_, 0);
    tags_[row - 1] = on ? 1 : 0;
    if (on)
        ++tagCount_;
    else if (tagCount_ > 0)
        --tagCount_;
    if (batchDepth_ > 0) {
        if (batchFirst_ == 0 || row < batchFirst_)
            batchFirst_ = row;
        batchLast_ = std::max(batchLast_, row);
        return;
    }
    if (observer_) {
        observer_->tagsChanged(row, row);
        if (mode_ == Mode::Main)
            observer_->tagCountChanged(tagCount_);
    }
}

void VariableList::beginBatch()
{
    if (batchDepth_++ == 0)
        batchFirst_ = batchLast_ = 0;
}

void VariableList::endBatch()
{
    if (--batchDepth_ > 0 || batchFirst_ == 0)
        return;
    if (observer_) {
        observer_->tagsChanged(batchFirst_, batchLast_);
        if (mode_ == Mode::Main)
            observer_->tagCountChanged(tagCount_);
    }
    batchFirst_ = batchLast_ = 0;
}

int VariableList::tagRow(std::uint32_t row)
{
    if (!valid(row))
        return 0;
    if (!isTagged(row)) {
        setTag(row, true);
        anchorRow_ = row;
    }
    return 1;
}

int VariableList::untagRow(std::uint32_t row)
{
    if (!valid(row))
        return 0;
    if (isTagged(row)) {
        setTag(row, false);
        anchorRow_ = row;
    }
    return 1;
}

int VariableList::toggleTag(std::uint32_t row)
{
    if (!valid(row))
        return 0;
    anchorRow_ = row;
    setTag(row, !isTagged(row));
    return 1;
}

int VariableList::tagRange(std::uint32_t row)
{
    if (!valid(row))
        return 0;
    const std::uint32_t anchor = (anchorRow_ == 0 || !valid(anchorRow_)) ? row : anchorRow_;
    const std::uint32_t low = std::min(anchor, row);
    const std::uint32_t high = std::max(anchor, row);
    const bool wait = ui_ != nullptr && high - low > waitCursorRange;
    if (wait)
        ui_->setWaitCursor(true);
    const bool tag = isTagged(anchor);
    beginBatch();
    for (std::uint32_t r = low; r <= high; ++r) {
        if (tag)
            tagRow(r);
        else
            untagRow(r);
    }
    endBatch();
    if (wait)
        ui_->setWaitCursor(false);
    return 1;
}

void VariableList::clearAllTags()
{
    beginBatch();
    for (std::uint32_t r = 1; r <= rowCount_ && tagCount_ > 0; ++r) {
        if (isTagged(r))
            setTag(r, false);
    }
    endBatch();
    anchorRow_ = 0;
}

std::string VariableList::tagPaneText(std::uint32_t count)
{
    char text[32];
    std::snprintf(text, sizeof text, "Tag %6ld ", static_cast<long>(count));
    return text;
}

} // namespace qavn
