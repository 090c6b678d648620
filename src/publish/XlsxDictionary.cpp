// The data dictionary of the tagged variables as an xlsx workbook, written
// with libxlsxwriter.

#include "publish/XlsxDictionary.h"

#include "platform/Latin1.h"
#include "platform/Strings.h"
#include "platform/TextOutput.h"
#include "platform/Ui.h"
#include "project/ProjectSpec.h"
#include "publish/CodebookEntries.h"
#include "writers/WriterContext.h"
#include "writers/WriterDriver.h"

#include <xlsxwriter.h>

#include <cerrno>
#include <charconv>
#include <span>
#include <cstring>
#include <filesystem>
#include <optional>
#include <unistd.h>

namespace qavn {

namespace fs = std::filesystem;

namespace {

constexpr lxw_row_t rowsPerSheet = LXW_ROW_MAX; // the header row included
constexpr std::size_t cellCharacters = 32'767;

struct Column {
    const char* heading;
    double width;
};

constexpr Column variableColumns[] = {
    {"name", 10},    {"long name", 16}, {"label", 40}, {"section", 30},   {"data file", 22},      {"line", 6},
    {"location", 10}, {"type", 14},     {"width", 7},  {"decimals", 9},  {"format", 12},        {"missing values", 18},
    {"description", 80},
};
constexpr Column labelColumns[] = {
    {"variable", 10}, {"code", 10}, {"label", 40}, {"frequency", 11}, {"percent", 9}, {"missing", 9},
};

// A text that is a whole number in the usual notation ("12", "-4", "3.25").
bool asNumber(std::string_view text, double& value)
{
    text = trimmed(text);
    if (text.empty() || text.front() == '+')
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

// One sheet and the sheets that carry it on past the rows a worksheet holds.
class Sheet {
public:
    Sheet(lxw_workbook* book, std::string name, std::span<const Column> columns, lxw_format* heading)
        : book_(book), name_(std::move(name)), columns_(columns), heading_(heading)
    {
    }

    // Adds the sheet with its header row.
    void begin() { nextSheet(); }
    // The row for the next record, on a new sheet when this one is full.
    lxw_row_t nextRow()
    {
        if (sheet_ && row_ + 1 >= rowsPerSheet)
            nextSheet();
        return sheet_ ? ++row_ : 0;
    }
    void nextSheet()
    {
        finishSheet();
        ++parts_;
        const std::string name = parts_ == 1 ? name_ : name_ + " " + std::to_string(parts_);
        sheet_ = workbook_add_worksheet(book_, name.c_str());
        row_ = 0;
        if (!sheet_) {
            check(LXW_ERROR_MEMORY_MALLOC_FAILED);
            return;
        }
        for (std::size_t c = 0; c < columns_.size(); ++c) {
            const auto column = static_cast<lxw_col_t>(c);
            worksheet_set_column(sheet_, column, column, columns_[c].width, nullptr);
            worksheet_write_string(sheet_, 0, column, columns_[c].heading, heading_);
        }
        worksheet_freeze_panes(sheet_, 1, 0);
    }
    void text(lxw_row_t row, int column, std::string_view latin1)
    {
        if (latin1.empty() || !sheet_)
            return;
        utf8_.clear();
        appendLatin1AsUtf8(latin1, utf8_);
        check(worksheet_write_string(sheet_, row, static_cast<lxw_col_t>(column), utf8_.c_str(), nullptr));
    }
    // Text of the metadata file (UTF-8, checked: the sheet's XML holds no invalid byte).
    void utf8(lxw_row_t row, int column, std::string_view text)
    {
        if (text.empty() || !sheet_)
            return;
        utf8_ = validUtf8(text);
        check(worksheet_write_string(sheet_, row, static_cast<lxw_col_t>(column), utf8_.c_str(), nullptr));
    }
    void number(lxw_row_t row, int column, double value)
    {
        if (sheet_)
            check(worksheet_write_number(sheet_, row, static_cast<lxw_col_t>(column), value, nullptr));
    }
    // A number cell when the text is a number, else the text.
    void numberOrText(lxw_row_t row, int column, std::string_view text)
    {
        double value = 0;
        if (asNumber(text, value))
            number(row, column, value);
        else
            this->text(row, column, text);
    }
    void boolean(lxw_row_t row, int column, bool value)
    {
        if (sheet_)
            check(worksheet_write_boolean(sheet_, row, static_cast<lxw_col_t>(column), value ? 1 : 0, nullptr));
    }
    // The autofilter of the last sheet; each full sheet had its own.
    void finishSheet()
    {
        if (sheet_)
            worksheet_autofilter(sheet_, 0, 0, row_, static_cast<lxw_col_t>(columns_.size() - 1));
    }
    bool ok() const { return error_ == LXW_NO_ERROR && sheet_ != nullptr; }
    lxw_error error() const { return error_; }

private:
    void check(lxw_error error)
    {
        if (error != LXW_NO_ERROR && error_ == LXW_NO_ERROR)
            error_ = error;
    }

    lxw_workbook* book_;
    std::string name_;
    std::span<const Column> columns_;
    lxw_format* heading_;
    lxw_worksheet* sheet_ = nullptr;
    lxw_row_t row_ = 0;
    int parts_ = 0;
    std::string utf8_;
    lxw_error error_ = LXW_NO_ERROR;
};

// A description cut to what one cell holds, with a note that says so.
std::string_view cellDescription(const std::string& description, std::string& cut)
{
    if (description.size() <= cellCharacters)
        return description;
    const std::string note = "\n[cut: " + std::to_string(description.size()) +
                             " characters, more than a cell holds; the codebook has the whole description]";
    cut = description.substr(0, cellCharacters - note.size()) + note;
    return cut;
}

// A file the library may write to, beside the output; removed however the
// run ends.
class WorkFile {
public:
    explicit WorkFile(const fs::path& folder)
    {
        std::string pattern = (folder / ".qavn-xlsx-XXXXXX").string();
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0) {
            error_ = std::strerror(errno);
            return;
        }
        ::close(fd);
        path_ = pattern;
    }
    ~WorkFile()
    {
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    WorkFile(const WorkFile&) = delete;
    WorkFile& operator=(const WorkFile&) = delete;

    const fs::path& path() const { return path_; }
    const std::string& error() const { return error_; }

private:
    fs::path path_;
    std::string error_;
};

// Drops the output, so that the file under its name stays as it was.
void dropOutput(WriterContext& context)
{
    if (auto* file = dynamic_cast<FileTextOutput*>(context.output))
        file->discard();
}

bool failed(WriterContext& context, const std::string& reason)
{
    const auto* file = dynamic_cast<const FileTextOutput*>(context.output);
    context.ui.error("Cannot Write " + (file ? file->path().string() : std::string("the data dictionary")) + " !\n" +
                     reason);
    dropOutput(context);
    context.setCancelled();
    return false;
}

} // namespace

bool writeXlsxDictionary(WriterContext& context)
{
    const auto* file = dynamic_cast<const FileTextOutput*>(context.output);
    const fs::path folder = file && !file->path().parent_path().empty() ? file->path().parent_path()
                                                                         : fs::temp_directory_path();
    WorkFile work(folder);
    if (work.path().empty())
        return failed(context, work.error());

    std::string folderText = folder.string();
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = folderText.data();
    options.use_zip64 = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(work.path().c_str(), &options);
    if (!book)
        return failed(context, "the workbook could not be started");

    std::string title(trimmed(context.project.dataSetTitle));
    if (title.empty())
        title = context.project.filePrefix;
    std::string titleUtf8 = latin1ToUtf8(title);
    std::string subject = "Data dictionary";
    lxw_doc_properties properties{};
    properties.title = titleUtf8.data();
    properties.subject = subject.data();
    workbook_set_properties(book, &properties);

    lxw_format* heading = workbook_add_format(book);
    format_set_bold(heading);
    format_set_bottom(heading, LXW_BORDER_THIN);

    Sheet variables(book, "Variables", variableColumns, heading);
    Sheet labels(book, "Value labels", labelColumns, heading);
    variables.begin();
    labels.begin();
    const WriterServices services{context.list, context.store, context.project, context.settings, context.ui};
    const std::optional<ProjectMetadata> metadata = readPublishedMetadata(services);
    EntryReader reader(services, metadata ? &*metadata : nullptr);
    VariableEntry entry;
    std::string cut;
    bool complete = true;
    for (std::size_t i = 0; i < context.tagged.size(); ++i) {
        if (context.cancelled() || !reader.read(context.tagged[i], entry)) {
            complete = false;
            break;
        }
        const DataFileEntry* data = context.project.dataFile(entry.file);
        const lxw_row_t row = variables.nextRow();
        const VariableMetadata* meta = entry.metadata;
        variables.text(row, 0, entry.name);
        if (meta && meta->longName != entry.name)
            variables.utf8(row, 1, meta->longName);
        // The source's whole label where the codebook holds a shorter one.
        if (meta && !meta->label.empty())
            variables.utf8(row, 2, meta->label);
        else
            variables.text(row, 2, entry.label);
        variables.text(row, 3, entry.sectionTitle);
        variables.text(row, 4, data ? std::string_view(data->dataPath) : std::string_view());
        variables.number(row, 5, entry.line);
        variables.text(row, 6, entry.location);
        variables.text(row, 7, entry.typeText());
        if (entry.width() > 0)
            variables.number(row, 8, entry.width());
        variables.number(row, 9, entry.decimals());
        if (meta)
            variables.utf8(row, 10, meta->format.text);
        if (meta && !meta->missing.empty()) {
            std::string declared;
            for (const std::string& text : declaredMissingTexts(*meta))
                declared += (declared.empty() ? "" : ", ") + text;
            variables.utf8(row, 11, declared);
        } else {
            variables.text(row, 11, entry.missingText());
        }
        variables.text(row, 12, cellDescription(entry.description, cut));

        for (std::size_t c = 0; c < entry.categoryCount; ++c) {
            const CategoryEntry& category = entry.categories[c];
            const lxw_row_t line = labels.nextRow();
            labels.text(line, 0, entry.name);
            std::string_view code = category.code;
            if (entry.isText() && code.size() >= 2 && code.front() == '\'' && code.back() == '\'')
                labels.text(line, 1, code.substr(1, code.size() - 2));
            else if (entry.isText())
                labels.text(line, 1, code);
            else
                labels.numberOrText(line, 1, code);
            labels.text(line, 2, category.label);
            labels.numberOrText(line, 3, category.frequency);
            labels.numberOrText(line, 4, category.percent);
            labels.boolean(line, 5, category.missing);
        }
        if (i % 10 == 0)
            context.progress(1);
    }
    variables.finishSheet();
    labels.finishSheet();
    const lxw_error bookError = workbook_close(book);
    if (!complete) {
        dropOutput(context);
        context.setCancelled();
        return false;
    }
    if (!variables.ok() || !labels.ok())
        return failed(context, lxw_strerror(!variables.ok() ? variables.error() : labels.error()));
    if (bookError != LXW_NO_ERROR)
        return failed(context, lxw_strerror(bookError));

    // The finished workbook through the output, which names it when whole.
    std::FILE* in = std::fopen(work.path().c_str(), "rb");
    if (!in)
        return failed(context, std::strerror(errno));
    std::string block(1 << 20, '\0');
    std::size_t got = 0;
    while ((got = std::fread(block.data(), 1, block.size(), in)) > 0) {
        context.out().writeBytes(std::string_view(block.data(), got));
        if (!context.out().flush())
            break;
    }
    const bool readFailed = std::ferror(in) != 0;
    std::fclose(in);
    if (readFailed)
        return failed(context, std::strerror(EIO));
    return true;
}

} // namespace qavn
