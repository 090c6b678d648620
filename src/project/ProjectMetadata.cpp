// Reading and writing the project metadata file, and the display formats of
// the programs whose data sets are imported.
#include "project/ProjectMetadata.h"

#include "platform/Strings.h"
#include "platform/TextOutput.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace qavn {

namespace {

constexpr std::string_view headerComment =
    "# The metadata of this project: what its sources declared that the codebook does not hold.\n"
    "# UTF-8 text; see \"Project metadata\" in QAVN's README.\n";

struct Kind {
    DisplayKind kind;
    std::string_view name;
};
constexpr Kind displayKinds[] = {{DisplayKind::Number, "number"}, {DisplayKind::Dollar, "dollar"},
                                 {DisplayKind::Comma, "comma"},   {DisplayKind::Date, "date"},
                                 {DisplayKind::DateTime, "datetime"}, {DisplayKind::Time, "time"},
                                 {DisplayKind::String, "string"}};

struct Unit {
    TimeUnit unit;
    std::string_view name;
};
constexpr Unit timeUnits[] = {{TimeUnit::Days, "days"}, {TimeUnit::Seconds, "seconds"},
                              {TimeUnit::Milliseconds, "milliseconds"}};

// ---- writing ---------------------------------------------------------------

bool isBareToken(std::string_view value)
{
    if (value.empty())
        return false;
    for (const char c : value) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
                        c == '.' || c == '-' || c == '+';
        if (!ok)
            return false;
    }
    return true;
}

void appendQuoted(std::string& out, std::string_view value)
{
    out += '"';
    for (const char c : value) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (u < 0x20 || u == 0x7F) {
                char hex[5];
                std::snprintf(hex, sizeof hex, "\\x%02X", u);
                out += hex;
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

// " key=value": text always quoted, tokens bare when they can be.
void attribute(std::string& out, std::string_view key, std::string_view value, bool text)
{
    out += ' ';
    out += key;
    out += '=';
    if (!text && isBareToken(value))
        out += value;
    else
        appendQuoted(out, value);
}

std::string numberToken(double value)
{
    if (value == -HUGE_VAL)
        return "lowest";
    if (value == HUGE_VAL)
        return "highest";
    char buffer[64];
    // Whole numbers as digits (100000, not 1e+05); others in the shortest
    // form that reads back as the same number.
    const auto result = std::abs(value) < 1e15 && value == std::trunc(value)
                            ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 0)
                            : std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, result.ptr);
    return text == "-0" ? "0" : text;
}

void unknownAttributes(std::string& out, const std::vector<MetadataAttribute>& unknown)
{
    for (const auto& [key, value] : unknown)
        attribute(out, key, value, !isBareToken(value));
}

// ---- reading ---------------------------------------------------------------

struct Line {
    std::string kind;
    std::vector<MetadataAttribute> attributes;
};

// Splits `kind key=value key="text" ...`. False with `reason` on a bad line.
bool splitLine(std::string_view text, Line& line, std::string& reason)
{
    std::size_t at = text.find(' ');
    line.kind = std::string(text.substr(0, at));
    line.attributes.clear();
    while (at != std::string_view::npos && at < text.size()) {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
            ++at;
        if (at >= text.size())
            break;
        const std::size_t equals = text.find('=', at);
        if (equals == std::string_view::npos) {
            reason = "\"" + std::string(text.substr(at)) + "\" is not key=value";
            return false;
        }
        std::string key(text.substr(at, equals - at));
        if (key.empty() || key.find_first_of(" \"") != std::string::npos) {
            reason = "\"" + std::string(text.substr(at, equals - at + 1)) + "\" is not a key";
            return false;
        }
        at = equals + 1;
        std::string value;
        if (at < text.size() && text[at] == '"') {
            ++at;
            bool closed = false;
            while (at < text.size()) {
                const char c = text[at++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c != '\\') {
                    value += c;
                    continue;
                }
                if (at >= text.size())
                    break;
                const char e = text[at++];
                switch (e) {
                case 'n': value += '\n'; break;
                case 'r': value += '\r'; break;
                case 't': value += '\t'; break;
                case '"': value += '"'; break;
                case '\\': value += '\\'; break;
                case 'x': {
                    unsigned byte = 0;
                    const char* first = text.data() + at;
                    const auto [end, ec] = std::from_chars(first, first + std::min<std::size_t>(2, text.size() - at),
                                                           byte, 16);
                    if (ec != std::errc() || end != first + 2) {
                        reason = key + ": \\x needs two hexadecimal digits";
                        return false;
                    }
                    value += static_cast<char>(byte);
                    at += 2;
                    break;
                }
                default:
                    reason = key + ": unknown escape \\" + std::string(1, e);
                    return false;
                }
            }
            if (!closed) {
                reason = key + ": the quoted value is not closed";
                return false;
            }
            if (at < text.size() && text[at] != ' ' && text[at] != '\t') {
                reason = key + ": text follows the closing quote";
                return false;
            }
        } else {
            const std::size_t end = std::min(text.find(' ', at), text.size());
            value = std::string(text.substr(at, end - at));
            at = end;
        }
        line.attributes.emplace_back(std::move(key), std::move(value));
    }
    return true;
}

bool readNumber(std::string_view text, double& out)
{
    if (text == "lowest") {
        out = -HUGE_VAL;
        return true;
    }
    if (text == "highest") {
        out = HUGE_VAL;
        return true;
    }
    const char* first = text.data();
    if (!text.empty() && text.front() == '+')
        ++first;
    const auto [end, ec] = std::from_chars(first, text.data() + text.size(), out);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size() && std::isfinite(out);
}

template <typename T>
bool readCount(std::string_view text, T& out)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

// Takes the known keys of one line; `take` returns false with a reason for
// a value it cannot use, and true for keys it does not know after adding
// them to `unknown`.
class Fields {
public:
    Fields(const Line& line, std::string& reason) : line_(line), reason_(reason) {}

    template <typename F>
    bool each(std::vector<MetadataAttribute>& unknown, F take)
    {
        for (const auto& [key, value] : line_.attributes) {
            const int known = take(key, value);
            if (known < 0)
                return false;
            if (known == 0)
                unknown.emplace_back(key, value);
        }
        return true;
    }

    int bad(const std::string& key, const std::string& value, std::string_view what)
    {
        reason_ = key + "=" + value + ": " + std::string(what);
        return -1;
    }

private:
    const Line& line_;
    std::string& reason_;
};

bool readProject(const Line& line, ProjectMetadata& m, std::string& reason)
{
    Fields fields(line, reason);
    return fields.each(m.unknown, [&](const std::string& key, const std::string& value) {
        if (key == "title")
            m.title = value;
        else if (key == "identifier")
            m.identifier = value;
        else if (key == "weight")
            m.weight = value;
        else
            return 0;
        return 1;
    });
}

bool readSource(const Line& line, SourceFile& s, std::string& reason)
{
    Fields fields(line, reason);
    const bool ok = fields.each(s.unknown, [&](const std::string& key, const std::string& value) {
        if (key == "file") {
            if (!readCount(value, s.file) || s.file == 0)
                return fields.bad(key, value, "not a data file number");
        } else if (key == "kind") {
            s.kind = value;
        } else if (key == "path") {
            s.path = value;
        } else if (key == "encoding") {
            s.encoding = value;
        } else if (key == "cases") {
            if (!readCount(value, s.cases))
                return fields.bad(key, value, "not a number of cases");
        } else if (key == "identifier") {
            s.identifier = value;
        } else {
            return 0;
        }
        return 1;
    });
    if (ok && s.file == 0) {
        reason = "a source line needs file= (its data file number)";
        return false;
    }
    return ok;
}

bool readVariable(const Line& line, VariableMetadata& v, std::string& reason)
{
    Fields fields(line, reason);
    bool typed = false;
    const bool ok = fields.each(v.unknown, [&](const std::string& key, const std::string& value) {
        if (key == "name") {
            v.name = value;
        } else if (key == "long") {
            v.longName = value;
        } else if (key == "label") {
            v.label = value;
        } else if (key == "file") {
            if (!readCount(value, v.file))
                return fields.bad(key, value, "not a data file number");
        } else if (key == "type") {
            if (value != "numeric" && value != "string")
                return fields.bad(key, value, "the type is numeric or string");
            v.isText = value == "string";
            typed = true;
        } else if (key == "length") {
            if (!readCount(value, v.length))
                return fields.bad(key, value, "not a length");
        } else if (key == "format") {
            v.format.text = value;
        } else if (key == "display") {
            if (!displayKindFromName(value, v.format.kind))
                return fields.bad(key, value, "not a display kind (number, dollar, comma, date, datetime, time, string)");
        } else if (key == "width") {
            if (!readCount(value, v.format.width))
                return fields.bad(key, value, "not a width");
        } else if (key == "decimals") {
            if (!readCount(value, v.format.decimals))
                return fields.bad(key, value, "not a number of decimals");
        } else if (key == "origin") {
            v.format.origin = value;
        } else if (key == "unit") {
            if (!timeUnitFromName(value, v.format.unit))
                return fields.bad(key, value, "the unit is days, seconds or milliseconds");
        } else {
            return 0;
        }
        return 1;
    });
    if (!ok)
        return false;
    if (v.name.empty()) {
        reason = "a variable line needs name=";
        return false;
    }
    if (!typed) {
        reason = v.name + ": a variable line needs type=numeric or type=string";
        return false;
    }
    return true;
}

bool readMissing(const Line& line, const VariableMetadata& v, MissingValue& m, std::string& reason)
{
    Fields fields(line, reason);
    bool code = false;
    bool low = false;
    bool high = false;
    const bool ok = fields.each(m.unknown, [&](const std::string& key, const std::string& value) {
        if (key == "code") {
            code = true;
            if (v.isText)
                m.text = value;
            else if (!readNumber(value, m.low) || !std::isfinite(m.low))
                return fields.bad(key, value, "not a number");
            m.high = m.low;
        } else if (key == "low" || key == "high") {
            double x = 0;
            if (v.isText || !readNumber(value, x))
                return fields.bad(key, value, "a range needs numbers of a numeric variable");
            (key == "low" ? m.low : m.high) = x;
            (key == "low" ? low : high) = true;
        } else if (key == "tag") {
            if (value.size() != 1 || !(std::isalpha(static_cast<unsigned char>(value[0])) || value[0] == '_'))
                return fields.bad(key, value, "a tag is one letter (or _)");
            m.kind = MissingValue::Kind::Tagged;
            m.tag = value[0];
        } else if (key == "label") {
            m.label = value;
        } else {
            return 0;
        }
        return 1;
    });
    if (!ok)
        return false;
    const int forms = (code ? 1 : 0) + (low || high ? 1 : 0) + (m.kind == MissingValue::Kind::Tagged ? 1 : 0);
    if (forms != 1 || low != high) {
        reason = v.name + ": a missing value has code=, low= and high=, or tag=";
        return false;
    }
    if (low) {
        if (m.low > m.high) {
            reason = v.name + ": the range's low end is above its high end";
            return false;
        }
        m.kind = MissingValue::Kind::Range;
    }
    return true;
}

ReadError invalid(const std::string& file, std::uint64_t line, std::string reason)
{
    ReadError error;
    error.kind = ReadError::Kind::InvalidData;
    error.file = file;
    error.line = line;
    error.reason = std::move(reason);
    return error;
}

} // namespace

std::string_view displayKindName(DisplayKind kind)
{
    for (const Kind& k : displayKinds)
        if (k.kind == kind)
            return k.name;
    return "number";
}

bool displayKindFromName(std::string_view name, DisplayKind& kind)
{
    for (const Kind& k : displayKinds)
        if (k.name == name) {
            kind = k.kind;
            return true;
        }
    return false;
}

std::string_view timeUnitName(TimeUnit unit)
{
    for (const Unit& u : timeUnits)
        if (u.unit == unit)
            return u.name;
    return "";
}

bool timeUnitFromName(std::string_view name, TimeUnit& unit)
{
    for (const Unit& u : timeUnits)
        if (u.name == name) {
            unit = u.unit;
            return true;
        }
    return false;
}

DisplayFormat displayFormatOf(std::string_view text, FormatFamily family, bool isText)
{
    DisplayFormat f;
    f.text = std::string(text);
    // The letters, then the width and the decimals: "DOLLAR12.2", "%9.2fc".
    std::string_view rest = trimmed(text);
    std::string letters;
    std::string suffix;
    if (family == FormatFamily::Stata) {
        if (!rest.empty() && rest.front() == '%')
            rest.remove_prefix(1);
        if (!rest.empty() && rest.front() == '-')
            rest.remove_prefix(1);
        std::size_t digits = 0;
        while (digits < rest.size() && (std::isdigit(static_cast<unsigned char>(rest[digits])) || rest[digits] == '.'))
            ++digits;
        const std::string_view numbers = rest.substr(0, digits);
        suffix = std::string(rest.substr(digits));
        const std::size_t point = numbers.find('.');
        readCount(numbers.substr(0, point), f.width);
        if (point != std::string_view::npos)
            readCount(numbers.substr(point + 1), f.decimals);
    } else {
        std::size_t end = 0;
        while (end < rest.size() && std::isalpha(static_cast<unsigned char>(rest[end])))
            ++end;
        letters = upperAscii(rest.substr(0, end));
        const std::string_view numbers = rest.substr(end);
        const std::size_t point = numbers.find('.');
        readCount(numbers.substr(0, point), f.width);
        if (point != std::string_view::npos)
            readCount(numbers.substr(point + 1), f.decimals);
    }
    if (isText) {
        f.kind = DisplayKind::String;
        return f;
    }
    auto date = [&](DisplayKind kind, std::string origin, TimeUnit unit) {
        f.kind = kind;
        f.origin = std::move(origin);
        f.unit = unit;
    };
    if (family == FormatFamily::Stata) {
        // %td days, %tc/%tC milliseconds; %tw, %tm and the like count other
        // periods and stay numbers. A trailing c asks for separators.
        if (suffix.starts_with("td") || suffix.starts_with("d"))
            date(DisplayKind::Date, "1960-01-01", TimeUnit::Days);
        else if (suffix.starts_with("tc") || suffix.starts_with("tC"))
            date(DisplayKind::DateTime, "1960-01-01", TimeUnit::Milliseconds);
        else if (suffix.size() == 2 && suffix[1] == 'c' && (suffix[0] == 'f' || suffix[0] == 'g'))
            f.kind = DisplayKind::Comma;
        return f;
    }
    static constexpr std::string_view spssDates[] = {"DATE", "ADATE", "EDATE", "SDATE", "JDATE", "QYR",
                                                     "MOYR", "WKYR", "WKDAY", "MONTH"};
    static constexpr std::string_view sasDates[] = {"DATE", "MMDDYY", "DDMMYY", "YYMMDD", "MONYY", "YYQ",
                                                    "WORDDATE", "WEEKDATE", "JULIAN", "YEAR", "E8601DA",
                                                    "B8601DA", "NLDATE", "MMDDYYS", "DDMMYYS", "YYMMDDN", "DAY"};
    auto among = [&](auto& list) {
        for (std::string_view name : list)
            if (letters == name)
                return true;
        return false;
    };
    if (letters == "DOLLAR")
        f.kind = DisplayKind::Dollar;
    else if (letters == "COMMA" || letters == "DOT" || letters == "COMMAX")
        f.kind = DisplayKind::Comma;
    else if (family == FormatFamily::Spss) {
        if (among(spssDates))
            date(DisplayKind::Date, "1582-10-14", TimeUnit::Seconds);
        else if (letters == "DATETIME" || letters == "YMDHMS")
            date(DisplayKind::DateTime, "1582-10-14", TimeUnit::Seconds);
        else if (letters == "TIME" || letters == "DTIME" || letters == "MTIME")
            date(DisplayKind::Time, "", TimeUnit::Seconds);
    } else {
        if (among(sasDates))
            date(DisplayKind::Date, "1960-01-01", TimeUnit::Days);
        else if (letters == "DATETIME" || letters == "E8601DT" || letters == "B8601DT" || letters == "NLDATM")
            date(DisplayKind::DateTime, "1960-01-01", TimeUnit::Seconds);
        else if (letters == "TIME" || letters == "HHMM" || letters == "TOD" || letters == "E8601TM")
            date(DisplayKind::Time, "", TimeUnit::Seconds);
    }
    return f;
}

void ProjectMetadata::add(VariableMetadata variable)
{
    const std::string key = upperAscii(variable.name);
    const auto [at, fresh] = byName_.emplace(key, variables_.size());
    if (fresh)
        variables_.push_back(std::move(variable));
    else
        variables_[at->second] = std::move(variable);
}

const VariableMetadata* ProjectMetadata::variable(std::string_view name) const
{
    const auto found = byName_.find(upperAscii(name));
    return found == byName_.end() ? nullptr : &variables_[found->second];
}

VariableMetadata* ProjectMetadata::variable(std::string_view name)
{
    const auto found = byName_.find(upperAscii(name));
    return found == byName_.end() ? nullptr : &variables_[found->second];
}

const SourceFile* ProjectMetadata::source(std::uint32_t file) const
{
    for (const SourceFile& s : sources)
        if (s.file == file)
            return &s;
    return nullptr;
}

bool ProjectMetadata::operator==(const ProjectMetadata& other) const
{
    return title == other.title && identifier == other.identifier && weight == other.weight &&
           sources == other.sources && unknown == other.unknown && unknownLines == other.unknownLines &&
           variables_ == other.variables_;
}

std::string metadataFileName(std::string_view prefix)
{
    return std::string(prefix) + "QAV.META";
}

std::string metadataText(const ProjectMetadata& m)
{
    std::string out = std::string(ProjectMetadata::formatName) + " " + std::to_string(ProjectMetadata::version) + "\n";
    out += headerComment;
    out += "project";
    attribute(out, "title", m.title, true);
    attribute(out, "identifier", m.identifier, true);
    attribute(out, "weight", m.weight, false);
    unknownAttributes(out, m.unknown);
    out += '\n';
    for (const SourceFile& s : m.sources) {
        out += "source";
        attribute(out, "file", std::to_string(s.file), false);
        attribute(out, "kind", s.kind, false);
        attribute(out, "path", s.path, true);
        attribute(out, "encoding", s.encoding, true);
        attribute(out, "cases", std::to_string(s.cases), false);
        attribute(out, "identifier", s.identifier, false);
        unknownAttributes(out, s.unknown);
        out += '\n';
    }
    for (const std::string& line : m.unknownLines)
        out += line + "\n";
    for (const VariableMetadata& v : m.variables())
        appendVariableText(out, v);
    return out;
}

void appendVariableText(std::string& out, const VariableMetadata& v)
{
    out += "variable";
    attribute(out, "name", v.name, false);
    attribute(out, "long", v.longName, true);
    attribute(out, "label", v.label, true);
    attribute(out, "file", std::to_string(v.file), false);
    attribute(out, "type", v.isText ? "string" : "numeric", false);
    if (v.isText || v.length != 0)
        attribute(out, "length", std::to_string(v.length), false);
    attribute(out, "format", v.format.text, true);
    attribute(out, "display", displayKindName(v.format.kind), false);
    attribute(out, "width", std::to_string(v.format.width), false);
    attribute(out, "decimals", std::to_string(v.format.decimals), false);
    if (!v.format.origin.empty())
        attribute(out, "origin", v.format.origin, false);
    if (v.format.unit != TimeUnit::None)
        attribute(out, "unit", timeUnitName(v.format.unit), false);
    unknownAttributes(out, v.unknown);
    out += '\n';
    for (const MissingValue& missing : v.missing) {
        out += "missing";
        switch (missing.kind) {
        case MissingValue::Kind::Code:
            if (v.isText)
                attribute(out, "code", missing.text, true);
            else
                attribute(out, "code", numberToken(missing.low), false);
            break;
        case MissingValue::Kind::Range:
            attribute(out, "low", numberToken(missing.low), false);
            attribute(out, "high", numberToken(missing.high), false);
            break;
        case MissingValue::Kind::Tagged:
            attribute(out, "tag", std::string(1, missing.tag), false);
            break;
        }
        attribute(out, "label", missing.label, true);
        unknownAttributes(out, missing.unknown);
        out += '\n';
    }
    for (const std::string& line : v.unknownLines)
        out += line + "\n";
}

bool MetadataStream::open(const std::filesystem::path& path, std::string& error)
{
    path_ = path;
    variables_.reset(std::tmpfile());
    if (!variables_) {
        error = "cannot create a temporary file for " + path.string() + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void MetadataStream::add(const VariableMetadata& variable)
{
    buffer_.clear();
    appendVariableText(buffer_, variable);
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), variables_.get()) != buffer_.size())
        failed_ = true;
}

bool MetadataStream::finish(const ProjectMetadata& head, std::string& error)
{
    FileTextOutput out;
    if (failed_ || std::fflush(variables_.get()) != 0 || std::fseek(variables_.get(), 0, SEEK_SET) != 0) {
        error = "cannot write a temporary file for " + path_.string() + ": " + std::strerror(errno);
        return false;
    }
    if (!out.openHost(path_)) {
        error = "cannot create " + path_.string() + ": " + out.openError();
        return false;
    }
    out.writeBytes(metadataText(head));
    char chunk[1 << 16];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, variables_.get())) > 0)
        out.writeBytes(std::string_view(chunk, got));
    if (std::ferror(variables_.get()) || !out.flush()) {
        error = "cannot write " + path_.string() + (out.failed() ? ": " + out.errorText() : std::string());
        out.discard();
        return false;
    }
    if (!out.close()) {
        error = "cannot write " + path_.string() + ": " + out.errorText();
        return false;
    }
    return true;
}

ReadResult<ProjectMetadata> parseMetadata(std::string_view text, const std::string& file)
{
    ProjectMetadata m;
    std::uint64_t number = 0;
    std::size_t at = 0;
    bool haveHeader = false;
    VariableMetadata* current = nullptr;
    Line line;
    std::string reason;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view raw = text.substr(at, end - at);
        at = end + 1;
        ++number;
        // CR LF line ends, and stray CRs before them, are no part of a record.
        while (!raw.empty() && raw.back() == '\r')
            raw.remove_suffix(1);
        if (!haveHeader) {
            const std::string expected = std::string(ProjectMetadata::formatName) + " ";
            int version = 0;
            if (!raw.starts_with(expected) || !readCount(raw.substr(expected.size()), version) || version < 1)
                return invalid(file, number, "not a QAVN metadata file (the first line is not \"QAVN-META 1\")");
            if (version > ProjectMetadata::version)
                return invalid(file, number,
                               "version " + std::to_string(version) + " is newer than this program reads (" +
                                   std::to_string(ProjectMetadata::version) + ")");
            haveHeader = true;
            continue;
        }
        if (trimmed(raw).empty() || raw.front() == '#')
            continue;
        const std::string_view kind = raw.substr(0, raw.find(' '));
        if (kind != "project" && kind != "source" && kind != "variable" && kind != "missing") {
            // A record of a later version: kept as it is, where it stood.
            (current != nullptr ? current->unknownLines : m.unknownLines).emplace_back(raw);
            continue;
        }
        if (!splitLine(raw, line, reason))
            return invalid(file, number, reason);
        bool ok = true;
        if (line.kind == "project") {
            ok = readProject(line, m, reason);
        } else if (line.kind == "source") {
            SourceFile source;
            ok = readSource(line, source, reason);
            m.sources.push_back(std::move(source));
        } else if (line.kind == "variable") {
            VariableMetadata v;
            ok = readVariable(line, v, reason);
            if (ok) {
                if (m.variable(v.name) != nullptr)
                    return invalid(file, number, "variable " + v.name + " is described twice");
                const std::string name = v.name;
                m.add(std::move(v));
                current = m.variable(name);
            }
        } else {
            if (current == nullptr)
                return invalid(file, number, "a missing value before any variable line");
            MissingValue missing;
            ok = readMissing(line, *current, missing, reason);
            current->missing.push_back(std::move(missing));
        }
        if (!ok)
            return invalid(file, number, reason);
    }
    if (!haveHeader)
        return invalid(file, 1, "the file is empty; a QAVN metadata file starts with \"QAVN-META 1\"");
    return m;
}

ReadResult<ProjectMetadata> readMetadataFile(const std::filesystem::path& path, const std::string& file)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ReadError error;
        error.kind = ReadError::Kind::CannotOpen;
        error.file = file;
        error.hostPath = path.string();
        error.reason = "No such file or directory";
        return error;
    }
    std::stringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) {
        ReadError error;
        error.kind = ReadError::Kind::CannotRead;
        error.file = file;
        error.hostPath = path.string();
        error.reason = "the file cannot be read";
        return error;
    }
    return parseMetadata(bytes.str(), file);
}

bool writeMetadataFile(const std::filesystem::path& path, const ProjectMetadata& metadata, std::string& error)
{
    FileTextOutput out;
    if (!out.openHost(path)) {
        error = "cannot create " + path.string() + ": " + out.openError();
        return false;
    }
    out.writeBytes(metadataText(metadata));
    if (!out.flush()) {
        error = "cannot write " + path.string() + ": " + out.errorText();
        out.discard();
        return false;
    }
    if (!out.close()) {
        error = "cannot write " + path.string() + ": " + out.errorText();
        return false;
    }
    return true;
}

} // namespace qavn
