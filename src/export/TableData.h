#pragma once

// The raw data of a data file read as a table: the columns of its tagged
// variables (identifier first) and the walk over its cases, for the table
// outputs and the verification.

#include "export/RawDataReader.h"
#include "platform/Outcome.h"
#include "platform/ReadError.h"
#include "project/DeclaredMissing.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qavn {

class CodebookStore;
class ProjectMetadata;
struct DataFileEntry;
struct VariableMetadata;
struct Settings;

// Reading raw data: done, stopped (a cancel, or the case handler said so),
// or the error that stopped it, naming the raw data file and the line.
using ReadOutcome = Outcome<ReadError>;

// What the table formats (CSV, SQLite) write for a reserved code (a negative
// code -1..-9 whose category line's label starts with "{", "{Valid skip}")
// and for a value the source declared missing (the project's metadata).
enum class ReservedCodes {
    Keep,  // the code as the data hold it
    Empty, // an empty cell (CSV) or NULL (SQLite)
};

// How a table names its columns: from the project's metadata, when there is
// one and long names are asked for.
struct TableNaming {
    const ProjectMetadata* metadata = nullptr;
    bool longNames = true;
};

// One column of a table cut from a raw data file.
struct TableColumn {
    // The name outputs give the column, UTF-8, unique within its table
    // (letter case aside): the source's long name from the project's
    // metadata when the table asks for long names and there is one, else the
    // codebook's name; "ID" for the identifier.
    std::string name;
    std::string variableName;    // as the codebook names it ("ID" for the identifier)
    char typeCode = ' ';         // the identifier has ' '
    bool isIdentifier = false;
    std::uint32_t variable = 0;  // the variable's number; 0 for the identifier
    std::uint32_t line = 1;      // line of the case, 1-based
    std::size_t offset = 0;      // first column - 1
    std::size_t width = 1;
    std::vector<std::string> reservedCodes; // trimmed, as the category lines write them
    // What the project's metadata says of the variable (nullptr: nothing),
    // and the missing values its source declared.
    const VariableMetadata* metadata = nullptr;
    DeclaredMissing declared;

    // Implied decimals: 1..9 for type codes '1'..'9', else 0.
    int decimals() const { return typeCode >= '1' && typeCode <= '9' ? typeCode - '0' : 0; }
    bool isText() const { return typeCode == 'A'; }
};

// The table of one data file: its identifier column first (when the file
// has one), then its tagged variables in catalogue order.
struct DataTable {
    std::uint32_t fileNumber = 0;
    const DataFileEntry* file = nullptr;
    std::string rawName; // the raw data as the program names it (rawDataName)
    std::vector<TableColumn> columns;
    std::uint32_t neededLines = 1; // lines of a case the columns are cut from
};

// Builds the table of data file f from the ascending list of tagged
// variables. An empty column list means the file holds none of them.
// Stopped when `cancelled` said so during the walk over the catalogue;
// failed (InvalidData, naming the raw data file) when a location cannot be
// cut (a first column below 1, a last column before the first, a field wider
// than 7,999 characters or on line 0) or a tagged variable has no record.
// The columns take their names, declared missing values and metadata from
// `naming`.
ReadOutcome buildDataTable(std::span<const std::uint32_t> tagged, std::uint32_t f, CodebookStore& store,
                           const DataFileEntry& file, const Settings& settings,
                           const std::function<bool()>& cancelled, DataTable& table, TableNaming naming = {});

// Whether the text is a whole number: digits after an optional sign.
inline bool isSignedWholeNumber(std::string_view text)
{
    if (!text.empty() && (text.front() == '-' || text.front() == '+'))
        text.remove_prefix(1);
    if (text.empty())
        return false;
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// Whether every byte of the text is ASCII.
inline bool isAsciiText(std::string_view text)
{
    unsigned char any = 0;
    for (const char c : text)
        any |= static_cast<unsigned char>(c);
    return any < 0x80;
}

// The text of one cell from the raw field: blanks trimmed at both ends;
// a reserved code or a declared missing value empty when `reserved` says
// so; a numeric value with
// implied decimals and no decimal point of its own scaled ("1111" with type
// code 4 is "0.1111"); bytes converted from Latin-1 to UTF-8. Alphanumeric
// values are otherwise never changed.
std::string cellText(std::string_view raw, const TableColumn& column, ReservedCodes reserved);

// cellText() without a string of its own, the path every table output's
// cells take: a view of the raw field itself when the cell is the field
// with its blanks trimmed (ASCII, no implied decimals to apply), which is
// most cells, else of `scratch`, which holds the text until it is given to
// cellView() again.
std::string_view cellView(std::string_view raw, const TableColumn& column, ReservedCodes reserved,
                          std::string& scratch);

// The most bytes cellView() makes of a field of the column.
std::size_t cellSizeBound(const TableColumn& column);

// The bytes of a line as bits, for cutting many short fields from it at
// once: bit k of each set stands for byte k. Solid: not a blank space. Odd:
// below a blank space (a tab, a line end) or above 0x7f. Marks: a comma or a
// double quote.
// A word read from the bytes holds the first of them in its lowest byte.
static_assert(std::endian::native == std::endian::little);

class LineBits {
public:
    // Scans the first `length` bytes of `line`, which must be followed by
    // 16 readable bytes (RawDataReader::tailPadding).
    void scan(const char* line, std::size_t length);

    // The bits of what was scanned, valid until the next scan(), held by
    // value so that a loop that writes through char pointers keeps them in
    // registers. Each gives the bits of the `width` (at most 56) bytes at
    // `offset`: bit k for byte offset + k.
    struct View {
        const std::uint8_t* solidBits;
        const std::uint8_t* oddBits;
        const std::uint8_t* markBits;

        std::uint64_t solid(std::size_t offset, std::size_t width) const { return take(solidBits, offset, width); }
        std::uint64_t odd(std::size_t offset, std::size_t width) const { return take(oddBits, offset, width); }
        std::uint64_t marks(std::size_t offset, std::size_t width) const { return take(markBits, offset, width); }

        static std::uint64_t take(const std::uint8_t* bits, std::size_t offset, std::size_t width)
        {
            std::uint64_t word = 0;
            std::memcpy(&word, bits + offset / 8, sizeof word);
            return word >> offset % 8 & ((std::uint64_t{1} << width) - 1);
        }
    };
    View view() const { return {solid_.data(), odd_.data(), marks_.data()}; }

private:
    // 16 bytes of a line a chunk of 16 bits; 8 bytes to spare at the end.
    std::vector<std::uint8_t> solid_;
    std::vector<std::uint8_t> odd_;
    std::vector<std::uint8_t> marks_;
};

// The cells of a table's cases as cellView() makes them, for the table
// outputs' case loops: what each column needs is worked out once, so that
// the usual cell (a field whose text is its trimmed self) costs a trim and
// an ASCII check. A cell's text stays valid until the next cell of the same
// column, or the raw field's end.
class CaseCells {
    struct Plan;

public:
    CaseCells() = default;
    CaseCells(std::span<const TableColumn> columns, ReservedCodes reserved);

    std::string_view cell(std::size_t i, std::string_view raw)
    {
        const Plan plan = plans_[i];
        if (plan.kind == Plan::Full)
            return cellView(raw, *columns_[i], reserved_, scratch_[i]);
        while (!raw.empty() && isBlank(raw.front()))
            raw.remove_prefix(1);
        while (!raw.empty() && isBlank(raw.back()))
            raw.remove_suffix(1);
        if (plan.reservedDigits != 0 && raw.size() == 2 && raw[0] == '-' && raw[1] >= '1' && raw[1] <= '9' &&
            (plan.reservedDigits >> (raw[1] - '0') & 1) != 0)
            return reserved_ == ReservedCodes::Empty ? std::string_view() : raw;
        if (plan.kind == Plan::Decimals && isSignedWholeNumber(raw))
            return scaled(scratch_[i], plan.decimals, raw);
        if (isAsciiText(raw))
            return raw;
        return latin1Cell(scratch_[i], raw);
    }

    // cell() of a short field at once, when the cell is plain: the field
    // with its blanks trimmed is printable ASCII, and the column takes it as
    // it is (not one of its reserved codes) or, with implied decimals, is
    // digits alone. Then the cell is the first `size` (at most 8) bytes of
    // `bytes`, the first in the lowest byte, and true is returned; else
    // cell() is to decide. The field is at most as wide as its column, and
    // the 8 bytes at raw.data() must be readable, as the bytes after a field
    // of the raw data reader's lines are (RawDataReader::tailPadding; a
    // field past its line's end lies at that end): those past the field are
    // never used.
    bool plainCell(std::size_t i, std::string_view raw, std::uint64_t& bytes, std::size_t& size) const
    {
        const Plan plan = plans_[i];
        if (!plan.short8)
            return false;
        constexpr std::uint64_t ones = 0x0101010101010101u;
        constexpr std::uint64_t highs = 0x8080808080808080u;
        std::uint64_t x = 0;
        std::memcpy(&x, raw.data(), sizeof x);
        // The bytes past the field count as blanks.
        const std::uint64_t field = firstBytes[raw.size()];
        x = (x & field) | (' ' * ones & ~field);
        // Exact as a whole: some byte is at or above 0x80, or below a blank
        // (a tab, a line end).
        if (((x | ((x - ' ' * ones) & ~x)) & highs) != 0)
            return false;
        // Every byte is now 0x20..0x7f: adding 0x5f sets the high bit of
        // those above a blank, with no carry into the next byte.
        const std::uint64_t solid = (x + 0x5f * ones) & highs;
        size = 0;
        bytes = 0;
        if (solid == 0)
            return true;
        const int first = std::countr_zero(solid) / 8;
        const int last = (63 - std::countl_zero(solid)) / 8;
        const auto m = static_cast<std::size_t>(last - first + 1);
        return finish(plan, x >> 8 * first & firstBytes[m], m, bytes, size);
    }

    // plainCell() for the fields of a line that holds them all whole, each
    // at its column's place (and has the reader's padding after it), from
    // the line's bits (LineBits); `marked` says whether the cell holds a
    // comma or a double quote. Held by value, like LineBits::View.
    class LineCells {
    public:
        bool plainCell(std::size_t i, const char* line, LineBits::View bits, std::uint64_t& bytes, std::size_t& size,
                       bool& marked) const
        {
            const Plan plan = plans_[i];
            if (!plan.short8 || bits.odd(plan.offset, plan.width) != 0)
                return false;
            const std::uint64_t solid = bits.solid(plan.offset, plan.width);
            size = 0;
            bytes = 0;
            marked = false;
            if (solid == 0)
                return true;
            marked = bits.marks(plan.offset, plan.width) != 0;
            const int first = std::countr_zero(solid);
            const auto m = static_cast<std::size_t>(64 - std::countl_zero(solid) - first);
            std::uint64_t value = 0;
            std::memcpy(&value, line + plan.offset + first, sizeof value);
            return finish(plan, value & firstBytes[m], m, bytes, size);
        }

    private:
        friend class CaseCells;
        explicit LineCells(const Plan* plans) : plans_(plans) {}
        const Plan* plans_;
    };
    LineCells lineCells() const { return LineCells(plans_.data()); }

private:
    // firstBytes[n]: the n lowest bytes of a word set.
    static constexpr std::uint64_t firstBytes[9] = {0,
                                                    0xff,
                                                    0xffff,
                                                    0xffffff,
                                                    0xffffffff,
                                                    0xffffffffff,
                                                    0xffffffffffff,
                                                    0xffffffffffffff,
                                                    0xffffffffffffffff};
    struct Plan {
        // Trimmed: the cell is the trimmed field (as UTF-8), unless it is
        // one of the reserved codes "-1".."-9" of reservedDigits. Decimals:
        // so, but a whole number takes its implied decimals. Full:
        // cellView() decides.
        enum Kind : std::uint8_t { Trimmed, Decimals, Full } kind = Full;
        std::uint8_t decimals = 0;
        std::uint16_t reservedDigits = 0; // bit d: "-d" is a reserved code
        // plainCell() may decide: Trimmed, or Decimals of at most 6, and the
        // field is short enough for the cell to fit in 8 bytes.
        bool short8 = false;
        std::uint8_t width = 0;   // of the field, when short8
        std::uint32_t offset = 0; // of the field in its line
    };

    // The cell of a plain field whose trimmed text is the `m` (1..8) bytes
    // of `value` (the bytes above them clear): see plainCell().
    static bool finish(const Plan& plan, std::uint64_t value, std::size_t m, std::uint64_t& bytes, std::size_t& size)
    {
        constexpr std::uint64_t ones = 0x0101010101010101u;
        constexpr std::uint64_t highs = 0x8080808080808080u;
        if (plan.decimals == 0) {
            if (m == 2 && plan.reservedDigits != 0 && (value & 0xff) == '-')
                return false;
            bytes = value;
            size = m;
            return true;
        }
        // Digits alone take their implied decimals ("706" with 2 is "7.06",
        // "5" is "0.05"); anything else goes the long way.
        const std::uint64_t kept = firstBytes[m];
        if (((~(value + 0x50 * ones) | (value + 0x46 * ones)) & highs & kept) != 0 || m == 8)
            return false;
        const auto d = static_cast<std::size_t>(plan.decimals);
        if (m > d) {
            const std::size_t whole = m - d;
            const std::uint64_t wholeBytes = value & ((std::uint64_t{1} << 8 * whole) - 1);
            bytes = wholeBytes | std::uint64_t{'.'} << 8 * whole | value >> 8 * whole << 8 * (whole + 1);
            size = m + 1;
        } else {
            const std::size_t zeros = d - m;
            bytes = std::uint64_t{'0'} | std::uint64_t{'.'} << 8 | ('0' * ones & ((std::uint64_t{1} << 8 * zeros) - 1)) << 16 |
                    value << 8 * (2 + zeros);
            size = d + 2;
        }
        return true;
    }
    static bool isBlank(char c) { return c == ' ' || static_cast<unsigned char>(c - '\t') <= '\r' - '\t'; }
    static std::string_view scaled(std::string& scratch, int decimals, std::string_view value);
    static std::string_view latin1Cell(std::string& scratch, std::string_view value);

    // What each column needs, kept small for the case loops; its column and
    // the text of its cells that are not views of the field.
    std::vector<Plan> plans_;
    std::vector<const TableColumn*> columns_;
    std::vector<std::string> scratch_;
    ReservedCodes reserved_ = ReservedCodes::Keep;
};

// The cases of a table's raw data file, one at a time: the raw fields of
// each, one per column, as views into the reader's lines. A case is
// file.linesPerCase lines; a field lying beyond its line is blank (an empty
// view at the line's end); a last case shorter than the lines the columns
// need is dropped. The reader is closed again when the cursor goes.
class CaseCursor {
public:
    enum class Step { Case, End, Failed };

    CaseCursor(RawDataReader& reader, const DataTable& table);
    ~CaseCursor();
    CaseCursor(const CaseCursor&) = delete;
    CaseCursor& operator=(const CaseCursor&) = delete;

    // Opens the reader on the file. Failed (see error()) when the file does
    // not open (CannotOpen) or the columns lie on a line past linesPerCase
    // (InvalidData).
    bool open();
    // The next case: Case with fields() and line() set, End after the last,
    // Failed when the file cannot be read (CannotRead, with the line) or a
    // line is longer than the reader takes (InvalidData).
    Step next();
    std::span<const std::string_view> fields() const { return fields_; }
    // When the case is one line that holds every field whole, each at its
    // column's place: that line up to the end of its last field (with the
    // rest of the line and the reader's padding after it); else an empty
    // view.
    std::string_view wholeLine() const { return wholeLine_; }
    // The line the case in hand starts on, 1-based.
    std::uint64_t line() const { return line_; }
    const ReadError& error() const { return error_; }
    const DataTable& table() const { return table_; }

private:
    Step failed(RawDataReader::Status status);

    // Where each column's field lies, kept small for the case loop; a line
    // of fullLength_ characters or more holds every field whole.
    struct Cut {
        std::uint32_t line; // 0-based
        std::uint32_t width;
        std::size_t offset;
    };

    RawDataReader& reader_;
    const DataTable& table_;
    std::vector<Cut> cuts_;
    std::size_t fullLength_ = 0;
    std::vector<std::string_view> fields_;
    std::string_view wholeLine_;
    std::vector<std::string_view> lines_; // the case's lines without their line ends
    std::uint64_t line_ = 0;
    bool started_ = false;
    ReadError error_;
};

// Reads the cases of the table's raw data file and hands the raw fields of
// each, one per column, to `onCase`, which returns false to stop. A case is
// file.linesPerCase lines; a field lying beyond its line is blank; a last
// case shorter than the lines the columns need is dropped. The reader is
// opened on the file and closed again. Done at the end of the file; stopped
// when `onCase` stopped; failed when the file does not open (CannotOpen) or
// cannot be read (CannotRead, with the line), on a line longer than the
// reader takes or columns on a line past linesPerCase (InvalidData).
ReadOutcome readCases(RawDataReader& reader, const DataTable& table,
                      const std::function<bool(std::span<const std::string_view>)>& onCase);
// readCases() that also hands `onCase` the case's line when the case is one
// line that holds every field whole (CaseCursor::wholeLine()), else an
// empty view.
ReadOutcome readCaseLines(RawDataReader& reader, const DataTable& table,
                          const std::function<bool(std::span<const std::string_view>, std::string_view)>& onCase);

} // namespace qavn
