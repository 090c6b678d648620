// SPSS and Stata data files through ReadStat, as instances of the table
// driver.

#include "formats/StatDataFiles.h"

#include "catalogue/VariableList.h"
#include "codebook/CategoryCode.h"
#include "codebook/CodebookStore.h"
#include "formats/TableFormats.h"
#include "platform/Latin1.h"
#include "platform/Strings.h"
#include "platform/TextOutput.h"
#include "project/ProjectPaths.h"
#include "project/ProjectSpec.h"
#include "project/ProjectMetadata.h"
#include "writers/DisplayFormats.h"
#include "writers/MissingPlans.h"
#include "writers/ProgramText.h"

#include <readstat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <exception>
#include <set>
#include <sys/stat.h>

namespace qavn {

namespace {

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isAsciiDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool nameTaken(const std::vector<std::string>& taken, const std::string& name)
{
    const std::string upper = upperAscii(name);
    return std::any_of(taken.begin(), taken.end(),
                       [&](const std::string& other) { return upperAscii(other) == upper; });
}

std::string uniqueName(const std::string& base, std::size_t maxLength, std::vector<std::string>& taken)
{
    std::string name = base;
    for (int k = 2; nameTaken(taken, name); ++k) {
        const std::string suffix = "_" + std::to_string(k);
        name = base.substr(0, std::min(base.size(), maxLength - suffix.size())) + suffix;
    }
    taken.push_back(name);
    return name;
}

// UTF-8 text cut to at most `maxBytes` bytes, never inside a character.
std::string cutUtf8Bytes(std::string text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    std::size_t cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    text.resize(cut);
    return text;
}

// UTF-8 text cut to at most `count` characters.
std::string cutUtf8Characters(std::string text, std::size_t count)
{
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            continue;
        if (seen++ == count) {
            text.resize(i);
            break;
        }
    }
    return text;
}

constexpr std::array<double, 10> powersOfTen{1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};

// What a numeric field holds.
enum class Cell { Empty, Number, Reserved, NotNumber };

// The value of a numeric field as cellText() gives it: blanks trimmed, a
// reserved code as it is (`reserved` set to it), implied decimals applied
// to an integer. Dividing the exact integer by an exact power of ten rounds
// once, so the value is the double nearest the decimal text cellText()
// writes, as a reader of the CSV file gets it.
Cell numericCell(std::string_view raw, const TableColumn& column, double& value, int& reserved)
{
    std::string_view text = trimmed(raw);
    if (text.empty())
        return Cell::Empty;
    for (const std::string& code : column.reservedCodes) {
        if (code == text) {
            reserved = -(code[1] - '0');
            value = reserved;
            return Cell::Reserved;
        }
    }
    if (text.front() == '+')
        text.remove_prefix(1);
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const bool integer = !text.empty() && std::all_of(first + (text.front() == '-' ? 1 : 0), last, isAsciiDigit) &&
                         text != "-";
    if (integer) {
        std::int64_t whole = 0;
        const auto [end, ec] = std::from_chars(first, last, whole);
        if (ec == std::errc() && end == last)
            value = static_cast<double>(whole);
        else if (std::from_chars(first, last, value).ec != std::errc())
            return Cell::NotNumber;
        const int decimals = column.decimals();
        if (decimals > 0)
            value /= powersOfTen[static_cast<std::size_t>(decimals)];
        return Cell::Number;
    }
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last || !std::isfinite(value))
        return Cell::NotNumber;
    return Cell::Number;
}

// The text of a text field as cellText() gives it (blanks trimmed, Latin-1
// as UTF-8), into a string kept from case to case.
void textCell(std::string_view raw, std::string& out)
{
    out.clear();
    appendLatin1AsUtf8(trimmed(raw), out);
}

// How many bytes textCell() makes of a field.
std::size_t textCellSize(std::string_view raw)
{
    return latin1Utf8Size(trimmed(raw));
}

// ReadStat's bytes go to the output file (a temporary file until it is
// finished), which keeps the first failure. ReadStat takes a count below the
// size asked for as the failure; it does not see -1 as one.
ssize_t writeToSink(const void* data, size_t size, void* context)
{
    auto& out = *static_cast<FileTextOutput*>(context);
    out.writeBytes(std::string_view(static_cast<const char*>(data), size));
    return out.failed() ? 0 : static_cast<ssize_t>(size);
}

// One output variable: the column it comes from and how it is stored.
struct OutColumn {
    const TableColumn* column = nullptr;
    std::string name;
    bool text = false;      // a string (text variables; the identifier unless every value is an integer)
    std::size_t width = 1;  // a string's bytes
    long notNumbers = 0;    // fields of a numeric variable that were no number
    long recoded = 0;       // missing values the file cannot hold as such, written as system-missing
    readstat_variable_t* variable = nullptr;
    ValueConversion conversion;
    bool declaredNumbers = false; // the source declared missing numbers
    bool declaredTexts = false;   // ... or missing texts
    SpssMissingValues spssMissing;
    StataMissing stataMissing;
    std::vector<std::string> missingTexts; // declared texts SPSS keeps (UTF-8)
};

// A category line as a value label.
struct ValueLabel {
    std::string textKey; // text variables
    double number = 0;
    int reserved = 0;    // -1..-9 for a reserved code
    char tag = 0;        // Stata: the extended missing value of a declared missing value
    std::string label;
    std::string code;    // as the category line writes it
};

// The display width of a numeric column: its field, and room for the
// decimal point and a leading zero when it has implied decimals.
int numericWidth(const TableColumn& column)
{
    const int width = static_cast<int>(column.width);
    const int decimals = column.decimals();
    return decimals > 0 ? std::max(width + 1, decimals + 2) : width;
}

// A limit of a missing range as SPSS writes it: LOWEST and HIGHEST are the
// extreme finite numbers.
double spssLimit(double value)
{
    if (value == -HUGE_VAL)
        return -DBL_MAX;
    if (value == HUGE_VAL)
        return DBL_MAX;
    return value;
}

// The ReadStat writer of one file, released however the run ends.
class StatWriter {
public:
    StatWriter() : writer_(readstat_writer_init()) {}
    ~StatWriter()
    {
        if (writer_)
            readstat_writer_free(writer_);
    }
    StatWriter(const StatWriter&) = delete;
    StatWriter& operator=(const StatWriter&) = delete;

    readstat_writer_t* get() const { return writer_; }

private:
    readstat_writer_t* writer_;
};

class StatDataFile final : public TableFormat {
public:
    explicit StatDataFile(StatFileKind kind) : kind_(kind) {}

    TableOutcome begin(TableRun& run) override;
    bool beginScan(const OutputTable& table) override;
    void scanCase(std::span<const std::string_view> fields) override;
    TableOutcome beginTable(TableRun& run, const OutputTable& table) override;
    TableOutcome writeCase(TableRun& run, std::span<const std::string_view> fields) override;
    TableOutcome endTable(TableRun& run) override;
    TableOutcome finish(TableRun& run) override;
    void abort() noexcept override { writer_.reset(); }

private:
    bool spss() const { return kind_ == StatFileKind::Spss; }
    TableOutcome defineVariables(TableRun& run, const OutputTable& table);
    void planMissing(OutColumn& out);
    // A number the source declared missing: SPSS keeps it (a user-missing
    // value) unless it does not fit; Stata writes its extended missing value.
    readstat_error_t writeMissing(OutColumn& column, double value)
    {
        readstat_writer_t* writer = writer_->get();
        if (spss()) {
            if (!column.spssMissing.recoded(value))
                return readstat_insert_double_value(writer, column.variable, column.conversion(value));
        } else {
            const char letter = column.stataMissing.letterOf(value);
            if (letter != '.' && letter != '\0')
                return readstat_insert_tagged_missing_value(writer, column.variable, letter);
        }
        ++column.recoded;
        return readstat_insert_missing_value(writer, column.variable);
    }
    std::vector<ValueLabel> valueLabels(TableRun& run, const OutColumn& out);
    TableOutcome writerFailed(readstat_error_t error) const
    {
        if (out_->failed())
            return cannotWrite(name_, out_->errorText());
        return cannotWrite(name_, readstat_error_message(error));
    }

    StatFileKind kind_;
    // The table in hand: its columns as stored, the cases its first pass
    // counted, its file.
    std::vector<OutColumn> columns_;
    long cases_ = 0;
    bool numericId_ = false;
    std::unique_ptr<StatWriter> writer_;
    FileTextOutput* out_ = nullptr;
    std::string name_;
    std::string text_;
    std::vector<std::string> names_;   // every file written, for the notice
    std::vector<std::string> notices_; // fields that were no number, per file
};

TableOutcome StatDataFile::begin(TableRun& run)
{
    if (run.tables().empty()) {
        TableFailure failure;
        failure.kind = TableFailure::Kind::Empty;
        failure.reason = "None of the tagged variables lies in a data file of the project: " + run.base().name +
                         " is not written.";
        return failure;
    }
    return TableOutcome::done();
}

// The first pass counts the cases (the files' headers hold the count), finds
// whether the identifier is a number and how many bytes the text values take
// as UTF-8.
bool StatDataFile::beginScan(const OutputTable& table)
{
    columns_.assign(table.columns.size(), OutColumn{});
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        columns_[i].column = &table.columns[i];
        columns_[i].text = table.columns[i].isText() || table.columns[i].isIdentifier;
        columns_[i].width = std::max<std::size_t>(table.columns[i].width, 1);
    }
    cases_ = 0;
    numericId_ = !columns_.empty() && columns_.front().column->isIdentifier;
    return true;
}

void StatDataFile::scanCase(std::span<const std::string_view> fields)
{
    for (std::size_t i = 0; i < fields.size(); ++i) {
        OutColumn& out = columns_[i];
        if (!out.text)
            continue;
        out.width = std::max(out.width, textCellSize(fields[i]));
        if (i == 0 && numericId_) {
            const std::string_view value = trimmed(fields[i]);
            std::int64_t number = 0;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
            numericId_ = ec == std::errc() && end == value.data() + value.size() &&
                         std::abs(number) < (std::int64_t{1} << 53);
        }
    }
    ++cases_;
}

TableOutcome StatDataFile::beginTable(TableRun& run, const OutputTable& table)
{
    if (numericId_)
        columns_.front().text = false;
    const OutputPlace place = run.tables().size() == 1
                                  ? run.base()
                                  : run.nextToChosen("_" + table.name, run.chosenExtension());
    name_ = place.name;
    writer_ = std::make_unique<StatWriter>();
    readstat_writer_t* writer = writer_->get();
    if (!writer)
        return cannotWrite(name_, std::strerror(ENOMEM));
    readstat_set_data_writer(writer, writeToSink);
    const WriterServices& services = run.services();
    const std::string title = latin1ToUtf8(trimmed(services.project.dataSetTitle));
    readstat_writer_set_file_label(writer, (spss() ? cutUtf8Bytes(title, 64) : cutUtf8Characters(title, 80)).c_str());
    // The header's creation time is the raw data's modification time, so the
    // same data make the same bytes.
    struct stat data {};
    if (::stat(rawDataHostPath(services.settings, *table.source().file).c_str(), &data) == 0)
        readstat_writer_set_file_timestamp(writer, data.st_mtime);
    if (spss())
        readstat_writer_set_compression(writer, READSTAT_COMPRESS_ROWS);
    else
        readstat_writer_set_file_format_version(writer, 118);
    TableOutcome step = defineVariables(run, table);
    if (!step.isDone())
        return step;
    step = run.openFile(place, out_);
    if (!step.isDone())
        return step;
    names_.push_back(name_);
    const readstat_error_t status = spss() ? readstat_begin_writing_sav(writer, out_, cases_)
                                           : readstat_begin_writing_dta(writer, out_, cases_);
    return status == READSTAT_OK ? TableOutcome::done() : writerFailed(status);
}

TableOutcome StatDataFile::writeCase(TableRun&, std::span<const std::string_view> fields)
{
    readstat_writer_t* writer = writer_->get();
    readstat_error_t status = readstat_begin_row(writer);
    for (std::size_t i = 0; i < fields.size() && status == READSTAT_OK; ++i) {
        OutColumn& column = columns_[i];
        if (column.text) {
            textCell(fields[i], text_);
            // A declared missing text SPSS cannot hold, and every one in
            // Stata, which has none, is an empty string.
            if (column.declaredTexts && column.column->declared.coversText(text_) &&
                std::find(column.missingTexts.begin(), column.missingTexts.end(), text_) == column.missingTexts.end()) {
                text_.clear();
                ++column.recoded;
            }
            status = readstat_insert_string_value(writer, column.variable, text_.c_str());
            continue;
        }
        double value = 0;
        int reserved = 0;
        switch (numericCell(fields[i], *column.column, value, reserved)) {
        case Cell::Number:
            if (column.declaredNumbers && column.column->declared.covers(value)) {
                status = writeMissing(column, value);
                break;
            }
            status = readstat_insert_double_value(writer, column.variable, column.conversion(value));
            break;
        case Cell::Reserved:
            if (spss() && column.spssMissing.recoded(value)) {
                ++column.recoded;
                status = readstat_insert_missing_value(writer, column.variable);
                break;
            }
            status = spss() ? readstat_insert_double_value(writer, column.variable, column.conversion(value))
                            : readstat_insert_tagged_missing_value(writer, column.variable,
                                                                   static_cast<char>('a' - reserved - 1));
            break;
        case Cell::NotNumber:
            ++column.notNumbers;
            [[fallthrough]];
        case Cell::Empty:
            status = readstat_insert_missing_value(writer, column.variable);
            break;
        }
    }
    if (status == READSTAT_OK)
        status = readstat_end_row(writer);
    return status == READSTAT_OK ? TableOutcome::done() : writerFailed(status);
}

TableOutcome StatDataFile::endTable(TableRun& run)
{
    const readstat_error_t status = readstat_end_writing(writer_->get());
    writer_.reset();
    if (status != READSTAT_OK)
        return writerFailed(status);
    TableOutcome written = run.written(*out_);
    if (!written.isDone())
        return written;
    std::string counts;
    std::string recoded;
    for (const OutColumn& column : columns_) {
        if (column.notNumbers > 0)
            counts += (counts.empty() ? "" : ", ") + column.column->name + " (" + std::to_string(column.notNumbers) +
                      ")";
        if (column.recoded > 0)
            recoded += (recoded.empty() ? "" : ", ") + column.column->name + " (" + std::to_string(column.recoded) +
                       ")";
    }
    if (!counts.empty())
        notices_.push_back("Fields that are not numbers were written as system-missing in " + name_ + ": " + counts +
                           ".");
    if (!recoded.empty())
        notices_.push_back(std::string("Missing values beyond what ") +
                           (spss() ? "SPSS holds for a variable (three values, or a range and a value; strings of "
                                     "up to 8 bytes)"
                                   : "Stata holds (.a to .z; strings have none)") +
                           " were written as system-missing (empty strings for texts) in " + name_ + ": " + recoded +
                           ".");
    return TableOutcome::done();
}

TableOutcome StatDataFile::finish(TableRun& run)
{
    if (names_.size() > 1) {
        std::string list;
        for (const std::string& name : names_)
            list += "\n" + name;
        run.notice("The tagged variables lie in " + std::to_string(names_.size()) +
                   " data files; one file was written for each:" + list);
    }
    for (std::string& notice : notices_)
        run.notice(std::move(notice));
    return TableOutcome::done();
}

std::vector<ValueLabel> StatDataFile::valueLabels(TableRun& run, const OutColumn& out)
{
    std::vector<ValueLabel> labels;
    const TableColumn& column = *out.column;
    if (column.isIdentifier || (out.text && !spss()))
        return labels; // Stata labels numbers only
    // What a label labels: a number, or in Stata an extended missing value.
    auto keyOf = [&](const ValueLabel& l) -> std::pair<char, double> {
        const char letter = spss() ? '\0' : l.reserved != 0 ? static_cast<char>('a' - l.reserved - 1) : l.tag;
        return letter != '\0' ? std::pair<char, double>(letter, 0) : std::pair<char, double>('\0', l.number);
    };
    auto seenNumber = [&](const ValueLabel& label) {
        return std::any_of(labels.begin(), labels.end(),
                           [&](const ValueLabel& l) { return keyOf(l) == keyOf(label); });
    };
    CodebookStore& store = run.services().store;
    const VariableRecord record = store.recordAt(column.variable);
    const std::size_t maxLabel = spss() ? 120 : 32000;
    if (record.categoryLineCount > 0) {
        store.readLines(
            record.categoryRef, record.categoryLineCount, LineVariant::CategoryFields, [&](std::string_view line) {
                const CategoryFields fields = splitCategoryLine(line);
                const std::string_view code = trimmed(fields.code);
                if (trimmed(fields.label).empty())
                    return true; // a category line without a label gives no value label
                ValueLabel label;
                label.label = latin1ToUtf8(trimmed(fields.label));
                label.code = code;
                if (out.text) {
                    label.textKey = latin1ToUtf8(categoryCodeValue(code));
                    if (label.textKey.size() > out.width)
                        return true;
                    const bool seen = std::any_of(labels.begin(), labels.end(),
                                                  [&](const ValueLabel& l) { return l.textKey == label.textKey; });
                    if (!seen)
                        labels.push_back(std::move(label));
                    return true;
                }
                const Cell cell = numericCell(code, column, label.number, label.reserved);
                if (cell != Cell::Number && cell != Cell::Reserved)
                    return true; // a range or a text code labels no single value
                if (!spss() && cell == Cell::Number && out.declaredNumbers && column.declared.covers(label.number))
                    label.tag = out.stataMissing.letterOf(label.number);
                if (label.tag == '.')
                    return true; // a declared value beyond the letters: system-missing, unlabelled
                if (!spss() && cell == Cell::Number && label.tag == 0 &&
                    (label.number != std::floor(label.number) || std::abs(label.number) > 2147483620.0))
                    return true; // Stata labels integers only
                if (!seenNumber(label))
                    labels.push_back(std::move(label));
                return true;
            });
    }
    // The declared missing values' own labels where no category line gave one.
    if (!out.text) {
        for (const DeclaredMissing::Code& code : column.declared.codes) {
            if (code.label.empty())
                continue;
            ValueLabel label;
            label.number = code.value;
            label.label = code.label;
            label.code = plainNumber(code.value);
            label.tag = spss() ? 0 : out.stataMissing.letterOf(code.value);
            if (label.tag != '.' && !seenNumber(label))
                labels.push_back(std::move(label));
        }
        if (!spss())
            for (const StataMissingLetter& letter : out.stataMissing.letters) {
                ValueLabel label;
                label.tag = letter.letter;
                label.label = letter.label;
                if (!letter.reserved && letter.low != letter.high && !label.label.empty() && !seenNumber(label))
                    labels.push_back(std::move(label));
            }
    }
    // Stata's readers refuse a variable whose values share a label.
    std::set<std::string> used;
    for (ValueLabel& l : labels) {
        if (!spss())
            l.label = distinctLabel(l.label, l.code, used);
        l.label = cutUtf8Bytes(std::move(l.label), maxLabel);
    }
    return labels;
}

// The missing values of a numeric variable as the package holds them, and
// the declared texts SPSS keeps for a text variable.
void StatDataFile::planMissing(OutColumn& out)
{
    const TableColumn& column = *out.column;
    out.declaredNumbers = column.declared.hasNumbers();
    out.declaredTexts = !column.declared.texts.empty();
    if (out.text) {
        if (spss())
            for (const DeclaredMissing::Text& text : column.declared.texts)
                if (out.missingTexts.size() < 3 && text.value.size() <= 8 && text.value.size() <= out.width)
                    out.missingTexts.push_back(text.value);
        return;
    }
    if (spss()) {
        std::vector<double> codes;
        for (const std::string& code : column.reservedCodes)
            codes.push_back(-(code[1] - '0'));
        std::vector<ValueRange> ranges;
        for (const DeclaredMissing::Code& code : column.declared.codes)
            codes.push_back(code.value);
        for (const DeclaredMissing::Range& range : column.declared.ranges)
            ranges.emplace_back(range.low, range.high);
        out.spssMissing = spssMissingValues(std::move(codes), std::move(ranges));
    } else {
        out.stataMissing = stataMissing(column.reservedCodes, column.declared);
    }
}

TableOutcome StatDataFile::defineVariables(TableRun& run, const OutputTable& table)
{
    readstat_writer_t* writer = writer_->get();
    std::vector<std::string> taken;
    for (OutColumn& out : columns_) {
        const TableColumn& column = *out.column;
        out.name = spss() ? spssVariableName(column.name, taken) : stataVariableName(column.name, taken);
        if (out.text && !spss() && out.width > 2045) {
            TableFailure failure = refused("The text variable " + column.variableName + " of " +
                                           table.source().file->dataPath + " is " + std::to_string(out.width) +
                                           " bytes wide; a Stata data file holds at most 2,045.\n" + name_);
            failure.file = name_;
            return failure;
        }
        readstat_variable_t* variable =
            readstat_add_variable(writer, out.name.c_str(), out.text ? READSTAT_TYPE_STRING : READSTAT_TYPE_DOUBLE,
                                  out.text ? out.width : 0);
        out.variable = variable;
        // The source's whole label where the metadata holds it, else the catalogue's.
        const std::string label =
            column.isIdentifier                              ? std::string("Case identifier")
            : column.metadata && !column.metadata->label.empty() ? column.metadata->label
                                                                 : latin1ToUtf8(trimmed(run.services().list.rowLabel(column.variable)));
        readstat_variable_set_label(variable,
                                    (spss() ? cutUtf8Bytes(label, 255) : cutUtf8Characters(label, 80)).c_str());
        planMissing(out);
        int width = static_cast<int>(out.width);
        std::string format;
        if (out.text) {
            format = spss() ? "A" + std::to_string(width) : "%" + std::to_string(width) + "s";
        } else {
            const PackageFormat number =
                packageFormat(column.metadata, numericWidth(column), column.isIdentifier ? 0 : column.decimals(),
                              spss() ? Package::Spss : Package::Stata);
            format = number.text;
            width = number.width;
            out.conversion = number.conversion;
        }
        readstat_variable_set_format(variable, format.c_str());
        readstat_variable_set_display_width(variable, std::max(width, 1));
        readstat_variable_set_alignment(variable, out.text ? READSTAT_ALIGNMENT_LEFT : READSTAT_ALIGNMENT_RIGHT);

        const std::vector<ValueLabel> labels = valueLabels(run, out);
        const bool categorical = std::any_of(labels.begin(), labels.end(),
                                             [](const ValueLabel& l) { return l.reserved == 0 && l.tag == 0; });
        const int decimals = column.isIdentifier ? 0 : column.decimals();
        readstat_variable_set_measure(variable, out.text || (categorical && decimals == 0) ? READSTAT_MEASURE_NOMINAL
                                                                                            : READSTAT_MEASURE_SCALE);
        if (!labels.empty()) {
            readstat_label_set_t* set = readstat_add_label_set(
                writer, out.text ? READSTAT_TYPE_STRING : spss() ? READSTAT_TYPE_DOUBLE : READSTAT_TYPE_INT32,
                out.name.c_str());
            for (const ValueLabel& l : labels) {
                if (out.text)
                    readstat_label_string_value(set, l.textKey.c_str(), l.label.c_str());
                else if (spss())
                    readstat_label_double_value(set, out.conversion(l.number), l.label.c_str());
                else if (l.reserved != 0)
                    readstat_label_tagged_value(set, static_cast<char>('a' - l.reserved - 1), l.label.c_str());
                else if (l.tag != 0)
                    readstat_label_tagged_value(set, l.tag, l.label.c_str());
                else
                    readstat_label_int32_value(set, static_cast<std::int32_t>(out.conversion(l.number)),
                                               l.label.c_str());
            }
            readstat_variable_set_label_set(variable, set);
        }
        if (spss() && out.text) {
            for (const std::string& text : out.missingTexts)
                readstat_variable_add_missing_string_value(variable, text.c_str());
        } else if (spss()) {
            const SpssMissingValues& missing = out.spssMissing;
            if (missing.hasRange)
                readstat_variable_add_missing_double_range(variable, spssLimit(out.conversion(missing.low)),
                                                           spssLimit(out.conversion(missing.high)));
            for (const double value : missing.values)
                readstat_variable_add_missing_double_value(variable, out.conversion(value));
        }
    }
    return TableOutcome::done();
}

} // namespace

std::string spssVariableName(std::string_view name, std::vector<std::string>& taken)
{
    std::string out;
    for (const char c : name)
        out += isAsciiLetter(c) || isAsciiDigit(c) || std::strchr("._$#@", c) != nullptr ? c : '_';
    if (out.empty() || !isAsciiLetter(out.front()))
        out.insert(0, "V");
    if (out.size() > 64)
        out.resize(64);
    if (out.back() == '.')
        out.back() = '_';
    static constexpr std::array<std::string_view, 13> reserved{"ALL", "AND", "BY", "EQ",  "GE", "GT",  "LE",
                                                               "LT",  "NE",  "NOT", "OR", "TO", "WITH"};
    if (std::find(reserved.begin(), reserved.end(), upperAscii(out)) != reserved.end())
        out += '_';
    return uniqueName(out, 64, taken);
}

std::string stataVariableName(std::string_view name, std::vector<std::string>& taken)
{
    std::string out;
    for (const char c : name) {
        const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        out += isAsciiLetter(lower) || isAsciiDigit(lower) || lower == '_' ? lower : '_';
    }
    if (out.empty() || !(isAsciiLetter(out.front()) || out.front() == '_'))
        out.insert(0, "v");
    // "str" and a digit would read as a string type.
    if (out.size() > 3 && out.compare(0, 3, "str") == 0 && isAsciiDigit(out[3]))
        out.insert(0, "v");
    if (out.size() > 32)
        out.resize(32);
    static constexpr std::array<std::string_view, 19> reserved{
        "_all", "_b",   "byte", "_coef", "_cons", "double", "float", "if",   "in",   "int",
        "long", "_n",   "_pi",  "_pred", "_rc",   "_skip",  "strl",  "using", "with"};
    if (std::find(reserved.begin(), reserved.end(), out) != reserved.end())
        out += '_';
    return uniqueName(out, 32, taken);
}

std::unique_ptr<TableFormat> makeSpssDataFile()
{
    return std::make_unique<StatDataFile>(StatFileKind::Spss);
}

std::unique_ptr<TableFormat> makeStataDataFile()
{
    return std::make_unique<StatDataFile>(StatFileKind::Stata);
}

} // namespace qavn
