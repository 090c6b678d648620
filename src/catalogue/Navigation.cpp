#include "catalogue/Navigation.h"

#include "project/ProjectSpec.h"
#include "codebook/CodebookStore.h"
#include "catalogue/VariableList.h"

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

} // namespace qavn
