#pragma once

// The driver of the table outputs (CSV files, SQLite database, SPSS and
// Stata data files, DDI Codebook): a format fills in the steps of one run
// (begin, begin a table, write a case, end a table, finish); the driver owns
// the walk over the data files, the files with their temporary names and
// renames, progress and Cancel, the messages, and the names of the tables.

#include "export/TableData.h"
#include "platform/Outcome.h"
#include "platform/ReadError.h"
#include "platform/TextOutput.h"
#include "writers/WriterDriver.h"

#include <cstddef>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qavn {

class Progress;

// Why a table output failed, in the terms of its files.
struct TableFailure {
    enum class Kind {
        CannotOpen,  // an output file could not be made; `reason` is the system's
        CannotWrite, // writing it failed (a full disk); `reason` is the system's
        Refused,     // a name the output may not write; `reason` is the whole message
        Input,       // what the output reads could not be read: `input` says what and where
        Empty,       // nothing to write: no tagged variable lies in a data file; `reason` says so
    };
    Kind kind = Kind::CannotWrite;
    std::string file;               // the output file as the user named it (empty for Input)
    std::filesystem::path hostPath; // where it is on this host
    std::string reason;
    ReadError input;                // Kind::Input
};

// A run or a step of one: done, stopped by the user, or failed.
using TableOutcome = Outcome<TableFailure>;

TableFailure cannotOpen(std::string file, std::filesystem::path host, std::string reason);
TableFailure cannotWrite(std::string file, std::string reason);
TableFailure refused(std::string message);
TableFailure inputFailure(ReadError error);

// The message box of a failure: its text and detail line.
struct FailureMessage {
    std::string text;
    std::string detail;
};
FailureMessage failureMessage(const TableFailure& failure);

// A file of the output: its name as the user sees it (a DOS path, or a host
// path as typed) and the host path it is written to.
struct OutputPlace {
    std::string name;
    std::filesystem::path host;
};

// One table of a run and the name its results take. Its cases come from one
// data file, or (a merged run) from several whose cases are matched by their
// identifier: then its columns are mergedColumns() of the sources and each
// case holds the fields of every source (export/MergedCases.h).
struct OutputTable {
    // dataFileOutputNames(): unique in the run, letter case aside; a merged
    // table is mergedTableName.
    std::string name;
    std::vector<const DataTable*> sources;
    std::vector<TableColumn> columns; // the identifier first (when there is one), then the variables

    const DataTable& source() const { return *sources.front(); }
    bool merged() const { return sources.size() > 1; }
};

// The name of the one table of a merged run ("merged.csv", the SQLite table
// "merged").
inline constexpr std::string_view mergedTableName = "merged";

// How a table output lays out its files.
enum class TableLayout {
    OneFile, // the file the user chose, with the format's other files beside it
    Folder,  // files the format names in a folder (empty: the configured output directory)
};

class TableRun;

// A table output. The driver calls, in this order and each at most once per
// table: begin(), then for each table beginTable(), writeCase() for each case
// and endTable(), then finish(). When the run ends early (a Cancel or a
// failure), abort() is called instead of what remains and the files are
// dropped. Each step returns Done, or the failure that ends the run; Stopped
// from a step stops the run as a Cancel does.
//
// The fields of a table's cases that is not merged lie in the lines of the
// raw data reader: the RawDataReader::tailPadding bytes after each may be
// read (and never used), which the short cells' fast paths rely on.
//
// A format that needs to see every case before it writes a table (a file
// header that holds the case count, a key that must be unique) answers true
// from beginScan(), which the driver asks before each table: it then hands
// the format every case of the table through scanCase() before beginTable().
class TableFormat {
public:
    virtual ~TableFormat() = default;

    virtual bool beginScan(const OutputTable& table)
    {
        (void)table;
        return false;
    }
    // Names the format gives its tables' results must not take, letter case
    // aside (the tables of a database it adds itself).
    virtual std::span<const std::string_view> reservedNames() const { return {}; }

    virtual TableOutcome begin(TableRun& run) = 0;
    virtual void scanCase(std::span<const std::string_view> fields) { (void)fields; }
    virtual TableOutcome beginTable(TableRun& run, const OutputTable& table) = 0;
    virtual TableOutcome writeCase(TableRun& run, std::span<const std::string_view> fields) = 0;
    // writeCase() of a case of one line that holds every field whole, each
    // at its column's place: `line` is that line up to the end of its last
    // field (CaseCursor::wholeLine()), for a format that cuts its cells from
    // the whole line at once (LineBits). The same as writeCase() unless the
    // format says otherwise.
    virtual TableOutcome writeLineCase(TableRun& run, std::span<const std::string_view> fields, std::string_view line)
    {
        (void)line;
        return writeCase(run, fields);
    }
    virtual TableOutcome endTable(TableRun& run) = 0;
    virtual TableOutcome finish(TableRun& run) = 0;
    virtual void abort() noexcept {}
};

// What one run of a table output is told.
struct TableRequest {
    TableLayout layout = TableLayout::OneFile;
    // OneFile: the path as the save dialog returned it. Folder: the output
    // folder as the user typed it (taken exactly, like the data export's
    // --output-dir), or empty for the configured output directory.
    std::string path;
    std::string_view defaultExtension; // OneFile: added by the naming rule (outputFileName)
    ReservedCodes reserved = ReservedCodes::Keep;
    // One table whose cases are matched across the data files by their
    // identifier, instead of a table per data file (when the tagged
    // variables lie in more than one).
    bool merge = false;
    // The columns named by the source's long names (the project's metadata)
    // where it has them; else by the codebook's names.
    bool longNames = true;
    // Test seam: the n-th write to each file and all after it fail as a full
    // disk would; 0 switches it off.
    std::size_t failFromWrite = 0;
    // Test seam: the memory a merged run sorts a data file in before it
    // spills a run to disk; 0 for the usual.
    std::size_t mergeRunBytes = 0;
};

// What a format sees of its run: the services, the tables, and the files it
// writes, each under a temporary name beside its own until the whole run is
// complete. No file a format opens ever replaces one of the project's files,
// and none is opened twice in a run (letter case aside, or through a link).
class TableRun {
public:
    TableRun(const WriterServices& services, const TableRequest& request, Progress& progress, OutputPlace base,
             std::vector<OutputTable> tables);
    ~TableRun();
    TableRun(const TableRun&) = delete;
    TableRun& operator=(const TableRun&) = delete;

    const WriterServices& services() const { return services_; }
    const TableRequest& request() const { return request_; }
    ReservedCodes reserved() const { return request_.reserved; }
    std::size_t failFromWrite() const { return request_.failFromWrite; }
    const std::vector<OutputTable>& tables() const { return tables_; }

    // OneFile: the chosen file after the naming rule. Folder: the folder.
    const OutputPlace& base() const { return base_; }
    // A file in the folder (Folder): "<folder>\<fileName>".
    OutputPlace inFolder(std::string_view fileName) const;
    // The folder the output's files go to: the folder (Folder), or the one
    // that holds the chosen file (OneFile).
    std::filesystem::path folder() const;
    // A file beside the chosen one (OneFile): the chosen name without its
    // extension, then `suffix` and `extension` ("RESULT.sav", "_DATA_YOUTH97",
    // ".sav" -> "RESULT_DATA_YOUTH97.sav").
    OutputPlace nextToChosen(std::string_view suffix, std::string_view extension) const;
    // The chosen file's extension with its full stop (empty when it has none).
    std::string chosenExtension() const;

    // Starts a file the format writes through `file` (set on Done).
    TableOutcome openFile(const OutputPlace& place, FileTextOutput*& file);
    // Starts a file the format's own library writes (a database): `temporary`
    // is set to an empty file beside the place, which takes its name with
    // the others when the run completes.
    TableOutcome reserveFile(const OutputPlace& place, std::filesystem::path& temporary);
    // Done while `file` has had no failed write, else its CannotWrite.
    TableOutcome written(const FileTextOutput& file) const;

    // An information message shown once the run has completed.
    void notice(std::string text) { notices_.push_back(std::move(text)); }
    // A poll point for long work outside the cases (the labels of many
    // variables): false once the run is to stop.
    bool keepGoing();

private:
    friend OutputResult runTableDriver(const WriterServices&, const TableRequest&, TableFormat&, Progress&);
    struct File;

    TableOutcome claim(const OutputPlace& place);
    // Every file takes its name; the first failure is returned.
    TableOutcome commit(std::vector<const OutputPlace*>& committed);
    void discard();

    const WriterServices& services_;
    const TableRequest& request_;
    Progress& progress_;
    OutputPlace base_;
    std::vector<OutputTable> tables_;
    std::vector<File> files_;
    std::vector<std::string> notices_;
    std::vector<ProtectedFile> inputs_;
    std::string claimedKey_;
};

// Runs `format` for `request`. `progress` is the writing dialog: for a
// Folder layout the export dialog's texts (accessfield: the data file, the
// case counter after every case), for OneFile a bar of 300 steps with the
// data path and, every 256 cases, the count as its text. It is polled after
// every case.
//
// 1. The place: OneFile, the chosen name after outputFileName(); a name that
//    ends in a folder separator, holds a control character or is one of the
//    project's own files is refused and the cancel flag set. Folder: the
//    folder given or configured; none, or one with a control character, is
//    refused.
// 2. The tables: one per data file that holds tagged variables, named by
//    dataFileOutputNames() (a name the format reserves gets "_2", "_3", ...);
//    a location that cannot be cut fails the run; a data path with a control
//    character gives no name and is refused. With request.merge and tagged
//    variables in more than one data file: one table, mergedTableName, of
//    every such data file, each of which must have an identifier (refused
//    otherwise, naming the one without).
// 3. The steps of the format, reading each data file's cases once (twice when
//    the format scans first). A merged table first checks its identifiers
//    and sorts the files out of identifier order (MergedCases::prepare: a
//    blank or repeated identifier stops the run like unreadable raw data,
//    naming the file and line).
// 4. When every step is done, every file takes its name (flushed and synced
//    first). After a Cancel or a failure no file takes its name: what the
//    names held before stays as it was.
//
// The status is Written when every file took its name, Stopped after a
// Cancel, when the raw data could not be read (reported) or when there was
// nothing to write (reported), and Failed when a file could not be made or
// written or a name was refused (reported). fileName: OneFile, the chosen
// name, or the first file written when the chosen name itself was not, or
// the file that failed. generatedFiles: Folder, an empty first entry; then
// every file written, as named. generatedHostFiles: the same as host paths.
// Messages go through services.ui; the notices after a completed run.
OutputResult runTableDriver(const WriterServices& services, const TableRequest& request, TableFormat& format,
                            Progress& progress);

} // namespace qavn
