// The search over a fuzzed codebook: the text and the options come from the
// input, and every field, both modes and both directions are walked.

#include "FuzzSupport.h"

#include "project/ProjectSpec.h"
#include "codebook/CodebookStore.h"
#include "catalogue/Loader.h"
#include "platform/Progress.h"
#include "platform/ScriptedUi.h"
#include "search/Search.h"
#include "catalogue/VariableList.h"

using namespace qavn;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Input: index file, text file, then one option byte and the search text.
    const auto parts = fuzz::splitInput(data, size, 3);
    if (parts[2].empty())
        return 0;
    const std::uint8_t options = static_cast<std::uint8_t>(parts[2][0]);
    const std::string text = typedSearchText(std::string_view(parts[2]).substr(1));
    const std::string resourceDir = fuzz::writeCodebook(parts[0], parts[1]);

    ScriptedUi ui;
    CodebookStore store(ui);
    if (!store.open(resourceDir, "FZ") || store.recordCount() > 512)
        return 0;
    ProjectSpec project;
    project.filePrefix = "FZ";
    project.dataFiles.resize(1);
    project.dataFiles[0].dataPath = "A.DAT";
    VariableList list(VariableList::Mode::Main, &ui);
    Progress progress;
    if (!loadVariables(store, project, list, ui, progress))
        return 0;

    CommandState commands;
    Search search(list, store, ui, commands);
    SearchRequest request;
    request.text = text;
    request.wholeWords = (options & 1) != 0;
    // Each field alone, then the combination the option bits choose.
    const SearchFields alone[] = {{true, false, false, false},
                                  {false, true, false, false},
                                  {false, false, true, false},
                                  {false, false, false, true},
                                  {(options & 2) != 0, (options & 4) != 0, (options & 8) != 0, (options & 16) != 0}};
    for (const auto& fields : alone) {
        request.fields = fields;
        for (auto direction : {SearchDirection::Forward, SearchDirection::Backward}) {
            request.direction = direction;
            list.goToRow(direction == SearchDirection::Forward ? 1 : list.rowCount());
            const auto next = search.start(request, SearchMode::NextMatch);
            if (next.found)
                fuzz::require(next.row >= 1 && next.row <= list.rowCount() && list.activeRow() == next.row,
                              "a match is a row of the list, made active");
            list.clearAllTags();
            const auto all = search.start(request, SearchMode::TagAll);
            fuzz::require(!all.ran || all.matches <= list.rowCount(), "no more matches than rows");
            fuzz::require(commands.enabled() && !search.running(), "the commands come back after a walk");
        }
    }
    return 0;
}
