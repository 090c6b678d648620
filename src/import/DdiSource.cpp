// The DDI Codebook 2.5 reader: the document walked once, then its
// fixed-width data files case by case.
#include "import/DdiSource.h"

#include <libxml/xmlreader.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <tuple>

namespace qavn {

namespace fs = std::filesystem;

namespace {

// Blanks, tabs and line ends run together into single blanks; none at the ends.
std::string collapse(const char* text)
{
    std::string out;
    if (text == nullptr)
        return out;
    out.resize(std::strlen(text));
    char* to = out.data();
    bool blank = false;
    for (const char* p = text; *p != '\0'; ++p) {
        const char c = *p;
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            blank = to != out.data();
            continue;
        }
        if (blank)
            *to++ = ' ';
        blank = false;
        *to++ = c;
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
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

// A text field of the data as UTF-8: as it is when it is UTF-8, else taken
// as single-byte text (Windows-1252, as fixed-width files usually are).
void asUtf8(std::string_view field, std::string& out)
{
    out.clear();
    bool utf8 = true;
    for (std::size_t i = 0; i < field.size() && utf8;) {
        const auto b = static_cast<unsigned char>(field[i]);
        const std::size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
        utf8 = n != 0 && i + n <= field.size() && !(n == 2 && b < 0xC2);
        for (std::size_t k = 1; utf8 && k < n; ++k)
            utf8 = (static_cast<unsigned char>(field[i + k]) & 0xC0) == 0x80;
        i += n;
    }
    if (utf8) {
        out.assign(field);
        return;
    }
    for (const char c : field) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
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
    SourceVariable source; // handed to the reader of its data file by finish()
    std::string fileId;    // the first ID of its `files` attribute
    std::size_t file = 0;
    int record = 1;
    std::size_t first = 0; // 1-based columns
    std::size_t last = 0;
    int decimals = 0;
    std::size_t group = SIZE_MAX;
    std::size_t xmlLine = 0;
    std::vector<Category> categories;
    // The further description lines, kept in the document's spill file.
    std::uint64_t detailsAt = 0;
    std::uint64_t detailsSize = 0;
};

std::string columns(const DdiVariable& v)
{
    return "columns " + std::to_string(v.first) + "-" + std::to_string(v.last);
}

// The long texts of the variable being read, until they go to the spill file.
struct VariableTexts {
    std::string text;   // txt
    std::string coding; // codInstr
    std::string question;
    std::string universe;
    std::string conceptText;
    std::string notes;
    std::string interval;
};

struct DdiFile {
    std::string id;
    std::string fileName;
    std::size_t xmlLine = 0;
    fs::path data;
    std::vector<std::size_t> variables; // catalogue order
    int records = 1;
    std::int64_t declaredCases = -1; // dimensns/caseQnty
};

struct Group {
    std::string name;
    std::vector<std::string> members;
};

struct XmlReaderDeleter {
    void operator()(xmlTextReader* r) const { xmlFreeTextReader(r); }
};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// What the document says, read once and shared by the readers of its data
// files. Long texts (questions, notes) wait in an unnamed temporary file
// until the codebook is written, so memory does not grow with them.
class DdiDocument {
public:
    explicit DdiDocument(fs::path xml) : xml_(std::move(xml)) {}

    const fs::path& xml() const { return xml_; }
    // The study's title (stdyDscr), else the document's (docDscr); the
    // encoding the XML declares.
    const std::string& title() const { return studyTitle_.empty() ? documentTitle_ : studyTitle_; }
    const std::string& encoding() const { return encoding_; }
    std::vector<DdiVariable>& variables() { return variables_; }
    std::vector<DdiFile>& files() { return files_; }

    // Reads the document; `data` (may be empty) is the data file named on
    // the command line.
    bool read(const fs::path& data, std::string& error)
    {
        spill_.reset(std::tmpfile());
        if (!spill_) {
            error = xml_.string() + ": cannot create a temporary file: " + std::strerror(errno);
            return false;
        }
        return describe(error) && finish(data, error);
    }

    bool details(const DdiVariable& v, std::vector<std::string>& lines, std::string& error)
    {
        lines.clear();
        if (v.detailsSize == 0)
            return true;
        std::string text(static_cast<std::size_t>(v.detailsSize), '\0');
        if (::fseeko(spill_.get(), static_cast<off_t>(v.detailsAt), SEEK_SET) != 0 ||
            std::fread(text.data(), 1, text.size(), spill_.get()) != text.size()) {
            error = xml_.string() + ": " + v.source.name + ": its texts cannot be read back from a temporary file";
            return false;
        }
        std::size_t at = 0;
        while (at <= text.size()) {
            std::size_t end = text.find('\n', at);
            if (end == std::string::npos)
                end = text.size();
            lines.push_back(text.substr(at, end - at));
            at = end + 1;
        }
        return true;
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

    // The element's text as paragraphs, one a line: a blank line in the
    // text ends a paragraph, other line ends are blanks as the XML's own
    // wrapping.
    std::string paragraphs(xmlTextReader* r)
    {
        xmlChar* value = xmlTextReaderReadString(r);
        const std::string raw = value != nullptr ? reinterpret_cast<const char*>(value) : "";
        xmlFree(value);
        std::string out;
        std::size_t at = 0;
        while (at < raw.size()) {
            // A paragraph runs to a line end followed by blanks and another line end.
            std::size_t end = at;
            for (;;) {
                end = raw.find('\n', end);
                if (end == std::string::npos)
                    break;
                std::size_t next = end + 1;
                while (next < raw.size() && (raw[next] == ' ' || raw[next] == '\t' || raw[next] == '\r'))
                    ++next;
                if (next < raw.size() && raw[next] == '\n')
                    break;
                end = next;
            }
            if (end == std::string::npos)
                end = raw.size();
            const std::string paragraph = collapse(raw.substr(at, end - at).c_str());
            if (!paragraph.empty())
                out += (out.empty() ? "" : "\n") + paragraph;
            at = end + 1;
        }
        return out;
    }

    // Several elements of one kind (notes) are paragraphs of one text.
    static void append(std::string& to, const std::string& text)
    {
        if (!text.empty())
            to += (to.empty() ? "" : "\n") + text;
    }

    // Moves the long texts of a variable whose element is complete to the
    // spill file: one line per paragraph, in the order a reader of the
    // codebook wants them.
    bool spill(DdiVariable& v, VariableTexts& texts)
    {
        std::string text;
        auto add = [&](const char* prefix, std::string& part) {
            if (!part.empty())
                text += (text.empty() ? "" : "\n") + std::string(prefix) + part;
            part = std::string();
        };
        add("", texts.text);
        add("Coding: ", texts.coding);
        add("Question: ", texts.question);
        add("Universe: ", texts.universe);
        add("Notes: ", texts.notes);
        add("Concept: ", texts.conceptText);
        std::string interval = texts.interval == "contin"     ? "continuous"
                               : texts.interval == "discrete" ? "discrete"
                                                              : "";
        add("Interval: ", interval);
        texts.interval.clear();
        v.detailsAt = spilled_;
        v.detailsSize = text.size();
        spilled_ += text.size();
        return std::fwrite(text.data(), 1, text.size(), spill_.get()) == text.size();
    }

    // The state of one walk over the document's elements.
    struct Walk {
        xmlTextReader* reader = nullptr;
        // Open elements, outermost first; local names stay in the reader's
        // dictionary while it lives.
        std::vector<std::string_view> stack;
        DdiVariable* var = nullptr;
        DdiVariable* unspilled = nullptr;
        VariableTexts texts; // of `unspilled`
        Category* category = nullptr;
        bool codeBook = false;

        std::string_view parent() const { return stack.empty() ? std::string_view() : stack.back(); }
        // The element `up` levels above the parent (0: the parent).
        std::string_view ancestor(std::size_t up) const
        {
            return stack.size() > up ? stack[stack.size() - 1 - up] : std::string_view();
        }
    };

    bool failAt(const Walk& walk, std::string message, std::string& error)
    {
        error = xml_.string() + ": line " + std::to_string(lineOf(walk.reader)) + ": " + std::move(message);
        return false;
    }

    bool spillPending(Walk& walk, std::string& error)
    {
        if (walk.unspilled != nullptr && !spill(*walk.unspilled, walk.texts)) {
            error = xml_.string() + ": cannot write a temporary file: " + std::strerror(errno);
            return false;
        }
        walk.unspilled = nullptr;
        return true;
    }

    // <var> of dataDscr: a new variable with its attributes.
    bool startVariable(Walk& walk, std::string& error)
    {
        if (!spillPending(walk, error))
            return false;
        xmlTextReader* r = walk.reader;
        DdiVariable& var = variables_.emplace_back();
        walk.var = walk.unspilled = &var;
        walk.category = nullptr;
        var.id = attribute(r, "ID");
        var.source.name = attribute(r, "name");
        walk.texts.interval = attribute(r, "intrvl");
        var.xmlLine = lineOf(r);
        const std::string files = attribute(r, "files");
        var.fileId = files.substr(0, files.find(' '));
        if (var.source.name.empty())
            return failAt(walk, "a variable without a name", error);
        const std::string dcml = attribute(r, "dcml");
        if (!dcml.empty()) {
            const auto d = readCount(dcml);
            if (!d || *d < 0 || *d > 16)
                return failAt(walk, var.source.name + ": dcml=\"" + dcml + "\" is not a number of decimals", error);
            var.decimals = static_cast<int>(*d);
            var.source.declaredDecimals = var.decimals;
        }
        return true;
    }

    // <varGrp> of dataDscr: a section of its member variables.
    void startGroup(Walk& walk)
    {
        Group g;
        g.name = attribute(walk.reader, "name");
        if (g.name.empty())
            g.name = attribute(walk.reader, "ID");
        const std::string members = attribute(walk.reader, "var");
        std::size_t at = 0;
        while (at < members.size()) {
            std::size_t end = members.find(' ', at);
            if (end == std::string::npos)
                end = members.size();
            if (end > at)
                g.members.push_back(members.substr(at, end - at));
            at = end + 1;
        }
        groups_.push_back(std::move(g));
    }

    // <fileDscr>: a data file; the URI names it when no fileName does.
    void startFile(Walk& walk)
    {
        DdiFile& file = files_.emplace_back();
        file.id = attribute(walk.reader, "ID");
        file.xmlLine = lineOf(walk.reader);
        const std::string uri = attribute(walk.reader, "URI");
        file.fileName = uri.substr(uri.find_last_of('/') == std::string::npos ? 0 : uri.find_last_of('/') + 1);
    }

    // An element inside the <var> at hand.
    bool variableElement(Walk& walk, std::string_view name, std::string& error)
    {
        xmlTextReader* r = walk.reader;
        DdiVariable& var = *walk.var;
        VariableTexts& texts = walk.texts;
        const std::string_view parent = walk.parent();
        if (name == "location" && parent == "var") {
            if (!locate(r, var, error)) {
                error = xml_.string() + ": line " + std::to_string(lineOf(r)) + ": " + error;
                return false;
            }
        } else if (name == "labl" && parent == "var" && var.source.label.empty()) {
            var.source.label = content(r);
        } else if (name == "txt" && parent == "var") {
            append(texts.text, paragraphs(r));
        } else if (name == "codInstr" && parent == "var") {
            append(texts.coding, paragraphs(r));
        } else if (name == "qstn" && parent == "var") {
            if (texts.question.empty())
                texts.question = paragraphs(r);
        } else if (name == "qstnLit" && parent == "qstn") {
            texts.question = paragraphs(r);
        } else if (name == "universe" && parent == "var") {
            append(texts.universe, paragraphs(r));
        } else if (name == "concept" && parent == "var") {
            texts.conceptText = content(r);
        } else if (name == "notes" && parent == "var") {
            append(texts.notes, paragraphs(r));
        } else if (name == "varFormat" && parent == "var") {
            var.source.isText = attribute(r, "type") == "character";
        } else if (name == "catgry" && parent == "var") {
            walk.category = &var.categories.emplace_back();
            walk.category->missing = attribute(r, "missing") == "Y";
        } else if (walk.category != nullptr && parent == "catgry" && name == "catValu") {
            walk.category->value = content(r);
        } else if (walk.category != nullptr && parent == "catgry" && name == "labl" && walk.category->label.empty()) {
            walk.category->label = content(r);
        }
        return true;
    }

    // The study's title, and the case count of the file at hand.
    void documentElement(Walk& walk, std::string_view name)
    {
        if (name == "titl" && walk.parent() == "titlStmt" && walk.ancestor(1) == "citation") {
            const std::string_view owner = walk.ancestor(2);
            if (owner == "stdyDscr" && studyTitle_.empty())
                studyTitle_ = content(walk.reader);
            else if (owner == "docDscr" && documentTitle_.empty())
                documentTitle_ = content(walk.reader);
        } else if (name == "caseQnty" && walk.parent() == "dimensns" && walk.ancestor(1) == "fileTxt" &&
                   walk.ancestor(2) == "fileDscr" && !files_.empty()) {
            const auto n = readCount(content(walk.reader));
            if (n && *n >= 0)
                files_.back().declaredCases = *n;
        }
    }

    // One element start: what it adds to the variables, groups and files.
    bool element(Walk& walk, std::string_view name, std::string& error)
    {
        const std::string_view parent = walk.parent();
        if (walk.stack.empty()) {
            if (name != "codeBook")
                return failAt(walk, "not a DDI codebook (the document is <" + std::string(name) + ">)", error);
            walk.codeBook = true;
        }
        if (name == "var" && parent == "dataDscr")
            return startVariable(walk, error);
        if (name == "varGrp" && parent == "dataDscr") {
            startGroup(walk);
        } else if (name == "labl" && parent == "varGrp" && !groups_.empty()) {
            groups_.back().name = content(walk.reader);
        } else if (name == "fileDscr" && parent == "codeBook") {
            startFile(walk);
        } else if (name == "fileName" && parent == "fileTxt" && walk.ancestor(1) == "fileDscr" && !files_.empty()) {
            const std::string fileName = content(walk.reader);
            if (!fileName.empty())
                files_.back().fileName = fileName;
        } else if (walk.var != nullptr) {
            return variableElement(walk, name, error);
        } else {
            documentElement(walk, name);
        }
        return true;
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
                auto* self = static_cast<DdiDocument*>(arg);
                if (severity != XML_PARSER_SEVERITY_ERROR && severity != XML_PARSER_SEVERITY_VALIDITY_ERROR)
                    return;
                if (self->xmlError_.empty())
                    self->xmlError_ = "line " + std::to_string(xmlTextReaderLocatorLineNumber(locator)) + ": " +
                                      collapse(message);
            },
            this);

        Walk walk;
        walk.reader = reader.get();
        int rc = 0;
        while ((rc = xmlTextReaderRead(walk.reader)) == 1) {
            const int type = xmlTextReaderNodeType(walk.reader);
            if (type == XML_READER_TYPE_END_ELEMENT) {
                if (!walk.stack.empty()) {
                    if (walk.stack.back() == "var")
                        walk.var = nullptr;
                    else if (walk.stack.back() == "catgry")
                        walk.category = nullptr;
                    walk.stack.pop_back();
                }
                continue;
            }
            if (type != XML_READER_TYPE_ELEMENT)
                continue;
            const char* local = reinterpret_cast<const char*>(xmlTextReaderConstLocalName(walk.reader));
            const std::string_view name = local != nullptr ? local : "";
            if (!element(walk, name, error))
                return false;
            if (!xmlTextReaderIsEmptyElement(walk.reader))
                walk.stack.push_back(name);
        }
        if (rc != 0 || !xmlError_.empty()) {
            error = xml_.string() + ": " + (xmlError_.empty() ? std::string("the XML cannot be read") : xmlError_);
            return false;
        }
        if (!walk.codeBook) {
            error = xml_.string() + ": not a DDI codebook";
            return false;
        }
        if (const xmlChar* encoding = xmlTextReaderConstEncoding(walk.reader))
            encoding_ = reinterpret_cast<const char*>(encoding);
        return spillPending(walk, error) && std::fflush(spill_.get()) == 0;
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

    bool finish(const fs::path& data, std::string& error)
    {
        if (variables_.empty()) {
            error = xml_.string() + ": the codebook describes no variables (dataDscr/var)";
            return false;
        }
        if (files_.empty())
            files_.emplace_back(); // the data file comes from the command line
        std::map<std::string, std::size_t> fileById;
        for (std::size_t f = 0; f < files_.size(); ++f)
            if (!files_[f].id.empty())
                fileById.emplace(files_[f].id, f);
        std::map<std::string, std::size_t> byId;
        for (std::size_t i = 0; i < variables_.size(); ++i) {
            DdiVariable& v = variables_[i];
            const std::string where = xml_.string() + ": line " + std::to_string(v.xmlLine) + ": " + v.source.name;
            if (v.last == 0) {
                error = where + " has no location in the data file";
                return false;
            }
            if (!v.fileId.empty()) {
                const auto found = fileById.find(v.fileId);
                if (found == fileById.end()) {
                    error = where + ": files=\"" + v.fileId + "\" names no fileDscr of the document";
                    return false;
                }
                v.file = found->second;
            }
            if (!v.id.empty())
                byId.emplace(v.id, i);
        }
        for (std::size_t g = 0; g < groups_.size(); ++g)
            for (const std::string& id : groups_[g].members) {
                const auto found = byId.find(id);
                if (found != byId.end() && variables_[found->second].group == SIZE_MAX)
                    variables_[found->second].group = g;
            }

        // Overlapping locations in one data file would read the same columns twice.
        std::vector<const DdiVariable*> sorted;
        for (const DdiVariable& v : variables_)
            sorted.push_back(&v);
        std::sort(sorted.begin(), sorted.end(), [](const DdiVariable* a, const DdiVariable* b) {
            return std::tie(a->file, a->record, a->first) < std::tie(b->file, b->record, b->first);
        });
        for (std::size_t i = 1; i < sorted.size(); ++i) {
            const DdiVariable& a = *sorted[i - 1];
            const DdiVariable& b = *sorted[i];
            if (a.file == b.file && a.record == b.record && b.first <= a.last) {
                error = xml_.string() + ": line " + std::to_string(b.xmlLine) + ": " + b.source.name + " (" +
                        columns(b) + ") overlaps " + a.source.name + " (" + columns(a) + ")" +
                        (b.record > 1 ? " in record " + std::to_string(b.record) : "");
                return false;
            }
        }

        // Grouped variables in the order of their groups, the rest after them.
        std::vector<std::size_t> order(variables_.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return variables_[a].group < variables_[b].group; });
        for (std::size_t i : order) {
            DdiVariable& v = variables_[i];
            DdiFile& file = files_[v.file];
            file.variables.push_back(i);
            file.records = std::max(file.records, v.record);
            if (!describeVariable(v, error))
                return false;
        }
        groups_ = {};

        // A file without variables is not read.
        files_.erase(std::remove_if(files_.begin(), files_.end(), [](const DdiFile& f) { return f.variables.empty(); }),
                     files_.end());
        if (!data.empty() && files_.size() > 1) {
            error = xml_.string() + ": the codebook describes " + std::to_string(files_.size()) +
                    " data files; they are found by their names beside it, not given after the colon";
            return false;
        }
        for (DdiFile& file : files_)
            if (!locateData(file, data, error))
                return false;
        return true;
    }

    // Turns the categories into value labels and missing values, the
    // location into a format.
    bool describeVariable(DdiVariable& v, std::string& error)
    {
        SourceVariable& s = v.source;
        const std::size_t width = v.last - v.first + 1;
        s.format = (s.isText ? "A" : "F") + std::to_string(width) +
                   (s.isText ? std::string() : "." + std::to_string(v.decimals));
        s.display = displayFormatOf(s.format, FormatFamily::Spss, s.isText);
        s.storageWidth = s.isText ? width : 0;
        if (v.group != SIZE_MAX)
            s.section = groups_[v.group].name;
        s.labels.reserve(v.categories.size());
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
        v.categories = {};
        return true;
    }

    bool locateData(DdiFile& file, const fs::path& data, std::string& error)
    {
        if (!data.empty()) {
            file.data = data;
            return true;
        }
        if (file.fileName.empty()) {
            error = xml_.string() + ": " +
                    (file.xmlLine > 0 ? "line " + std::to_string(file.xmlLine) + ": the fileDscr names no data file"
                                      : std::string("no data file named")) +
                    " (fileDscr/fileTxt/fileName); give it as " + xml_.filename().string() + ":DATA";
            return false;
        }
        // Written on another system, the name may carry a folder.
        const std::size_t slash = file.fileName.find_last_of("/\\");
        fs::path candidate = xml_.parent_path() / file.fileName;
        std::error_code ec;
        if (!fs::is_regular_file(candidate, ec) && slash != std::string::npos)
            candidate = xml_.parent_path() / file.fileName.substr(slash + 1);
        if (!fs::is_regular_file(candidate, ec) && fs::is_regular_file(fs::path(candidate) += ".gz", ec))
            candidate += ".gz";
        file.data = candidate;
        return true;
    }

    fs::path xml_;
    std::string xmlError_;
    std::string studyTitle_;
    std::string documentTitle_;
    std::string encoding_;
    std::vector<DdiVariable> variables_;
    std::vector<DdiFile> files_;
    std::vector<Group> groups_;
    std::unique_ptr<std::FILE, FileCloser> spill_;
    std::uint64_t spilled_ = 0;
};

// One data file of a DDI document.
class DdiSource final : public SourceReader {
public:
    DdiSource(std::shared_ptr<DdiDocument> document, std::size_t file)
        : document_(std::move(document)), file_(document_->files()[file])
    {
        path_ = document_->files().size() == 1 ? document_->xml() : file_.data;
        for (std::size_t i : file_.variables) {
            DdiVariable& v = document_->variables()[i];
            variables_.push_back(std::move(v.source));
            // Only the place and kind are needed from here on.
            v.source = SourceVariable{};
            v.source.name = variables_.back().name;
            v.source.isText = variables_.back().isText;
        }
    }

    const fs::path& path() const override { return path_; }
    std::string title() const override { return document_->title(); }
    std::string encoding() const override { return document_->encoding(); }
    std::int64_t declaredCases() const override { return file_.declaredCases; }

    bool pass(SourceVisitor& visitor, std::string& error) override
    {
        if (!visitor.variables(variables_))
            return false;
        return readData(visitor, error);
    }

    double fraction() const override
    {
        const z_off_t at = current_ != nullptr ? gzoffset(current_) : 0;
        return size_ > 0 && at > 0 ? static_cast<double>(at) / static_cast<double>(size_) : 0.0;
    }

    bool details(std::size_t index, std::vector<std::string>& lines, std::string& error) override
    {
        return document_->details(document_->variables()[file_.variables.at(index)], lines, error);
    }

private:
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
        const fs::path& data = file_.data;
        gzFile in = gzopen(data.c_str(), "rb");
        if (in == nullptr) {
            error = data.string() + ": cannot be opened (the data file of " + document_->xml().filename().string() + ")";
            return false;
        }
        std::unique_ptr<gzFile_s, int (*)(gzFile)> closer(in, &gzclose);
        gzbuffer(in, 1u << 17);
        std::error_code ec;
        const auto size = fs::file_size(data, ec);
        size_ = ec ? 0 : size;
        current_ = in;
        struct Done {
            gzFile& current;
            ~Done() { current = nullptr; }
        } done{current_};
        std::vector<std::string> lines(static_cast<std::size_t>(file_.records));
        std::uint64_t lineNumber = 0;
        std::string text;
        const std::vector<DdiVariable>& all = document_->variables();
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
                error = data.string() + ": line " + std::to_string(lineNumber + 1) + ": " + message;
                return false;
            }
            if (got == 0)
                return true;
            if (got < lines.size()) {
                error = data.string() + ": line " + std::to_string(lineNumber) + ": the file ends inside a case of " +
                        std::to_string(lines.size()) + " lines";
                return false;
            }
            const std::uint64_t firstLine = lineNumber - lines.size() + 1;
            for (std::size_t i = 0; i < file_.variables.size(); ++i) {
                const DdiVariable& v = all[file_.variables[i]];
                const std::string& line = lines[static_cast<std::size_t>(v.record - 1)];
                const std::uint64_t at = firstLine + static_cast<std::uint64_t>(v.record - 1);
                if (v.last > line.size()) {
                    error = data.string() + ": line " + std::to_string(at) + ": " + v.source.name + " (" +
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
                    asUtf8(t, text);
                    value.kind = SourceValue::Kind::Text;
                    value.text = text;
                } else if (!trim(field).empty() && trim(field) != ".") {
                    const auto number = readNumber(field, v.decimals);
                    if (!number) {
                        error = data.string() + ": line " + std::to_string(at) + ", " + columns(v) + ": " +
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

    std::shared_ptr<DdiDocument> document_;
    const DdiFile& file_;
    gzFile current_ = nullptr; // the data file a pass reads
    std::uintmax_t size_ = 0;
    fs::path path_;
    std::vector<SourceVariable> variables_;
};

} // namespace

std::vector<std::unique_ptr<SourceReader>> openDdiSources(const std::filesystem::path& xml,
                                                          const std::filesystem::path& data, std::string& error)
{
    std::vector<std::unique_ptr<SourceReader>> readers;
    auto document = std::make_shared<DdiDocument>(xml);
    if (!document->read(data, error))
        return readers;
    for (std::size_t f = 0; f < document->files().size(); ++f)
        readers.push_back(std::make_unique<DdiSource>(document, f));
    return readers;
}

} // namespace qavn
