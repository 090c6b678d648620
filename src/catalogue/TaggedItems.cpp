// The tagged-items list filled from the main list's tags.

#include "catalogue/TaggedItems.h"

#include "catalogue/VariableList.h"

namespace qavn {

void fillTaggedItems(const VariableList& main, VariableList& dialog)
{
    const std::uint32_t wanted = main.tagCount();
    dialog.setRowCount(wanted);
    std::uint32_t filled = 0;
    main.forEachTagged([&](std::uint32_t row) {
        dialog.appendRow(main.rowText(row), main.rowData(row));
        ++filled;
        return true;
    });
    dialog.showList(filled);
}

} // namespace qavn
