// The columns of a data file's tagged variables and the walk over its cases.

#include "export/TableData.h"

#include "codebook/CategoryCode.h"
#include "codebook/CodebookStore.h"
#include "export/AccessExport.h"
#include "platform/HostPath.h"
#include "platform/Latin1.h"
#include "platform/Strings.h"
#include "project/ProjectMetadata.h"
#include "project/ProjectPaths.h"
#include "project/ProjectSpec.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qavn {

namespace {

// Reserved codes of a variable: its category lines with a code -1..-9 and a
// label in braces, as the writers' "label reserved codes" choice knows them.
std::vector<std::string> reservedCodesOf(CodebookStore& store, const VariableRecord& record)
{
    std::vector<std::string> codes;
    if (record.categoryLineCount == 0)
        return codes;
    store.readLines(record.categoryRef, record.categoryLineCount, LineVariant::CategoryFields,
                    [&](std::string_view line) {
                        const CategoryFields fields = splitCategoryLine(line);
                        if (isReservedCategory(fields.code, fields.label))
                            codes.emplace_back(trimmed(fields.code));
                        return true;
                    });
    return codes;
}

bool makeColumn(std::string_view location, std::uint32_t line, std::string_view dataPath, TableColumn& column,
                std::string& error)
{
    const ColumnRange range = parseColumnLocation(location);
    const std::string where = "The location \"" + std::string(location) + "\" of " + column.variableName +
                              " in " + std::string(dataPath);
    if (range.first < 1 || range.last < range.first) {
        error = where + " does not give its columns.";
        return false;
    }
    if (static_cast<std::size_t>(range.last - range.first) + 1 > AccessLimits::maxValue) {
        error = where + " is wider than 7,999 characters.";
        return false;
    }
    if (line < 1) {
        error = where + " lies on line 0.";
        return false;
    }
    column.offset = static_cast<std::size_t>(range.first - 1);
    column.width = static_cast<std::size_t>(range.last - range.first) + 1;
    column.line = line;
    return true;
}

// The column's name, with "_2", "_3", ... appended when a column of the
// table already has it (letter case aside: SQLite does not tell them apart).
void makeUnique(std::vector<TableColumn>& columns, TableColumn& column, const std::string& base)
{
    auto taken = [&](const std::string& name) {
        return std::any_of(columns.begin(), columns.end(),
                           [&](const TableColumn& other) { return upperAscii(other.name) == upperAscii(name); });
    };
    column.name = base;
    for (int k = 2; taken(column.name); ++k)
        column.name = base + "_" + std::to_string(k);
}

// A number as a cell holds it after cellText(), or false.
bool cellNumber(std::string_view text, double& value)
{
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

ReadError dataError(ReadError::Kind kind, const std::string& rawName, std::string reason, std::uint64_t line = 0)
{
    ReadError error;
    error.kind = kind;
    error.file = rawName;
    error.hostPath = toHostPath(rawName).string();
    error.drive = driveMappingOf(rawName);
    error.line = line;
    error.reason = std::move(reason);
    return error;
}

} // namespace

ReadOutcome buildDataTable(std::span<const std::uint32_t> tagged, std::uint32_t f, CodebookStore& store,
                           const DataFileEntry& file, const Settings& settings,
                           const std::function<bool()>& cancelled, DataTable& table, TableNaming naming)
{
    table = DataTable{};
    table.fileNumber = f;
    table.file = &file;
    table.rawName = rawDataName(settings, file);
    std::vector<TableColumn> columns;
    std::string error;
    // The catalogue holds the variables of file 1 first, then those of file
    // 2, ...: the walk skips what lies before the file and ends at the first
    // variable past it.
    for (const std::uint32_t n : tagged) {
        if (cancelled())
            return ReadOutcome::stopped();
        if (n < file.firstRow)
            continue;
        if (n < 1 || n > store.recordCount())
            return dataError(ReadError::Kind::InvalidData, table.rawName,
                             "variable " + std::to_string(n) + " has no record in the codebook");
        const VariableRecord record = store.recordAt(n);
        if (record.fileNumber != f)
            break;
        TableColumn column;
        column.variableName = std::string(record.variableName());
        column.typeCode = record.typeCode;
        column.variable = n;
        if (!makeColumn(record.locationText(), record.recordNumber, file.dataPath, column, error))
            return dataError(ReadError::Kind::InvalidData, table.rawName, error);
        column.reservedCodes = reservedCodesOf(store, record);
        if (naming.metadata)
            column.metadata = naming.metadata->variable(trimmed(column.variableName));
        column.declared = DeclaredMissing::of(column.metadata);
        columns.push_back(std::move(column));
    }
    if (columns.empty())
        return ReadOutcome::done();
    if (file.hasIdentifier()) {
        TableColumn id;
        id.variableName = "ID";
        id.isIdentifier = true;
        if (!makeColumn(file.idLocation, 1, file.dataPath, id, error))
            return dataError(ReadError::Kind::InvalidData, table.rawName, error);
        id.name = id.variableName;
        table.columns.push_back(std::move(id));
    }
    for (TableColumn& column : columns) {
        const bool longName = naming.longNames && column.metadata && !column.metadata->longName.empty();
        makeUnique(table.columns, column, longName ? column.metadata->longName : latin1ToUtf8(column.variableName));
        table.columns.push_back(std::move(column));
    }
    for (const TableColumn& column : table.columns)
        table.neededLines = std::max(table.neededLines, column.line);
    return ReadOutcome::done();
}

namespace {

// Inserts the decimal point `decimals` digits from the right of an integer
// text, into `out` ("-15", 1 -> "-1.5"; "5", 2 -> "0.05").
void scaleInto(std::string_view value, int decimals, std::string& out)
{
    const std::size_t d = static_cast<std::size_t>(decimals);
    out.resize(value.size() + d + 2);
    char* o = out.data();
    if (!value.empty() && (value.front() == '-' || value.front() == '+')) {
        if (value.front() == '-')
            *o++ = '-';
        value.remove_prefix(1);
    }
    const std::size_t m = value.size();
    if (m <= d) {
        *o++ = '0';
        *o++ = '.';
        o = std::fill_n(o, d - m, '0');
        o = std::copy_n(value.data(), m, o);
    } else {
        o = std::copy_n(value.data(), m - d, o);
        *o++ = '.';
        o = std::copy_n(value.data() + m - d, d, o);
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
}

bool isReservedCode(std::string_view value, const TableColumn& column)
{
    for (const std::string& code : column.reservedCodes)
        if (code == value)
            return true;
    return false;
}

} // namespace

std::string_view cellView(std::string_view raw, const TableColumn& column, ReservedCodes reserved,
                          std::string& scratch)
{
    const std::string_view value = trimmed(raw);
    const bool numeric = !column.isText() && !column.isIdentifier;
    if (numeric && !column.reservedCodes.empty() && isReservedCode(value, column))
        return reserved == ReservedCodes::Empty ? std::string_view() : value;
    std::string_view text;
    if (numeric && column.decimals() > 0 && isSignedWholeNumber(value)) {
        scaleInto(value, column.decimals(), scratch);
        text = scratch;
    } else if (isAsciiText(value)) {
        text = value;
    } else {
        scratch.clear();
        appendLatin1AsUtf8(value, scratch);
        text = scratch;
    }
    if (reserved == ReservedCodes::Keep || column.isIdentifier || column.declared.empty())
        return text;
    double number = 0;
    if (column.isText() ? column.declared.coversText(text)
                        : column.declared.hasNumbers() && cellNumber(text, number) && column.declared.covers(number))
        return {};
    return text;
}

std::size_t cellSizeBound(const TableColumn& column)
{
    // Latin-1 letters take two bytes; implied decimals add a sign, a point
    // and leading zeros.
    return 2 * column.width + static_cast<std::size_t>(column.decimals()) + 2;
}

void LineBits::scan(const char* line, std::size_t length)
{
    const std::size_t chunks = (length + 15) / 16;
    for (std::vector<std::uint8_t>* bits : {&solid_, &odd_, &marks_})
        if (bits->size() < 2 * chunks + 8)
            bits->resize(2 * chunks + 8);
    std::uint8_t* const solid = solid_.data();
    std::uint8_t* const odd = odd_.data();
    std::uint8_t* const marks = marks_.data();
    for (std::size_t c = 0; c < chunks; ++c) {
        std::uint16_t solidBits = 0;
        std::uint16_t oddBits = 0;
        std::uint16_t markBits = 0;
#if defined(__SSE2__)
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + 16 * c));
        solidBits = static_cast<std::uint16_t>(~_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(' '))));
        // As signed bytes, those above 0x7f are below a blank too.
        oddBits = static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmplt_epi8(bytes, _mm_set1_epi8(' '))));
        markBits = static_cast<std::uint16_t>(_mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(',')), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('"')))));
#else
        for (int k = 0; k < 16; ++k) {
            const auto b = static_cast<unsigned char>(line[16 * c + static_cast<std::size_t>(k)]);
            solidBits |= static_cast<std::uint16_t>((b != ' ') << k);
            oddBits |= static_cast<std::uint16_t>((b < ' ' || b > 0x7f) << k);
            markBits |= static_cast<std::uint16_t>((b == ',' || b == '"') << k);
        }
#endif
        std::memcpy(solid + 2 * c, &solidBits, 2);
        std::memcpy(odd + 2 * c, &oddBits, 2);
        std::memcpy(marks + 2 * c, &markBits, 2);
    }
}

CaseCells::CaseCells(std::span<const TableColumn> columns, ReservedCodes reserved) : reserved_(reserved)
{
    plans_.resize(columns.size());
    columns_.resize(columns.size());
    scratch_.resize(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const TableColumn& column = columns[i];
        Plan& plan = plans_[i];
        columns_[i] = &column;
        scratch_[i].reserve(cellSizeBound(column));
        if (reserved == ReservedCodes::Empty && !column.isIdentifier && !column.declared.empty())
            continue;
        const bool numeric = !column.isText() && !column.isIdentifier;
        plan.kind = numeric && column.decimals() > 0 ? Plan::Decimals : Plan::Trimmed;
        plan.decimals = static_cast<std::uint8_t>(numeric ? column.decimals() : 0);
        if (numeric) {
            for (const std::string& code : column.reservedCodes) {
                if (code.size() != 2 || code[0] != '-' || code[1] < '1' || code[1] > '9') {
                    plan.kind = Plan::Full;
                    break;
                }
                plan.reservedDigits |= static_cast<std::uint16_t>(1u << (code[1] - '0'));
            }
        }
        plan.short8 = ((plan.kind == Plan::Trimmed && column.width <= 8) ||
                       (plan.kind == Plan::Decimals && column.width <= 7 && plan.decimals <= 6)) &&
                      column.offset + column.width <= RawDataReader::maxLineLength;
        if (plan.short8) {
            plan.width = static_cast<std::uint8_t>(column.width);
            plan.offset = static_cast<std::uint32_t>(column.offset);
        }
    }
}

std::string_view CaseCells::scaled(std::string& scratch, int decimals, std::string_view value)
{
    scaleInto(value, decimals, scratch);
    return scratch;
}

std::string_view CaseCells::latin1Cell(std::string& scratch, std::string_view value)
{
    scratch.clear();
    appendLatin1AsUtf8(value, scratch);
    return scratch;
}

std::string cellText(std::string_view raw, const TableColumn& column, ReservedCodes reserved)
{
    std::string scratch;
    const std::string_view text = cellView(raw, column, reserved, scratch);
    if (text.data() == scratch.data() && text.size() == scratch.size())
        return scratch;
    return std::string(text);
}

CaseCursor::CaseCursor(RawDataReader& reader, const DataTable& table)
    : reader_(reader), table_(table), fields_(table.columns.size()), lines_(table.neededLines)
{
    cuts_.reserve(table.columns.size());
    for (const TableColumn& column : table.columns) {
        cuts_.push_back({column.line - 1, static_cast<std::uint32_t>(column.width), column.offset});
        fullLength_ = std::max(fullLength_, column.offset + column.width);
    }
}

CaseCursor::~CaseCursor()
{
    reader_.close();
}

bool CaseCursor::open()
{
    const DataFileEntry& file = *table_.file;
    if (static_cast<std::int64_t>(table_.neededLines) > file.linesPerCase) {
        error_ = dataError(ReadError::Kind::InvalidData, table_.rawName,
                           "A tagged variable of " + file.dataPath + " lies on line " +
                               std::to_string(table_.neededLines) + " of a case of " +
                               std::to_string(file.linesPerCase) + " lines.");
        return false;
    }
    std::string error;
    if (!reader_.open(toHostPath(table_.rawName), error)) {
        error_ = dataError(ReadError::Kind::CannotOpen, table_.rawName, error);
        return false;
    }
    started_ = false;
    return true;
}

CaseCursor::Step CaseCursor::failed(RawDataReader::Status status)
{
    const std::uint64_t line = reader_.lineNumber() + 1;
    if (status == RawDataReader::Status::TooLong)
        error_ = dataError(ReadError::Kind::InvalidData, table_.rawName, "the line is longer than 14,999 characters",
                           line);
    else
        error_ = dataError(ReadError::Kind::CannotRead, table_.rawName, reader_.errorText(), line);
    return Step::Failed;
}

CaseCursor::Step CaseCursor::next()
{
    const std::int64_t linesPerCase = table_.file->linesPerCase;
    // The lines of the case before that no column reads.
    if (started_) {
        for (std::int64_t l = table_.neededLines; l < linesPerCase; ++l) {
            const auto status = reader_.nextLine(false);
            if (status == RawDataReader::Status::End)
                return Step::End;
            if (status != RawDataReader::Status::Ok)
                return failed(status);
        }
    }
    started_ = true;
    reader_.beginCase();
    line_ = reader_.lineNumber() + 1;
    for (std::uint32_t l = 0; l < table_.neededLines; ++l) {
        const auto status = reader_.nextLine(true);
        if (status == RawDataReader::Status::End)
            return Step::End;
        if (status != RawDataReader::Status::Ok)
            return failed(status);
    }
    // Each line's end is trimmed once, whatever the number of its columns.
    for (std::uint32_t l = 0; l < table_.neededLines; ++l)
        lines_[l] = reader_.caseText(l);
    // The usual case: one line, long enough for every field.
    if (lines_.size() == 1 && lines_[0].size() >= fullLength_) {
        const char* const line = lines_[0].data();
        for (std::size_t i = 0; i < cuts_.size(); ++i)
            fields_[i] = std::string_view(line + cuts_[i].offset, cuts_[i].width);
        wholeLine_ = lines_[0].substr(0, fullLength_);
        return Step::Case;
    }
    wholeLine_ = {};
    for (std::size_t i = 0; i < cuts_.size(); ++i) {
        const Cut cut = cuts_[i];
        const std::string_view line = lines_[cut.line];
        const std::size_t offset = std::min(cut.offset, line.size());
        fields_[i] = std::string_view(line.data() + offset, std::min<std::size_t>(cut.width, line.size() - offset));
    }
    return Step::Case;
}

ReadOutcome readCaseLines(RawDataReader& reader, const DataTable& table,
                          const std::function<bool(std::span<const std::string_view>, std::string_view)>& onCase)
{
    CaseCursor cursor(reader, table);
    if (!cursor.open())
        return cursor.error();
    for (;;) {
        switch (cursor.next()) {
        case CaseCursor::Step::Case:
            if (!onCase(cursor.fields(), cursor.wholeLine()))
                return ReadOutcome::stopped();
            break;
        case CaseCursor::Step::End:
            return ReadOutcome::done();
        case CaseCursor::Step::Failed:
            return cursor.error();
        }
    }
}

ReadOutcome readCases(RawDataReader& reader, const DataTable& table,
                      const std::function<bool(std::span<const std::string_view>)>& onCase)
{
    return readCaseLines(reader, table,
                         [&](std::span<const std::string_view> fields, std::string_view) { return onCase(fields); });
}

} // namespace qavn
