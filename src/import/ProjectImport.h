// Making a whole project from data sets (qavn-import and its window), and
// the command line both programs take.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qavn {

struct ImportOptions {
    // The data sets, one data file of the project each, as named on the
    // command line (see openSource()).
    std::vector<std::string> sources;
    std::string id;                    // project ID: 1-8 upper-case letters, digits, underscores
    std::filesystem::path out;         // the project folder
    std::string title;                 // UTF-8; empty: the sources' own titles, else their file names
    std::string idVariable;            // the identifier column of each source; empty for none
    bool force = false;                // replace an existing `out`
    // Called every tenth of a second or so with how much of the work is
    // done (0 to 1) and a line saying what is being done; returning false
    // cancels: importProject() then fails with the error "cancelled" and
    // leaves nothing behind. May be empty. Called on the importing thread.
    std::function<bool(double done, const std::string& what)> progress;
};

struct ImportSummary {
    std::size_t variables = 0;
    std::vector<std::uint64_t> cases;    // per data file
    std::vector<std::string> dataFiles;  // per data file: its data path ("DATA\\SURVEY.DAT")
    std::vector<std::string> warnings;
};

// The file that marks a folder the importer made.
inline constexpr std::string_view importMarkerName = ".qavn-import";
// The import builds the project OUT in ".OUT.import-PID-XXXXXX" beside it
// (PID: its process), so that a later import can clear what one that was
// killed left.
inline constexpr std::string_view importTemporaryMark = ".import-";

// Writes a whole project into `options.out`:
//   <ID>QAV.CFG                configuration: C:\QAVN\<ID>, C:\QAVN\OUT, drive D
//   <ID>QAV.DRIVES             the project's drives: C: is c, D: is d (whatever QAVN_DRIVE_X says)
//   <ID>NAMES.TXT              short name, TAB, original name, TAB, source, one line per variable
//   .qavn-import               the marker: every file and folder the import made
//   c/QAVN/<ID>/               QAVSPEC.<ID>, <ID>01.CDC, <ID>02.CDC, <ID>QAV.META (the metadata)
//   c/QAVN/OUT/                output directory
//   d/DATA/<NAME>.DAT          the fixed-column raw data of each source
// so that the program opens it from that folder whatever drives are set up.
// Each source is read twice (statistics and widths, then the raw data). The
// project is built in a temporary folder beside `out` and renamed into
// place only when complete. An existing `out` is replaced only with `force`
// and only when it holds the marker; the files in it the import did not
// make move into the new project, and the folder keeps its permissions.
// Returns false with `error` naming the file, the place and the reason;
// nothing is then left behind and nothing of `out` is lost.
bool importProject(const ImportOptions& options, ImportSummary& summary, std::string& error);

// The command line of qavn-import and qavn-import-window.
enum class ImportCommand { Import, Help, Kind, UsageError };
struct ImportArguments {
    ImportOptions options;
    bool progress = false;  // --progress
    std::string kindOf;     // --kind FILE: the kind of FILE is asked
    std::string error;      // for UsageError
};
// Reads the arguments after the program's name: the sources, --id (upper-
// cased and checked), --out, --title, --id-variable, --force, --progress,
// --kind FILE, --help.
ImportCommand parseImportArguments(int argc, char** argv, ImportArguments& arguments);

// The usage text of `program` ("qavn-import"), with the kinds of source
// from the import kinds table.
std::string importUsage(std::string_view program);

} // namespace qavn
