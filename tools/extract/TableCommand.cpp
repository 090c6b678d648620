// qavn-extract --tabulate: a frequency table or crosstab counted from the raw
// data, as CSV on standard output.

#include "Extract.h"

#include "platform/ConsoleProgress.h"
#include "tables/TableText.h"

#include <cstdio>
#include <string>

namespace qavn::extract {

namespace {

const ProjectMetadata* metadataOf(const Context& context)
{
    return context.session.metadata ? &*context.session.metadata : nullptr;
}

} // namespace

int resolveTable(const Context& context, const Options& options, TableRequest& request)
{
    std::uint32_t found[3] = {0, 0, 0};
    const std::pair<const std::string*, const char*> named[3] = {
        {&options.tabulate[0], "--tabulate"},
        {options.tabulate.size() > 1 ? &options.tabulate[1] : nullptr, "--tabulate"},
        {options.weight ? &*options.weight : nullptr, "--weight"},
    };
    for (int i = 0; i < 3; ++i) {
        if (!named[i].first)
            continue;
        std::string bad;
        const auto typed = typedText(*named[i].first, bad);
        found[i] = typed ? findVariable(*typed, context.session.store, metadataOf(context)) : 0;
        if (found[i] == 0) {
            std::fprintf(stderr, "qavn-extract: %s: the project has no variable %s\n", named[i].second,
                         named[i].first->c_str());
            return exitUsage;
        }
    }
    if (found[2] != 0 && context.session.store.recordAt(found[2]).typeCode == 'A') {
        std::fprintf(stderr, "qavn-extract: --weight: %s is alphanumeric; a weight is a number\n",
                     options.weight->c_str());
        return exitUsage;
    }
    request.row = found[0];
    request.column = found[1];
    request.weight = found[2];
    request.missing = options.missing == "include" ? MissingValues::Include : MissingValues::Exclude;
    return exitOk;
}

int runTable(Context& context, const TableRequest& request)
{
    context.progress.cancel = 0;
    auto result = tabulate(request, context.session.store, context.session.project, context.session.settings,
                           metadataOf(context), context.ui, context.progress);
    if (auto* console = dynamic_cast<ConsoleProgress*>(&context.progress))
        console->finish();
    if (!result) {
        std::fprintf(stderr, "qavn-extract: %s\n", describe(result.error()).c_str());
        return exitFailure;
    }
    const Tabulation& table = result.value();
    const std::string csv = tableCsv(table);
    std::fwrite(csv.data(), 1, csv.size(), stdout);
    std::fflush(stdout);
    for (const std::string& note : tableNotes(table))
        std::fprintf(stderr, "qavn-extract: note: %s\n", terminalText(note).c_str());
    if (std::ferror(stdout)) {
        std::fprintf(stderr, "qavn-extract: --tabulate: standard output could not be written\n");
        return exitFailure;
    }
    return table.cancelled ? exitFailure : exitOk;
}

} // namespace qavn::extract
