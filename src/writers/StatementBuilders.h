#pragma once

// The pieces of the SAS and SPSS programs that both writers share.

#include "writers/ProgramText.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qavn {

class TextOutput;
class WriterContext;
enum class LabelChoice;
struct VariableRecord;

// The pieces of the generated SAS and SPSS programs that both writers share.
// Every builder writes to the context's output file and walks the tagged list
// from its start with the classification step; an Abort from that step ends
// the builder at once (result nullopt), leaving in the file what it already
// wrote.
//
// Line shapes are fixed: statement lines are collected in a pending text and
// written once it is longer than 45 characters, continuation lines start
// with two blanks, and record markers move the reader to a later line of a
// case.
//
// Long texts. Every field is copied whole: codes, frequencies, percents,
// labels, names, locations, data paths and headers are never cut, so a long
// field makes a long line rather than a shortened (and possibly wrong) value.
// The codebook's own limits (80 characters a line) keep the lines within what
// SAS and SPSS read.
//
// Quoting. Labels and paths go between apostrophes in both languages; an
// apostrophe inside is written twice, which both read as one apostrophe, and
// a control character (a line break above all) as a blank (quoted()). Codes
// are written as they stand (a quoted code such as 'AL' is already a
// literal) when codeLiteral() takes them; a category line with any other
// code gives no label. Names are the program names of WriterContext, which
// are the codebook's own for every valid name; locations are written as
// locationLiteral() leaves them, and implied decimals only for the type codes
// 1 to 9. So no text of a codebook or a project file can end a statement or
// a string of the program.

enum class Dialect {
    Sas,     // the SAS program
    SpssDos, // the SPSS command file, DOS
    SpssWin, // the SPSS command file, WIN
    Text,    // the codebook text's frequency tables; category lines only
};

// DATA X<f>;INFILE ...;INPUT ... (SAS) or DATA LIST FILE=... (SPSS) for the
// tagged variables of data file f. Writes nothing for a file without tagged
// variables. Result: the number of member variables.
std::optional<std::uint32_t> writeDataList(WriterContext& context, Dialect dialect, std::uint32_t f,
                                           std::uint32_t first);

// LABEL (SAS) or VARIABLE LABELS (SPSS) with one line per member variable.
// Result: the number of labels written.
std::optional<std::uint32_t> writeLabels(WriterContext& context, Dialect dialect, std::uint32_t f,
                                         std::uint32_t first);

// The value labels (SAS, SPSS) or the frequency table (Text) of a variable
// from its category lines, the first one introduced by `prefix`. In SAS and
// SPSS only codes ending in a digit or an apostrophe give a label, each on a
// line of its own with the codes aligned. Result: the number of category
// lines written.
std::uint32_t writeCategoryLines(WriterContext& context, const VariableRecord& record, Dialect dialect,
                                 std::string_view prefix);

// The first byte of the variable's category text (its first code) and the
// first byte of its first category label, as the selection rules read them:
// fillers are skipped, a blank stands in for a byte that is not there.
struct CategoryStart {
    char firstCodeByte = ' ';
    char firstLabelByte = ' ';
};
CategoryStart categoryStart(const WriterContext& context, const VariableRecord& record);

// Whether the variable gets value labels under the label choice.
bool wantsValueLabels(const WriterContext& context, const VariableRecord& record, LabelChoice labelChoice);
// Whether the variable gets a frequency table.
bool wantsFrequencies(const WriterContext& context, const VariableRecord& record);
// Whether the variable gets statistics: numeric types (neither blank nor "A").
bool wantsStatistics(char typeCode);

// The selection rules on their inputs alone.
bool valueLabelRule(char typeCode, CategoryStart start, LabelChoice labelChoice);
bool frequencyRule(char typeCode, CategoryStart start);

// The name of the variable's value format: the name with "F" appended, or
// with its 8th character replaced by "F" when it has 8.
std::string formatName(std::string_view name);

// The value format of tagged variable n in this program: formatName() of its
// name, unless an earlier variable of the program already has that format
// (two 8-character names that differ only in their last character, or one
// name in two data files); then the name cut shorter with a counter before
// the closing "F" ("IN_WAG1F"), the first such name not taken. The same
// variable always gets the same name.
std::string sasFormatName(WriterContext& context, const VariableRecord& record, std::uint32_t n);

// A list of variables in an analysis statement (SAS FORMAT, TABLES, VAR;
// SPSS FREQUENCIES, DESCRIPTIVES): the keyword goes out with the first
// entry; entries collect in a pending text that starts as two blanks and is
// written on a line of its own whenever it passes 45 characters.
class WrappedList {
public:
    WrappedList(TextOutput& out, std::string_view keyword) : out_(out), keyword_(keyword) {}

    void add(std::string_view entry);
    bool started() const { return started_; }
    // Writes the entries still pending on a line of their own. Any entry
    // counts, also a one-letter name (pending "  X "), which must not be
    // dropped from the statement.
    void flushPending();

private:
    TextOutput& out_;
    std::string_view keyword_;
    std::string pending_ = "  ";
    bool started_ = false;
};

// The program header: `header` with carriage returns and Ctrl-Z turned into
// blanks, then a line end.
void writeHeaderText(WriterContext& context, std::string_view header);

} // namespace qavn
