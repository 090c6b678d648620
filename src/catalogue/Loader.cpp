// Loading the variable list from the codebook's index file, with progress.

#include "catalogue/Loader.h"

#include "project/ProjectSpec.h"
#include "codebook/Catalogue.h"
#include "codebook/CodebookStore.h"
#include "platform/Progress.h"
#include "platform/Ui.h"
#include "catalogue/VariableList.h"

#include <algorithm>
#include <array>

namespace qavn {

namespace {

// The name of `record` padded with blanks to 9 characters: the row text
// without its label.
void appendRowName(std::string& text, const VariableRecord& record)
{
    appendRowText(text, record, {});
}

} // namespace

bool loadVariables(CodebookStore& store, ProjectSpec& project, VariableList& list, Ui& ui, Progress& progress,
                   RowTexts texts)
{
    const std::uint32_t count = store.recordCount();
    const bool labels = texts == RowTexts::NamesAndLabels;
    progress.setRange(static_cast<long>(count / 10));
    list.setRowCount(count);
    // A row text is the padded name and a label of at most labelWindow
    // bytes, and the labels together hold no more than the text file unless
    // rows share label lines: the store is reserved once for the most the
    // rows can need, so it does not move while it fills. Pages of it that
    // stay unused are never touched.
    const std::size_t names = static_cast<std::size_t>(count) * 9;
    const std::size_t labelBytes = labels ? std::min(static_cast<std::size_t>(count) * CodebookStore::labelWindow,
                                                     store.textBytes().size())
                                          : 0;
    list.reserve(count, names + labelBytes);
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
            appendRowName(text, record);
            if (labels)
                store.appendLine(record.labelRef, text);
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
    // The pages of the codebook read here stay mapped: a search or a query
    // reads them again, and bringing them back costs more than keeping them.
    list.showList(lastRow);
    progress.advance(static_cast<long>(lastRow / 10));
    list.goToRow(1);
    return true;
}

void loadLabels(const CodebookStore& store, VariableList& list, std::span<const std::uint32_t> rows)
{
    const std::uint32_t records = store.recordCount();
    list.appendToRows(rows, [&](std::uint32_t row, std::string& text) {
        if (row <= records)
            store.appendLine(store.recordAt(row).labelRef, text);
    });
}

} // namespace qavn
