// The CSV reader of the import.
#include "import/CsvSource.h"

#include "platform/Latin1.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace qavn {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Reads records one at a time, keeping the line each record starts on. A
// UTF-8 byte order mark before the first record is no part of it, and empty
// lines at the end of the file are no records.
class CsvParser {
public:
    explicit CsvParser(std::FILE* file) : file_(file)
    {
        unsigned char head[3] = {};
        if (std::fread(head, 1, 3, file_) != 3 || head[0] != 0xEF || head[1] != 0xBB || head[2] != 0xBF)
            std::rewind(file_);
    }

    // Fills `fields` with the next record. Returns false at the end of the
    // file or on an error (then `error` is set).
    bool next(std::vector<std::string>& fields, std::string& error)
    {
        if (blanks_ > 0) {
            --blanks_;
            fields.assign(1, std::string());
            startLine_ = blankLine_++;
            return true;
        }
        if (held_) {
            held_ = false;
            fields.swap(heldFields_);
            startLine_ = heldLine_;
            return true;
        }
        bool blank = false;
        if (!read(fields, error, blank))
            return false;
        if (!blank)
            return true;
        // Empty lines are records (of one empty field) only when a record
        // follows them; they are counted, not held.
        const std::uint64_t first = startLine_;
        std::uint64_t count = 1;
        for (;;) {
            if (!read(heldFields_, error, blank))
                return false;
            if (!blank)
                break;
            ++count;
        }
        held_ = true;
        heldLine_ = startLine_;
        blanks_ = count - 1;
        blankLine_ = first + 1;
        fields.assign(1, std::string());
        startLine_ = first;
        return true;
    }

    std::uint64_t startLine() const { return startLine_; }

private:
    // One record as the file holds it; `blank` when it is an empty line.
    bool read(std::vector<std::string>& fields, std::string& error, bool& blank)
    {
        fields.clear();
        blank = false;
        std::string field;
        bool quoted = false;   // inside a quoted field
        bool wasQuoted = false; // the field began with a quote
        bool any = false;
        startLine_ = line_;
        for (;;) {
            const int c = get();
            if (c == EOF) {
                if (std::ferror(file_)) {
                    error = "line " + std::to_string(line_) + ": " + std::strerror(errno);
                    return false;
                }
                if (quoted) {
                    error = "line " + std::to_string(startLine_) + ": a quoted field is not closed before the end of the file";
                    return false;
                }
                if (!any)
                    return false;
                fields.push_back(std::move(field));
                return true;
            }
            any = true;
            if (quoted) {
                if (c == '"') {
                    const int d = get();
                    if (d == '"') {
                        field.push_back('"');
                        continue;
                    }
                    quoted = false;
                    if (d == EOF) {
                        fields.push_back(std::move(field));
                        return true;
                    }
                    if (d != ',' && d != '\n' && d != '\r') {
                        error = "line " + std::to_string(line_) + ", field " + std::to_string(fields.size() + 1) +
                                ": text follows the closing quote of a quoted field";
                        return false;
                    }
                    unget(d);
                    continue;
                }
                if (c == '\n')
                    ++line_;
                field.push_back(static_cast<char>(c));
                continue;
            }
            if (c == ',') {
                fields.push_back(std::move(field));
                field.clear();
                wasQuoted = false;
                continue;
            }
            if (c == '\r' || c == '\n') {
                if (c == '\r') {
                    const int d = get();
                    if (d != '\n')
                        unget(d);
                }
                ++line_;
                blank = fields.empty() && field.empty() && !wasQuoted;
                fields.push_back(std::move(field));
                return true;
            }
            if (c == '"' && field.empty() && !wasQuoted) {
                quoted = wasQuoted = true;
                continue;
            }
            if (c == '"') {
                error = "line " + std::to_string(line_) + ", field " + std::to_string(fields.size() + 1) +
                        ": a quote inside an unquoted field";
                return false;
            }
            field.push_back(static_cast<char>(c));
        }
    }

    int get()
    {
        if (pending_ != EOF) {
            const int c = pending_;
            pending_ = EOF;
            return c;
        }
        return std::getc(file_);
    }
    void unget(int c) { pending_ = c; }

    std::FILE* file_;
    int pending_ = EOF;
    std::uint64_t line_ = 1;
    std::uint64_t startLine_ = 1;
    // Empty lines read ahead (the first at blankLine_), and the record after them.
    std::uint64_t blanks_ = 0;
    std::uint64_t blankLine_ = 0;
    bool held_ = false;
    std::vector<std::string> heldFields_;
    std::uint64_t heldLine_ = 0;
};

std::string_view trimmed(std::string_view s)
{
    const std::size_t first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// Single-byte text (Windows-1252 as spreadsheets save it) as UTF-8; the
// bytes 0x80-0x9F become the control characters Latin-1 has there, which
// the codebook shows as '?'.
void singleByteAsUtf8(std::string_view text, std::string& out)
{
    out.clear();
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
}

bool parseNumber(std::string_view text, double& out)
{
    text = trimmed(text);
    if (text.empty())
        return false;
    if (text.front() == '+')
        text.remove_prefix(1);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    // from_chars also takes "inf" and "nan", which no data set means as numbers.
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(out);
}

class CsvSource final : public SourceReader {
public:
    explicit CsvSource(std::filesystem::path path) : path_(std::move(path)) {}

    const std::filesystem::path& path() const override { return path_; }
    std::string encoding() const override { return singleByte_ ? "windows-1252" : "UTF-8"; }

    bool pass(SourceVisitor& visitor, std::string& error) override
    {
        if (!typed_ && !findTypes(error))
            return false;
        std::unique_ptr<std::FILE, FileCloser> file;
        std::vector<std::string> fields;
        if (!open(file, error))
            return false;
        CsvParser reader(file.get());
        current_ = file.get();
        struct Done {
            std::FILE*& current;
            ~Done() { current = nullptr; }
        } done{current_};
        if (!reader.next(fields, error))
            return fail(error);
        std::string converted;
        if (!visitor.variables(variables_))
            return false;
        while (reader.next(fields, error)) {
            for (std::size_t i = 0; i < variables_.size(); ++i) {
                SourceValue v;
                const std::string_view field = i < fields.size() ? std::string_view(fields[i]) : std::string_view();
                if (variables_[i].isText) {
                    v.kind = SourceValue::Kind::Text;
                    if (singleByte_) {
                        singleByteAsUtf8(field, converted);
                        v.text = converted;
                    } else {
                        v.text = field;
                    }
                } else if (parseNumber(field, v.number)) {
                    v.kind = SourceValue::Kind::Number;
                }
                if (!visitor.value(i, v))
                    return false;
            }
            if (!visitor.endCase())
                return false;
        }
        return error.empty() || fail(error);
    }

    double fraction() const override
    {
        const off_t at = current_ != nullptr ? ::ftello(current_) : 0;
        return size_ > 0 && at > 0 ? static_cast<double>(at) / static_cast<double>(size_) : 0.0;
    }

private:
    bool open(std::unique_ptr<std::FILE, FileCloser>& file, std::string& error)
    {
        file.reset(std::fopen(path_.c_str(), "rb"));
        if (!file) {
            error = path_.string() + ": " + std::strerror(errno);
            return false;
        }
        std::error_code ec;
        const auto size = std::filesystem::file_size(path_, ec);
        size_ = ec ? 0 : size;
        return true;
    }

    bool fail(std::string& error)
    {
        error = path_.string() + ": " + error;
        return false;
    }

    // The names from the header, and for each column whether every
    // non-empty field is a number; every line must have the header's fields.
    bool findTypes(std::string& error)
    {
        std::unique_ptr<std::FILE, FileCloser> file;
        if (!open(file, error))
            return false;
        CsvParser reader(file.get());
        std::vector<std::string> fields;
        if (!reader.next(fields, error)) {
            if (error.empty())
                error = "line 1: the file is empty; a header line of names is needed";
            return fail(error);
        }
        variables_.clear();
        bool utf8 = true;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            SourceVariable v;
            v.name = std::string(trimmed(fields[i]));
            if (v.name.empty()) {
                error = "line 1, field " + std::to_string(i + 1) + ": the header names no variable";
                return fail(error);
            }
            v.label = v.name;
            variables_.push_back(std::move(v));
        }
        std::vector<bool> numeric(variables_.size(), true);
        std::vector<std::size_t> widest(variables_.size(), 0);
        while (reader.next(fields, error)) {
            if (fields.size() != variables_.size()) {
                const bool empty = fields.size() == 1 && fields[0].empty();
                error = "line " + std::to_string(reader.startLine()) + ": " +
                        (empty ? std::string("an empty line before more data") : std::to_string(fields.size()) + " fields") +
                        ", the header has " + std::to_string(variables_.size());
                return fail(error);
            }
            for (std::size_t i = 0; i < fields.size(); ++i) {
                double number = 0;
                widest[i] = std::max(widest[i], fields[i].size());
                utf8 = utf8 && isValidUtf8(fields[i]);
                if (numeric[i] && !trimmed(fields[i]).empty() && !parseNumber(fields[i], number))
                    numeric[i] = false;
            }
        }
        if (!error.empty())
            return fail(error);
        singleByte_ = !utf8;
        for (std::size_t i = 0; i < variables_.size(); ++i) {
            SourceVariable& v = variables_[i];
            if (!isValidUtf8(v.name)) {
                std::string name;
                singleByteAsUtf8(v.name, name);
                v.name = v.label = name;
            }
            v.display.kind = numeric[i] ? DisplayKind::Number : DisplayKind::String;
            v.display.width = static_cast<int>(widest[i]);
            variables_[i].isText = !numeric[i];
            variables_[i].format = numeric[i] ? "number" : "text";
            if (!numeric[i])
                variables_[i].storageWidth = widest[i];
        }
        typed_ = true;
        return true;
    }

    std::filesystem::path path_;
    std::FILE* current_ = nullptr; // the file a pass reads
    std::uintmax_t size_ = 0;
    bool typed_ = false;
    bool singleByte_ = false; // the file is not UTF-8: Windows-1252
    std::vector<SourceVariable> variables_;
};

} // namespace

std::unique_ptr<SourceReader> openCsvSource(const std::filesystem::path& path)
{
    return std::make_unique<CsvSource>(path);
}

} // namespace qavn
