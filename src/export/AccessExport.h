#pragma once

// The Access DB output: comma-delimited files cut by column out of the raw data.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qavn {

class CodebookStore;
class Progress;
class Ui;
struct ProjectSpec;
struct Settings;

// The "Access DB" output: comma-delimited files cut by column positions out
// of the raw fixed-column data files, for loading into a database.
//
// For every data file that holds tagged variables one file is written, or
// several when the columns do not fit in 255 (suffixes a, b, ...; the
// identifier column opens every part). Each file starts with a header line of
// the column names and holds one line per case; lines end in CR LF. Names:
// outputDir + "\" + dataPath with slashes, backslashes and colons turned into
// underscores, cut at its first full stop, + suffix + ".txt" (so a name can
// never point outside outputDir). Values: longer than 3 characters with
// trailing white space removed; alphanumeric (type code A) with commas,
// apostrophes and double quotes blanked and put in double quotes; every value
// preceded by a blank and followed by a comma, the last comma of a line
// replaced by a blank.
//
// Every value is cut from its own line of the case, whatever the order of
// the tagged variables' lines. A case of a data file is linesPerCase lines;
// when a tagged variable lies beyond that, the first case is written and the
// run stops with "Aborting the process !\nThe data has more lines per record
// specified in QAVSPEC !" (cancel set). A last case that ends before the
// lines the tagged variables need is dropped.
//
// What the export refuses, with a message and no files for that data file,
// instead of cutting wrong data:
// - a location whose first column is below 1, or a variable on line 0 (a
//   location without a minus sign is a one-column field);
// - a column wider than 7,999 characters, an identifier wider than 99
//   (the file's identifier or a variable named ID), an identifier location
//   text longer than 51 characters;
// - more than 30 part files for one data file (7,650 columns); parts 27 to
//   30 carry the characters after z as suffixes ({ | } ~);
// - a part file name already written by an earlier data file of the run
//   (the later file would silently replace the earlier one), also when the
//   names differ only in letter case or lead to the same host file;
// - an output directory or a data path holding a control character (a NUL
//   would cut the name short), a data path with a "." or ".." component
//   (it would read outside the drive's folder) or one that gives no file
//   name before its first full stop;
// - a part file that is one of the project's own files (configuration,
//   project specification, codebook files, raw data files), however named.
// Each part is created inside the output folder under exactly the name
// above (no letter-case matching of the file name, never through a link):
// written to a temporary file beside it, and the parts of one data file
// take their names together once that data file is done; after a cancel the
// parts written so far take them at the cancel. A write failure drops the
// data file's parts (the names keep what they held).
// While reading, a raw data line longer than 14,999 characters (line end
// included) or a read error ends the run with a message; a write error on a
// part file (a full disk) ends it with "Cannot update Access database !\n"
// and the system's text. Every "Cannot update Access database !" box has an
// OK button and no icon. With no CD-ROM drive configured the raw data file
// is looked for on drive "?", which does not exist, so the run ends with
// "Cannot Open ?:\..." rather than reading some other file.

// The dialog fields the run fills (Progress::setText).
namespace accessfield {
inline constexpr std::string_view dataFile = "1048";  // "from [%s] !" with dataPath
inline constexpr std::string_view caseCount = "1050"; // the case counter, "%ld", set once a case:
                                                     // a dialog should repaint it on a timer
// The number of cases of the data file being read, "%llu", set when its raw
// data file opens: empty when it is not known (see
// RawDataReader::evenCaseCount).
inline constexpr std::string_view caseTotal = "caseTotal";
} // namespace accessfield

inline constexpr std::string_view accessLinesMessage =
    "Aborting the process !\nThe data has more lines per record specified in QAVSPEC !";
inline constexpr std::string_view accessFailureMessage = "Cannot update Access database !";

struct AccessLimits {
    static constexpr int columnsPerPart = 255;
    static constexpr int maxParts = 30;
    static constexpr std::size_t maxValue = 7999;
    static constexpr std::size_t maxIdentifier = 99;
    static constexpr std::size_t maxIdLocation = 51;
};

struct AccessExportResult {
    // True when every data file was gone through; only then does the caller
    // show the generated files. False after a cancel, an abort or a failure
    // (each has shown its message, a cancel none).
    bool completed = false;
    // The generated-files list: an empty first entry (this output has no
    // chosen path), then each part file's name as built from outputDir, in
    // the order written.
    std::vector<std::string> generatedFiles;
    // The same files as this host names them, in the same order (without the
    // empty first entry).
    std::vector<std::string> hostFiles;
};

// How a run finds its files beyond the project and settings.
struct AccessExportOptions {
    // The project ID, so the configuration and project specification files
    // are never replaced either; empty when the run has none (tests).
    std::string_view projectId = {};
    // The output folder was typed by the user (qavn-extract --output-dir):
    // taken exactly as given (chosenHostPath) rather than matched as a
    // configured DOS path.
    bool outputDirAsGiven = false;
    // Test seam: every part file's n-th raw write and all after it fail as a
    // full disk would. 0 switches it off.
    std::size_t failFromWrite = 0;
};

// Runs the whole export on the calling thread. `tagged` holds the numbers of
// the tagged variables in ascending order. Messages go through `ui`, whose
// pump step runs at the start, after each raw data file is opened, after
// each column is built and after each case. `progress` is asked to go on
// after each of those but the first (its cancel flag is set by the run when
// it aborts); its setText() receives
// the accessfield texts. Files written before a cancel or failure stay on
// disk; every file is closed when this returns.
//
// The window's Access DB command and qavn-extract's --access run it through
// exportTaggedData (outputs/DataExport.h); in the window the export dialog is
// the Progress and the generated files are shown when the run completed.
AccessExportResult runAccessExport(std::span<const std::uint32_t> tagged, CodebookStore& store,
                                   const ProjectSpec& project, const Settings& settings, Ui& ui,
                                   Progress& progress, const AccessExportOptions& options = {});

// First and last column of a location text: cut at the first minus sign,
// each side a decimal integer (leading blanks, optional sign, digits; none
// gives 0). A text without a minus sign is a one-column field.
struct ColumnRange {
    std::int32_t first = 0;
    std::int32_t last = 0;
};
ColumnRange parseColumnLocation(std::string_view location);

// The name of part `part` (0-based) of `partCount` for a data file.
std::string accessPartName(std::string_view outputDir, std::string_view dataPath, int part, int partCount);

// Appends one value to a data line: the trim rule, then " value," or
// " \"value\"," for type code A with commas, apostrophes and quotes blanked.
void appendAccessValue(std::string& line, std::string_view value, char typeCode);

} // namespace qavn
