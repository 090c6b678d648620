// The query language over a fuzzed codebook: the query text comes from the
// input. A text that does not compile names a column inside it; one that
// compiles is evaluated, and its negation matches exactly the other rows.
// Seeds: the search seeds' codebooks with query texts.

#include "FuzzSupport.h"

#include "catalogue/Loader.h"
#include "catalogue/VariableList.h"
#include "codebook/CodebookStore.h"
#include "platform/Progress.h"
#include "platform/ScriptedUi.h"
#include "project/ProjectSpec.h"
#include "query/Query.h"
#include "query/QueryIndex.h"

using namespace qavn;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Input: index file, text file, then the query text.
    const auto parts = fuzz::splitInput(data, size, 3);
    const std::string& text = parts[2];
    Query query;
    if (!query.compile(text)) {
        fuzz::require(query.error().column >= 1 && query.error().column <= text.size() + 1,
                      "a syntax error names a column of the text");
        fuzz::require(query.empty(), "a query that did not compile matches nothing");
        return 0;
    }
    const std::string resourceDir = fuzz::writeCodebook(parts[0], parts[1]);
    ScriptedUi ui;
    CodebookStore store(ui);
    if (!store.open(resourceDir, "FZ") || store.recordCount() > 512)
        return 0;
    ProjectSpec project;
    project.filePrefix = "FZ";
    project.dataFiles.resize(2);
    project.dataFiles[0].fileTitle = "FIRST";
    project.dataFiles[1].fileTitle = "SECOND";
    VariableList list(VariableList::Mode::Main, &ui);
    Progress progress;
    if (!loadVariables(store, project, list, ui, progress))
        return 0;

    QueryIndex index;
    fuzz::require(index.build(list, store, &project), "the index is built");
    const QueryMatches matches = index.evaluate(query);
    fuzz::require(matches.rowCount() == list.rowCount(), "a bit for every row");
    const auto rows = matches.rows();
    fuzz::require(rows.size() == matches.count(), "the rows are the bits set");
    for (const std::uint32_t row : rows)
        fuzz::require(row >= 1 && row <= list.rowCount(), "a match is a row of the list");

    Query negation;
    if (negation.compile("NOT (" + text + ")")) {
        const QueryMatches other = index.evaluate(negation);
        fuzz::require(other.count() + matches.count() == list.rowCount(), "NOT matches the other rows");
        for (const std::uint32_t row : rows)
            fuzz::require(!other.contains(row), "NOT matches none of the rows");
    }
    return 0;
}
