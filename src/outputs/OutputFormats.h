#pragma once

// The output-format table: every output of File > Output and of
// qavn-extract --write, with what the menu, the batch tool and the tests
// need to know of it.

#include "export/TableData.h"
#include "writers/WriterContext.h"
#include "writers/WriterDriver.h"

#include <span>
#include <string>
#include <string_view>

namespace qavn {

class FileTextOutput;
class Progress;

// The outputs. What each one is called, asks and writes is its entry in the
// output format table below.
enum class OutputKind {
    Sas,
    SpssDos,
    SpssWin,
    Tag,
    CodeText,
    AccessDb,
    Csv,
    Sqlite,
    SpssData,
    StataData,
    Ddi,
    StataProgram,
    RScript,
    PsppProgram,
    HtmlSite,
    XlsxDictionary,
    Parquet,
};

// Whether an output is one file, named in the save dialog; several files
// that it names itself in the output folder (the data export: no save
// dialog, its own record-counter dialog, the generated-files list after); or
// a folder of files the user chooses in a folder dialog (the HTML site).
enum class OutputFiles { One, Several, Folder };

// The window command of an output: its ID (the program's interface, see
// app/qt/Commands.h), menu text, status-bar prompt and tooltip. The command
// is greyed with the others until a project is loaded, or, when
// enabledByDataOnCd is set, unless the data is on CD-ROM.
struct OutputCommand {
    int id = 0; // 0: the output has no window command
    const char* menuText = "";
    const char* prompt = "";
    const char* toolTip = "";
    bool enabledByDataOnCd = false;
    bool otherFormats = false; // in the "Other Formats" submenu of File > Output
};

// What one run of an output is told.
struct OutputJob {
    LabelChoice labelChoice = LabelChoice::NotAsked; // used by the outputs that ask
    std::string path; // One: the path as the save dialog returned it; Several: the
                      // output folder, empty for the configured output directory;
                      // Folder: the folder as the folder dialog returned it
    ReservedCodes reservedCodes = ReservedCodes::Keep; // used by the table outputs (CSV, SQLite)
    // One table matched by the identifier across the data files (the table
    // outputs), and one data set of them in the Stata and R programs.
    bool merge = false;
    // The outputs that can hold them name the variables by the long names of
    // the project's metadata (else by the codebook's names); the SAS and
    // SPSS programs keep the codebook's.
    bool longNames = true;
};

// What an output lets the user choose besides its file (OutputFormat::choices).
namespace outputchoice {
// The reserved codes and declared missing values as empty cells (NULL): --reserved empty.
inline constexpr unsigned emptyCells = 1;
// One table (data set) of the data files' cases matched by their identifier: --merge.
inline constexpr unsigned merge = 2;
} // namespace outputchoice

struct OutputFormat;

// Runs the whole output (see writeOutput).
using OutputFunction = OutputResult (*)(const OutputFormat& format, const WriterServices& services,
                                        const OutputJob& job, Progress& progress, FileTextOutput* output);

// One output of File > Output and of qavn-extract. A new output is one entry
// in the table plus its writer (a table output: a TableFormat): the window's
// menu and command handlers, the batch tool's options and --help, the README
// check and the tests are driven from the table.
struct OutputFormat {
    OutputKind kind;
    std::string_view name;             // "SAS", "SPSS WIN", ...
    std::string_view filter;           // file dialog filter, e.g. "SAS Code|*.sas|"
    std::string_view defaultExtension; // ".SAS"; empty for several files
    bool asksReservedCodes;            // whether the Confirmation dialog is shown
    OutputFiles files;
    std::string_view batchName; // qavn-extract's name: --write sas PATH, and --sas FILE
    std::string_view summary;   // one line for qavn-extract --help
    OutputCommand command;
    OutputFunction write;
    unsigned choices = 0; // outputchoice bits: what the window asks after the file
};

// Every output, in the order the menu and the batch tool run them.
std::span<const OutputFormat> outputFormats();

// The entry of a kind (every kind has one).
const OutputFormat& outputFormat(OutputKind kind);
// The entry by batch name or window command ID; nullptr when none has it.
const OutputFormat* findOutputFormat(std::string_view batchName);
const OutputFormat* findOutputFormatByCommand(int commandId);

// Runs `format` for `job` with `progress` as its dialog. One file: the writer
// driver (WriterDriver.h) with the format's writer and default extension, and
// the label choice when the format asks for it (NotAsked otherwise); `output`,
// when given, is the file object it writes through. The data export: the
// export of the tagged variables (DataExport.h) into job.path. The table
// outputs (CSV, SQLite, SPSS and Stata data files, DDI): the table driver
// (formats/TableDriver.h) with the format's steps (formats/TableFormats.h),
// into the folder job.path (Several) or at the file job.path (One); `output`
// then only lends its write-failure seam to every file of the run. The HTML
// site: publish/HtmlSite.h into the folder job.path, with the same seam.
OutputResult writeOutput(const OutputFormat& format, const WriterServices& services, const OutputJob& job,
                         Progress& progress, FileTextOutput* output = nullptr);

} // namespace qavn
