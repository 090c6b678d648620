// The codebook store over a fuzzed index file and text file: every record,
// every line reference, section titles, every line reader variant, the block
// search windows, loading into a variable list, then what the browser does
// with a row: the description text and info line, the frequency list items,
// and navigation by section and by data file.

#include "FuzzSupport.h"

#include "project/ProjectSpec.h"
#include "codebook/CodebookStore.h"
#include "codebook/DescriptionText.h"
#include "catalogue/Loader.h"
#include "platform/Progress.h"
#include "platform/ScriptedUi.h"
#include "catalogue/DescriptionSlots.h"
#include "catalogue/Navigation.h"
#include "catalogue/VariableList.h"

#include <algorithm>
#include <string>

using namespace qavn;

namespace {

constexpr std::uint32_t maxRecords = 64;
constexpr LineVariant variants[] = {LineVariant::ListLines,   LineVariant::JoinedText, LineVariant::LineSearch,
                                    LineVariant::DisplayText, LineVariant::BlockSearch, LineVariant::FileEcho,
                                    LineVariant::CategoryFields};

void readBlock(CodebookStore& store, TextRef ref, std::uint32_t count)
{
    for (auto variant : variants) {
        std::uint32_t seen = 0;
        const auto delivered = store.readLines(ref, count, variant, [&](std::string_view line) {
            ++seen;
            if (variant == LineVariant::CategoryFields)
                (void)splitCategoryLine(line);
            return true;
        });
        fuzz::require(delivered == seen && delivered <= count, "readLines counts what it delivers");
    }
    std::size_t windows = 0;
    store.forEachBlockWindow(ref, count, [&](std::span<const std::uint8_t> w) {
        fuzz::require(w.size() <= store.textBytes().size(), "a window lies within the text file");
        return ++windows < 10000;
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto parts = fuzz::splitInput(data, size, 2);
    const std::string resourceDir = fuzz::writeCodebook(parts[0], parts[1]);

    ScriptedUi ui;
    CodebookStore store(ui);
    if (!store.open(resourceDir, "FZ"))
        return 0;
    const std::uint32_t records = std::min(store.recordCount(), maxRecords);
    for (std::uint32_t k = 1; k <= records; ++k) {
        if (!store.readRecord(k))
            continue;
        const VariableRecord r = store.record();
        const VariableRecord again = store.recordAt(k);
        fuzz::require(again.labelRef == r.labelRef && again.fileNumber == r.fileNumber, "recordAt agrees");
        for (TextRef ref : {r.labelRef, r.categoryRef, r.descriptionRef, r.sectionRef}) {
            const auto line = store.readLine(ref);
            fuzz::require(line.size() <= CodebookStore::labelWindow, "a line fits its window");
        }
        std::string title;
        store.sectionTitleOf(k, title);
        readBlock(store, r.categoryRef, r.categoryLineCount);
        readBlock(store, r.descriptionRef, r.descriptionLineCount);
    }
    store.readRecord(0);
    store.readRecord(store.recordCount() + 1);

    ProjectSpec project;
    project.filePrefix = "FZ";
    project.dataSetTitle = "FUZZ";
    project.dataFiles.resize(2);
    project.dataFiles[0].dataPath = "A.DAT";
    project.dataFiles[1].dataPath = "B.DAT";
    if (store.recordCount() <= 4096) {
        VariableList list(VariableList::Mode::Main, &ui);
        Progress progress;
        if (loadVariables(store, project, list, ui, progress)) {
            fuzz::require(list.rowCount() == store.recordCount(), "one row per record");
            const std::uint32_t rows = std::min(list.rowCount(), maxRecords);
            for (std::uint32_t row = 1; row <= rows; ++row) {
                (void)list.rowName(row);
                (void)list.rowLabel(row);
                (void)list.rowInfo(row);
                if (store.readRecord(row)) {
                    const VariableRecord r = store.record();
                    (void)descriptionInfoLine(r, project);
                    (void)descriptionText(store, r);
                    store.readLines(r.categoryRef, r.categoryLineCount, LineVariant::ListLines,
                                    [](std::string_view line) {
                                        (void)splitCategoryItem(line);
                                        return true;
                                    });
                }
                using Step = void (*)(VariableList&, CodebookStore&, const ProjectSpec&);
                const Step steps[] = {
                    [](VariableList& l, CodebookStore& s, const ProjectSpec&) { goToNextSection(l, s); },
                    [](VariableList& l, CodebookStore& s, const ProjectSpec&) { goToPrevSection(l, s); },
                    [](VariableList& l, CodebookStore& s, const ProjectSpec& p) { goToNextFile(l, s, p); },
                    [](VariableList& l, CodebookStore& s, const ProjectSpec& p) { goToPrevFile(l, s, p); },
                };
                for (Step step : steps) {
                    list.goToRow(row);
                    step(list, store, project);
                    fuzz::require(list.activeRow() >= 1 && list.activeRow() <= list.rowCount(),
                                  "navigation stays in the list");
                }
            }
        }
    }
    return 0;
}
