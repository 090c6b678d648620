// qavn-import: makes a project from the data sets people have (SPSS, Stata,
// SAS, CSV, DDI), ready to open with `cd DIR && qavn P=ID`.

#include "import/ProjectImport.h"
#include "import/SourceReader.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>

using namespace qavn;

namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int)
{
    interrupted = 1;
}

// The data files and their cases: "3 cases, 1 data file", or per data file
// when there are several ("2 data files: HOUSE.DAT 944 cases, PEOPLE.DAT
// 2,310 cases"), since cases of different files are not the same units.
std::string casesText(const ImportSummary& summary)
{
    if (summary.cases.size() == 1)
        return std::to_string(summary.cases[0]) + " cases, 1 data file";
    std::string text = std::to_string(summary.cases.size()) + " data files:";
    for (std::size_t i = 0; i < summary.cases.size(); ++i) {
        const std::string& path = summary.dataFiles[i];
        text += (i == 0 ? " " : ", ") + path.substr(path.find_last_of('\\') + 1) + " " +
                std::to_string(summary.cases[i]) + " cases";
    }
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    ImportArguments arguments;
    switch (parseImportArguments(argc, argv, arguments)) {
    case ImportCommand::Help:
        std::fputs(importUsage("qavn-import").c_str(), stdout);
        return 0;
    case ImportCommand::Kind: {
        // The launcher asks which kind a file is, from the same table the
        // import reads it by.
        const ImportKind* kind = importKindOfArgument(arguments.kindOf);
        if (kind == nullptr) {
            std::fprintf(stderr, "qavn-import: %s is not a data set qavn-import reads (%s)\n",
                         arguments.kindOf.c_str(), importKindList().c_str());
            return 2;
        }
        std::printf("%.*s\n", static_cast<int>(kind->name.size()), kind->name.data());
        return 0;
    }
    case ImportCommand::UsageError:
        std::fprintf(stderr, "qavn-import: %s\n%s", arguments.error.c_str(), importUsage("qavn-import").c_str());
        return 2;
    case ImportCommand::Import:
        break;
    }
    ImportOptions& options = arguments.options;

    // An interrupt stops the import at the next case, which then removes
    // what it has written.
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    const bool terminal = isatty(STDERR_FILENO) != 0;
    int shown = -1;
    const bool progress = arguments.progress;
    options.progress = [&](double done, const std::string& what) {
        if (progress) {
            const int percent = static_cast<int>(done * 100);
            if (terminal) {
                // One line, rewritten in place.
                std::fprintf(stderr, "\r%3d%% %-70.70s", percent, what.c_str());
                if (done >= 1.0)
                    std::fputc('\n', stderr);
            } else if (percent != shown) {
                std::fprintf(stderr, "%3d%% %s\n", percent, what.c_str());
            }
            shown = percent;
        }
        return interrupted == 0;
    };

    ImportSummary summary;
    std::string error;
    if (!importProject(options, summary, error)) {
        if (progress && terminal)
            std::fputc('\n', stderr);
        if (interrupted != 0)
            error = "interrupted; nothing was written";
        std::fprintf(stderr, "qavn-import: %s\n", error.c_str());
        return 1;
    }
    for (const std::string& warning : summary.warnings)
        std::fprintf(stderr, "qavn-import: warning: %s\n", warning.c_str());
    std::printf("%s: %zu variables, %s -> %s\n", options.id.c_str(), summary.variables, casesText(summary).c_str(),
                options.out.string().c_str());
    return 0;
}
