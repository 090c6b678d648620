// The DDI Codebook 2.5 reader: the document read once as a stream of
// elements, within bounds, then its fixed-width data files case by case.
#include "import/DdiSource.h"

#include <libxml/parser.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <tuple>

namespace qavn {

namespace fs = std::filesystem;

namespace {

// What a DDI document may hold: far beyond any real codebook, and small
// enough that a hostile one is refused within seconds and a little memory.
constexpr std::size_t maxDepth = 100;              // elements open at once
constexpr std::size_t maxAttributes = 256;         // attributes and namespace declarations of one element
constexpr std::size_t maxText = 1u << 20;          // characters of one text taken (a label, a question)
constexpr std::size_t maxVariableTexts = 4u << 20; // characters of one variable's texts together
// The last column of a record, and how far a data line may run past the
// longest record its codebook describes before it is refused as no line
// of that data file (a line is held whole in memory).
constexpr std::int64_t maxColumn = 1'000'000;
constexpr std::size_t lineMargin = 1u << 16;

// Blanks, tabs and line ends run together into single blanks; none at the ends.
std::string collapse(std::string_view text)
{
    std::string out;
    out.resize(text.size());
    char* to = out.data();
    bool blank = false;
    for (const char c : text) {
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

std::optional<std::int64_t> readCount(const std::string& text)
{
    std::int64_t value = 0;
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
    std::int64_t recordLength = 0;   // dimensns/logRecL; 0 when not declared
    std::size_t lineLimit = 0;       // characters a line of the data may hold
};

struct Group {
    std::string name;
    std::vector<std::string> members;
};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

struct ParserFreer {
    // A DOCTYPE leaves the parser a document of its own to hold the
    // declarations even though the handlers build none: it goes too.
    void operator()(xmlParserCtxt* c) const
    {
        if (c->myDoc != nullptr)
            xmlFreeDoc(c->myDoc);
        xmlFreeParserCtxt(c);
    }
};

// Watches the bytes of a document on their way to the parser for the one
// thing the parser would spend quadratic time on: an element with a great
// many attributes (each new one is compared with all before it). Knows just
// enough XML to tell start tags from comments, CDATA sections, processing
// instructions and declarations, and counts lines for its message.
class MarkupGuard {
public:
    // False with `problem` set ("line N: ...") when the bytes, read after
    // all the bytes before them, hold an element beyond the bound.
    bool scan(const char* data, std::size_t size, std::string& problem)
    {
        for (std::size_t i = 0; i < size; ++i) {
            const char c = data[i];
            if (c == '\n')
                ++line_;
            switch (state_) {
            case State::Text:
                if (c == '<')
                    state_ = State::Open;
                break;
            case State::Open:
                if (c == '!') {
                    state_ = State::Bang;
                } else if (c == '?') {
                    state_ = State::Pi;
                    run_ = 0;
                } else {
                    state_ = State::Tag;
                    attributes_ = 0;
                }
                break;
            case State::Tag:
                if (c == '"' || c == '\'') {
                    quote_ = c;
                    state_ = State::TagQuote;
                } else if (c == '=' && ++attributes_ > maxAttributes) {
                    problem = "line " + std::to_string(line_) + ": an element with more than " +
                              std::to_string(maxAttributes) + " attributes; a DDI element has a few";
                    return false;
                } else if (c == '>') {
                    state_ = outside();
                }
                break;
            case State::TagQuote:
                if (c == quote_)
                    state_ = State::Tag;
                break;
            case State::Bang:
                run_ = 0;
                state_ = c == '-' ? State::Comment : c == '[' ? State::CData : State::Declaration;
                if (state_ == State::Declaration)
                    declaration(c);
                break;
            case State::Comment: // ends at "-->"
                if (c == '>' && run_ >= 2)
                    state_ = outside();
                run_ = c == '-' ? run_ + 1 : 0;
                break;
            case State::CData: // ends at "]]>"
                if (c == '>' && run_ >= 2)
                    state_ = outside();
                run_ = c == ']' ? run_ + 1 : 0;
                break;
            case State::Pi: // ends at "?>"
                if (c == '>' && run_ >= 1)
                    state_ = outside();
                run_ = c == '?' ? 1 : 0;
                break;
            case State::Declaration:
                declaration(c);
                break;
            case State::DeclarationQuote:
                if (c == quote_)
                    state_ = State::Declaration;
                break;
            case State::Subset: // the DOCTYPE's internal subset, up to its ']'
                if (c == '<') {
                    state_ = State::Open;
                } else if (c == ']') {
                    subset_ = false;
                    state_ = State::Declaration;
                }
                break;
            }
        }
        return true;
    }

private:
    enum class State { Text, Open, Tag, TagQuote, Bang, Comment, CData, Pi, Declaration, DeclarationQuote, Subset };

    State outside() const { return subset_ ? State::Subset : State::Text; }

    void declaration(char c)
    {
        if (c == '"' || c == '\'') {
            quote_ = c;
            state_ = State::DeclarationQuote;
        } else if (c == '[' && !subset_) {
            subset_ = true;
            state_ = State::Subset;
        } else if (c == '>') {
            state_ = outside();
        }
    }

    State state_ = State::Text;
    bool subset_ = false;
    char quote_ = 0;
    std::size_t run_ = 0; // the closing characters seen so far
    std::size_t attributes_ = 0;
    std::uint64_t line_ = 1;
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
    // the command line. A stop asked for by `progress` returns false with
    // `error` empty.
    bool read(const fs::path& data, const OpenProgress& progress, std::string& error)
    {
        spill_.reset(std::tmpfile());
        if (!spill_) {
            error = xml_.string() + ": cannot create a temporary file: " + std::strerror(errno);
            return false;
        }
        return describe(progress, error) && finish(data, error);
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
    // What the text of an element becomes when the element ends.
    enum class Target {
        GroupName,      // varGrp/labl
        FileName,       // fileDscr/fileTxt/fileName
        CaseCount,      // fileDscr/fileTxt/dimensns/caseQnty
        RecordLength,   // fileDscr/fileTxt/dimensns/logRecL
        StudyTitle,     // stdyDscr/citation/titlStmt/titl
        DocumentTitle,  // docDscr/citation/titlStmt/titl
        Label,          // var/labl
        Text,           // var/txt
        Coding,         // var/codInstr
        Question,       // var/qstn
        QuestionText,   // var/qstn/qstnLit
        Universe,       // var/universe
        Concept,        // var/concept
        Notes,          // var/notes
        CategoryValue,  // var/catgry/catValu
        CategoryLabel,  // var/catgry/labl
    };

    // The text of an element being gathered, its descendants' text
    // included, until the element ends.
    struct Capture {
        Target target;
        std::size_t depth; // elements open with it
        std::uint64_t line;
        std::string_view element;
        std::string text;
    };

    // Open elements, outermost first; local names stay in the parser's
    // dictionary while it lives.
    std::vector<std::string_view> stack_;
    std::vector<Capture> captures_;
    DdiVariable* var_ = nullptr; // the var at hand, open at depth varDepth_
    std::size_t varDepth_ = 0;
    DdiVariable* unspilled_ = nullptr;
    VariableTexts texts_; // of `unspilled_`
    std::size_t category_ = SIZE_MAX; // the catgry at hand in var_'s categories, open at depth categoryDepth_
    std::size_t categoryDepth_ = 0;
    bool questionText_ = false;       // the qstn at hand had a qstnLit
    bool codeBook_ = false;
    // The element starting now: its attributes as the parser hands them
    // (local name, prefix, URI, value start, value end, for each).
    const xmlChar** attributes_ = nullptr;
    int attributeCount_ = 0;

    xmlParserCtxt* parser_ = nullptr;
    std::string error_;    // why the walk stopped, naming the file and line
    std::string xmlError_; // the parser's first error
    bool cancelled_ = false;

    std::string_view parent() const { return stack_.empty() ? std::string_view() : stack_.back(); }
    // The element `up` levels above the parent (0: the parent).
    std::string_view ancestor(std::size_t up) const
    {
        return stack_.size() > up ? stack_[stack_.size() - 1 - up] : std::string_view();
    }

    std::uint64_t line() const
    {
        return parser_ != nullptr && parser_->input != nullptr ? static_cast<std::uint64_t>(std::max(0, parser_->input->line))
                                                               : 0;
    }

    // An attribute without a prefix of the element starting now, blanks
    // collapsed; empty when it has none.
    std::string attribute(const char* name) const
    {
        for (int i = 0; i < attributeCount_; ++i) {
            const xmlChar* const* a = attributes_ + 5 * i;
            if (a[1] == nullptr && std::strcmp(reinterpret_cast<const char*>(a[0]), name) == 0)
                return collapse(std::string_view(reinterpret_cast<const char*>(a[3]), static_cast<std::size_t>(a[4] - a[3])));
        }
        return {};
    }

    // Stops the walk; the first reason stays.
    void stopAt(std::uint64_t at, const std::string& message)
    {
        if (error_.empty())
            error_ = xml_.string() + ": line " + std::to_string(at) + ": " + message;
        xmlStopParser(parser_);
    }
    void stop(const std::string& message) { stopAt(line(), message); }
    bool stopped() const { return !error_.empty() || cancelled_; }

    void capture(Target target, std::string_view element)
    {
        captures_.push_back({target, stack_.size() + 1, line(), element, {}});
    }

    // The element's text as paragraphs, one a line: a blank line in the
    // text ends a paragraph, other line ends are blanks as the XML's own
    // wrapping.
    static std::string paragraphs(const std::string& raw)
    {
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
            const std::string paragraph = collapse(std::string_view(raw).substr(at, end - at));
            if (!paragraph.empty()) {
                if (!out.empty())
                    out += '\n';
                out += paragraph;
            }
            at = end + 1;
        }
        return out;
    }

    // Several elements of one kind (notes) are paragraphs of one text.
    static void append(std::string& to, const std::string& text)
    {
        if (text.empty())
            return;
        if (!to.empty())
            to += '\n';
        to += text;
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

    bool spillPending()
    {
        if (unspilled_ != nullptr && !spill(*unspilled_, texts_)) {
            stop(std::string("cannot write a temporary file: ") + std::strerror(errno));
            return false;
        }
        unspilled_ = nullptr;
        return true;
    }

    // <var> of dataDscr: a new variable with its attributes.
    void startVariable()
    {
        if (!spillPending())
            return;
        DdiVariable& var = variables_.emplace_back();
        var_ = unspilled_ = &var;
        varDepth_ = stack_.size() + 1;
        category_ = SIZE_MAX;
        var.id = attribute("ID");
        var.source.name = attribute("name");
        texts_.interval = attribute("intrvl");
        var.xmlLine = line();
        const std::string files = attribute("files");
        var.fileId = files.substr(0, files.find(' '));
        if (var.source.name.empty())
            return stop("a variable without a name");
        const std::string dcml = attribute("dcml");
        if (!dcml.empty()) {
            const auto d = readCount(dcml);
            if (!d || *d < 0 || *d > 16)
                return stop(var.source.name + ": dcml=\"" + dcml + "\" is not a number of decimals");
            var.decimals = static_cast<int>(*d);
            var.source.declaredDecimals = var.decimals;
        }
    }

    // <varGrp> of dataDscr: a section of its member variables.
    void startGroup()
    {
        Group g;
        g.name = attribute("name");
        if (g.name.empty())
            g.name = attribute("ID");
        const std::string members = attribute("var");
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
    void startFile()
    {
        DdiFile& file = files_.emplace_back();
        file.id = attribute("ID");
        file.xmlLine = line();
        file.fileName = attribute("URI");
    }

    // An element inside the <var> at hand.
    void variableElement(std::string_view name)
    {
        DdiVariable& var = *var_;
        const std::string_view parent = this->parent();
        if (name == "location" && parent == "var") {
            std::string problem;
            if (!locate(var, problem))
                stop(problem);
        } else if (name == "labl" && parent == "var" && var.source.label.empty()) {
            capture(Target::Label, name);
        } else if (name == "txt" && parent == "var") {
            capture(Target::Text, name);
        } else if (name == "codInstr" && parent == "var") {
            capture(Target::Coding, name);
        } else if (name == "qstn" && parent == "var") {
            questionText_ = false;
            if (texts_.question.empty())
                capture(Target::Question, name);
        } else if (name == "qstnLit" && parent == "qstn") {
            capture(Target::QuestionText, name);
        } else if (name == "universe" && parent == "var") {
            capture(Target::Universe, name);
        } else if (name == "concept" && parent == "var") {
            capture(Target::Concept, name);
        } else if (name == "notes" && parent == "var") {
            capture(Target::Notes, name);
        } else if (name == "varFormat" && parent == "var") {
            var.source.isText = attribute("type") == "character";
        } else if (name == "catgry" && parent == "var") {
            category_ = var.categories.size();
            categoryDepth_ = stack_.size() + 1;
            var.categories.emplace_back().missing = attribute("missing") == "Y";
        } else if (category_ != SIZE_MAX && parent == "catgry" && name == "catValu") {
            capture(Target::CategoryValue, name);
        } else if (category_ != SIZE_MAX && parent == "catgry" && name == "labl" &&
                   var.categories[category_].label.empty()) {
            capture(Target::CategoryLabel, name);
        }
    }

    // The study's title, and the case count and record length of the file at hand.
    void documentElement(std::string_view name)
    {
        if (name == "titl" && parent() == "titlStmt" && ancestor(1) == "citation") {
            const std::string_view owner = ancestor(2);
            if (owner == "stdyDscr" && studyTitle_.empty())
                capture(Target::StudyTitle, name);
            else if (owner == "docDscr" && documentTitle_.empty())
                capture(Target::DocumentTitle, name);
        } else if ((name == "caseQnty" || name == "logRecL") && parent() == "dimensns" && ancestor(1) == "fileTxt" &&
                   ancestor(2) == "fileDscr" && !files_.empty()) {
            capture(name == "caseQnty" ? Target::CaseCount : Target::RecordLength, name);
        }
    }

    // One element start: what it adds to the variables, groups and files.
    void startElement(std::string_view name)
    {
        if (stack_.size() >= maxDepth)
            return stop("elements nested more than " + std::to_string(maxDepth) + " deep; a DDI codebook needs far fewer");
        const std::string_view parent = this->parent();
        if (stack_.empty()) {
            if (name != "codeBook")
                return stop("not a DDI codebook (the document is <" + std::string(name) + ">)");
            codeBook_ = true;
        }
        if (name == "var" && parent == "dataDscr")
            startVariable();
        else if (name == "varGrp" && parent == "dataDscr")
            startGroup();
        else if (name == "labl" && parent == "varGrp" && !groups_.empty())
            capture(Target::GroupName, name);
        else if (name == "fileDscr" && parent == "codeBook")
            startFile();
        else if (name == "fileName" && parent == "fileTxt" && ancestor(1) == "fileDscr" && !files_.empty())
            capture(Target::FileName, name);
        else if (var_ != nullptr)
            variableElement(name);
        else
            documentElement(name);
        stack_.push_back(name);
    }

    void endElement()
    {
        while (!captures_.empty() && captures_.back().depth == stack_.size() && !stopped()) {
            Capture done = std::move(captures_.back());
            captures_.pop_back();
            take(done);
        }
        if (stack_.empty())
            return;
        if (stack_.size() == varDepth_)
            var_ = nullptr;
        if (stack_.size() == categoryDepth_)
            category_ = SIZE_MAX;
        stack_.pop_back();
    }

    void text(const char* characters, std::size_t size)
    {
        for (Capture& c : captures_) {
            if (c.text.size() + size > maxText)
                return stopAt(c.line, "<" + std::string(c.element) + "> holds more than " +
                                          std::to_string(maxText >> 20) + " MB of text; a codebook's texts are far shorter");
            c.text.append(characters, size);
        }
    }

    // A variable's texts are held until the variable ends: all together
    // they stay within a bound.
    void checkVariableTexts(const Capture& c)
    {
        const std::size_t size = texts_.text.size() + texts_.coding.size() + texts_.question.size() +
                                 texts_.universe.size() + texts_.conceptText.size() + texts_.notes.size();
        if (size > maxVariableTexts)
            stopAt(c.line, var_->source.name + ": the variable's texts pass " + std::to_string(maxVariableTexts >> 20) +
                               " MB; a codebook's texts are far shorter");
    }

    // The text of a finished element goes where it belongs.
    void take(const Capture& c)
    {
        switch (c.target) {
        case Target::GroupName:
            groups_.back().name = collapse(c.text);
            return;
        case Target::FileName:
            if (std::string name = collapse(c.text); !name.empty())
                files_.back().fileName = std::move(name);
            return;
        case Target::CaseCount:
            if (const auto n = readCount(collapse(c.text)); n && *n >= 0)
                files_.back().declaredCases = *n;
            return;
        case Target::RecordLength:
            if (const auto n = readCount(collapse(c.text)); n && *n > 0 && *n <= maxColumn)
                files_.back().recordLength = *n;
            return;
        case Target::StudyTitle:
            studyTitle_ = collapse(c.text);
            return;
        case Target::DocumentTitle:
            documentTitle_ = collapse(c.text);
            return;
        default:
            break;
        }
        if (var_ == nullptr)
            return;
        switch (c.target) {
        case Target::Label:
            var_->source.label = collapse(c.text);
            return;
        case Target::CategoryValue:
        case Target::CategoryLabel:
            if (category_ < var_->categories.size())
                (c.target == Target::CategoryValue ? var_->categories[category_].value
                                                   : var_->categories[category_].label) = collapse(c.text);
            return;
        case Target::Text:
            append(texts_.text, paragraphs(c.text));
            break;
        case Target::Coding:
            append(texts_.coding, paragraphs(c.text));
            break;
        case Target::Question:
            if (!questionText_)
                texts_.question = paragraphs(c.text);
            break;
        case Target::QuestionText:
            texts_.question = paragraphs(c.text);
            questionText_ = true;
            break;
        case Target::Universe:
            append(texts_.universe, paragraphs(c.text));
            break;
        case Target::Concept:
            texts_.conceptText = collapse(c.text);
            break;
        case Target::Notes:
            append(texts_.notes, paragraphs(c.text));
            break;
        default:
            return;
        }
        checkVariableTexts(c);
    }

    // A declaration in the DOCTYPE. A DDI codebook has none: refusing them
    // keeps entities from expanding (a few lines of them can grow to
    // gigabytes) and attribute defaults from adding to every element.
    void declaration(const std::string& what)
    {
        stop("the document declares " + what +
             "; a DDI codebook needs no declarations in its DOCTYPE, and the import reads none");
    }

    // The parser's callbacks, with this document as their user data.
    static DdiDocument& self(void* user) { return *static_cast<DdiDocument*>(user); }
    static std::string nameOf(const xmlChar* name) { return name != nullptr ? reinterpret_cast<const char*>(name) : ""; }

    static xmlSAXHandler handler()
    {
        xmlSAXHandler sax{};
        sax.initialized = XML_SAX2_MAGIC;
        sax.startElementNs = [](void* user, const xmlChar* local, const xmlChar*, const xmlChar*, int, const xmlChar**,
                                int count, int, const xmlChar** attributes) {
            DdiDocument& d = self(user);
            d.attributes_ = attributes;
            d.attributeCount_ = count;
            d.startElement(local != nullptr ? reinterpret_cast<const char*>(local) : "");
            d.attributes_ = nullptr;
            d.attributeCount_ = 0;
        };
        sax.endElementNs = [](void* user, const xmlChar*, const xmlChar*, const xmlChar*) { self(user).endElement(); };
        sax.characters = [](void* user, const xmlChar* text, int size) {
            self(user).text(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size));
        };
        sax.ignorableWhitespace = sax.characters;
        sax.cdataBlock = sax.characters;
        sax.entityDecl = [](void* user, const xmlChar* name, int type, const xmlChar*, const xmlChar*, xmlChar*) {
            const bool parameter = type == XML_INTERNAL_PARAMETER_ENTITY || type == XML_EXTERNAL_PARAMETER_ENTITY;
            self(user).declaration("the entity " + std::string(parameter ? "%" : "") + nameOf(name));
        };
        sax.unparsedEntityDecl = [](void* user, const xmlChar* name, const xmlChar*, const xmlChar*, const xmlChar*) {
            self(user).declaration("the entity " + nameOf(name));
        };
        sax.attributeDecl = [](void* user, const xmlChar* element, const xmlChar* name, int, int, const xmlChar*,
                               xmlEnumeration* values) {
            xmlFreeEnumeration(values);
            self(user).declaration("the attribute " + nameOf(name) + " of " + nameOf(element));
        };
        sax.elementDecl = [](void* user, const xmlChar* name, int, xmlElementContent*) {
            self(user).declaration("the element " + nameOf(name));
        };
        sax.notationDecl = [](void* user, const xmlChar* name, const xmlChar*, const xmlChar*) {
            self(user).declaration("the notation " + nameOf(name));
        };
        sax.serror = [](void* user, xmlError* e) {
            DdiDocument& d = self(user);
            if (e == nullptr || e->level < XML_ERR_ERROR || !d.xmlError_.empty())
                return;
            std::string message = collapse(e->message != nullptr ? e->message : "not well-formed");
            d.xmlError_ = "line " + std::to_string(std::max(0, e->line)) + ": " + message;
        };
        return sax;
    }

    // The document's bytes as the parser asks for them: watched by the
    // guard, and a stop asked for by `progress` ends the reading.
    struct Input {
        DdiDocument& document;
        std::FILE* file;
        std::uint64_t size;
        std::uint64_t read = 0;
        const OpenProgress& progress;
        MarkupGuard guard;
    };

    static int readInput(void* context, char* buffer, int length)
    {
        Input& in = *static_cast<Input*>(context);
        DdiDocument& d = in.document;
        if (d.stopped())
            return -1;
        if (in.progress && !in.progress(in.size > 0 ? static_cast<double>(in.read) / static_cast<double>(in.size) : 0)) {
            d.cancelled_ = true;
            return -1;
        }
        const std::size_t got = std::fread(buffer, 1, static_cast<std::size_t>(std::max(0, length)), in.file);
        if (got == 0 && std::ferror(in.file)) {
            d.error_ = d.xml_.string() + ": cannot be read: " + std::strerror(errno);
            return -1;
        }
        in.read += got;
        std::string problem;
        if (!in.guard.scan(buffer, got, problem)) {
            d.error_ = d.xml_.string() + ": " + problem;
            return -1;
        }
        return static_cast<int>(got);
    }

    // Reads the document once, keeping only what the variables need.
    bool describe(const OpenProgress& progress, std::string& error)
    {
        std::unique_ptr<std::FILE, FileCloser> file(std::fopen(xml_.c_str(), "rb"));
        if (!file) {
            error = xml_.string() + ": cannot be opened: " + std::strerror(errno);
            return false;
        }
        std::error_code ec;
        const auto size = fs::file_size(xml_, ec);
        Input input{*this, file.get(), ec ? 0 : static_cast<std::uint64_t>(size), 0, progress, {}};
        xmlSAXHandler sax = handler();
        // No entity is substituted and no DTD loaded: neither reaches a file or the network.
        std::unique_ptr<xmlParserCtxt, ParserFreer> parser(
            xmlCreateIOParserCtxt(&sax, this, &readInput, nullptr, &input, XML_CHAR_ENCODING_NONE));
        if (!parser) {
            error = xml_.string() + ": cannot be read as XML (out of memory)";
            return false;
        }
        xmlCtxtUseOptions(parser.get(), XML_PARSE_NONET);
        parser_ = parser.get();
        xmlParseDocument(parser_);
        if (const xmlChar* declared = parser_->encoding != nullptr ? parser_->encoding
                                      : parser_->input != nullptr ? parser_->input->encoding
                                                                  : nullptr)
            encoding_ = reinterpret_cast<const char*>(declared);
        const bool wellFormed = parser_->wellFormed != 0;
        parser_ = nullptr;
        if (cancelled_)
            return false;
        if (!error_.empty()) {
            error = error_;
            return false;
        }
        if (!wellFormed || !xmlError_.empty()) {
            error = xml_.string() + ": " + (xmlError_.empty() ? std::string("the XML cannot be read") : xmlError_);
            return false;
        }
        if (!codeBook_) {
            error = xml_.string() + ": not a DDI codebook";
            return false;
        }
        if (!spillPending()) {
            error = error_;
            return false;
        }
        if (std::fflush(spill_.get()) != 0) {
            error = xml_.string() + ": cannot write a temporary file: " + std::strerror(errno);
            return false;
        }
        return true;
    }

    // A location's columns as 64-bit numbers, each from 1 to maxColumn, so
    // that no sum of them overflows.
    bool locate(DdiVariable& v, std::string& error)
    {
        const std::string start = attribute("StartPos");
        const std::string end = attribute("EndPos");
        const std::string width = attribute("width");
        const std::string record = attribute("RecSegNo");
        const auto s = readCount(start);
        const auto e = end.empty() ? std::optional<std::int64_t>() : readCount(end);
        const auto w = width.empty() ? std::optional<std::int64_t>() : readCount(width);
        if (!s || *s < 1 || (!end.empty() && !e) || (!width.empty() && !w) || (!e && !w)) {
            error = v.source.name + ": the location needs StartPos and EndPos or width, as column numbers from 1";
            return false;
        }
        if (*s > maxColumn || (e && *e > maxColumn) || (w && (*w < 1 || *w > maxColumn))) {
            error = v.source.name + ": the location StartPos=" + start + " EndPos=" + end + " width=" + width +
                    " runs past column " + std::to_string(maxColumn) + ", the longest record the import reads";
            return false;
        }
        const std::int64_t last = e ? *e : *s + *w - 1;
        if (last < *s || last > maxColumn || (e && w && *e - *s + 1 != *w)) {
            error = v.source.name + ": the location StartPos=" + start + " EndPos=" + end + " width=" + width +
                    (last > maxColumn ? " runs past column " + std::to_string(maxColumn) +
                                            ", the longest record the import reads"
                                      : std::string(" does not add up"));
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
        for (DdiFile& file : files_) {
            // A line runs to the longest record described (or declared), and a margin.
            std::size_t longest = static_cast<std::size_t>(file.recordLength);
            for (std::size_t i : file.variables)
                longest = std::max(longest, variables_[i].last);
            file.lineLimit = longest + lineMargin;
            if (!locateData(file, data, error))
                return false;
        }
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

    // The data file of `file`: the one named after the colon, else the one
    // its fileName names, looked up beside the document by its name alone.
    // The name may carry a folder written on another system, which is no
    // place on this one; and a document must not make the import read a
    // file elsewhere ("/etc/passwd", "../private.dat"), nor through a link
    // beside it that leads out of its folder.
    bool locateData(DdiFile& file, const fs::path& data, std::string& error)
    {
        if (!data.empty()) {
            file.data = data;
            return true;
        }
        const std::string where =
            xml_.string() + ": " + (file.xmlLine > 0 ? "line " + std::to_string(file.xmlLine) + ": " : std::string());
        const std::string giveIt = "give the data file as " + xml_.filename().string() + ":DATA";
        if (file.fileName.empty()) {
            error = where + (file.xmlLine > 0 ? "the fileDscr names no data file" : "no data file named") +
                    " (fileDscr/fileTxt/fileName); " + giveIt;
            return false;
        }
        const std::size_t slash = file.fileName.find_last_of("/\\");
        const std::string name = slash == std::string::npos ? file.fileName : file.fileName.substr(slash + 1);
        if (name.empty() || name == "." || name == "..") {
            error = where + "the data file's name \"" + file.fileName + "\" names no file; " + giveIt;
            return false;
        }
        const fs::path folder = xml_.parent_path().empty() ? fs::path(".") : xml_.parent_path();
        fs::path candidate = folder / name;
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(candidate, ec)) && fs::is_regular_file(fs::path(candidate) += ".gz", ec))
            candidate += ".gz";
        if (!fs::is_regular_file(candidate, ec)) {
            error = where + "the data file " + name +
                    (name == file.fileName ? std::string() : " (named \"" + file.fileName + "\")") + " is not beside " +
                    xml_.filename().string() + " in " + folder.string() + "; " + giveIt;
            return false;
        }
        if (fs::is_symlink(fs::symlink_status(candidate, ec))) {
            const fs::path target = fs::canonical(candidate, ec);
            const fs::path home = fs::canonical(folder, ec);
            const auto [inHome, inTarget] = std::mismatch(home.begin(), home.end(), target.begin(), target.end());
            if (ec || inHome != home.end()) {
                error = where + "the data file " + candidate.string() + " is a link to " + target.string() +
                        ", outside the folder of " + xml_.filename().string() + "; to read it, " + giveIt;
                return false;
            }
        }
        file.data = candidate;
        return true;
    }

    fs::path xml_;
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
    std::vector<fs::path> files() const override { return {document_->xml(), file_.data}; }
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
    enum class Line { Read, End, TooLong };

    // Reads one line without its line end, of at most `limit` characters
    // (more is TooLong, and the rest of the line is not read).
    static Line readLine(gzFile in, std::string& line, std::size_t limit)
    {
        line.clear();
        char buffer[8192];
        while (gzgets(in, buffer, sizeof buffer) != nullptr) {
            line += buffer;
            if (!line.empty() && line.back() == '\n') {
                line.pop_back();
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                return line.size() > limit ? Line::TooLong : Line::Read;
            }
            if (line.size() > limit + 1)
                return Line::TooLong;
        }
        if (line.size() > limit)
            return Line::TooLong;
        return line.empty() ? Line::End : Line::Read;
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
                const Line read = readLine(in, lines[got], file_.lineLimit);
                if (read == Line::End)
                    break;
                ++lineNumber;
                if (read == Line::TooLong) {
                    error = data.string() + ": line " + std::to_string(lineNumber) + ": more than " +
                            std::to_string(file_.lineLimit) + " characters, while the records " +
                            document_->xml().filename().string() + " describes hold " +
                            std::to_string(file_.lineLimit - lineMargin) + "; no data file of it";
                    return false;
                }
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
                                                          const std::filesystem::path& data,
                                                          const OpenProgress& progress, std::string& error)
{
    std::vector<std::unique_ptr<SourceReader>> readers;
    auto document = std::make_shared<DdiDocument>(xml);
    if (!document->read(data, progress, error))
        return readers;
    for (std::size_t f = 0; f < document->files().size(); ++f)
        readers.push_back(std::make_unique<DdiSource>(document, f));
    return readers;
}

} // namespace qavn
