// Making a project from data sets: two passes over each source, the
// codebook, the raw data, the metadata, and the folder put in place.
#include "import/ProjectImport.h"

#include "import/ImportText.h"
#include "import/SourceReader.h"

#include "codebook/CodebookWriter.h"
#include "codebook/ProjectFiles.h"
#include "project/ProjectDrives.h"
#include "project/ProjectMetadata.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>
#include <unordered_set>

namespace qavn {

namespace fs = std::filesystem;

namespace {

// Location texts hold at most 9 characters ("9999-9999"), so a record line
// uses columns 1 to 9,999; a case takes at most 255 record lines.
constexpr int maxColumn = 9999;
constexpr int maxRecordLines = 255;
constexpr std::size_t maxLine = 80;
// Values without a label get category lines of their own when the variable
// has labels or at most this many distinct values.
constexpr std::size_t listedDistinct = 30;
// Distinct values without a label tracked per variable; past it only
// labelled values and missing codes are counted.
constexpr std::size_t trackedDistinct = 1000;
// A code longer than this does not fit the programs' value-label buffers.
constexpr std::size_t maxCode = 20;

std::string trimRight(std::string s)
{
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

// A text as one field of a line: its control characters (tabs and line
// ends among them) become blanks.
std::string oneLine(std::string text)
{
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == '\x7F')
            c = ' ';
    return text;
}

std::string shortNumber(double v)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.6g", v);
    return buffer;
}

// Counts per number, kept flat and found by the number's bits (a plain
// multiply and shift, no call per value): the statistics pass looks up
// every numeric value. -0 is counted as 0, as equal numbers are.
class NumberCounts {
public:
    // The count of `x`, or nullptr when it has none yet.
    std::uint64_t* find(double x)
    {
        const std::size_t at = slotOfValue(x);
        return at == none ? nullptr : &slots_[at].count;
    }
    std::uint64_t count(double x) const
    {
        const std::size_t at = slotOfValue(x);
        return at == none ? 0 : slots_[at].count;
    }
    bool contains(double x) const { return slotOfValue(x) != none; }
    // Adds `x`, which has no count yet, with `n`.
    void add(double x, std::uint64_t n = 1)
    {
        if (2 * (size_ + 1) > slots_.size())
            grow();
        put(keyOf(x), n);
    }
    template <typename Visit>
    void forEach(Visit&& visit) const
    {
        for (const Slot& slot : slots_)
            if (slot.key != empty) {
                double x = 0;
                std::memcpy(&x, &slot.key, sizeof x);
                visit(x, slot.count);
            }
    }

private:
    // The bits of a NaN, which no counted value is.
    static constexpr std::uint64_t empty = 0x7FF8DEAD0000BEEFull;
    struct Slot {
        std::uint64_t key = empty;
        std::uint64_t count = 0;
    };
    static std::uint64_t keyOf(double x)
    {
        std::uint64_t key = 0;
        const double value = x == 0 ? 0.0 : x;
        std::memcpy(&key, &value, sizeof key);
        return key;
    }
    std::size_t slotOf(std::uint64_t key) const
    {
        key ^= key >> 33;
        key *= 0xFF51AFD7ED558CCDull;
        key ^= key >> 33;
        return static_cast<std::size_t>(key) & mask_;
    }
    static constexpr std::size_t none = ~std::size_t{0};
    std::size_t slotOfValue(double x) const
    {
        if (size_ == 0)
            return none;
        const std::uint64_t key = keyOf(x);
        for (std::size_t at = slotOf(key);; at = (at + 1) & mask_) {
            if (slots_[at].key == key)
                return at;
            if (slots_[at].key == empty)
                return none;
        }
    }
    void put(std::uint64_t key, std::uint64_t n)
    {
        std::size_t at = slotOf(key);
        while (slots_[at].key != empty)
            at = (at + 1) & mask_;
        slots_[at] = {key, n};
        ++size_;
    }
    void grow()
    {
        std::vector<Slot> old = std::move(slots_);
        slots_.assign(old.empty() ? 16 : old.size() * 2, Slot{});
        mask_ = slots_.size() - 1;
        size_ = 0;
        for (const Slot& slot : old)
            if (slot.key != empty)
                put(slot.key, slot.count);
    }
    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
    std::size_t size_ = 0;
};

// Texts found by a view of their bytes, without a string made to look.
struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};
using TextCounts = std::unordered_map<std::string, std::uint64_t, TextHash, std::equal_to<>>;
using TextSet = std::unordered_set<std::string, TextHash, std::equal_to<>>;

// The bytes of a text without the blanks that end it.
std::string_view trimmedRight(std::string_view text)
{
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

struct Counters {
    std::uint64_t replaced = 0;
    // The sources' names of the variables (or "the title") whose texts had
    // characters replaced, each once, in order.
    std::vector<std::string> replacedIn;
    std::unordered_set<std::string> replacedSeen;
    std::string current; // whose texts are converted now

    void noteReplaced(std::uint64_t count, const std::string& where)
    {
        if (count == 0)
            return;
        replaced += count;
        if (replacedSeen.insert(where).second)
            replacedIn.push_back(where);
    }
    std::uint64_t truncatedTexts = 0;
    std::uint64_t longCodes = 0;
    std::uint64_t taggedBlank = 0;
    std::uint64_t cappedCategories = 0;
};

struct Variable {
    const SourceVariable* source = nullptr; // the reader's, valid while it lives
    std::string name;
    // First pass.
    std::uint64_t valid = 0;
    double mean = 0;
    double m2 = 0;
    double min = 0;
    double max = 0;
    std::uint64_t systemMissing = 0;
    std::map<char, std::uint64_t> tagged;
    bool nonInteger = false; // a value with a fraction was seen
    int decimals = 0;
    std::size_t intLength = 1;
    std::size_t shortestLength = 1;
    std::size_t textLength = 0;
    NumberCounts keptNumbers; // labelled values and missing codes: always counted
    TextSet keptTexts;        // the same, Latin-1
    NumberCounts numbers;
    TextCounts texts;
    std::size_t untracked = 0; // distinct unlabelled values tracked
    bool overflow = false;
    std::uint64_t replacedInValues = 0; // characters of values Latin-1 cannot hold
    // Layout.
    int width = 1;
    int writeDecimals = 0; // -1: shortest form
    int record = 1;
    int first = 1;
    char typeCode = ' ';

    bool userMissing(double v) const
    {
        for (const SourceMissing& m : source->missing)
            if (!m.isText && v >= m.low && v <= m.high)
                return true;
        return false;
    }
};

std::string locationOf(const Variable& v)
{
    return std::to_string(v.first) + "-" + std::to_string(v.first + v.width - 1);
}

// One source: its reader and variables, its place in the project.
struct Source {
    std::unique_ptr<SourceReader> reader;
    std::vector<Variable> variables;
    std::vector<std::size_t> order; // catalogue order: the identifier first
    std::uint64_t cases = 0;
    int linesPerCase = 1;
    std::vector<int> lineWidths;
    std::string idLocation = "0";
    std::string idName; // codebook name of the identifier; empty for none
    std::string dataPath;
    std::string section;
};

// Reports how far the import is, at most every tenth of a second, and
// notes a cancel.
class Progress {
public:
    explicit Progress(const ImportOptions& options) : options_(options) {}

    // The number of sources to read, once they are open.
    void setSources(std::size_t sources) { sources_ = sources; }

    // While a source opens: `read` is the part of its file read. Nothing of
    // the passes is done yet.
    bool opening(const std::string& name, double read)
    {
        if (!options_.progress)
            return true;
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ < std::chrono::milliseconds(100))
            return true;
        last_ = now;
        const int percent = static_cast<int>(std::clamp(read, 0.0, 1.0) * 100);
        if (!options_.progress(0, name + ": reading the file, " + std::to_string(percent) + "%"))
            cancelled_ = true;
        return !cancelled_;
    }

    // The pass of a source (0: statistics, 1: raw data) that starts now.
    bool start(std::size_t source, int pass, std::string what)
    {
        source_ = source;
        pass_ = pass;
        what_ = std::move(what);
        return report(0, 0);
    }

    // After each case: `within` is the part of the pass done, 0 for the
    // reader's own estimate.
    bool step(std::uint64_t cases, double within)
    {
        if (!options_.progress || (cases & 15) != 0)
            return true;
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ < std::chrono::milliseconds(100))
            return true;
        return report(cases, within);
    }

    bool cancelled() const { return cancelled_; }
    const SourceReader* reader = nullptr;

private:
    bool report(std::uint64_t cases, double within)
    {
        if (!options_.progress)
            return true;
        last_ = std::chrono::steady_clock::now();
        if (within <= 0 && reader != nullptr)
            within = reader->fraction();
        const double done = (static_cast<double>(source_ * 2 + static_cast<std::size_t>(pass_)) +
                             std::clamp(within, 0.0, 1.0)) /
                            static_cast<double>(2 * sources_);
        if (!options_.progress(done, cases > 0 ? what_ + ", case " + std::to_string(cases) : what_))
            cancelled_ = true;
        return !cancelled_;
    }

    const ImportOptions& options_;
    std::size_t sources_ = 1;
    std::size_t source_ = 0;
    int pass_ = 0;
    std::string what_;
    std::chrono::steady_clock::time_point last_{};
    bool cancelled_ = false;
};

class StatisticsPass final : public SourceVisitor {
public:
    StatisticsPass(Source& source, Counters& counters, Progress& progress)
        : source_(source), counters_(counters), progress_(progress)
    {
    }

    bool variables(const std::vector<SourceVariable>& variables) override
    {
        source_.variables.clear();
        source_.variables.reserve(variables.size());
        for (const SourceVariable& sv : variables) {
            Variable v;
            v.source = &sv;
            std::uint64_t ignored = 0;
            for (const SourceValueLabel& l : sv.labels) {
                if (l.tag != 0)
                    continue;
                if (l.isText)
                    v.keptTexts.insert(trimRight(toLatin1(l.text, false, ignored)));
                else if (!v.keptNumbers.contains(l.number))
                    v.keptNumbers.add(l.number);
            }
            for (const SourceMissing& m : sv.missing) {
                if (m.isText)
                    v.keptTexts.insert(trimRight(toLatin1(m.text, false, ignored)));
                else if (m.low == m.high && !v.keptNumbers.contains(m.low))
                    v.keptNumbers.add(m.low);
            }
            source_.variables.push_back(std::move(v));
        }
        return true;
    }

    bool value(std::size_t index, const SourceValue& value) override
    {
        Variable& v = source_.variables[index];
        switch (value.kind) {
        case SourceValue::Kind::SystemMissing:
            ++v.systemMissing;
            if (v.source->isText)
                count(v, {});
            return true;
        case SourceValue::Kind::TaggedMissing:
            ++v.tagged[value.tag];
            ++counters_.taggedBlank;
            return true;
        case SourceValue::Kind::Text: {
            const std::string_view text =
                trimmedRight(latin1View(value.text, false, converted_, v.replacedInValues));
            v.textLength = std::max(v.textLength, text.size());
            count(v, text);
            return true;
        }
        case SourceValue::Kind::Number:
            break;
        }
        const double x = value.number;
        const bool missing = v.userMissing(x);
        if (!missing) {
            // Welford's running mean and sum of squares.
            ++v.valid;
            const double delta = x - v.mean;
            v.mean += delta / static_cast<double>(v.valid);
            v.m2 += delta * (x - v.mean);
            v.min = v.valid == 1 ? x : std::min(v.min, x);
            v.max = v.valid == 1 ? x : std::max(v.max, x);
        }
        if (std::uint64_t* found = v.numbers.find(x)) {
            ++*found;
            return true; // its digits are counted already
        }
        if (missing || v.keptNumbers.contains(x)) {
            v.numbers.add(x);
        } else if (v.untracked < trackedDistinct) {
            ++v.untracked;
            v.numbers.add(x);
        } else {
            v.overflow = true;
        }
        const NumberShape shape = plainShape(x);
        if (shape.decimals > 0) {
            v.decimals = std::max(v.decimals, shape.decimals);
            v.nonInteger = true;
        }
        v.intLength = std::max(v.intLength, shape.intLength);
        v.shortestLength = std::max(v.shortestLength, shape.length());
        return true;
    }

    bool endCase() override
    {
        ++source_.cases;
        return progress_.step(source_.cases, 0);
    }

private:
    void count(Variable& v, std::string_view text)
    {
        auto found = v.texts.find(text);
        if (found != v.texts.end()) {
            ++found->second;
        } else if (v.keptTexts.find(text) != v.keptTexts.end()) {
            v.texts.emplace(text, 1);
        } else if (v.untracked < trackedDistinct) {
            ++v.untracked;
            v.texts.emplace(text, 1);
        } else {
            v.overflow = true;
        }
    }

    Source& source_;
    Counters& counters_;
    Progress& progress_;
    std::string converted_; // a text that is not plain ASCII, as Latin-1
};

// Writes the raw data: each case's record lines (CR LF after each) made in
// one buffer, from a blank copy, its values written into their columns in
// place.
class DataPass final : public SourceVisitor {
public:
    DataPass(Source& source, std::FILE* out, Progress& progress, std::string& error)
        : source_(source), out_(out), progress_(progress), error_(error)
    {
        for (int width : source.lineWidths) {
            lineStarts_.push_back(blank_.size());
            blank_.append(static_cast<std::size_t>(width), ' ');
            blank_ += "\r\n";
        }
        caseText_ = blank_;
    }

    bool variables(const std::vector<SourceVariable>& variables) override
    {
        if (variables.size() != source_.variables.size()) {
            error_ = source_.reader->path().string() + ": the file changed while it was read";
            return false;
        }
        return true;
    }

    bool value(std::size_t index, const SourceValue& value) override
    {
        const Variable& v = source_.variables[index];
        char number[numberBufferSize];
        std::string_view text;
        if (value.kind == SourceValue::Kind::Number) {
            text = std::string_view(number, static_cast<std::size_t>(
                                                writeNumber(number, value.number, v.writeDecimals) - number));
        } else if (value.kind == SourceValue::Kind::Text) {
            std::uint64_t replaced = 0;
            text = trimmedRight(latin1View(value.text, false, converted_, replaced));
        } else {
            return true; // missing: the field stays blank
        }
        const auto width = static_cast<std::size_t>(v.width);
        if (text.size() > width) {
            error_ = source_.reader->path().string() + ": case " + std::to_string(case_ + 1) + ", variable " +
                     v.source->name + ": the value " + std::string(text) + " does not fit in " +
                     std::to_string(width) + " columns (the file changed while it was read)";
            return false;
        }
        // Texts are left-aligned, numbers right-aligned.
        const std::size_t pad = v.source->isText ? 0 : width - text.size();
        std::memcpy(caseText_.data() + lineStarts_[static_cast<std::size_t>(v.record - 1)] +
                        static_cast<std::size_t>(v.first - 1) + pad,
                    text.data(), text.size());
        return true;
    }

    bool endCase() override
    {
        std::fwrite(caseText_.data(), 1, caseText_.size(), out_);
        std::memcpy(caseText_.data(), blank_.data(), blank_.size());
        ++case_;
        const double total = static_cast<double>(source_.cases);
        return progress_.step(case_, total > 0 ? static_cast<double>(case_) / total : 0);
    }

    std::uint64_t cases() const { return case_; }

private:
    Source& source_;
    std::FILE* out_;
    Progress& progress_;
    std::string& error_;
    std::string blank_;                   // a case of blank fields
    std::string caseText_;               // the case being written
    std::vector<std::size_t> lineStarts_; // where each record line starts in it
    std::string converted_;               // a text that is not plain ASCII, as Latin-1
    std::uint64_t case_ = 0;
};

// Codebook text: Latin-1, at most `limit` characters.
std::string codebookText(std::string_view utf8, std::size_t limit, Counters& counters)
{
    std::uint64_t replaced = 0;
    std::string text = toLatin1(utf8, true, replaced);
    counters.noteReplaced(replaced, counters.current);
    if (text.size() > limit) {
        text.resize(limit);
        ++counters.truncatedTexts;
    }
    return text;
}

// Codebook text of any length (descriptions are wrapped afterwards).
std::string latin1Text(std::string_view utf8, Counters& counters)
{
    std::uint64_t replaced = 0;
    std::string text = toLatin1(utf8, true, replaced);
    counters.noteReplaced(replaced, counters.current);
    return text;
}

// A Latin-1 code as the codebook can hold it: the bytes its text file
// reserves (0xDB, 0xDC, 0xFF: Û, Ü, ÿ) become '?'. The raw data keep them;
// the verification compares texts the same way.
std::string codebookCode(std::string code, Counters& counters)
{
    std::uint64_t replaced = 0;
    for (char& c : code)
        if (c == '\xDB' || c == '\xDC' || c == '\xFF') {
            c = '?';
            ++replaced;
        }
    counters.noteReplaced(replaced, counters.current);
    return code;
}

// Splits a text into lines of at most 80 characters at blanks.
void wrap(std::vector<std::string>& lines, std::string text)
{
    while (text.size() > maxLine) {
        std::size_t cut = text.rfind(' ', maxLine);
        if (cut == std::string::npos || cut == 0)
            cut = maxLine;
        lines.push_back(text.substr(0, cut));
        text.erase(0, text[cut] == ' ' ? cut + 1 : cut);
    }
    lines.push_back(std::move(text));
}

std::string quoted(const std::string& text)
{
    std::string q = "'";
    for (char c : text) {
        q.push_back(c);
        if (c == '\'')
            q.push_back('\'');
    }
    return q + "'";
}

std::vector<std::string> descriptionOf(const Variable& v, const Source& source, const std::vector<std::string>& details,
                                       Counters& counters)
{
    std::vector<std::string> lines;
    if (!v.source->label.empty())
        wrap(lines, latin1Text(v.source->label, counters));
    for (const std::string& detail : details)
        wrap(lines, latin1Text(detail, counters));
    wrap(lines, "Source: " + latin1Text(v.source->name, counters) + " in " + source.section);
    std::string type = v.source->isText ? "Type: text" : "Type: numeric";
    if (!v.source->format.empty())
        type += ", format " + latin1Text(v.source->format, counters);
    if (v.source->isText && v.source->storageWidth > 0)
        type += ", stored width " + std::to_string(v.source->storageWidth);
    wrap(lines, type);
    std::string written = "Written in " + std::to_string(v.width) + " columns";
    if (!v.source->isText)
        written += v.writeDecimals < 0 ? ", decimals as needed" : ", " + std::to_string(v.writeDecimals) + " decimals";
    wrap(lines, written);
    std::string missing;
    for (const SourceMissing& m : v.source->missing) {
        missing += missing.empty() ? "" : ", ";
        if (m.isText)
            missing += quoted(latin1Text(m.text, counters));
        else if (m.low == m.high)
            missing += numberText(m.low, -1);
        else
            missing += (m.low == -HUGE_VAL ? "LOWEST" : numberText(m.low, -1)) + " THRU " +
                       (m.high == HUGE_VAL ? "HIGHEST" : numberText(m.high, -1));
    }
    wrap(lines, "Missing values: " + (missing.empty() ? std::string("none") : missing));
    std::uint64_t tagged = 0;
    for (const auto& [tag, n] : v.tagged)
        tagged += n;
    if (!v.source->isText) {
        const std::uint64_t missingCases = source.cases - v.valid;
        wrap(lines, "Cases: " + std::to_string(v.valid) + " valid, " + std::to_string(missingCases) + " missing");
        if (v.valid > 0) {
            const double sd = v.valid > 1 ? std::sqrt(v.m2 / static_cast<double>(v.valid - 1)) : 0.0;
            wrap(lines, "Minimum: " + numberText(v.min, -1) + "  Maximum: " + numberText(v.max, -1) +
                            "  Mean: " + shortNumber(v.mean) + "  Std. deviation: " + shortNumber(sd));
        }
    }
    if (tagged > 0)
        wrap(lines, std::to_string(tagged) + " cases hold special missing values (.a-.z), written as blanks");
    if (v.overflow)
        wrap(lines, "More than " + std::to_string(trackedDistinct) +
                        " distinct values: only labelled values and missing codes are counted");
    return lines;
}

std::vector<std::string> categoriesOf(const Variable& v, std::uint64_t cases, Counters& counters)
{
    struct Entry {
        std::string code;
        std::uint64_t count;
        std::string label;
    };
    std::vector<Entry> entries;
    std::uint64_t ignored = 0;
    // A number with fractions and no labels is continuous: its description
    // holds its figures, and only declared missing values get lines.
    const bool continuous = !v.source->isText && v.nonInteger && v.source->labels.empty();
    const bool listAll =
        !v.overflow && !continuous && (!v.source->labels.empty() || v.untracked <= listedDistinct);
    if (v.source->isText) {
        std::map<std::string, std::string> labels;
        for (const SourceValueLabel& l : v.source->labels)
            if (l.tag == 0 && l.isText)
                labels.emplace(trimRight(toLatin1(l.text, false, ignored)), l.label);
        for (const SourceMissing& m : v.source->missing)
            if (m.isText)
                labels.emplace(trimRight(toLatin1(m.text, false, ignored)), "{Missing}");
        if (listAll)
            for (const auto& [text, n] : v.texts)
                labels.emplace(text, "");
        for (const auto& [text, label] : labels) {
            const auto found = v.texts.find(text);
            entries.push_back({quoted(text), found == v.texts.end() ? 0 : found->second, label});
        }
    } else {
        std::map<double, std::string> labels;
        for (const SourceValueLabel& l : v.source->labels)
            if (l.tag == 0 && !l.isText)
                labels.emplace(l.number, l.label);
        for (const SourceMissing& m : v.source->missing)
            if (!m.isText && m.low == m.high)
                labels.emplace(m.low, "{Missing}");
        v.numbers.forEach([&](double x, std::uint64_t) {
            if (listAll || v.userMissing(x))
                labels.emplace(x, v.userMissing(x) ? "{Missing}" : "");
        });
        for (const auto& [x, label] : labels)
            entries.push_back({numberText(x, v.writeDecimals), v.numbers.count(x), label});
        std::map<char, std::string> tagLabels;
        for (const SourceValueLabel& l : v.source->labels)
            if (l.tag != 0)
                tagLabels.emplace(l.tag, l.label);
        for (const auto& [tag, n] : v.tagged)
            tagLabels.emplace(tag, "{Missing ." + std::string(1, tag) + "}");
        for (const auto& [tag, label] : tagLabels) {
            const auto found = v.tagged.find(tag);
            entries.push_back({"." + std::string(1, tag), found == v.tagged.end() ? 0 : found->second, label});
        }
    }
    if (v.systemMissing > 0 && !v.source->isText && (listAll || !entries.empty()))
        entries.push_back({".", v.systemMissing, "{System missing}"});

    std::vector<std::string> lines;
    for (const Entry& e : entries) {
        if (e.code.size() > maxCode) {
            ++counters.longCodes;
            continue;
        }
        if (lines.size() == 0xFFFF) {
            ++counters.cappedCategories;
            break;
        }
        // Codes of texts are Latin-1 already, codes of numbers ASCII.
        const std::string code = codebookCode(e.code, counters);
        const std::string freq = std::to_string(e.count);
        const std::string percent = percentText(e.count, cases);
        const std::size_t room = maxLine - code.size() - freq.size() - percent.size() - 3;
        lines.push_back(categoryLine(code, freq, percent, codebookText(e.label, room, counters)));
    }
    return lines;
}

// Lays out the columns of one source: the identifier first on record line 1,
// then every variable after the previous one, a new record line when a line
// is full.
bool layOut(Source& source, std::string& error)
{
    int record = 1;
    int next = 1;
    source.lineWidths.assign(1, 0);
    for (std::size_t i : source.order) {
        Variable& v = source.variables[i];
        if (v.width > maxColumn) {
            error = source.reader->path().string() + ": variable " + v.source->name + " is " +
                    std::to_string(v.width) + " characters wide; a raw data line holds at most " +
                    std::to_string(maxColumn) + " columns";
            return false;
        }
        if (next + v.width - 1 > maxColumn) {
            ++record;
            next = 1;
            source.lineWidths.push_back(0);
        }
        if (record > maxRecordLines) {
            error = source.reader->path().string() + ": the variables need more than " +
                    std::to_string(maxRecordLines) + " record lines per case";
            return false;
        }
        v.record = record;
        v.first = next;
        next += v.width;
        source.lineWidths.back() = next - 1;
    }
    source.linesPerCase = record;
    return true;
}

void chooseFormat(Variable& v)
{
    if (v.source->isText) {
        v.width = static_cast<int>(std::max<std::size_t>(1, std::min<std::size_t>(v.textLength, 1u << 20)));
        v.typeCode = 'A';
        return;
    }
    // The decimals the values need, at least the ones the source declares
    // as implied in its data; beyond nine (what a type code holds) each
    // value keeps as many as it needs.
    if (v.source->declaredDecimals > 0 && v.source->declaredDecimals <= 9)
        v.decimals = std::max(v.decimals, v.source->declaredDecimals);
    if (v.decimals > 9) {
        v.writeDecimals = -1;
        v.width = static_cast<int>(v.shortestLength);
        v.typeCode = '0';
        return;
    }
    v.writeDecimals = v.decimals;
    v.width = static_cast<int>(v.intLength) + (v.decimals > 0 ? v.decimals + 1 : 0);
    // Labelled whole numbers are categorical; other numbers carry their
    // decimals in the type code (the raw data holds the decimal point too).
    v.typeCode = v.decimals > 0 ? static_cast<char>('0' + v.decimals) : v.source->labels.empty() ? '0' : ' ';
    // A missing code must fit the field as well.
    for (const SourceMissing& m : v.source->missing)
        if (!m.isText && m.low == m.high)
            v.width = std::max(v.width, static_cast<int>(numberText(m.low, v.writeDecimals).size()));
}

std::string fileStem(const fs::path& path)
{
    std::string stem = path.stem().string();
    std::transform(stem.begin(), stem.end(), stem.begin(), [](unsigned char c) { return std::toupper(c); });
    return stem;
}

// The metadata of one variable: what the source declares beside its values.
VariableMetadata metadataOf(const Variable& v, std::uint32_t file)
{
    const SourceVariable& s = *v.source;
    VariableMetadata m;
    m.name = v.name;
    m.longName = s.name == v.name ? std::string() : s.name;
    m.label = s.label;
    m.file = file;
    m.isText = s.isText;
    m.length = s.isText ? s.storageWidth : 0;
    m.format = s.display;
    if (m.format.text.empty())
        m.format.text = s.format;
    auto labelOf = [&](const SourceMissing& missing) {
        for (const SourceValueLabel& l : s.labels)
            if (l.tag == 0 && l.isText == missing.isText &&
                (missing.isText ? trimRight(l.text) == trimRight(missing.text) : l.number == missing.low))
                return l.label;
        return std::string();
    };
    for (const SourceMissing& missing : s.missing) {
        MissingValue value;
        value.kind = missing.isText || missing.low == missing.high ? MissingValue::Kind::Code : MissingValue::Kind::Range;
        value.text = missing.isText ? trimRight(missing.text) : std::string();
        value.low = missing.low;
        value.high = missing.high;
        value.label = value.kind == MissingValue::Kind::Code ? labelOf(missing) : std::string();
        m.missing.push_back(std::move(value));
    }
    // Tagged missing values: those with labels and those the data hold.
    std::map<char, std::string> tags;
    for (const SourceValueLabel& l : s.labels)
        if (l.tag != 0)
            tags.emplace(l.tag, l.label);
    for (const auto& [tag, n] : v.tagged)
        tags.emplace(tag, "");
    for (const auto& [tag, label] : tags) {
        MissingValue value;
        value.kind = MissingValue::Kind::Tagged;
        value.tag = tag;
        value.label = label;
        m.missing.push_back(std::move(value));
    }
    return m;
}

// Reads one source twice: its values counted, its columns laid out, then
// its raw data written.
bool writeRawData(const ImportOptions& options, Source& source, std::size_t s, const ProjectLayout& layout,
                  NameShortener& names, NameShortener& dataNames, std::string& namesText, Counters& counters,
                  Progress& progress, std::string& error)
{
    const fs::path& path = source.reader->path();
    progress.reader = source.reader.get();
    if (!progress.start(s, 0, path.filename().string() + ": counting values"))
        return false;
    StatisticsPass statistics(source, counters, progress);
    if (!source.reader->pass(statistics, error))
        return false;
    if (source.variables.empty()) {
        error = path.string() + ": the file holds no variables";
        return false;
    }

    std::size_t idIndex = source.variables.size();
    if (!options.idVariable.empty()) {
        for (std::size_t i = 0; i < source.variables.size(); ++i)
            if (source.variables[i].source->name == options.idVariable)
                idIndex = i;
        if (idIndex == source.variables.size()) {
            error = path.string() + ": no variable " + options.idVariable + " (named by --id-variable)";
            return false;
        }
        source.order.push_back(idIndex);
    }
    for (std::size_t i = 0; i < source.variables.size(); ++i)
        if (i != idIndex)
            source.order.push_back(i);
    for (std::size_t i : source.order) {
        Variable& v = source.variables[i];
        chooseFormat(v);
        v.name = names.add(v.source->name);
        namesText += v.name + "\t" + oneLine(v.source->name) + "\t" + oneLine(path.filename().string()) + "\n";
        counters.noteReplaced(v.replacedInValues, v.source->name);
    }
    if (!layOut(source, error))
        return false;
    if (idIndex < source.variables.size()) {
        source.idLocation = locationOf(source.variables[idIndex]);
        source.idName = source.variables[idIndex].name;
    }

    source.dataPath = "DATA\\" + dataNames.add(fileStem(path)) + ".DAT";
    const fs::path dataFile = layout.rawDataFile(source.dataPath);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(dataFile.c_str(), "wb"), &std::fclose);
    if (!out) {
        error = "cannot create " + dataFile.string() + ": " + std::strerror(errno);
        return false;
    }
    std::setvbuf(out.get(), nullptr, _IOFBF, std::size_t{1} << 20);
    if (!progress.start(s, 1, path.filename().string() + ": writing the raw data"))
        return false;
    DataPass data(source, out.get(), progress, error);
    if (!source.reader->pass(data, error))
        return false;
    if (data.cases() != source.cases) {
        error = path.string() + ": case " + std::to_string(std::min(data.cases(), source.cases) + 1) +
                ": the file changed while it was read";
        return false;
    }
    if (std::fflush(out.get()) != 0 || std::ferror(out.get())) {
        error = "cannot write " + dataFile.string() + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

// The codebook entries and the metadata of one source's variables.
bool describeSource(const Source& source, std::size_t s, CodebookWriter& codebook, MetadataStream& metadata,
                    Counters& counters, std::string& error)
{
    std::vector<std::string> details;
    for (std::size_t i : source.order) {
        const Variable& v = source.variables[i];
        if (!source.reader->details(i, details, error))
            return false;
        counters.current = v.source->name;
        VariableSpec spec;
        spec.name = v.name;
        spec.fileNumber = static_cast<std::uint16_t>(s + 1);
        spec.recordNumber = static_cast<std::uint8_t>(v.record);
        spec.location = locationOf(v);
        spec.typeCode = v.typeCode;
        spec.label = codebookText(v.source->label, maxLine, counters);
        spec.section = v.source->section.empty() ? source.section : codebookText(v.source->section, maxLine, counters);
        spec.description = descriptionOf(v, source, details, counters);
        spec.categories = categoriesOf(v, source.cases, counters);
        codebook.add(spec);
        metadata.add(metadataOf(v, static_cast<std::uint32_t>(s + 1)));
    }
    return true;
}

// The project's title: the one given, else the sources' own titles, else
// their file names.
std::string projectTitle(const ImportOptions& options, const std::vector<Source>& sources)
{
    if (!options.title.empty())
        return options.title;
    std::string titles;
    std::unordered_set<std::string> seen;
    for (const Source& source : sources) {
        const std::string own = source.reader->title();
        if (!own.empty() && seen.insert(own).second)
            titles += (titles.empty() ? "" : "; ") + own;
    }
    if (!titles.empty())
        return titles;
    for (const Source& source : sources)
        titles += (titles.empty() ? "" : ", ") + source.reader->path().filename().string();
    return titles;
}

std::vector<std::string> warningsOf(const Counters& counters)
{
    std::vector<std::string> warnings;
    if (counters.replaced > 0) {
        std::string where;
        constexpr std::size_t named = 10;
        for (std::size_t i = 0; i < counters.replacedIn.size() && i < named; ++i)
            where += (i == 0 ? "" : ", ") + counters.replacedIn[i];
        if (counters.replacedIn.size() > named)
            where += " and " + std::to_string(counters.replacedIn.size() - named) + " more";
        warnings.push_back(std::to_string(counters.replaced) +
                           " characters the single-byte Latin-1 text cannot hold were replaced by '?' in: " + where);
    }
    if (counters.truncatedTexts > 0)
        warnings.push_back(std::to_string(counters.truncatedTexts) +
                           " labels longer than a codebook line (80 characters) were cut");
    if (counters.longCodes > 0)
        warnings.push_back(std::to_string(counters.longCodes) + " category lines with codes longer than " +
                           std::to_string(maxCode) + " characters were left out");
    if (counters.taggedBlank > 0)
        warnings.push_back(std::to_string(counters.taggedBlank) +
                           " special missing values (.a-.z) were written as blanks");
    if (counters.cappedCategories > 0)
        warnings.push_back("variables with more than 65,535 category lines keep the first 65,535");
    return warnings;
}

// The marker of a folder the importer made: its first line, then every file
// and folder (ending in '/') it made, relative to the project folder.
constexpr std::string_view markerHeader = "QAVN-IMPORT 1";

bool writeMarker(const fs::path& root, std::string& error)
{
    std::vector<std::string> made;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        std::string relative = it->path().lexically_relative(root).generic_string();
        if (it->is_directory(ec))
            relative += '/';
        made.push_back(std::move(relative));
    }
    if (ec) {
        error = "cannot list " + root.string() + ": " + ec.message();
        return false;
    }
    std::sort(made.begin(), made.end());
    std::string text = std::string(markerHeader) +
                       "\n# Made by qavn-import. qavn-import --force replaces only a folder with this file, and keeps"
                       "\n# every file in it that is not listed here.\n";
    for (const std::string& path : made)
        text += path + "\n";
    return writeWholeFile(root / importMarkerName, text, error);
}

bool build(const ImportOptions& options, std::vector<Source>& sources, const fs::path& root, ImportSummary& summary,
           Progress& progress, std::string& error)
{
    Counters counters;
    NameShortener names;
    names.reserve("ID"); // the generated programs read the identifier as ID
    NameShortener dataNames;
    std::string namesText;

    const ProjectLayout layout{root, options.id};
    const fs::path resource = layout.resourceDir();
    if (!createProjectLayout(layout, error))
        return false;
    std::error_code ec;
    fs::create_directories(layout.rawDataFile("DATA"), ec);
    if (ec) {
        error = "cannot create " + layout.rawDataFile("DATA").string() + ": " + ec.message();
        return false;
    }

    // The codebook text goes to its file as it is made.
    CodebookWriter codebook;
    if (!codebook.streamText(resource, options.id, error))
        return false;
    // The variables' metadata streams to a temporary file as the codebook does.
    ProjectMetadata metadata;
    metadata.identifier = options.idVariable;
    MetadataStream variablesMetadata;
    if (!variablesMetadata.open(resource / metadataFileName(options.id), error))
        return false;
    std::vector<SpecDataFile> specFiles;
    for (std::size_t s = 0; s < sources.size(); ++s) {
        Source& source = sources[s];
        const fs::path& path = source.reader->path();
        counters.current = path.filename().string();
        source.section = codebookText(path.filename().string(), maxLine, counters);
        if (!writeRawData(options, source, s, layout, names, dataNames, namesText, counters, progress, error) ||
            !describeSource(source, s, codebook, variablesMetadata, counters, error))
            return false;
        summary.variables += source.variables.size();
        summary.cases.push_back(source.cases);
        summary.dataFiles.push_back(source.dataPath);
        specFiles.push_back({source.linesPerCase, source.idLocation, source.dataPath});
        const std::int64_t declared = source.reader->declaredCases();
        if (declared >= 0 && static_cast<std::uint64_t>(declared) != source.cases)
            summary.warnings.push_back(path.string() + ": the codebook declares " + std::to_string(declared) +
                                       " cases, the data file holds " + std::to_string(source.cases));
        SourceFile file;
        file.file = static_cast<std::uint32_t>(s + 1);
        const ImportKind* kind = importKindOf(path);
        file.kind = kind != nullptr ? std::string(kind->name) : std::string();
        file.path = path.string();
        file.encoding = source.reader->encoding();
        file.cases = source.cases;
        file.identifier = source.idName;
        metadata.sources.push_back(std::move(file));
    }
    if (codebook.textSize() > 0xFFFFFFFFu) {
        error = "the codebook text passes 4 GB, beyond what its references address";
        return false;
    }
    if (!codebook.writeFiles(resource, options.id, error))
        return false;

    metadata.title = projectTitle(options, sources);
    counters.current = "the title";
    std::uint64_t replaced = 0;
    const std::string title = toLatin1(metadata.title, false, replaced).substr(0, 200);
    if (!options.title.empty())
        counters.noteReplaced(replaced, counters.current);
    std::map<char, std::string> drives{{'C', "c"}, {'D', "d"}};
    if (!writeProjectFiles(layout, specificationText(title, options.id, specFiles, {}), error) ||
        !writeWholeFile(root / (options.id + "NAMES.TXT"), namesText, error) ||
        !writeWholeFile(root / driveFilePath(options.id), driveFileText(drives), error) ||
        !variablesMetadata.finish(metadata, error) || !writeMarker(root, error))
        return false;
    const std::vector<std::string> warnings = warningsOf(counters);
    summary.warnings.insert(summary.warnings.begin(), warnings.begin(), warnings.end());
    return true;
}

// What the importer made in a folder, from its marker: the files and (with a
// trailing '/') folders. False when the folder holds no marker of the importer.
bool madeByImport(const fs::path& dir, std::set<std::string>& made)
{
    std::ifstream in(dir / importMarkerName, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line))
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line != markerHeader)
        return false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line.front() != '#')
            made.insert(line);
    }
    return true;
}

// The entries of an imported folder the importer did not make, relative to
// it: the user's files, and the user's folders as wholes. Links are entries
// of their own, never followed.
void userEntries(const fs::path& root, const fs::path& relative, const std::set<std::string>& made,
                 std::vector<fs::path>& out)
{
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(root / relative, ec)) {
        const fs::path path = relative / entry.path().filename();
        const std::string key = path.generic_string();
        if (key == importMarkerName)
            continue;
        const bool folder = fs::is_directory(entry.symlink_status(ec));
        if (folder && made.count(key + "/") != 0)
            userEntries(root, path, made, out);
        else if (folder || made.count(key) == 0)
            out.push_back(path);
    }
}

// Removes what the importer made in `dir` (files, then folders once empty);
// whatever else is there stays. True when the folder is gone.
bool removeMade(const fs::path& dir, const std::set<std::string>& made)
{
    std::error_code ec;
    std::vector<std::string> folders;
    for (const std::string& entry : made) {
        if (entry.ends_with('/'))
            folders.push_back(entry);
        else
            fs::remove(dir / entry, ec);
    }
    fs::remove(dir / importMarkerName, ec);
    // Deepest folders first; a folder that is not empty stays.
    std::sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) { return a > b; });
    for (const std::string& folder : folders)
        fs::remove(dir / folder, ec);
    return fs::remove(dir, ec) && !ec;
}

// The permissions a new folder gets: the usual ones for this process's umask.
fs::perms newFolderPermissions()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<fs::perms>(0777 & ~mask);
}

// Puts the finished project `temporary` in the place of `out`. An existing
// `out` must be a folder the importer made; the files in it that the
// importer did not make (outputs, tags, notes) move into the new project,
// and the folder keeps its permissions.
bool replace(const fs::path& temporary, const fs::path& out, bool exists, ImportSummary& summary, std::string& error)
{
    std::error_code ec;
    if (!exists) {
        fs::permissions(temporary, newFolderPermissions(), ec);
        fs::rename(temporary, out, ec);
        if (ec) {
            error = "cannot rename " + temporary.string() + " to " + out.string() + ": " + ec.message();
            return false;
        }
        return true;
    }
    std::set<std::string> made;
    if (!madeByImport(out, made)) {
        error = out.string() + " changed while the project was made: it is no longer a folder qavn-import made";
        return false;
    }
    std::vector<fs::path> keep;
    userEntries(out, {}, made, keep);
    for (const fs::path& entry : keep)
        if (fs::exists(fs::symlink_status(temporary / entry, ec))) {
            error = (out / entry).string() + " is not a file qavn-import made, and the new project has one of that "
                                              "name; move it away and import again";
            return false;
        }
    // The user's entries move into the new project; on a failure they move back.
    std::vector<fs::path> moved;
    auto moveBack = [&] {
        std::error_code ignored;
        for (const fs::path& entry : moved)
            fs::rename(temporary / entry, out / entry, ignored);
    };
    for (const fs::path& entry : keep) {
        fs::create_directories((temporary / entry).parent_path(), ec);
        fs::rename(out / entry, temporary / entry, ec);
        if (ec) {
            error = "cannot move " + (out / entry).string() + " into the new project: " + ec.message();
            moveBack();
            return false;
        }
        moved.push_back(entry);
    }
    fs::permissions(temporary, fs::status(out, ec).permissions(), ec);
    const fs::path old = temporary.string() + ".old";
    fs::rename(out, old, ec);
    if (ec) {
        error = "cannot move " + out.string() + " aside: " + ec.message();
        moveBack();
        return false;
    }
    fs::rename(temporary, out, ec);
    if (ec) {
        error = "cannot rename " + temporary.string() + " to " + out.string() + ": " + ec.message();
        std::error_code ignored;
        fs::rename(old, out, ignored);
        moveBack();
        return false;
    }
    if (!removeMade(old, made))
        summary.warnings.push_back(old.string() + " holds what was in " + out.string() +
                                   " and could not be moved; nothing in it was removed");
    return true;
}

// A file or folder as the system knows it, whatever the name it is reached by.
struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileId&) const = default;
};

std::optional<FileId> fileId(const fs::path& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return FileId{info.st_dev, info.st_ino};
}

// The project folder must be no file the sources read, hold none, and lie
// in none: a project made there (with --force, over an earlier one) would
// remove or replace it. Compared by device and inode, so that no other name
// for the same place (a link, "..", letter case on another file system)
// slips through.
bool apartFromSources(const fs::path& out, const std::vector<Source>& sources, std::string& error)
{
    const std::optional<FileId> outId = fileId(out);
    // The folders `out` lies in, from the nearest that exists.
    std::vector<FileId> outFolders;
    std::error_code ec;
    for (fs::path folder = fs::absolute(out, ec).lexically_normal().parent_path();; folder = folder.parent_path()) {
        if (const auto id = fileId(folder))
            outFolders.push_back(*id);
        if (folder == folder.parent_path())
            break;
    }
    for (const Source& source : sources)
        for (const fs::path& file : source.reader->files()) {
            const std::optional<FileId> id = fileId(file);
            if (!id)
                continue;
            const std::string refusal = " --out " + out.string();
            if (outId && *outId == *id) {
                error = file.string() + ": the source itself is named by" + refusal +
                        "; the project goes into a folder of its own";
                return false;
            }
            if (std::find(outFolders.begin(), outFolders.end(), *id) != outFolders.end()) {
                error = out.string() + " lies inside the source " + file.string() + "; choose another --out";
                return false;
            }
            if (!outId)
                continue;
            const fs::path real = fs::canonical(file, ec);
            for (fs::path folder = real.parent_path(); !ec && !folder.empty(); folder = folder.parent_path()) {
                if (fileId(folder) == outId) {
                    error = out.string() + " holds the source " + file.string() +
                            ", which the project would put at risk; choose an --out that holds no source";
                    return false;
                }
                if (folder == folder.parent_path())
                    break;
            }
        }
    return true;
}

// A temporary project folder of an import that was stopped for good
// (killed, or the machine went down): ".OUT.import-PID-XXXXXX" beside the
// project folder OUT, with ".old" after it for the folder it replaced.
// Returns the owner's process ID and OUT's name, or 0 for a name of no import.
pid_t staleImportOwner(const std::string& name, std::string& out, bool& old)
{
    std::string_view rest = name;
    old = rest.ends_with(".old");
    if (old)
        rest.remove_suffix(4);
    const std::size_t mark = rest.rfind(importTemporaryMark);
    if (rest.size() < 2 || rest[0] != '.' || mark == std::string_view::npos || mark < 2)
        return 0;
    const std::size_t digits = mark + importTemporaryMark.size();
    const std::size_t dash = rest.find('-', digits);
    if (dash == std::string_view::npos || dash == digits || rest.size() - dash - 1 != 6)
        return 0;
    long pid = 0;
    for (std::size_t i = digits; i < dash; ++i) {
        if (rest[i] < '0' || rest[i] > '9' || pid > 100000000)
            return 0;
        pid = pid * 10 + (rest[i] - '0');
    }
    out = std::string(rest.substr(1, mark - 1));
    return static_cast<pid_t>(pid);
}

bool ownerGone(pid_t owner)
{
    return owner > 0 && owner != ::getpid() && ::kill(owner, 0) != 0 && errno == ESRCH;
}

// Clears the temporary folders of imports whose process is gone, losing
// nothing of the user's. A folder the import was still building is
// removed. A complete one takes the place of its project when that was
// already moved aside (or when it holds the user's files and the project is
// gone); otherwise the user's files it held go back into the project. A
// project moved aside is removed once the new one is in place (it holds only
// what an import made), and put back when nothing else is. A process ID
// that now names another process keeps its folders.
void removeStaleImports(const fs::path& parent)
{
    std::error_code ec;
    struct Stale {
        fs::path path;
        fs::path out;
    };
    std::vector<Stale> temporaries;
    std::vector<Stale> olds;
    for (const fs::directory_entry& entry : fs::directory_iterator(parent, ec)) {
        std::string out;
        bool old = false;
        if (!ownerGone(staleImportOwner(entry.path().filename().string(), out, old)) ||
            !fs::is_directory(entry.symlink_status(ec)))
            continue;
        (old ? olds : temporaries).push_back({entry.path(), parent / out});
    }
    auto exists = [&](const fs::path& path) { return fs::exists(fs::symlink_status(path, ec)); };
    for (const Stale& stale : temporaries) {
        std::set<std::string> made;
        std::vector<fs::path> users;
        const bool complete = madeByImport(stale.path, made);
        if (complete)
            userEntries(stale.path, {}, made, users);
        const bool aside = exists(stale.path.string() + ".old");
        if (complete && !exists(stale.out) && (aside || !users.empty())) {
            fs::rename(stale.path, stale.out, ec);
        } else if (users.empty()) {
            fs::remove_all(stale.path, ec);
        } else {
            for (const fs::path& entry : users)
                if (!exists(stale.out / entry)) {
                    fs::create_directories((stale.out / entry).parent_path(), ec);
                    fs::rename(stale.path / entry, stale.out / entry, ec);
                }
            removeMade(stale.path, made);
        }
    }
    for (const Stale& old : olds) {
        if (exists(fs::path(old.path).replace_extension()))
            continue; // its new project could not be settled
        if (!exists(old.out)) {
            fs::rename(old.path, old.out, ec);
            continue;
        }
        // Only what the import made goes; a folder without its marker stays.
        std::set<std::string> made;
        if (madeByImport(old.path, made))
            removeMade(old.path, made);
    }
}

} // namespace

bool importProject(const ImportOptions& options, ImportSummary& summary, std::string& error)
{
    std::vector<Source> sources;
    Progress progress(options);
    for (const std::string& argument : options.sources) {
        const std::string name = sourceFileOfArgument(argument).filename().string();
        auto readers =
            openSources(argument, error, [&](double read) { return progress.opening(name, read); });
        if (readers.empty()) {
            if (progress.cancelled())
                error = "cancelled";
            return false;
        }
        for (auto& reader : readers) {
            std::error_code ec;
            if (!fs::is_regular_file(reader->path(), ec)) {
                error = reader->path().string() + ": no such file";
                return false;
            }
            Source source;
            source.reader = std::move(reader);
            sources.push_back(std::move(source));
        }
    }

    const fs::path out = options.out.filename().empty() ? options.out.parent_path() : options.out;
    if (!apartFromSources(out, sources, error))
        return false;
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(out, ec);
    const bool exists = fs::exists(status);
    if (exists && !options.force) {
        error = out.string() + " exists; --force replaces it";
        return false;
    }
    if (exists) {
        std::set<std::string> made;
        if (!fs::is_directory(status) || !madeByImport(out, made)) {
            error = out.string() + " exists and is not a project qavn-import made (it has no " +
                    std::string(importMarkerName) + "); --force replaces only those: choose another --out";
            return false;
        }
    }
    fs::path parent = out.parent_path();
    if (parent.empty())
        parent = ".";
    removeStaleImports(parent);
    std::string pattern = (parent / ("." + out.filename().string() + std::string(importTemporaryMark) +
                                     std::to_string(::getpid()) + "-XXXXXX"))
                              .string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        error = "cannot create a folder in " + parent.string() + ": " + std::strerror(errno);
        return false;
    }
    const fs::path temporary = pattern;
    progress.setSources(sources.size());
    if (!build(options, sources, temporary, summary, progress, error)) {
        if (progress.cancelled())
            error = "cancelled";
        fs::remove_all(temporary, ec);
        return false;
    }
    if (options.progress)
        options.progress(1.0, "done");
    if (!replace(temporary, out, exists, summary, error)) {
        fs::remove_all(temporary, ec);
        return false;
    }
    return true;
}

} // namespace qavn
