// The Move and Tag commands that walk the variable list (sections, data files,
// tags).

#include "catalogue/Navigation.h"

#include "project/ProjectSpec.h"
#include "codebook/CodebookStore.h"
#include "catalogue/VariableList.h"

#include <algorithm>
#include <string>

namespace qavn {

namespace {

// Section titles of rows, compared as exact strings. Rows that point at the
// same stored line have the same title without reading it.
class SectionReader {
public:
    explicit SectionReader(CodebookStore& store) : store_(store) {}

    bool read(std::uint32_t row, std::uint32_t& ref, std::string& title)
    {
        if (!store_.readRecord(row))
            return false;
        ref = store_.record().sectionRef.offset();
        title.assign(store_.readLine(store_.record().sectionRef));
        return true;
    }

    // Whether row's title equals (ref, title); false in `ok` when the row
    // cannot be read.
    bool same(std::uint32_t row, std::uint32_t ref, const std::string& title, bool& ok)
    {
        ok = store_.readRecord(row);
        if (!ok)
            return false;
        const TextRef rowRef = store_.record().sectionRef;
        if (rowRef.offset() == ref)
            return true;
        return store_.readLine(rowRef) == title;
    }

private:
    CodebookStore& store_;
};

} // namespace

void goToTopOfList(VariableList& list)
{
    list.goToRow(1);
}

void goToBottomOfList(VariableList& list)
{
    list.goToRow(list.rowCount());
}

void goToNextSection(VariableList& list, CodebookStore& store)
{
    SectionReader sections(store);
    std::uint32_t ref = 0;
    std::string title;
    if (!sections.read(list.activeRow(), ref, title))
        return;
    for (std::uint32_t r = list.activeRow() + 1; r <= list.rowCount(); ++r) {
        bool ok = true;
        const bool same = sections.same(r, ref, title, ok);
        if (!ok)
            return;
        if (!same) {
            list.goToRow(r);
            return;
        }
    }
}

void goToPrevSection(VariableList& list, CodebookStore& store)
{
    SectionReader sections(store);
    std::uint32_t ref = 0;
    std::string title;
    if (!sections.read(list.activeRow(), ref, title))
        return;
    std::uint32_t r = list.activeRow() - 1;
    bool ok = true;
    while (r >= 1 && sections.same(r, ref, title, ok))
        --r;
    if (!ok)
        return;
    if (r < 1) {
        list.goToRow(1);
        return;
    }
    std::uint32_t otherRef = 0;
    std::string other;
    if (!sections.read(r, otherRef, other))
        return;
    while (r >= 1 && sections.same(r, otherRef, other, ok))
        --r;
    if (!ok)
        return;
    list.goToRow(r + 1);
}

namespace {

void goToFile(VariableList& list, CodebookStore& store, const ProjectSpec& project, int direction)
{
    if (!store.readRecord(list.activeRow()))
        return;
    const long f = store.record().fileNumber;
    const long target = f + direction;
    if (target < 1 || target > static_cast<long>(project.dataFiles.size()))
        return;
    const std::uint32_t row = project.dataFiles[static_cast<std::size_t>(target - 1)].firstRow;
    if (row != 0)
        list.goToRow(row);
}

} // namespace

void goToNextFile(VariableList& list, CodebookStore& store, const ProjectSpec& project)
{
    goToFile(list, store, project, +1);
}

void goToPrevFile(VariableList& list, CodebookStore& store, const ProjectSpec& project)
{
    goToFile(list, store, project, -1);
}

void goToNextTag(VariableList& list)
{
    for (std::uint32_t r = list.activeRow() + 1; r <= list.rowCount(); ++r) {
        if (list.isTagged(r)) {
            list.goToRow(r);
            return;
        }
    }
}

void goToPrevTag(VariableList& list)
{
    for (std::uint32_t r = list.activeRow(); r-- > 1;) {
        if (list.isTagged(r)) {
            list.goToRow(r);
            return;
        }
    }
}

namespace {

// Positions in `rows`: of the first row after the active one, and one past
// the last row before it.
std::size_t firstAfter(std::span<const std::uint32_t> rows, std::uint32_t active)
{
    return static_cast<std::size_t>(std::upper_bound(rows.begin(), rows.end(), active) - rows.begin());
}

std::size_t endBefore(std::span<const std::uint32_t> rows, std::uint32_t active)
{
    return static_cast<std::size_t>(std::lower_bound(rows.begin(), rows.end(), active) - rows.begin());
}

} // namespace

void goToTopOfList(VariableList& list, std::span<const std::uint32_t> rows)
{
    if (!rows.empty())
        list.goToRow(rows.front());
}

void goToBottomOfList(VariableList& list, std::span<const std::uint32_t> rows)
{
    if (!rows.empty())
        list.goToRow(rows.back());
}

void goToNextSection(VariableList& list, CodebookStore& store, std::span<const std::uint32_t> rows)
{
    SectionReader sections(store);
    std::uint32_t ref = 0;
    std::string title;
    if (!sections.read(list.activeRow(), ref, title))
        return;
    for (std::size_t i = firstAfter(rows, list.activeRow()); i < rows.size(); ++i) {
        bool ok = true;
        const bool same = sections.same(rows[i], ref, title, ok);
        if (!ok)
            return;
        if (!same) {
            list.goToRow(rows[i]);
            return;
        }
    }
}

void goToPrevSection(VariableList& list, CodebookStore& store, std::span<const std::uint32_t> rows)
{
    if (rows.empty())
        return;
    SectionReader sections(store);
    std::uint32_t ref = 0;
    std::string title;
    if (!sections.read(list.activeRow(), ref, title))
        return;
    // i counts the shown rows before the active one still to look at.
    std::size_t i = endBefore(rows, list.activeRow());
    bool ok = true;
    while (i > 0 && sections.same(rows[i - 1], ref, title, ok))
        --i;
    if (!ok)
        return;
    if (i == 0) {
        list.goToRow(rows.front());
        return;
    }
    std::uint32_t otherRef = 0;
    std::string other;
    if (!sections.read(rows[i - 1], otherRef, other))
        return;
    while (i > 0 && sections.same(rows[i - 1], otherRef, other, ok))
        --i;
    if (!ok)
        return;
    list.goToRow(rows[i]);
}

void goToNextFile(VariableList& list, std::span<const std::uint32_t> rows)
{
    const std::uint16_t f = list.rowInfo(list.activeRow()).fileNumber;
    for (std::size_t i = firstAfter(rows, list.activeRow()); i < rows.size(); ++i) {
        if (list.rowInfo(rows[i]).fileNumber > f) {
            list.goToRow(rows[i]);
            return;
        }
    }
}

void goToPrevFile(VariableList& list, std::span<const std::uint32_t> rows)
{
    const std::uint16_t f = list.rowInfo(list.activeRow()).fileNumber;
    std::size_t i = endBefore(rows, list.activeRow());
    while (i > 0 && list.rowInfo(rows[i - 1]).fileNumber >= f)
        --i;
    if (i == 0)
        return;
    // The first shown row of that earlier file.
    const std::uint16_t earlier = list.rowInfo(rows[i - 1]).fileNumber;
    while (i > 1 && list.rowInfo(rows[i - 2]).fileNumber == earlier)
        --i;
    list.goToRow(rows[i - 1]);
}

void goToNextTag(VariableList& list, std::span<const std::uint32_t> rows)
{
    for (std::size_t i = firstAfter(rows, list.activeRow()); i < rows.size(); ++i) {
        if (list.isTagged(rows[i])) {
            list.goToRow(rows[i]);
            return;
        }
    }
}

void goToPrevTag(VariableList& list, std::span<const std::uint32_t> rows)
{
    for (std::size_t i = endBefore(rows, list.activeRow()); i > 0; --i) {
        if (list.isTagged(rows[i - 1])) {
            list.goToRow(rows[i - 1]);
            return;
        }
    }
}

} // namespace qavn
