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

constexpr const char* usage =
    "Usage: qavn-extract P=ID [options]\n"
    "Run from the folder that holds the project's configuration file (IDQAV.CFG).\n"
    "\n"
    "Listing:\n"
    "  --list                 one line per variable: number, TAB, row text\n"
    "  --show N               the variable's record, description and categories\n"
    "  --list-tagged          the selected variables, as --list prints them\n"
    "Selection (together the union):\n"
    "  --tag LIST             variable numbers and ranges, e.g. 3,17,20-25\n"
    "  --tags FILE            a tag file, or @NAME a selection saved by File > Save Selection;\n"
    "                         each --tags starts a term that the options below change in order:\n"
    "  --and FILE             keep what FILE (or @NAME) also lists\n"
    "  --or FILE              add what FILE lists\n"
    "  --not FILE             take every variable FILE does not list instead\n"
    "  --minus FILE           take away what FILE lists\n"
    "                         (--tags A --and B or --or B alone merge as Import Tag Files does)\n"
    "  --search TEXT          every variable that matches TEXT\n"
    "  --in FIELDS            name,label,description,category (default name)\n"
    "  --whole-words          whole words only\n"
    "  --query TEXT           every variable the query matches (count and rows printed), e.g.\n"
    "                         'label:income AND NOT section:3', \"a phrase\", wag*, /regex/, OR, ( )\n"
    "  --save-selection NAME  save the selection under NAME for File > Load Selection\n"
    "Outputs (any number in one call):\n"
    "  --labels all|categorical|none   which variables get value labels (default all)\n"
    "  --reserved keep|empty  reserved codes (-1..-9) in csv and sqlite: kept or empty (default keep)\n";

// The output options and the format list come from the output format table:
// a format of one file has its option --NAME FILE, a format of several files
// the flag --NAME (into the output directory); --write NAME PATH runs any.
std::string usageText()
{
    std::string text = usage;
    std::string files;
    for (const OutputFormat& format : outputFormats())
        if (format.files == OutputFiles::One)
            files += "  --" + std::string(format.batchName) + " FILE";
    text += files + "\n";
    auto line = [&](std::string left, const std::string_view right, std::size_t width) {
        left.resize(std::max(width, left.size() + 1), ' ');
        text += left;
        text += right;
        text += '\n';
    };
    for (const OutputFormat& format : outputFormats())
        if (format.files == OutputFiles::Several)
            line("  --" + std::string(format.batchName), format.summary, 25);
    line("  --output-dir DIR", "output directory for this run instead of the configured one", 25);
    std::string folders;
    for (const OutputFormat& format : outputFormats())
        if (format.files == OutputFiles::Several)
            folders += (folders.empty() ? "" : ", ") + std::string(format.batchName);
    line("  --write FORMAT PATH",
         "FORMAT written to PATH" + (folders.empty() ? "" : " (a folder for " + folders + ")") +
             "; any number of times",
         25);
    text += "Formats:\n";
    for (const OutputFormat& format : outputFormats())
        line("  " + std::string(format.batchName), format.summary, 14);
    text += "\nChecking:\n"
            "  --verify               category lines of the selection (else of every variable) against the raw\n"
            "                         data: exit 0 all agree, 1 some differ, 2 the data could not be read\n";
    text += "\n  --help, --version\n";
    return text;
}

std::string formatNames()
{
    std::string names;
    for (const OutputFormat& format : outputFormats())
        names += (names.empty() ? "" : ", ") + std::string(format.batchName);
    return names;
}

// Adds an output; a named option given again replaces its earlier path.
void addOutput(Options& options, const OutputFormat& format, std::string path, bool named)
{
    if (named) {
        for (Options::Output& output : options.outputs) {
            if (output.named && output.format == &format) {
                output.path = std::move(path);
                return;
            }
        }
    }
    options.outputs.push_back({&format, std::move(path), named});
}

bool parse(int argc, char** argv, Options& options, std::string& error)
{
    bool haveProject = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                error = "option " + arg + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        auto optionalValue = [&](std::optional<std::string>& out) {
            std::string v;
            if (!value(v))
                return false;
            out = v;
            return true;
        };
        std::string v;
        if (arg == "--list") {
            options.list = true;
        } else if (arg == "--verify") {
            options.verify = true;
        } else if (arg == "--list-tagged") {
            options.listTagged = true;
        } else if (arg == "--show") {
            if (!value(v))
                return false;
            if (!parseVariableNumber(v)) {
                error = "--show needs a variable number";
                return false;
            }
            options.show.push_back(v);
        } else if (arg == "--tag") {
            if (!value(v))
                return false;
            options.tagLists.push_back(v);
        } else if (arg == "--tags") {
            if (!value(v))
                return false;
            options.tagFiles.push_back(v);
        } else if (arg == "--and" || arg == "--or" || arg == "--not" || arg == "--minus") {
            if (!value(v))
                return false;
            if (options.tagFiles.empty()) {
                error = arg + " changes the selection of a --tags given before it";
                return false;
            }
            options.tagSteps.push_back({options.tagFiles.size() - 1, *parseOperation(arg.substr(2)), v});
        } else if (arg == "--save-selection") {
            if (!optionalValue(options.saveSelection))
                return false;
            if (const std::string problem = selectionNameProblem(*options.saveSelection); !problem.empty()) {
                error = "--save-selection: " + problem;
                return false;
            }
        } else if (arg == "--search") {
            if (!optionalValue(options.searchText))
                return false;
        } else if (arg == "--query") {
            if (!optionalValue(options.queryText))
                return false;
        } else if (arg == "--in") {
            if (!value(v))
                return false;
            std::size_t pos = 0;
            while (pos <= v.size()) {
                const std::size_t comma = std::min(v.find(',', pos), v.size());
                const std::string field = v.substr(pos, comma - pos);
                if (field != "name" && field != "label" && field != "description" && field != "category") {
                    error = "--in takes name, label, description and category";
                    return false;
                }
                options.searchFields.push_back(field);
                pos = comma + 1;
            }
        } else if (arg == "--whole-words") {
            options.wholeWords = true;
        } else if (arg == "--labels") {
            if (!value(v))
                return false;
            if (v != "all" && v != "categorical" && v != "none") {
                error = "--labels takes all, categorical or none";
                return false;
            }
            options.labels = v;
        } else if (arg == "--reserved") {
            if (!value(v))
                return false;
            if (v != "keep" && v != "empty") {
                error = "--reserved takes keep or empty";
                return false;
            }
            options.reserved = v;
        } else if (const OutputFormat* named = arg.size() > 2 && arg.compare(0, 2, "--") == 0
                                                    ? findOutputFormat(std::string_view(arg).substr(2))
                                                    : nullptr) {
            if (named->files == OutputFiles::One && !value(v))
                return false;
            addOutput(options, *named, named->files == OutputFiles::One ? v : std::string(), true);
        } else if (arg == "--write") {
            if (!value(v))
                return false;
            const OutputFormat* format = findOutputFormat(v);
            if (!format) {
                error = "unknown output format " + v + " (formats: " + formatNames() + ")";
                return false;
            }
            if (i + 1 >= argc) {
                error = "--write " + v + " needs a path";
                return false;
            }
            addOutput(options, *format, argv[++i], false);
        } else if (arg == "--output-dir") {
            if (!optionalValue(options.outputDir))
                return false;
        } else if (!arg.empty() && arg[0] == '-' && arg.size() > 1 && arg[1] == '-') {
            error = "unknown option " + arg;
            return false;
        } else if (!haveProject) {
            options.arguments = arg;
            haveProject = true;
        } else {
            error = "unexpected argument " + arg;
            return false;
        }
    }
    if (!options.searchFields.empty() && !options.searchText) {
        error = "--in goes with --search";
        return false;
    }
    return true;
}

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
    if (!parse(argc, argv, options, error)) {
        std::fprintf(stderr, "qavn-extract: %s\n%s", error.c_str(), usageText().c_str());
        return exitUsage;
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
    if (options.outputDir) {
        // The programs name the folder in their statements as before; the
        // export writes into it exactly as typed, like --write access DIR.
        session.settings.outputDir = *options.outputDir;
        for (Options::Output& output : options.outputs)
            if (output.format->files == OutputFiles::Several && output.path.empty())
                output.path = *options.outputDir;
    }

    VariableList list(VariableList::Mode::Main, &ui);
    {
        ConsoleProgress loading("Loading");
        try {
            if (!loadVariables(session.store, session.project, list, ui, loading)) {
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
    if (options.saveSelection) {
        if (const int status = saveNamedSelection(context, *options.saveSelection); status != exitOk)
            return status;
    }

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
    progress.finish();
    return status;
}
