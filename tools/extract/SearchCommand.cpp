// qavn-extract --search: the Search dialog's Tag All Match.

#include "Extract.h"

#include "query/Query.h"
#include "search/Search.h"

#include <cstdio>

namespace qavn::extract {

bool runSearch(Context& context, const Options& options)
{
    SearchRequest request;
    // As the Find What box would hold it once typed.
    request.text = typedSearchText(options.searchText.value_or(std::string()));
    if (request.text.empty()) {
        std::fprintf(stderr, "qavn-extract: --search needs a text\n");
        return false;
    }
    if (options.searchFields != 0) {
        request.fields.variable = (options.searchFields & queryfield::name) != 0;
        request.fields.label = (options.searchFields & queryfield::label) != 0;
        request.fields.description = (options.searchFields & queryfield::description) != 0;
        request.fields.category = (options.searchFields & queryfield::category) != 0;
    }
    request.wholeWords = options.wholeWords;

    context.progress.setText("", "Searching");
    context.progress.setRange(static_cast<long>(context.list.rowCount()));
    // Tag All Match from the first row: every match in the list is tagged,
    // next to whatever the selection already holds. No match shows "Cannot
    // Find '<text>' !" on standard error; that alone does not fail the run.
    // The walk moves the terminal's bar one step per row it polls at.
    CodebookStore& store = context.session.store;
    Search search(context.list, store, context.ui, context.session.commands);
    search.setProgress(&context.progress);
    context.list.goToRow(1);
    const SearchOutcome outcome = search.start(request, SearchMode::TagAll);
    return outcome.ran;
}

} // namespace qavn::extract
