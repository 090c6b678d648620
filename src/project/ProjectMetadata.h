// The project's own metadata file, <prefix>QAV.META beside the project
// specification file: what the source of an imported project declared and
// the codebook cannot hold (long names, missing values, display formats).
#pragma once

#include "platform/ReadError.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qavn {

// A key and its value that this version does not know, kept so that
// rewriting a file of a later version loses nothing.
using MetadataAttribute = std::pair<std::string, std::string>;

// A declared missing value of a variable: one code (numbers: low == high;
// texts: `text`), a range of numbers (low may be -HUGE_VAL for LOWEST, high
// HUGE_VAL for HIGHEST), or a tagged missing value of Stata (.a-.z) or SAS
// (.A-.Z, ._), each with its label (may be empty).
struct MissingValue {
    enum class Kind { Code, Range, Tagged };
    Kind kind = Kind::Code;
    double low = 0;
    double high = 0;
    std::string text; // the code of a text variable
    char tag = 0;     // Tagged: the letter
    std::string label;
    std::vector<MetadataAttribute> unknown;

    bool operator==(const MissingValue&) const = default;
};

// How the source shows a variable's values.
enum class DisplayKind {
    Number,   // plain number (SPSS F, Stata %f/%g, SAS w.d)
    Dollar,   // currency with a dollar sign and thousands separators
    Comma,    // thousands separators
    Date,     // a day
    DateTime, // a moment
    Time,     // a time of day or a duration
    String,
};
// The word the file uses ("number", "dollar", ...) and back.
std::string_view displayKindName(DisplayKind kind);
bool displayKindFromName(std::string_view name, DisplayKind& kind);

// The unit of the numbers a date, datetime or time variable holds in the raw
// data, counted from `origin`.
enum class TimeUnit { None, Days, Seconds, Milliseconds };
std::string_view timeUnitName(TimeUnit unit);
bool timeUnitFromName(std::string_view name, TimeUnit& unit);

struct DisplayFormat {
    DisplayKind kind = DisplayKind::Number;
    int width = 0;
    int decimals = 0;
    std::string text;   // the source's own text: "F8.1", "DOLLAR12.2", "%td"
    std::string origin; // date kinds: the day counted from, "1582-10-14"
    TimeUnit unit = TimeUnit::None;

    bool operator==(const DisplayFormat&) const = default;
};

// The conventions of the program a format text comes from: SPSS and SAS
// write NAMEw.d, Stata %w.dX; SPSS counts dates in seconds from 1582-10-14,
// SAS in days (datetimes in seconds) and Stata in days (%tc in
// milliseconds) from 1960-01-01.
enum class FormatFamily { Spss, Sas, Stata };

// The display format a format text of `family` stands for. A text it does
// not know is a plain number with the width and decimals it gives (0 when
// none); a text variable's format is always String.
DisplayFormat displayFormatOf(std::string_view text, FormatFamily family, bool isText);

struct VariableMetadata {
    std::string name;     // the codebook's (short) name
    std::string longName; // the source's name; empty when it is the same
    std::string label;    // the source's whole label (the codebook holds 80 Latin-1 characters)
    std::uint32_t file = 0; // data file number, 1-based; 0 unknown
    bool isText = false;
    std::uint64_t length = 0; // bytes of a text variable in the source; 0 unknown
    DisplayFormat format;
    std::vector<MissingValue> missing;
    std::vector<MetadataAttribute> unknown;
    std::vector<std::string> unknownLines; // lines of unknown kinds that followed this variable

    // The name outputs that can hold it use: the long name, else the name.
    const std::string& originalName() const { return longName.empty() ? name : longName; }
    bool operator==(const VariableMetadata&) const = default;
};

// One source data set the project was made from, data file `file` of it.
struct SourceFile {
    std::uint32_t file = 0;
    std::string kind;       // the import kind: "sav", "por", "dta", "csv", "ddi", ...
    std::string path;       // as it was named when the project was made
    std::string encoding;   // of its text, as the source says or as found ("UTF-8", "windows-1252")
    std::uint64_t cases = 0;
    std::string identifier; // codebook name of its identifier variable; empty for none
    std::vector<MetadataAttribute> unknown;

    bool operator==(const SourceFile&) const = default;
};

class ProjectMetadata {
public:
    static constexpr std::string_view formatName = "QAVN-META";
    static constexpr int version = 1;

    std::string title;      // the whole title (the project specification file holds 200 Latin-1 characters)
    std::string identifier; // the identifier variable as the sources name it; empty for none
    std::string weight;     // codebook name of the weight variable chosen for tables; empty for none
    std::vector<SourceFile> sources;
    std::vector<MetadataAttribute> unknown;
    std::vector<std::string> unknownLines; // lines of unknown kinds before the first variable

    // Adds a variable; a later one of the same name (ignoring letter case)
    // replaces it.
    void add(VariableMetadata variable);
    const std::vector<VariableMetadata>& variables() const { return variables_; }
    // The variable of that codebook name (ignoring letter case), or nullptr.
    const VariableMetadata* variable(std::string_view name) const;
    VariableMetadata* variable(std::string_view name);
    // The source of data file `file`, or nullptr.
    const SourceFile* source(std::uint32_t file) const;

    bool operator==(const ProjectMetadata& other) const;

private:
    std::vector<VariableMetadata> variables_;
    std::map<std::string, std::size_t> byName_; // upper-case name -> index
};

// The file's name for a project whose codebook files have `prefix`.
std::string metadataFileName(std::string_view prefix);

// The file's text: UTF-8, lines ending in LF. Written again after reading,
// a file this version wrote gives the same bytes, and the keys and lines of
// a later version come back where they were.
std::string metadataText(const ProjectMetadata& metadata);

// The lines of one variable and its missing values, as metadataText() writes them.
void appendVariableText(std::string& out, const VariableMetadata& variable);

// Writes a metadata file variable by variable, so that memory does not grow
// with the variables of a large source: they wait in an unnamed temporary
// file until finish() writes the whole file (header, project, sources, then
// the variables in the order added). The file is the one metadataText()
// gives for the same metadata.
class MetadataStream {
public:
    // Starts the file `path`. Returns false with `error` set when the
    // temporary file cannot be made.
    bool open(const std::filesystem::path& path, std::string& error);
    void add(const VariableMetadata& variable);
    // Writes the file (`head` holds the project and its sources; its own
    // variables, if any, come before the ones added). Returns false with
    // `error` naming the file.
    bool finish(const ProjectMetadata& head, std::string& error);

private:
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::filesystem::path path_;
    std::unique_ptr<std::FILE, FileCloser> variables_;
    std::string buffer_;
    bool failed_ = false;
};

// Reads the text of a file named `file` (for messages). Lines may end in
// LF or CR LF; blank lines and lines starting with '#' are skipped; keys and
// record kinds this version does not know are kept, not refused. Fails
// (InvalidData, with the line) on a first line that is not "QAVN-META N", a
// version above this one's, a value that does not read, or a missing value
// before any variable.
ReadResult<ProjectMetadata> parseMetadata(std::string_view text, const std::string& file);

// Reads the file at host path `path` (`file` names it in messages). A file
// that does not exist is CannotOpen.
ReadResult<ProjectMetadata> readMetadataFile(const std::filesystem::path& path, const std::string& file);

// Writes the file whole (a temporary file renamed over it). Returns false
// with `error` naming the file.
bool writeMetadataFile(const std::filesystem::path& path, const ProjectMetadata& metadata, std::string& error);

} // namespace qavn
