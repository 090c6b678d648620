#include "formats/StatDataFiles.h"

#include "catalogue/VariableList.h"
#include "codebook/CodebookStore.h"
#include "platform/HostPath.h"
#include "platform/Latin1.h"
#include "platform/Progress.h"
#include "platform/Strings.h"
#include "platform/TextOutput.h"
#include "platform/Ui.h"
#include "project/ProjectSpec.h"
#include "project/Settings.h"
#include "writers/WriterContext.h"

#include <readstat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <exception>
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
    readstat_variable_t* variable = nullptr;
};

// A category line as a value label.
struct ValueLabel {
    std::string textKey; // text variables
    double number = 0;
    int reserved = 0;    // -1..-9 for a reserved code
    std::string label;
};

// The display width of a numeric column: its field, and room for the
// decimal point and a leading zero when it has implied decimals.
int numericWidth(const TableColumn& column)
{
    const int width = static_cast<int>(column.width);
    const int decimals = column.decimals();
    return decimals > 0 ? std::max(width + 1, decimals + 2) : width;
}

// The writer and its file, released however the run ends; the temporary
// file is removed unless it was finished.
class StatFile {
public:
    ~StatFile()
    {
        if (writer_)
            readstat_writer_free(writer_);
        out_.discard();
    }

    readstat_writer_t* writer() const { return writer_; }
    FileTextOutput& output() { return out_; }

    bool create(std::size_t failFrom)
    {
        writer_ = readstat_writer_init();
        if (!writer_)
            return false;
        out_.failFromWrite(failFrom);
        readstat_set_data_writer(writer_, writeToSink);
        return true;
    }

    // Starts the file at `target` (see FileTextOutput::openHost).
    bool open(const std::filesystem::path& target, std::string& error)
    {
        if (out_.openHost(target))
            return true;
        error = out_.openError();
        return false;
    }

    // Flushes the file and gives it its name; a failed write leaves the name
    // as it was. Returns false with `error` set when anything failed.
    bool finish(std::string& error)
    {
        if (!out_.flush()) {
            error = out_.errorText();
            out_.discard();
            return false;
        }
        if (!out_.close()) {
            error = out_.errorText();
            return false;
        }
        return true;
    }

private:
    readstat_writer_t* writer_ = nullptr;
    FileTextOutput out_;
};

class StatRun {
public:
    StatRun(StatFileKind kind, const WriterServices& services, std::span<const std::uint32_t> tagged,
            const TableExportOptions& options, Progress& progress)
        : kind_(kind), services_(services), tagged_(tagged), options_(options), progress_(progress),
          ui_(services.ui)
    {
    }

    OutputResult run();

private:
    bool spss() const { return kind_ == StatFileKind::Spss; }
    bool writeTable(const DataTable& table, const std::string& name, const std::filesystem::path& host,
                    long share);
    bool readCases(const DataTable& table, const std::function<bool(std::span<const std::string_view>)>& onCase);
    bool defineVariables(StatFile& file, std::vector<OutColumn>& columns, const DataTable& table,
                         const std::string& name);
    std::vector<ValueLabel> valueLabels(const OutColumn& out);
    bool failed(const std::string& name, const std::string& reason)
    {
        ui_.error("Cannot Write " + name + " !\n" + reason);
        result_.fileName = name;
        result_.status = OutputStatus::Failed;
        return false;
    }
    bool writerFailed(StatFile& file, const std::string& name, readstat_error_t error)
    {
        if (file.output().failed())
            return failed(name, file.output().errorText());
        return failed(name, readstat_error_message(error));
    }

    StatFileKind kind_;
    const WriterServices& services_;
    std::span<const std::uint32_t> tagged_;
    const TableExportOptions& options_;
    Progress& progress_;
    Ui& ui_;
    OutputResult result_;
    std::vector<std::string> notices_;
};

bool StatRun::readCases(const DataTable& table,
                        const std::function<bool(std::span<const std::string_view>)>& onCase)
{
    RawDataReader reader;
    const std::optional<std::string> rawName = openRawData(reader, services_.settings, *table.file, ui_);
    if (!rawName)
        return false;
    std::string error;
    const bool read = forEachCase(reader, table, onCase, error, *rawName);
    reader.close();
    if (!read && !error.empty())
        ui_.error(error);
    return read;
}

std::vector<ValueLabel> StatRun::valueLabels(const OutColumn& out)
{
    std::vector<ValueLabel> labels;
    const TableColumn& column = *out.column;
    if (column.isIdentifier || (out.text && !spss()))
        return labels; // Stata labels numbers only
    CodebookStore& store = services_.store;
    const VariableRecord record = store.recordAt(column.variable);
    if (record.categoryLineCount == 0)
        return labels;
    const std::size_t maxLabel = spss() ? 120 : 32000;
    store.readLines(record.categoryRef, record.categoryLineCount, LineVariant::CategoryFields,
                    [&](std::string_view line) {
                        const CategoryFields fields = splitCategoryLine(line);
                        std::string_view code = trimmed(fields.code);
                        ValueLabel label;
                        label.label = cutUtf8Bytes(latin1ToUtf8(trimmed(fields.label)), maxLabel);
                        if (out.text) {
                            if (code.size() >= 2 && code.front() == '\'' && code.back() == '\'')
                                code = code.substr(1, code.size() - 2);
                            label.textKey = latin1ToUtf8(code);
                            if (label.textKey.size() > out.width)
                                return true;
                            const bool seen = std::any_of(labels.begin(), labels.end(), [&](const ValueLabel& l) {
                                return l.textKey == label.textKey;
                            });
                            if (!seen)
                                labels.push_back(std::move(label));
                            return true;
                        }
                        const Cell cell = numericCell(code, column, label.number, label.reserved);
                        if (cell != Cell::Number && cell != Cell::Reserved)
                            return true; // a range or a text code labels no single value
                        if (!spss() && cell == Cell::Number &&
                            (label.number != std::floor(label.number) || std::abs(label.number) > 2147483620.0))
                            return true; // Stata labels integers only
                        const bool seen = std::any_of(labels.begin(), labels.end(), [&](const ValueLabel& l) {
                            return l.reserved == label.reserved && l.number == label.number;
                        });
                        if (!seen)
                            labels.push_back(std::move(label));
                        return true;
                    });
    return labels;
}

bool StatRun::defineVariables(StatFile& file, std::vector<OutColumn>& columns, const DataTable& table,
                              const std::string& name)
{
    readstat_writer_t* writer = file.writer();
    std::vector<std::string> taken;
    for (OutColumn& out : columns) {
        const TableColumn& column = *out.column;
        out.name = spss() ? spssVariableName(column.name, taken) : stataVariableName(column.name, taken);
        if (out.text && !spss() && out.width > 2045) {
            ui_.error("The text variable " + column.variableName + " of " + table.file->dataPath + " is " +
                      std::to_string(out.width) + " bytes wide; a Stata data file holds at most 2,045.\n" + name);
            result_.fileName = name;
            result_.status = OutputStatus::Failed;
            return false;
        }
        readstat_variable_t* variable =
            readstat_add_variable(writer, out.name.c_str(), out.text ? READSTAT_TYPE_STRING : READSTAT_TYPE_DOUBLE,
                                  out.text ? out.width : 0);
        out.variable = variable;
        const std::string label =
            column.isIdentifier ? std::string("Case identifier")
                                : latin1ToUtf8(trimmed(services_.list.rowLabel(column.variable)));
        readstat_variable_set_label(variable,
                                    (spss() ? cutUtf8Bytes(label, 255) : cutUtf8Characters(label, 80)).c_str());
        const int width = out.text ? static_cast<int>(out.width) : numericWidth(column);
        const int decimals = column.isIdentifier ? 0 : column.decimals();
        std::string format;
        if (spss())
            format = out.text ? "A" + std::to_string(width)
                              : "F" + std::to_string(std::min(width, 40)) + "." + std::to_string(decimals);
        else
            format = out.text ? "%" + std::to_string(width) + "s"
                              : "%" + std::to_string(width) + "." + std::to_string(decimals) + "f";
        readstat_variable_set_format(variable, format.c_str());
        readstat_variable_set_display_width(variable, std::max(width, 1));
        readstat_variable_set_alignment(variable, out.text ? READSTAT_ALIGNMENT_LEFT : READSTAT_ALIGNMENT_RIGHT);

        const std::vector<ValueLabel> labels = valueLabels(out);
        const bool categorical =
            std::any_of(labels.begin(), labels.end(), [](const ValueLabel& l) { return l.reserved == 0; });
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
                    readstat_label_double_value(set, l.number, l.label.c_str());
                else if (l.reserved != 0)
                    readstat_label_tagged_value(set, static_cast<char>('a' - l.reserved - 1), l.label.c_str());
                else
                    readstat_label_int32_value(set, static_cast<std::int32_t>(l.number), l.label.c_str());
            }
            readstat_variable_set_label_set(variable, set);
        }
        if (spss() && !out.text && !column.reservedCodes.empty()) {
            std::vector<int> codes;
            for (const std::string& code : column.reservedCodes)
                codes.push_back(-(code[1] - '0'));
            const SpssMissingValues missing = spssMissingValues(codes);
            if (missing.hasRange)
                readstat_variable_add_missing_double_range(variable, missing.low, missing.high);
            for (const double value : missing.values)
                readstat_variable_add_missing_double_value(variable, value);
        }
    }
    return true;
}

bool StatRun::writeTable(const DataTable& table, const std::string& name, const std::filesystem::path& host,
                         long share)
{
    const DataFileEntry& file = *table.file;
    progress_.setText({}, file.dataPath);
    std::vector<OutColumn> columns(table.columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        columns[i].column = &table.columns[i];
        columns[i].text = table.columns[i].isText() || table.columns[i].isIdentifier;
        columns[i].width = std::max<std::size_t>(table.columns[i].width, 1);
    }

    // The first pass counts the cases (the files' headers hold the count),
    // finds whether the identifier is a number and how many bytes the text
    // values take as UTF-8.
    long cases = 0;
    bool numericId = !columns.empty() && columns.front().column->isIdentifier;
    if (!readCases(table, [&](std::span<const std::string_view> fields) {
            for (std::size_t i = 0; i < fields.size(); ++i) {
                OutColumn& out = columns[i];
                if (!out.text)
                    continue;
                out.width = std::max(out.width, textCellSize(fields[i]));
                if (i == 0 && numericId) {
                    const std::string_view value = trimmed(fields[i]);
                    std::int64_t number = 0;
                    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
                    numericId = ec == std::errc() && end == value.data() + value.size() &&
                                std::abs(number) < (std::int64_t{1} << 53);
                }
            }
            ++cases;
            return pollProgress(ui_, progress_);
        }))
        return false;
    if (numericId)
        columns.front().text = false;
    progress_.advance(share / 2);

    StatFile out;
    if (!out.create(options_.failFromWrite))
        return failed(name, std::strerror(ENOMEM));
    readstat_writer_t* writer = out.writer();
    const std::string title = latin1ToUtf8(trimmed(services_.project.dataSetTitle));
    readstat_writer_set_file_label(writer, (spss() ? cutUtf8Bytes(title, 64) : cutUtf8Characters(title, 80)).c_str());
    // The header's creation time is the raw data's modification time, so the
    // same data make the same bytes.
    struct stat data {};
    if (::stat(toHostPath(rawDataName(services_.settings, file)).c_str(), &data) == 0)
        readstat_writer_set_file_timestamp(writer, data.st_mtime);
    if (spss())
        readstat_writer_set_compression(writer, READSTAT_COMPRESS_ROWS);
    else
        readstat_writer_set_file_format_version(writer, 118);
    if (!defineVariables(out, columns, table, name))
        return false;

    std::string error;
    if (!out.open(host, error)) {
        ui_.error("Cannot Open " + name, fileDetail(host, error));
        result_.fileName = name;
        result_.status = OutputStatus::Failed;
        return false;
    }
    readstat_error_t status = spss() ? readstat_begin_writing_sav(writer, &out.output(), cases)
                                     : readstat_begin_writing_dta(writer, &out.output(), cases);
    if (status != READSTAT_OK)
        return writerFailed(out, name, status);

    long written = 0;
    std::string text;
    const bool read = readCases(table, [&](std::span<const std::string_view> fields) {
        status = readstat_begin_row(writer);
        for (std::size_t i = 0; i < fields.size() && status == READSTAT_OK; ++i) {
            OutColumn& column = columns[i];
            if (column.text) {
                textCell(fields[i], text);
                status = readstat_insert_string_value(writer, column.variable, text.c_str());
                continue;
            }
            double value = 0;
            int reserved = 0;
            switch (numericCell(fields[i], *column.column, value, reserved)) {
            case Cell::Number:
                status = readstat_insert_double_value(writer, column.variable, value);
                break;
            case Cell::Reserved:
                status = spss() ? readstat_insert_double_value(writer, column.variable, value)
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
        if (status != READSTAT_OK)
            return false;
        if ((++written & 255) == 0)
            progress_.setText({}, std::to_string(written));
        return pollProgress(ui_, progress_);
    });
    if (status != READSTAT_OK)
        return writerFailed(out, name, status);
    if (!read) {
        result_.fileName = name;
        return false;
    }
    if ((status = readstat_end_writing(writer)) != READSTAT_OK)
        return writerFailed(out, name, status);
    if (!out.finish(error))
        return failed(name, error);
    progress_.advance(share - share / 2);

    std::string counts;
    for (const OutColumn& column : columns)
        if (column.notNumbers > 0)
            counts += (counts.empty() ? "" : ", ") + column.column->variableName + " (" +
                      std::to_string(column.notNumbers) + ")";
    if (!counts.empty())
        notices_.push_back("Fields that are not numbers were written as system-missing in " + name + ": " + counts +
                           ".");
    return true;
}

OutputResult StatRun::run()
{
    result_.status = OutputStatus::Stopped;
    const std::string extension = spss() ? ".sav" : ".dta";
    const std::string chosen = outputFileName(options_.path, extension);
    result_.fileName = chosen;
    if (chosen.empty() || chosen.back() == '\\' || chosen.back() == '/' || hasControlCharacter(chosen)) {
        ui_.error("The name " + chosen + " does not name a file.");
        progress_.requestCancel();
        return result_;
    }
    try {
        progress_.setRange(300);
        const auto fileCount = static_cast<std::uint32_t>(services_.project.dataFiles.size());
        std::vector<DataTable> tables(fileCount);
        std::vector<const DataTable*> used;
        for (std::uint32_t f = 1; f <= fileCount; ++f) {
            std::string error;
            if (!buildDataTable(tagged_, f, services_.store, *services_.project.dataFile(f),
                                [&] { return progress_.cancelled(); }, tables[f - 1], error)) {
                if (!error.empty())
                    ui_.error(error);
                return result_;
            }
            if (!tables[f - 1].columns.empty())
                used.push_back(&tables[f - 1]);
        }

        if (used.empty()) {
            ui_.error("None of the tagged variables lies in a data file of the project: " + chosen +
                      " is not written.");
            return result_;
        }

        // The names: the chosen one, or one per data file beside it.
        const std::size_t separator = chosen.find_last_of("\\/");
        const std::size_t dot = chosen.rfind('.');
        const bool hasExtension = dot != std::string::npos && (separator == std::string::npos || dot > separator);
        const std::string stem = hasExtension ? chosen.substr(0, dot) : chosen;
        const std::string ending = hasExtension ? chosen.substr(dot) : std::string();
        std::vector<std::string> names;
        for (const DataTable* table : used) {
            if (used.size() == 1) {
                names.push_back(chosen);
                continue;
            }
            const std::string base = dataPathName(table->file->dataPath);
            if (base.empty() || hasControlCharacter(table->file->dataPath)) {
                ui_.error("The data path " + table->file->dataPath + " gives no file name for its table.");
                return result_;
            }
            names.push_back(stem + "_" + base + ending);
        }
        const std::vector<ProtectedFile> inputs =
            projectInputs(services_.project, services_.settings, services_.projectId);
        for (const std::string& name : names) {
            if (const ProtectedFile* input = protectedFileAt(chosenHostPath(name), inputs)) {
                ui_.error("The file " + name + " would replace " + input->name + ".");
                progress_.requestCancel();
                result_.fileName = name;
                return result_;
            }
        }

        const long share = used.empty() ? 0 : 300 / static_cast<long>(used.size());
        for (std::size_t i = 0; i < used.size(); ++i) {
            const std::filesystem::path host = chosenHostPath(names[i]);
            if (!writeTable(*used[i], names[i], host, share))
                return result_;
            result_.generatedFiles.push_back(names[i]);
            result_.generatedHostFiles.push_back(host.string());
        }
    } catch (const std::exception& e) {
        ui_.error(e.what());
        result_.status = OutputStatus::Failed;
        return result_;
    }
    result_.status = OutputStatus::Written;
    if (result_.generatedFiles.size() > 1) {
        result_.fileName = result_.generatedFiles.front(); // the chosen name itself is not written
        std::string list;
        for (const std::string& name : result_.generatedFiles)
            list += "\n" + name;
        notices_.insert(notices_.begin(), "The tagged variables lie in " +
                                              std::to_string(result_.generatedFiles.size()) +
                                              " data files; one file was written for each:" + list);
    }
    for (const std::string& notice : notices_)
        ui_.message(notice, Ui::Buttons::Ok, Ui::Icon::Information);
    return result_;
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

SpssMissingValues spssMissingValues(std::vector<int> codes)
{
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    SpssMissingValues missing;
    if (codes.size() <= 3) {
        missing.values.assign(codes.begin(), codes.end());
        return missing;
    }
    missing.hasRange = true;
    missing.low = codes.front();
    missing.high = codes.back();
    // A run of consecutive codes as the range, when it leaves one code over.
    for (std::size_t begin = 0; begin < codes.size();) {
        std::size_t end = begin + 1;
        while (end < codes.size() && codes[end] == codes[end - 1] + 1)
            ++end;
        if (codes.size() - (end - begin) <= 1) {
            missing.low = codes[begin];
            missing.high = codes[end - 1];
            for (std::size_t i = 0; i < codes.size(); ++i)
                if (i < begin || i >= end)
                    missing.values.push_back(codes[i]);
            break;
        }
        begin = end;
    }
    return missing;
}

OutputResult writeStatDataFiles(StatFileKind kind, const WriterServices& services,
                                std::span<const std::uint32_t> tagged, const TableExportOptions& options,
                                Progress& progress)
{
    StatRun run(kind, services, tagged, options, progress);
    return run.run();
}

} // namespace qavn
