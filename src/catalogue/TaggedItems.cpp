#include "catalogue/TaggedItems.h"

#include "catalogue/VariableList.h"

namespace qavn {

void fillTaggedItems(const VariableList& main, VariableList& dialog)
{
    const std::uint32_t wanted = main.tagCount();
    dialog.setRowCount(wanted);
    std::uint32_t filled = 0;
    for (std::uint32_t row = 1; row <= main.rowCount() && filled < wanted; ++row) {
        if (main.isTagged(row)) {
            dialog.appendRow(main.rowText(row), main.rowData(row));
            ++filled;
        }
    }
    dialog.showList(filled);
}

} // namespace qavn
