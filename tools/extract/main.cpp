// qavn-extract: the batch tool. Run from the folder that holds the project's
// configuration file; it starts the project as the program does, loads every
// variable, builds a selection and writes what the command line asks for.

#include "Extract.h"

#include "project/Configuration.h"
#include "catalogue/Loader.h"
#include "platform/ConsoleProgress.h"
#include "platform/Strings.h"
#include "search/TagImport.h"
#include "selections/SelectionFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

using namespace qavn;
using namespace qavn::extract;

namespace {

void printReadError(const ReadError& error)
{
    std::fprintf(stderr, "qavn-extract: %s\n", describe(error).c_str());
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(usageText().c_str(), stdout);
            return exitOk;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("qavn-extract %s\n", QAVN_VERSION);
            return exitOk;
        }
    }
    Options options;
    std::string error;
    if (!parseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "qavn-extract: %s\n%s", error.c_str(), usageText().c_str());
        return exitUsage;
    }
    // Texts typed in a UTF-8 terminal are matched against the Latin-1 codebook.
    useLocaleEncoding();
    for (auto* typed : {&options.queryText, &options.searchText}) {
        if (!*typed)
            continue;
        std::string bad;
        const auto text = typedText(**typed, bad);
        if (!text) {
            std::fprintf(stderr, "qavn-extract: %s: '%s' is a character the codebook's Latin-1 text cannot hold\n",
                         typed == &options.queryText ? "--query" : "--search", bad.c_str());
            return exitUsage;
        }
        *typed = *text;
    }

    if (options.queryText) {
        if (const int status = checkQuery(*options.queryText); status != exitOk)
            return status;
    }

    ConsoleUi ui;
    OpenProject session(ui);
    // A missing or malformed P= argument is a usage error of this tool.
    std::string id;
    if (!Session::parseCommandLine(options.arguments, id, ui))
        return exitUsage;
    // Run from scripts, the tool never offers to create a missing
    // configuration file: it names the file it looked for and stops.
    const auto started = session.load(id);
    if (!started) {
        printReadError(started.error());
        return exitFailure;
    }
    if (session.metadataProblem)
        std::fprintf(stderr, "qavn-extract: warning: %s; the project runs without its metadata\n",
                     describe(*session.metadataProblem).c_str());
    if (options.outputDir) {
        // The programs name the folder in their statements as before; the
        // export writes into it exactly as typed, like --write access DIR.
        session.settings.outputDir = *options.outputDir;
        for (Options::Output& output : options.outputs)
            if (output.format->files == OutputFiles::Several && output.path.empty())
                output.path = *options.outputDir;
    }

    // Listing, searching and querying read every label; a run that only
    // selects by number, tag file or saved selection and then writes or
    // verifies needs the labels of its selected variables alone, which are
    // read once the selection is made.
    const bool everyLabel = options.list || options.listTagged || options.searchText || options.queryText;
    const RowTexts texts = everyLabel ? RowTexts::NamesAndLabels : RowTexts::NamesOnly;
    VariableList list(VariableList::Mode::Main, &ui);
    {
        ConsoleProgress loading("Loading");
        try {
            if (!loadVariables(session.store, session.project, list, ui, loading, texts)) {
                ui.error(loadCanceledMessage);
                return exitFailure;
            }
        } catch (const std::bad_alloc&) {
            ReadError error;
            error.kind = ReadError::Kind::OutOfMemory;
            error.file = session.settings.resourceDir + "\\" + session.project.filePrefix + "01.CDC";
            error.reason = "not enough memory to load its " + std::to_string(session.store.recordCount()) +
                           " variables";
            printReadError(error);
            return exitFailure;
        }
    }
    ConsoleProgress progress("Working");
    Context context{session, list, ui, progress};

    // Numbers outside the project are usage errors, found before anything
    // is selected or written.
    for (const std::string& number : options.show) {
        if (!checkVariableNumber(context, "--show", number, *parseVariableNumber(number)))
            return exitUsage;
    }
    for (const auto& tagList : options.tagLists) {
        if (!tagFromList(context, tagList))
            return exitUsage;
    }
    if (const int status = tagFromTerms(context, options); status != exitOk)
        return status;
    if (options.searchText && !runSearch(context, options))
        return exitFailure;
    if (options.queryText) {
        if (const int status = runQuery(context, *options.queryText); status != exitOk)
            return status;
    }
    TableRequest tableRequest;
    if (!options.tabulate.empty()) {
        if (const int status = resolveTable(context, options, tableRequest); status != exitOk)
            return status;
    }
    if (options.saveSelection) {
        if (const int status = saveNamedSelection(context, *options.saveSelection); status != exitOk)
            return status;
    }

    if (texts == RowTexts::NamesOnly)
        loadLabels(session.store, list, list.taggedRows());

    if (options.list)
        printList(context);
    for (const std::string& number : options.show) {
        if (!printShow(context, static_cast<std::uint32_t>(*parseVariableNumber(number))))
            return exitFailure;
    }
    if (options.listTagged)
        printListTagged(context);

    int status = exitOk;
    if (options.wantsOutput())
        status = runOutputs(context, options);
    if (options.verify && status == exitOk) {
        const bool selected = !options.tagLists.empty() || !options.tagFiles.empty() || options.searchText ||
                              options.queryText;
        status = runVerify(context, selected);
    }
    if (!options.tabulate.empty() && status == exitOk)
        status = runTable(context, tableRequest);
    progress.finish();
    return status;
}
