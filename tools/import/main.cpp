// qavn-import: makes a project from the data sets people have (SPSS, Stata,
// SAS, CSV), ready to open with `cd DIR && qavn P=ID`.

#include "import/ProjectImport.h"

#include <unistd.h>

#include <cctype>
#include <csignal>
#include <cstdio>
#include <string>
#include <string_view>

using namespace qavn;

namespace {

constexpr const char* usage =
    "Usage: qavn-import SOURCE... --id ID --out DIR [--title TEXT] [--id-variable NAME] [--force]\n"
    "                   [--progress]\n"
    "\n"
    "Each SOURCE is one data file of the project: SPSS .sav, .zsav or .por, Stata .dta, SAS\n"
    ".sas7bdat (FILE.sas7bdat:FILE.sas7bcat names its catalogue of value labels; one beside it\n"
    "is found) or .xpt, CSV with a header line of names, or a DDI Codebook 2.5 .xml (one data\n"
    "file per fileDscr, found beside it; FILE.xml:DATA names the only one). --id-variable names\n"
    "the identifier column of every source. An existing DIR is replaced only with --force.\n"
    "--progress shows how far the import is on standard error. Interrupted (Ctrl+C), it leaves\n"
    "nothing behind.\n"
    "Open the project with\n"
    "  cd DIR && qavn P=ID\n";

volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int)
{
    interrupted = 1;
}

int usageError(const std::string& message)
{
    std::fprintf(stderr, "qavn-import: %s\n%s", message.c_str(), usage);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    ImportOptions options;
    std::string out;
    bool progress = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&](const char* what, std::string& target) {
            if (i + 1 >= argc)
                return false;
            target = argv[++i];
            return !target.empty() || what == nullptr;
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(usage, stdout);
            return 0;
        } else if (arg == "--id") {
            if (!value("id", options.id))
                return usageError("--id needs a project ID");
        } else if (arg == "--out") {
            if (!value("out", out))
                return usageError("--out needs a folder");
        } else if (arg == "--title") {
            if (!value(nullptr, options.title))
                return usageError("--title needs a text");
        } else if (arg == "--id-variable") {
            if (!value("name", options.idVariable))
                return usageError("--id-variable needs a variable name");
        } else if (arg == "--force") {
            options.force = true;
        } else if (arg == "--progress") {
            progress = true;
        } else if (arg.starts_with("--")) {
            return usageError("unknown option " + std::string(arg));
        } else {
            options.sources.emplace_back(arg);
        }
    }
    if (options.sources.empty())
        return usageError("no source data set given");
    if (options.id.empty() || out.empty())
        return usageError("--id ID and --out DIR are required");
    for (char& c : options.id)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (options.id.size() > 8)
        return usageError("a project ID has 1 to 8 characters");
    for (char c : options.id)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
            return usageError("a project ID holds only letters, digits and underscores");
    options.out = out;

    // An interrupt stops the import at the next case, which then removes
    // what it has written.
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    const bool terminal = isatty(STDERR_FILENO) != 0;
    int shown = -1;
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
    std::uint64_t cases = 0;
    for (std::uint64_t n : summary.cases)
        cases += n;
    std::printf("%s: %zu variables, %llu cases, %zu data file%s -> %s\n", options.id.c_str(), summary.variables,
                static_cast<unsigned long long>(cases), summary.cases.size(), summary.cases.size() == 1 ? "" : "s",
                out.c_str());
    return 0;
}
