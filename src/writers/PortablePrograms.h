#pragma once

// The Stata, R and PSPP programs: the variables of a data file as they collect
// them, and the helpers they share.

#include "platform/FunctionRef.h"
#include "project/DeclaredMissing.h"
#include "writers/ProgramText.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qavn {

class WriterContext;
struct DataFileEntry;
struct VariableMetadata;

// The programs for readers besides SAS and SPSS: a Stata do-file, an R script
// and an SPSS command file that PSPP runs. Unlike the SAS and SPSS programs,
// which keep the project's DOS paths, these read the raw data from the host
// path it has on this machine, so they run as written.
//
// No text of the codebook or the project can end a statement, a string or
// a comment of these programs (ProgramText.h): labels are blanked of control
// characters and quoted for the language, names made valid and unique in it,
// codes that are no literal left out, comments kept to their line. The
// project's header lines, statements in the SAS and SPSS programs, are
// comments here.
//
// Each writer is handed the context by the writer driver (WriterDriver.h)
// with the tagged list collected and the output file open, writes the whole
// file (or stops at an abort, setting the context's cancel flag) and shows no
// message of its own.

// One tagged variable as these programs read it.
struct ProgramVariable {
    struct Category {
        std::string code;  // trimmed, as the category line writes it ('M' keeps its apostrophes)
        std::string label; // trimmed
        bool reserved = false; // a reserved code: -1..-9 with a label in braces
    };

    std::uint32_t number = 0;
    std::string name;  // as the codebook names it
    // The source's name (UTF-8) from the project's metadata, when the run
    // asks for long names and it has one; empty otherwise.
    std::string longName;
    const VariableMetadata* metadata = nullptr; // what the metadata says of it, if anything
    DeclaredMissing declared;                   // the missing values its source declared
    std::string label; // the variable's label, trimmed
    char typeCode = ' ';
    std::uint32_t line = 1; // line of the case, 1-based
    std::int64_t first = 0; // first column, 1-based; 0 when the location gives none
    std::int64_t last = 0;
    std::vector<Category> categories;
    std::vector<std::string> reservedCodes; // trimmed, in category-line order

    int decimals() const { return typeCode >= '1' && typeCode <= '9' ? typeCode - '0' : 0; }
    bool isText() const { return typeCode == 'A'; }
    bool hasColumns() const { return first >= 1 && last >= first && line >= 1; }
    // Whether a category line gives a value a label.
    bool labelsValues() const
    {
        return std::any_of(categories.begin(), categories.end(), [](const Category& c) { return !c.label.empty(); });
    }
};

// The tagged variables of one data file.
struct ProgramFile {
    std::uint32_t number = 0;
    const DataFileEntry* file = nullptr;
    std::filesystem::path dataPath; // the raw data's absolute host path
    std::string outputName;         // what its data set is called (dataFileOutputNames)
    std::int64_t idFirst = 0;       // the identifier's columns on line 1; 0 without one
    std::int64_t idLast = 0;
    std::vector<ProgramVariable> variables;
};

// Collects the tagged variables of data file f with their category lines.
// Nothing when the walk was aborted (cancel, or an unreadable record, already
// reported); an empty variable list when the file holds none.
std::optional<ProgramFile> collectProgramFile(WriterContext& context, std::uint32_t f);

// The statements of every data file in turn: each file's tagged variables
// are collected and, when there are any, handed to `step`, which writes them
// and returns whether the file was written (it joins the context's written
// files) or nothing on an abort. Progress: 3 before each file, 2 after it.
// False on an abort, with the context's cancel flag set.
bool writeEachProgramFile(WriterContext& context, FunctionRef<std::optional<bool>(const ProgramFile&)> step);

// The lines of one case of the file: its lines per case, at least 1.
int caseLines(const ProgramFile& file);

// Whether a variable's columns lie within a case of the file, so that a
// program can read it.
bool liesInCase(const ProgramFile& file, const ProgramVariable& v);

// The names a file's variables get in a language, in the file's order: the
// long name where the variable has one, else the codebook's, made valid and
// unique by identifierFor() with "ID" taken when the file has an identifier.
std::vector<std::string> programNames(const ProgramFile& file, ProgramLanguage language);

// The columns of a location text ("77-80", "15"); {0, 0} when it gives none.
std::pair<std::int64_t, std::int64_t> locationColumns(std::string_view location);

// A whole number (optional sign, digits) scaled by 10^-decimals as a decimal
// text ("-5", 2 -> "-0.05"); other text is returned as it is.
std::string scaledCode(std::string_view code, int decimals);

// Whether `code` is a whole number: an optional minus sign and digits.
bool isWholeNumber(std::string_view code);

// The host path of the configured output directory, absolute; the programs
// save their data sets there.
std::filesystem::path outputHostDir(const WriterContext& context);

// A Stata do-file: per data file with tagged variables, `infix` of the
// tagged columns from the raw data (the identifier as text), implied
// decimals applied where the value has no decimal point of its own, reserved
// codes turned into extended missing values (-1 -> .a, ..., -9 -> .i),
// variable labels, `label define` / `label values` for whole-number
// categories (reserved codes under their extended missing value), text
// values converted from Latin-1, and `save` into the output directory as
// <data file>.dta. The do-file is UTF-8.
bool writeStataProgram(WriterContext& context);

// An R script: per data file, readr::read_fwf with fwf_positions from the
// locations and a column type per variable, implied decimals applied,
// reserved codes set to NA, haven::labelled value labels and "label"
// attributes; each data file becomes a data frame named after it. UTF-8.
bool writeRScript(WriterContext& context);

// The SPSS command file (WIN design) in the form PSPP runs: DATA LIST FILE=
// with the raw data's host path and its encoding (Latin-1), implied
// decimals as (d), VARIABLE LABELS,
// VALUE LABELS (codes of variables with implied decimals scaled like their
// values), MISSING VALUES for the reserved codes, SAVE OUTFILE into the
// output directory, FREQUENCIES, DESCRIPTIVES with /STATISTICS=DEFAULT, and
// MATCH FILES over the saved files by ID.
bool writePsppProgram(WriterContext& context);

} // namespace qavn
