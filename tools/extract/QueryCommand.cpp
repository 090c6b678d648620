// qavn-extract --query: checked, run and its matches tagged.

#include "Extract.h"

#include "query/Query.h"
#include "query/QueryIndex.h"

#include <cstdio>

namespace qavn::extract {

int checkQuery(const std::string& text)
{
    Query query;
    if (query.compile(text))
        return exitOk;
    // The message, then the query with a caret under the column.
    std::fprintf(stderr, "qavn-extract: --query: %s\n  %s\n  %*s^\n", query.error().text().c_str(),
                 terminalText(text).c_str(),
                 static_cast<int>(query.error().column - 1), "");
    return exitUsage;
}

int runQuery(Context& context, const std::string& text)
{
    Query query;
    if (!query.compile(text))
        return checkQuery(text);
    // The terminal's bar runs to 100 while the names, labels and block
    // places are gathered, then once more while the text file is read.
    auto keepGoing = [&] { return pollProgress(context.ui, context.progress); };
    long shown = 0;
    auto progress = [&](int percent) {
        context.progress.advance(percent - shown);
        shown = percent;
    };
    context.progress.setText("", "Querying");
    context.progress.setRange(100);
    QueryIndex index;
    if (!index.build(context.list, context.session.store, &context.session.project, keepGoing, progress))
        return exitFailure;
    QueryMatches matches;
    if (!index.evaluate(query, matches, keepGoing))
        return exitFailure;

    // The matches join the selection, beside whatever it holds already.
    const std::vector<std::uint32_t> rows = matches.rows();
    for (const std::uint32_t row : rows)
        context.list.tagRow(row);
    std::printf("%zu matching variable%s\n", rows.size(), rows.size() == 1 ? "" : "s");
    for (const std::uint32_t row : rows)
        std::printf("%u\t%s\n", row, terminalText(context.list.rowText(row)).c_str());
    return exitOk;
}

} // namespace qavn::extract
