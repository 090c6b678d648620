#include "import/DdiSource.h"

#include <libxml/xmlreader.h>
#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>

namespace qavn {

namespace fs = std::filesystem;

namespace {

// Blanks, tabs and line ends run together into single blanks; none at the ends.
std::string collapse(const char* text)
{
    std::string out;
    if (text == nullptr)
        return out;
    bool blank = false;
    for (const char* p = text; *p != '\0'; ++p) {
        const char c = *p;
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            blank = !out.empty();
            continue;
        }
        if (blank)
            out.push_back(' ');
        blank = false;
        out.push_back(c);
    }
    return out;
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// A number as DDI data hold it: optional sign, digits, optional point. With
// `decimals` > 0 a field without a point has that many implied decimals.
std::optional<double> readNumber(std::string_view field, int decimals)
{
    field = trim(field);
    if (!field.empty() && field.front() == '+')
        field.remove_prefix(1);
    double value = 0;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (ec != std::errc() || end != field.data() + field.size() || !std::isfinite(value))
        return std::nullopt;
    if (decimals > 0 && field.find_first_of(".eE") == std::string_view::npos)
        value /= std::pow(10.0, decimals);
    return value;
}

std::optional<long> readCount(const std::string& text)
{
    long value = 0;
    const std::string_view t = trim(text);
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (t.empty() || ec != std::errc() || end != t.data() + t.size())
        return std::nullopt;
    return value;
}

struct Category {
    std::string value;
    std::string label;
    bool missing = false;
};

struct DdiVariable {
    std::string id;
    SourceVariable source;
    int record = 1;
    std::size_t first = 0; // 1-based columns
    std::size_t last = 0;
    int decimals = 0;
    std::size_t group = SIZE_MAX;
    std::size_t xmlLine = 0;
    std::vector<Category> categories;
    std::string question;
    std::string universe;
    std::string conceptText;
    std::string notes;
    std::string interval;
};

struct Group {
    std::string name;
    std::vector<std::string> members;
};

struct XmlReaderDeleter {
    void operator()(xmlTextReader* r) const { xmlFreeTextReader(r); }
};

class DdiSource final : public SourceReader {
public:
    DdiSource(fs::path xml, fs::path data) : xml_(std::move(xml)), data_(std::move(data)) {}

    const fs::path& path() const override { return xml_; }

    bool pass(SourceVisitor& visitor, std::string& error) override
    {
        if (!described_) {
            if (!describe(error))
                return false;
            described_ = true;
        }
        if (!visitor.variables(variables_))
            return false;
        return readData(visitor, error);
    }

private:
    std::string attribute(xmlTextReader* r, const char* name)
    {
        xmlChar* value = xmlTextReaderGetAttribute(r, reinterpret_cast<const xmlChar*>(name));
        std::string text = value != nullptr ? collapse(reinterpret_cast<const char*>(value)) : std::string();
        xmlFree(value);
        return text;
    }

    // The line of the element at hand (the parser itself may have read ahead).
    static std::size_t lineOf(xmlTextReader* r)
    {
        const xmlNode* node = xmlTextReaderCurrentNode(r);
        const long line = node != nullptr ? xmlGetLineNo(node) : -1;
        return line > 0 ? static_cast<std::size_t>(line)
                        : static_cast<std::size_t>(std::max(0, xmlTextReaderGetParserLineNumber(r)));
    }

    std::string content(xmlTextReader* r)
    {
        xmlChar* value = xmlTextReaderReadString(r);
        std::string text = collapse(reinterpret_cast<const char*>(value));
        xmlFree(value);
        return text;
    }

    // Reads the document once, keeping only what the variables need.
    bool describe(std::string& error)
    {
        std::unique_ptr<xmlTextReader, XmlReaderDeleter> reader(
            xmlReaderForFile(xml_.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_HUGE));
        if (!reader) {
            error = xml_.string() + ": cannot be opened as XML";
            return false;
        }
        xmlTextReaderSetErrorHandler(
            reader.get(),
            [](void* arg, const char* message, xmlParserSeverities severity, xmlTextReaderLocatorPtr locator) {
                auto* self = static_cast<DdiSource*>(arg);
                if (severity != XML_PARSER_SEVERITY_ERROR && severity != XML_PARSER_SEVERITY_VALIDITY_ERROR)
                    return;
                if (self->xmlError_.empty())
                    self->xmlError_ = "line " + std::to_string(xmlTextReaderLocatorLineNumber(locator)) + ": " +
                                      collapse(message);
            },
            this);

        std::vector<std::string> stack; // open elements, outermost first
        std::vector<Group> groups;
        std::string fileName;
        DdiVariable* var = nullptr;
        Category* category = nullptr;
        bool codeBook = false;
        int rc = 0;
        auto fail = [&](std::string message) {
            error = xml_.string() + ": line " + std::to_string(lineOf(reader.get())) +
                    ": " + std::move(message);
            return false;
        };
        while ((rc = xmlTextReaderRead(reader.get())) == 1) {
            const int type = xmlTextReaderNodeType(reader.get());
            if (type == XML_READER_TYPE_END_ELEMENT) {
                if (!stack.empty()) {
                    if (stack.back() == "var")
                        var = nullptr;
                    else if (stack.back() == "catgry")
                        category = nullptr;
                    stack.pop_back();
                }
                continue;
            }
            if (type != XML_READER_TYPE_ELEMENT)
                continue;
            const char* local = reinterpret_cast<const char*>(xmlTextReaderConstLocalName(reader.get()));
            const std::string name = local != nullptr ? local : "";
            const std::string parent = stack.empty() ? std::string() : stack.back();
            if (stack.empty()) {
                if (name != "codeBook")
                    return fail("not a DDI codebook (the document is <" + name + ">)");
                codeBook = true;
            }

            if (name == "var" && parent == "dataDscr") {
                var = &variablesDdi_.emplace_back();
                category = nullptr;
                var->id = attribute(reader.get(), "ID");
                var->source.name = attribute(reader.get(), "name");
                var->interval = attribute(reader.get(), "intrvl");
                var->xmlLine = lineOf(reader.get());
                if (var->source.name.empty())
                    return fail("a variable without a name");
                const std::string dcml = attribute(reader.get(), "dcml");
                if (!dcml.empty()) {
                    const auto d = readCount(dcml);
                    if (!d || *d < 0 || *d > 16)
                        return fail(var->source.name + ": dcml=\"" + dcml + "\" is not a number of decimals");
                    var->decimals = static_cast<int>(*d);
                }
            } else if (name == "varGrp" && parent == "dataDscr") {
                Group g;
                g.name = attribute(reader.get(), "name");
                if (g.name.empty())
                    g.name = attribute(reader.get(), "ID");
                std::string members = attribute(reader.get(), "var");
                std::size_t at = 0;
                while (at < members.size()) {
                    std::size_t end = members.find(' ', at);
                    if (end == std::string::npos)
                        end = members.size();
                    if (end > at)
                        g.members.push_back(members.substr(at, end - at));
                    at = end + 1;
                }
                groups.push_back(std::move(g));
            } else if (name == "labl" && parent == "varGrp" && !groups.empty()) {
                groups.back().name = content(reader.get());
            } else if (name == "fileName" && parent == "fileTxt" && fileName.empty()) {
                fileName = content(reader.get());
            } else if (var != nullptr) {
                if (name == "location" && parent == "var") {
                    if (!locate(reader.get(), *var, error)) {
                        error = xml_.string() + ": line " +
                                std::to_string(lineOf(reader.get())) + ": " + error;
                        return false;
                    }
                } else if (name == "labl" && parent == "var" && var->source.label.empty()) {
                    var->source.label = content(reader.get());
                } else if (name == "qstn" && parent == "var") {
                    if (var->question.empty())
                        var->question = content(reader.get());
                } else if (name == "qstnLit" && parent == "qstn") {
                    var->question = content(reader.get());
                } else if (name == "universe" && parent == "var") {
                    var->universe = content(reader.get());
                } else if (name == "concept" && parent == "var") {
                    var->conceptText = content(reader.get());
                } else if (name == "notes" && parent == "var") {
                    const std::string text = content(reader.get());
                    var->notes += (var->notes.empty() || text.empty() ? "" : " ") + text;
                } else if (name == "varFormat" && parent == "var") {
                    var->source.isText = attribute(reader.get(), "type") == "character";
                } else if (name == "catgry" && parent == "var") {
                    category = &var->categories.emplace_back();
                    category->missing = attribute(reader.get(), "missing") == "Y";
                } else if (category != nullptr && parent == "catgry" && name == "catValu") {
                    category->value = content(reader.get());
                } else if (category != nullptr && parent == "catgry" && name == "labl" && category->label.empty()) {
                    category->label = content(reader.get());
                }
            }
            if (!xmlTextReaderIsEmptyElement(reader.get()))
                stack.push_back(name);
        }
        if (rc != 0 || !xmlError_.empty()) {
            error = xml_.string() + ": " + (xmlError_.empty() ? std::string("the XML cannot be read") : xmlError_);
            return false;
        }
        if (!codeBook) {
            error = xml_.string() + ": not a DDI codebook";
            return false;
        }
        reader.reset();
        return finish(groups, fileName, error);
    }

    bool locate(xmlTextReader* r, DdiVariable& v, std::string& error)
    {
        const std::string start = attribute(r, "StartPos");
        const std::string end = attribute(r, "EndPos");
        const std::string width = attribute(r, "width");
        const std::string record = attribute(r, "RecSegNo");
        const auto s = readCount(start);
        const auto e = end.empty() ? std::optional<long>() : readCount(end);
        const auto w = width.empty() ? std::optional<long>() : readCount(width);
        if (!s || *s < 1 || (!end.empty() && !e) || (!width.empty() && !w) || (!e && !w)) {
            error = v.source.name + ": the location needs StartPos and EndPos or width, as column numbers from 1";
            return false;
        }
        const long last = e ? *e : *s + *w - 1;
        if (last < *s || (e && w && *e - *s + 1 != *w)) {
            error = v.source.name + ": the location StartPos=" + start + " EndPos=" + end + " width=" + width +
                    " does not add up";
            return false;
        }
        if (!record.empty()) {
            const auto n = readCount(record);
            if (!n || *n < 1 || *n > 99) {
                error = v.source.name + ": RecSegNo=\"" + record + "\" is not a record number from 1 to 99";
                return false;
            }
            v.record = static_cast<int>(*n);
        }
        v.first = static_cast<std::size_t>(*s);
        v.last = static_cast<std::size_t>(last);
        return true;
    }

    static std::string columns(const DdiVariable& v)
    {
        return "columns " + std::to_string(v.first) + "-" + std::to_string(v.last);
    }

    bool finish(const std::vector<Group>& groups, const std::string& fileName, std::string& error)
    {
        if (variablesDdi_.empty()) {
            error = xml_.string() + ": the codebook describes no variables (dataDscr/var)";
            return false;
        }
        std::map<std::string, std::size_t> byId;
        for (std::size_t i = 0; i < variablesDdi_.size(); ++i) {
            DdiVariable& v = variablesDdi_[i];
            if (v.last == 0) {
                error = xml_.string() + ": line " + std::to_string(v.xmlLine) + ": " + v.source.name +
                        " has no location in the data file";
                return false;
            }
            if (!v.id.empty())
                byId.emplace(v.id, i);
        }
        for (std::size_t g = 0; g < groups.size(); ++g)
            for (const std::string& id : groups[g].members) {
                const auto found = byId.find(id);
                if (found != byId.end() && variablesDdi_[found->second].group == SIZE_MAX)
                    variablesDdi_[found->second].group = g;
            }

        // Overlapping locations would read the same columns twice.
        std::vector<const DdiVariable*> sorted;
        for (const DdiVariable& v : variablesDdi_)
            sorted.push_back(&v);
        std::sort(sorted.begin(), sorted.end(), [](const DdiVariable* a, const DdiVariable* b) {
            return a->record != b->record ? a->record < b->record : a->first < b->first;
        });
        for (std::size_t i = 1; i < sorted.size(); ++i)
            if (sorted[i]->record == sorted[i - 1]->record && sorted[i]->first <= sorted[i - 1]->last) {
                error = xml_.string() + ": line " + std::to_string(sorted[i]->xmlLine) + ": " + sorted[i]->source.name +
                        " (" + columns(*sorted[i]) + ") overlaps " + sorted[i - 1]->source.name + " (" +
                        columns(*sorted[i - 1]) + ")" +
                        (sorted[i]->record > 1 ? " in record " + std::to_string(sorted[i]->record) : "");
                return false;
            }

        // Grouped variables in the order of their groups, the rest after them.
        std::stable_sort(variablesDdi_.begin(), variablesDdi_.end(),
                         [](const DdiVariable& a, const DdiVariable& b) { return a.group < b.group; });
        variables_.clear();
        for (DdiVariable& v : variablesDdi_) {
            records_ = std::max(records_, v.record);
            SourceVariable& s = v.source;
            const std::size_t width = v.last - v.first + 1;
            s.format = (s.isText ? "A" : "F") + std::to_string(width) +
                       (!s.isText && v.decimals > 0 ? "." + std::to_string(v.decimals) : "");
            s.storageWidth = s.isText ? width : 0;
            if (v.group != SIZE_MAX)
                s.section = groups[v.group].name;
            if (!v.question.empty())
                s.details.push_back("Question: " + v.question);
            if (!v.universe.empty())
                s.details.push_back("Universe: " + v.universe);
            if (!v.conceptText.empty())
                s.details.push_back("Concept: " + v.conceptText);
            if (v.interval == "contin" || v.interval == "discrete")
                s.details.push_back(v.interval == "contin" ? "Interval: continuous" : "Interval: discrete");
            if (!v.notes.empty())
                s.details.push_back("Notes: " + v.notes);
            for (const Category& c : v.categories) {
                if (c.value.empty())
                    continue;
                SourceValueLabel label;
                label.isText = s.isText;
                label.label = c.label;
                SourceMissing missing;
                missing.isText = s.isText;
                if (s.isText) {
                    label.text = c.value;
                    missing.text = c.value;
                } else {
                    const auto number = readNumber(c.value, 0);
                    if (!number) {
                        error = xml_.string() + ": line " + std::to_string(v.xmlLine) + ": " + s.name +
                                ": the category value '" + c.value + "' is not a number";
                        return false;
                    }
                    label.number = missing.low = missing.high = *number;
                }
                if (c.missing)
                    s.missing.push_back(missing);
                if (!c.label.empty())
                    s.labels.push_back(std::move(label));
            }
            variables_.push_back(std::move(s));
            // Only the place and kind are needed from here on.
            v.source = SourceVariable{};
            v.source.name = variables_.back().name;
            v.source.isText = variables_.back().isText;
            v.categories = {};
            v.question = v.universe = v.conceptText = v.notes = {};
        }

        if (data_.empty()) {
            if (fileName.empty()) {
                error = xml_.string() + ": no data file named (fileDscr/fileTxt/fileName); give it as " +
                        xml_.filename().string() + ":DATA";
                return false;
            }
            // Written on another system, the name may carry a folder.
            std::string base = fileName;
            const std::size_t slash = base.find_last_of("/\\");
            fs::path candidate = xml_.parent_path() / fileName;
            std::error_code ec;
            if (!fs::is_regular_file(candidate, ec) && slash != std::string::npos)
                candidate = xml_.parent_path() / base.substr(slash + 1);
            if (!fs::is_regular_file(candidate, ec) && fs::is_regular_file(fs::path(candidate) += ".gz", ec))
                candidate += ".gz";
            data_ = candidate;
        }
        return true;
    }

    // Reads one line, any length, without its line end. False at the end.
    static bool readLine(gzFile in, std::string& line)
    {
        line.clear();
        char buffer[8192];
        while (gzgets(in, buffer, sizeof buffer) != nullptr) {
            line += buffer;
            if (!line.empty() && line.back() == '\n') {
                line.pop_back();
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                return true;
            }
        }
        return !line.empty();
    }

    bool readData(SourceVisitor& visitor, std::string& error)
    {
        gzFile in = gzopen(data_.c_str(), "rb");
        if (in == nullptr) {
            error = data_.string() + ": cannot be opened (the data file of " + xml_.filename().string() + ")";
            return false;
        }
        std::unique_ptr<gzFile_s, int (*)(gzFile)> closer(in, &gzclose);
        std::vector<std::string> lines(static_cast<std::size_t>(records_));
        std::uint64_t lineNumber = 0;
        std::string text;
        for (;;) {
            std::size_t got = 0;
            for (; got < lines.size(); ++got) {
                if (!readLine(in, lines[got]))
                    break;
                ++lineNumber;
            }
            int errnum = Z_OK;
            const char* message = gzerror(in, &errnum);
            if (errnum != Z_OK && errnum != Z_STREAM_END) {
                error = data_.string() + ": line " + std::to_string(lineNumber + 1) + ": " + message;
                return false;
            }
            if (got == 0)
                return true;
            if (got < lines.size()) {
                error = data_.string() + ": line " + std::to_string(lineNumber) + ": the file ends inside a case of " +
                        std::to_string(lines.size()) + " lines";
                return false;
            }
            const std::uint64_t firstLine = lineNumber - lines.size() + 1;
            for (std::size_t i = 0; i < variablesDdi_.size(); ++i) {
                const DdiVariable& v = variablesDdi_[i];
                const std::string& line = lines[static_cast<std::size_t>(v.record - 1)];
                const std::uint64_t at = firstLine + static_cast<std::uint64_t>(v.record - 1);
                if (v.last > line.size()) {
                    error = data_.string() + ": line " + std::to_string(at) + ": " + v.source.name + " (" +
                            columns(v) + ") runs past the line's end (" + std::to_string(line.size()) +
                            " characters)";
                    return false;
                }
                const std::string_view field = std::string_view(line).substr(v.first - 1, v.last - v.first + 1);
                SourceValue value;
                if (v.source.isText) {
                    std::string_view t = field;
                    while (!t.empty() && t.back() == ' ')
                        t.remove_suffix(1);
                    text.assign(t);
                    value.kind = SourceValue::Kind::Text;
                    value.text = text;
                } else if (!trim(field).empty() && trim(field) != ".") {
                    const auto number = readNumber(field, v.decimals);
                    if (!number) {
                        error = data_.string() + ": line " + std::to_string(at) + ", " + columns(v) + ": " +
                                v.source.name + ": '" + std::string(field) + "' is not a number";
                        return false;
                    }
                    value.kind = SourceValue::Kind::Number;
                    value.number = *number;
                }
                if (!visitor.value(i, value))
                    return false;
            }
            if (!visitor.endCase())
                return false;
        }
    }

    fs::path xml_;
    fs::path data_;
    bool described_ = false;
    std::string xmlError_;
    std::vector<SourceVariable> variables_;
    std::vector<DdiVariable> variablesDdi_;
    int records_ = 1;
};

} // namespace

std::unique_ptr<SourceReader> openDdiSource(const std::filesystem::path& xml, const std::filesystem::path& data)
{
    return std::make_unique<DdiSource>(xml, data);
}

} // namespace qavn
