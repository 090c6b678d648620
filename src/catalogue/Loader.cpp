// Loading the variable list from the codebook's index file, with progress.

#include "catalogue/Loader.h"

#include "project/ProjectSpec.h"
#include "codebook/Catalogue.h"
#include "codebook/CodebookStore.h"
#include "platform/Progress.h"
#include "platform/Ui.h"
#include "catalogue/VariableList.h"

#include <array>

namespace qavn {

bool loadVariables(CodebookStore& store, ProjectSpec& project, VariableList& list, Ui& ui, Progress& progress)
{
    const std::uint32_t count = store.recordCount();
    progress.setRange(static_cast<long>(count / 10));
    list.setRowCount(count);
    // Row texts average well under 64 bytes; the arena grows past that.
    list.reserve(count, static_cast<std::size_t>(count) * 48);
    ui.pumpStep();

    if (!project.dataFiles.empty())
        project.dataFiles.front().firstRow = 1;
    std::array<std::uint8_t, CodebookStore::blockRecords * VariableRecord::size> block{};
    std::uint32_t row = 1;
    std::uint32_t lastRow = 0;
    std::uint32_t blockNumber = 0;
    std::uint32_t previousFile = 0;
    store.rewindBlocks();
    for (std::size_t n = store.readBlock(block.data()); n > 0; n = store.readBlock(block.data())) {
        for (std::size_t i = 0; i < n; ++i, ++row) {
            const VariableRecord record = VariableRecord::decode(block.data() + i * VariableRecord::size);
            std::string& text = list.beginRow(rowData(record.typeCode, record.fileNumber));
            appendRowText(text, record, store.readLine(record.labelRef));
            list.endRow();
            if (record.fileNumber != previousFile) {
                // A file number outside the project's list names no data file.
                if (DataFileEntry* entry = project.dataFile(record.fileNumber))
                    entry->firstRow = row;
                previousFile = record.fileNumber;
            }
            lastRow = row;
        }
        if (blockNumber % 4 == 0) {
            progress.advance(15);
            if (!pollProgress(ui, progress))
                return false;
        } else if (progress.cancelled()) {
            return false;
        }
        ++blockNumber;
    }
    // Loading has read every label, which brings most of the text file into
    // the resident set; the list now holds what it needs, so those pages go
    // back to the system's cache until a description or a search reads them.
    store.releaseResidentPages();
    list.showList(lastRow);
    progress.advance(static_cast<long>(lastRow / 10));
    list.goToRow(1);
    return true;
}

} // namespace qavn
