// The Access DB output: comma-delimited files cut by column out of the raw data.

#include "export/AccessExport.h"

#include "project/ProjectPaths.h"
#include "project/ProjectSpec.h"
#include "project/Settings.h"
#include "codebook/Classification.h"
#include "codebook/CodebookStore.h"
#include "export/RawDataReader.h"
#include "platform/HostPath.h"
#include "platform/Progress.h"
#include "platform/Strings.h"
#include "platform/TextOutput.h"
#include "platform/Ui.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <system_error>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qavn {

ColumnRange parseColumnLocation(std::string_view location)
{
    ColumnRange range;
    const std::size_t minus = location.find('-');
    range.first = leadingInteger<std::int32_t>(location.substr(0, minus));
    range.last = minus == std::string_view::npos ? range.first : leadingInteger<std::int32_t>(location.substr(minus + 1));
    return range;
}

std::string accessPartName(std::string_view outputDir, std::string_view dataPath, int part, int partCount)
{
    // Separators and a drive colon would let the name leave the output
    // directory; with everything from the first full stop dropped, no ".."
    // can remain either.
    const std::string base = dataPathName(dataPath);
    std::string name(outputDir);
    name += '\\';
    name += base;
    if (partCount > 1)
        name += static_cast<char>('a' + part);
    name += ".txt";
    return name;
}

namespace {

// Byte tables of the value formatting: trailing white space (as isspace sees
// it) and the characters an alphanumeric value must not carry into a
// comma-delimited line.
struct ValueTables {
    bool space[256] = {};
    char quoted[256] = {};
    constexpr ValueTables()
    {
        for (int c = 0; c < 256; ++c) {
            space[c] = isSpace(static_cast<char>(c));
            quoted[c] = (c == ',' || c == '\'' || c == '"') ? ' ' : static_cast<char>(c);
        }
    }
};
constexpr ValueTables tables;

// The longest piece writeValue() produces for a value of `size` characters.
constexpr std::size_t pieceSize(std::size_t size)
{
    return size + 4;
}

// Short values are copied in one block of this size when both sides have
// that much room: the reader keeps padding after every line, the line
// buffers keep it at their end, and the blank of a short line is padded too.
constexpr std::size_t copyBlock = 16;
static_assert(copyBlock <= RawDataReader::tailPadding);
constexpr char paddedBlank[copyBlock] = {' '};

// Writes one value piece at `out` and returns the end. Short values keep
// their blanks: a one- to three-character code is written exactly as the
// data hold it. With `padded`, copyBlock bytes may be read at `value` and
// written at the value's place in `out` whatever the value's size.
template <bool padded>
[[gnu::always_inline]] inline char* writeValue(char* out, const char* value, std::size_t size, char typeCode)
{
#if defined(__SSE2__)
    // A padded value of up to copyBlock characters is looked at 16 bytes at
    // once, without a branch per character: values vary from case to case.
    const bool block = padded && size <= copyBlock;
    __m128i bytes = _mm_setzero_si128();
    if (block)
        bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(value));
    if (block && size > 3) {
        // White space: blank, or 9 to 13 (tab, line feed, vertical tab,
        // form feed, carriage return).
        const __m128i fromTab = _mm_sub_epi8(bytes, _mm_set1_epi8(9));
        const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(fromTab, _mm_set1_epi8(4)), fromTab);
        const __m128i space = _mm_or_si128(control, _mm_cmpeq_epi8(bytes, _mm_set1_epi8(' ')));
        const unsigned kept = ~static_cast<unsigned>(_mm_movemask_epi8(space)) & ((1u << size) - 1);
        size = static_cast<std::size_t>(std::bit_width(kept));
    } else
#endif
    if (size > 3) {
        while (size > 0 && tables.space[static_cast<unsigned char>(value[size - 1])])
            --size;
    }
    *out++ = ' ';
    if (typeCode == 'A') {
        *out++ = '"';
#if defined(__SSE2__)
        if (block) {
            const __m128i mark = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(',')),
                                                           _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\''))),
                                              _mm_cmpeq_epi8(bytes, _mm_set1_epi8('"')));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                             _mm_or_si128(_mm_andnot_si128(mark, bytes), _mm_and_si128(mark, _mm_set1_epi8(' '))));
        } else
#endif
        {
            for (std::size_t i = 0; i < size; ++i)
                out[i] = tables.quoted[static_cast<unsigned char>(value[i])];
        }
        out += size;
        *out++ = '"';
    } else {
        if (padded && size <= copyBlock)
            std::memcpy(out, value, copyBlock);
        else
            std::memcpy(out, value, size);
        out += size;
    }
    *out++ = ',';
    return out;
}

} // namespace

void appendAccessValue(std::string& line, std::string_view value, char typeCode)
{
    const std::size_t at = line.size();
    line.resize(at + pieceSize(value.size()));
    char* end = writeValue<false>(line.data() + at, value.data(), value.size(), typeCode);
    line.resize(static_cast<std::size_t>(end - line.data()));
}

namespace {

struct Column {
    std::string name;
    std::size_t offset = 0;  // first column - 1
    std::size_t width = 1;
    std::int64_t needed = 1; // line length the value needs: first column + width - 1
    char typeCode = ' ';
    std::uint32_t line = 1;  // line of the case, 1-based
    bool isIdentifier = false;
    bool repeats = false;    // an identifier column after the first: the remembered identifier
    std::size_t part = 0;
};

struct Part {
    FileTextOutput out;
    std::string name;
    std::filesystem::path hostPath;
    std::string line;
};

// Whether a DOS-style path has a "." or ".." component.
bool hasDotComponent(std::string_view path)
{
    std::size_t pos = 0;
    while (pos <= path.size()) {
        std::size_t end = path.find_first_of("\\/", pos);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string_view component = path.substr(pos, end - pos);
        if (component == "." || component == "..")
            return true;
        pos = end + 1;
    }
    return false;
}

std::string inQuotes(std::string_view text)
{
    std::string quoted(1, '"');
    quoted += text;
    quoted += '"';
    return quoted;
}

class ExportRun {
public:
    ExportRun(std::span<const std::uint32_t> tagged, CodebookStore& store, const ProjectSpec& project,
              const Settings& settings, Ui& ui, Progress& progress, const AccessExportOptions& options)
        : tagged_(tagged), store_(store), project_(project), settings_(settings), ui_(ui), progress_(progress),
          options_(options)
    {
    }

    AccessExportResult run();

private:
    enum class Read { Ended, Stopped, Failed };

    bool makeColumn(std::string name, std::string_view location, char typeCode, std::uint32_t line,
                    std::string_view dataPath, Column& column);
    bool planParts(std::uint32_t f, const DataFileEntry& file, int& partCount);
    bool openPart(int j, int partCount, const DataFileEntry& file);
    // The project file (raw data or codebook) that `host` is, or empty.
    std::string inputFileAt(const std::filesystem::path& host) const;
    // The host path of part file `name`: inside the output folder, under
    // exactly its file name.
    std::filesystem::path partHostPath(const std::string& name) const;
    void discardParts();
    bool buildColumns(std::uint32_t f, const DataFileEntry& file);
    Read readCases(const DataFileEntry& file, const std::string& rawName);
    bool closeParts();
    bool cancelled() const { return progress_.cancelled(); }

    void refuse(const std::string& reason);
    void writeFailed(const Part& part);

    std::span<const std::uint32_t> tagged_;
    CodebookStore& store_;
    const ProjectSpec& project_;
    const Settings& settings_;
    Ui& ui_;
    Progress& progress_;
    const AccessExportOptions& options_;

    AccessExportResult result_;
    std::array<std::unique_ptr<Part>, AccessLimits::maxParts> parts_;
    int partCount_ = 0;
    std::vector<Column> columns_;
    std::uint32_t neededLines_ = 1;
    RawDataReader reader_;
};

void ExportRun::refuse(const std::string& reason)
{
    ui_.message(std::string(accessFailureMessage) + "\n" + reason, Ui::Buttons::Ok, Ui::Icon::None);
}

void ExportRun::writeFailed(const Part& part)
{
    // The data file's parts would hold fewer cases than the data: none of
    // them takes its name.
    const std::string text = part.out.errorText() + "\n" + part.name;
    discardParts();
    refuse(text);
}

bool ExportRun::makeColumn(std::string name, std::string_view location, char typeCode, std::uint32_t line,
                           std::string_view dataPath, Column& column)
{
    const ColumnRange range = parseColumnLocation(location);
    std::int64_t width = std::int64_t{range.last} - range.first + 1;
    if (width <= 0)
        width = 1;
    column.isIdentifier = name == "ID";
    const std::string what =
        (column.isIdentifier ? "The identifier " : "The variable ") + name + " of " + std::string(dataPath);
    if (range.first < 1) {
        refuse(what + " has the location " + inQuotes(location) + ", which starts before column 1.");
        return false;
    }
    if (line < 1) {
        refuse(what + " lies on line 0 of a case.");
        return false;
    }
    if (static_cast<std::uint64_t>(width) > AccessLimits::maxValue) {
        refuse(what + " has the location " + inQuotes(location) + ", wider than 7,999 characters.");
        return false;
    }
    if (column.isIdentifier && static_cast<std::uint64_t>(width) > AccessLimits::maxIdentifier) {
        refuse(what + " has the location " + inQuotes(location) + ", wider than 99 characters.");
        return false;
    }
    column.name = std::move(name);
    column.offset = static_cast<std::size_t>(range.first - 1);
    column.width = static_cast<std::size_t>(width);
    column.needed = range.first + width - 1;
    column.typeCode = typeCode;
    column.line = line;
    return true;
}

bool ExportRun::planParts(std::uint32_t f, const DataFileEntry& file, int& partCount)
{
    const bool hasIdentifier = file.hasIdentifier();
    std::int64_t count = 0;
    const bool walked = forEachTaggedMember(
        tagged_, f, file.firstRow, store_, [this] { return cancelled(); },
        [&](const VariableRecord& record, std::uint32_t) {
            Column probe;
            if (!makeColumn(std::string(record.variableName()), record.locationText(), record.typeCode,
                            record.recordNumber, file.dataPath, probe))
                return false;
            ++count;
            if (count % AccessLimits::columnsPerPart == 0 && hasIdentifier)
                ++count;
            return true;
        });
    if (!walked)
        return false;
    partCount = 0;
    if (count == 0)
        return true;

    if (hasIdentifier) {
        if (file.idLocation.size() > AccessLimits::maxIdLocation) {
            refuse("The identifier location " + inQuotes(file.idLocation) + " of " + file.dataPath +
                   " is longer than 51 characters.");
            return false;
        }
        Column probe;
        if (!makeColumn("ID", file.idLocation, ' ', 1, file.dataPath, probe))
            return false;
    }
    const std::int64_t parts = (count - 1) / AccessLimits::columnsPerPart + 1;
    if (parts > AccessLimits::maxParts) {
        refuse("The tagged variables of " + file.dataPath + " need " + std::to_string(parts) +
               " files of 255 columns; at most 30 can be written. Tag fewer variables of this data file.");
        return false;
    }
    partCount = static_cast<int>(parts);
    // Without an output directory the names would start at the root of the
    // file system.
    if (trimmed(settings_.outputDir).empty()) {
        refuse("No output directory is set. Choose one with Setup.");
        return false;
    }
    if (hasControlCharacter(settings_.outputDir)) {
        refuse("The output directory holds a control character. Choose another one with Setup.");
        return false;
    }
    if (hasControlCharacter(file.dataPath)) {
        refuse("The data path of data file " + std::to_string(f) +
               " holds a control character; the project specification file is damaged.");
        return false;
    }
    if (hasDotComponent(file.dataPath)) {
        refuse("The data path " + file.dataPath +
               " leads out of its drive's folder; the project specification file is damaged.");
        return false;
    }
    if (file.dataPath.empty() || file.dataPath.front() == '.') {
        refuse("The data path " + file.dataPath + " gives no file name for its extract.");
        return false;
    }
    // A name an earlier data file of this run already wrote would be replaced
    // without a word; refuse before anything is truncated.
    for (int j = 0; j < partCount; ++j) {
        const std::string name = accessPartName(settings_.outputDir, file.dataPath, j, partCount);
        const std::filesystem::path host = partHostPath(name);
        // Nor may a part replace a file the project reads: a raw data file
        // (the output directory may be the data's own folder), the codebook,
        // the configuration or the project specification.
        if (const std::string input = inputFileAt(host); !input.empty()) {
            refuse("The file " + name + " for " + file.dataPath + " would replace " + input +
                   ". Choose another output directory with Setup.");
            return false;
        }
        const auto clash = std::find_if(result_.generatedFiles.begin(), result_.generatedFiles.end(),
                                        [&](const std::string& used) { return upperAscii(used) == upperAscii(name); });
        const bool sameHostFile = std::find(result_.hostFiles.begin(), result_.hostFiles.end(), host.string()) !=
                                  result_.hostFiles.end();
        if (clash != result_.generatedFiles.end() || sameHostFile) {
            refuse("The file " + name + " for " + file.dataPath +
                   " has already been written for an earlier data file of this project.");
            return false;
        }
    }
    for (int j = 0; j < partCount; ++j) {
        if (!openPart(j, partCount, file))
            return false;
    }
    return true;
}

std::string ExportRun::inputFileAt(const std::filesystem::path& host) const
{
    const std::vector<ProtectedFile> inputs = projectInputs(project_, settings_, options_.projectId);
    const ProtectedFile* input = protectedFileAt(host, inputs);
    return input ? input->name : std::string();
}

std::filesystem::path ExportRun::partHostPath(const std::string& name) const
{
    const std::filesystem::path folder =
        options_.outputDirAsGiven ? chosenHostPath(settings_.outputDir) : toHostPath(settings_.outputDir);
    return folder / name.substr(name.rfind('\\') + 1);
}

void ExportRun::discardParts()
{
    for (int j = 0; j < partCount_; ++j)
        if (parts_[static_cast<std::size_t>(j)])
            parts_[static_cast<std::size_t>(j)]->out.discard();
}

bool ExportRun::openPart(int j, int partCount, const DataFileEntry& file)
{
    auto& slot = parts_[static_cast<std::size_t>(j)];
    if (!slot)
        slot = std::make_unique<Part>();
    Part& part = *slot;
    part.out.close();
    part.name = accessPartName(settings_.outputDir, file.dataPath, j, partCount);
    part.hostPath = partHostPath(part.name);
    part.line.clear();
    part.out.failFromWrite(options_.failFromWrite);
    if (!part.out.openHost(part.hostPath)) {
        ui_.error("Cannot Open " + part.name, fileDetail(part.hostPath, part.out.openError()));
        return false;
    }
    progress_.setText(accessfield::dataFile, "from [" + file.dataPath + "] !");
    result_.generatedFiles.push_back(part.name);
    result_.hostFiles.push_back(part.hostPath.string());
    return true;
}

bool ExportRun::buildColumns(std::uint32_t f, const DataFileEntry& file)
{
    const bool hasIdentifier = file.hasIdentifier();
    std::size_t k = 0;
    const bool walked = forEachTaggedMember(
        tagged_, f, file.firstRow, store_, [this] { return cancelled(); },
        [&](const VariableRecord& record, std::uint32_t) {
            if (k % AccessLimits::columnsPerPart == 0 && hasIdentifier) {
                Column id;
                if (!makeColumn("ID", file.idLocation, ' ', 1, file.dataPath, id))
                    return false;
                id.part = k / AccessLimits::columnsPerPart;
                parts_[id.part]->line += "ID,";
                columns_.push_back(std::move(id));
                ++k;
            }
            Column column;
            if (!makeColumn(std::string(record.variableName()), record.locationText(), record.typeCode,
                            record.recordNumber, file.dataPath, column))
                return false;
            column.part = k / AccessLimits::columnsPerPart;
            parts_[column.part]->line += column.name + ",";
            columns_.push_back(std::move(column));
            if (!pollProgress(ui_, progress_))
                return false;
            ++k;
            return true;
        });
    if (!walked)
        return false;

    // Only the first column of a case reads an identifier; every later
    // identifier column repeats it. The case needs the lines up to the
    // furthest one a value is cut from.
    neededLines_ = 1;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        Column& column = columns_[i];
        column.repeats = column.isIdentifier && i > 0;
        if (!column.repeats)
            neededLines_ = std::max(neededLines_, column.line);
    }

    for (int j = 0; j < partCount_; ++j) {
        Part& part = *parts_[static_cast<std::size_t>(j)];
        if (!part.line.empty())
            part.line.back() = ' ';
        part.line += '\n';
        part.out.write(part.line);
        part.line.clear();
        if (part.out.failed()) {
            writeFailed(part);
            return false;
        }
    }
    return true;
}

ExportRun::Read ExportRun::readCases(const DataFileEntry& file, const std::string& rawName)
{
    const std::int64_t linesPerCase = file.linesPerCase;
    long caseCount = 0;
    char counter[24];

    auto refused = [&](RawDataReader::Status status) {
        if (status == RawDataReader::Status::TooLong)
            refuse("Line " + std::to_string(reader_.lineNumber() + 1) + " of " + rawName +
                   " is longer than 14,999 characters.");
        else
            refuse(reader_.errorText() + "\n" + rawName);
        return Read::Failed;
    };

    // Each part's data line is built in place in a buffer sized once for the
    // longest line its columns can give.
    std::vector<Part*> parts;
    std::vector<char*> cursors(static_cast<std::size_t>(partCount_));
    for (int j = 0; j < partCount_; ++j)
        parts.push_back(parts_[static_cast<std::size_t>(j)].get());
    std::vector<std::size_t> capacity(parts.size(), 3 + copyBlock);
    for (const Column& column : columns_)
        capacity[column.part] += pieceSize(column.repeats ? columns_.front().width : column.width);
    for (std::size_t j = 0; j < parts.size(); ++j)
        parts[j]->line.assign(capacity[j], '\0');
    std::vector<std::string_view> lines(neededLines_);

    // The usual file: one line a case, one part and no identifier that
    // repeats. A line long enough for every value is then cut by a small
    // array of the columns' places, without a check per value.
    struct Cut {
        std::uint32_t offset;
        std::uint32_t width;
        char typeCode;
    };
    std::vector<Cut> cuts;
    std::size_t fullLength = 0;
    if (partCount_ == 1 && neededLines_ == 1 &&
        std::none_of(columns_.begin(), columns_.end(), [](const Column& column) { return column.repeats; })) {
        for (const Column& column : columns_) {
            cuts.push_back({static_cast<std::uint32_t>(column.offset), static_cast<std::uint32_t>(column.width),
                            column.typeCode});
            fullLength = std::max(fullLength, static_cast<std::size_t>(column.needed));
        }
    }

    for (;;) {
        reader_.beginCase();
        for (std::uint32_t l = 0; l < neededLines_; ++l) {
            const auto status = reader_.nextLine(true);
            if (status == RawDataReader::Status::End)
                return Read::Ended; // an unfinished case is not written
            if (status != RawDataReader::Status::Ok)
                return refused(status);
        }

        // Each line's end is trimmed once, whatever the number of its columns.
        for (std::uint32_t l = 0; l < neededLines_; ++l)
            lines[l] = reader_.caseText(l);
        for (std::size_t j = 0; j < parts.size(); ++j)
            cursors[j] = parts[j]->line.data();
        if (!cuts.empty() && lines[0].size() >= fullLength) {
            const char* const text = lines[0].data();
            char* out = cursors[0];
            for (const Cut& cut : cuts)
                out = writeValue<true>(out, text + cut.offset, cut.width, cut.typeCode);
            cursors[0] = out;
        } else {
            std::string_view identifier(paddedBlank, 0);
            for (const Column& column : columns_) {
                std::string_view value;
                if (column.repeats) {
                    value = identifier;
                } else {
                    const std::string_view line = lines[column.line - 1];
                    value = static_cast<std::int64_t>(line.size()) < column.needed
                                ? std::string_view(paddedBlank, 1)
                                : line.substr(column.offset, column.width);
                    if (column.isIdentifier)
                        identifier = value;
                }
                cursors[column.part] =
                    writeValue<true>(cursors[column.part], value.data(), value.size(), column.typeCode);
            }
        }
        for (std::size_t j = 0; j < parts.size(); ++j) {
            Part& part = *parts[j];
            char* end = cursors[j];
            if (end - part.line.data() > 1)
                end[-1] = ' ';
            // No value holds a line feed (the lines end before it), so the
            // line goes out as it is, with its CR LF.
            *end++ = '\r';
            *end++ = '\n';
            part.out.writeBytes(std::string_view(part.line.data(), static_cast<std::size_t>(end - part.line.data())));
            if (part.out.failed()) {
                writeFailed(part);
                return Read::Failed;
            }
        }

        ++caseCount;
        const auto written = std::to_chars(counter, counter + sizeof counter, caseCount);
        progress_.setText(accessfield::caseCount, std::string_view(counter, static_cast<std::size_t>(written.ptr - counter)));
        if (!pollProgress(ui_, progress_))
            return Read::Stopped;

        if (static_cast<std::int64_t>(neededLines_) > linesPerCase) {
            ui_.message(accessLinesMessage, Ui::Buttons::Ok, Ui::Icon::None);
            progress_.requestCancel();
            return Read::Stopped;
        }
        reader_.beginCase();
        for (std::int64_t l = neededLines_; l < linesPerCase; ++l) {
            const auto status = reader_.nextLine(false);
            if (status == RawDataReader::Status::End)
                return Read::Ended;
            if (status != RawDataReader::Status::Ok)
                return refused(status);
        }
    }
}

bool ExportRun::closeParts()
{
    for (int j = 0; j < partCount_; ++j) {
        Part& part = *parts_[static_cast<std::size_t>(j)];
        if (!part.out.close()) {
            writeFailed(part);
            return false;
        }
    }
    return true;
}

AccessExportResult ExportRun::run()
{
    try {
        ui_.pumpStep();
        ui_.pumpStep();
        result_.generatedFiles.emplace_back();
        const std::uint32_t fileCount = static_cast<std::uint32_t>(project_.dataFiles.size());
        for (std::uint32_t f = 1; f <= fileCount; ++f) {
            const DataFileEntry& file = *project_.dataFile(f);
            partCount_ = 0;
            if (!planParts(f, file, partCount_))
                return result_;
            if (partCount_ > 0) {
                const std::string rawName = rawDataName(settings_, file);
                std::string error;
                if (!reader_.open(toHostPath(rawName), error)) {
                    ui_.error("Cannot Open " + rawName);
                    return result_;
                }
                const std::uint64_t cases = reader_.evenCaseCount(file.linesPerCase);
                progress_.setText(accessfield::caseTotal, cases > 0 ? std::to_string(cases) : std::string());
                columns_.clear();
                if (!pollProgress(ui_, progress_))
                    return result_;
                if (!buildColumns(f, file))
                    return result_;
                const Read read = readCases(file, rawName);
                if (read == Read::Failed)
                    return result_;
                if (read == Read::Ended && !closeParts())
                    return result_;
            }
            if (cancelled())
                return result_;
        }
        reader_.close();
        if (fileCount > 0)
            result_.completed = true;
    } catch (const std::exception& e) {
        std::string text(e.what());
        if (text.size() > 199)
            text.resize(199);
        refuse(text);
        result_.completed = false;
    }
    return result_;
}

} // namespace

AccessExportResult runAccessExport(std::span<const std::uint32_t> tagged, CodebookStore& store,
                                   const ProjectSpec& project, const Settings& settings, Ui& ui,
                                   Progress& progress, const AccessExportOptions& options)
{
    ExportRun run(tagged, store, project, settings, ui, progress, options);
    return run.run();
}

} // namespace qavn
