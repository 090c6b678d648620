#pragma once

// What qavn-extract's commands share: the options, the loaded project and the
// exit statuses.

#include "codebook/OpenProject.h"
#include "platform/ConsoleUi.h"
#include "platform/Progress.h"
#include "catalogue/VariableList.h"
#include "outputs/OutputFormats.h"
#include "selections/TagSet.h"
#include "tables/Tabulation.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qavn::extract {

// Everything the command line asked for.
struct Options {
    std::string arguments; // "P=ID" as the program's command line
    bool list = false;
    std::vector<std::string> show; // --show N, each a number checked when the project is loaded
    bool listTagged = false;

    // Selection.
    std::vector<std::string> tagLists;      // --tag LIST, each "3,17,20-25"
    std::vector<std::string> tagFiles;      // --tags FILE or @NAME (a saved selection), each starting a term
    // --and, --or, --not or --minus FILE or @NAME: applied in command-line
    // order to the term of the --tags before it.
    struct TagStep {
        std::size_t term; // index into tagFiles
        SetOperation operation;
        std::string operand;
    };
    std::vector<TagStep> tagSteps;
    std::optional<std::string> saveSelection; // --save-selection NAME
    std::optional<std::string> searchText;  // --search TEXT
    std::uint8_t searchFields = 0;          // --in name,label,...: queryfield bits, 0 for the default
    bool wholeWords = false;
    std::optional<std::string> queryText;   // --query TEXT

    // Outputs.
    std::string labels = "all"; // --labels all|categorical|none
    std::string reserved = "keep"; // --reserved keep|empty: reserved and missing codes in the csv and sqlite tables
    bool merge = false; // --merge: one table matched by the identifier across the data files
    std::string names = "long"; // --names short|long: the metadata's long names in the outputs that hold them
    // One output to run: a format of the output format table and its path
    // (for several files the output folder; empty for the configured one).
    struct Output {
        const OutputFormat* format;
        std::string path;
        bool named; // --sas FILE and the like: given again, the last one counts
    };
    std::vector<Output> outputs;           // in command-line order
    std::optional<std::string> outputDir; // --output-dir, for this run only
    bool verify = false; // --verify: the codebook's category lines against the raw data

    // Tables.
    std::vector<std::string> tabulate; // --tabulate VAR[,VAR2]: one or two names or numbers
    std::optional<std::string> weight;  // --weight W
    std::optional<std::string> missing; // --missing include|exclude (exclude when not given)

    bool wantsOutput() const { return !outputs.empty(); }
};

// What every command works on once the project is loaded.
struct Context {
    OpenProject& session;
    VariableList& list;
    ConsoleUi& ui;
    Progress& progress; // a bar on standard error when it is a terminal
};

// Exit statuses: 2 only when the command line itself is wrong.
inline constexpr int exitOk = 0;
inline constexpr int exitFailure = 1;
inline constexpr int exitUsage = 2;

// The command line into `options` (see Options.cpp for the table of
// options); false with `error` set for a usage error.
bool parseOptions(int argc, char** argv, Options& options, std::string& error);
// --help: generated from the table of options and the output-format table.
std::string usageText();

// The terminal's encoding: codebook text (Latin-1) is printed as UTF-8 and
// text typed on the command line read as UTF-8 when the locale's character
// set is UTF-8; otherwise both are the bytes as stored.
void useLocaleEncoding();
bool terminalIsUtf8();
// Codebook text as the terminal shows it.
std::string terminalText(std::string_view latin1);
// Text typed on the command line as codebook text; nothing when it holds a
// character Latin-1 lacks (`bad` then names it).
std::optional<std::string> typedText(std::string_view typed, std::string& bad);

// --list and --show.
void printList(const Context& context);
void printListTagged(const Context& context);
bool printShow(Context& context, std::uint32_t variable);

// A variable number of the command line: decimal digits only, as a 64-bit
// number (UINT64_MAX for one too large for that); nothing for anything else.
std::optional<std::uint64_t> parseVariableNumber(std::string_view text);

// Whether `value` (written `number` on the command line after `option`)
// names a variable of the loaded project; otherwise says so on stderr.
bool checkVariableNumber(const Context& context, std::string_view option, std::string_view number,
                         std::uint64_t value);

// Selection from --tag LIST; false with a message on stderr for a bad list
// or a number outside the project's variables (a usage error).
bool tagFromList(Context& context, const std::string& list);

// --tags with the steps of each term: tags every term's result, beside what
// is tagged already. A term of two tag files joined by --and or --or is
// merged as Import Tag Files merges them; any other term is worked out on
// sets. A tag file that cannot be opened, or a saved selection that is
// missing, damaged or made for another codebook, fails the run
// (exitFailure) naming its file and line. Returns an exit status.
int tagFromTerms(Context& context, const Options& options);

// --save-selection NAME: the selection saved for the window's File > Load
// Selection. Returns an exit status.
int saveNamedSelection(Context& context, const std::string& name);

// --search: tags every match. Returns false when the search could not run.
bool runSearch(Context& context, const Options& options);

// --query: checkQuery() says on stderr where the text is wrong (exitUsage)
// before the project is loaded; runQuery() tags every match, prints their
// count and their rows as --list does. Return exit statuses.
int checkQuery(const std::string& text);
int runQuery(Context& context, const std::string& text);

// Every output asked for, in the order of the output format table (and, for
// one format, of the command line): first the one-file outputs, each run
// whatever became of the others, then, when they all succeeded, the outputs
// of several files. Returns an exit status.
int runOutputs(Context& context, const Options& options);

// One output of several files (the data export, the CSV tables) into
// `outputDir` (empty: the configured output directory): prints the
// generated files. Returns an exit status.
int runAccess(Context& context, const OutputFormat& format, const OutputJob& job);

// --verify: checks the category lines of the selected variables (`selected`)
// or of every variable against the raw data and prints the report. Returns
// exitOk when everything agrees, exitFailure when a line differs, a value
// has no category line or the data could not be read.
int runVerify(Context& context, bool selected);

// --tabulate: resolveTable() finds the variables the command line names
// (numbers, codebook names or long names of the metadata) before anything
// is written, saying on stderr what is wrong (exitUsage); runTable() counts
// the table and prints it as CSV on standard output, its notes (cases left
// out) on standard error. Return exit statuses: exitFailure when the data
// cannot be read.
int resolveTable(const Context& context, const Options& options, TableRequest& request);
int runTable(Context& context, const TableRequest& request);

} // namespace qavn::extract
