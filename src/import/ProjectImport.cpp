#include "import/ProjectImport.h"

#include "import/ImportText.h"
#include "import/SourceReader.h"

#include "codebook/CodebookWriter.h"
#include "codebook/ProjectFiles.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
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

std::string shortNumber(double v)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.6g", v);
    return buffer;
}

struct Counters {
    std::uint64_t replaced = 0;
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
    bool needsShortest = false;
    int decimals = 0;
    std::size_t intLength = 1;
    std::size_t shortestLength = 1;
    std::size_t textLength = 0;
    std::unordered_set<double> keptNumbers;    // labelled values and missing codes: always counted
    std::unordered_set<std::string> keptTexts; // the same, Latin-1
    std::unordered_map<double, std::uint64_t> numbers;
    std::unordered_map<std::string, std::uint64_t> texts;
    std::size_t untracked = 0; // distinct unlabelled values tracked
    bool overflow = false;
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
    std::string dataPath;
    std::string section;
};

// Reports how far the import is, at most every tenth of a second, and
// notes a cancel.
class Progress {
public:
    Progress(const ImportOptions& options, std::size_t sources) : options_(options), sources_(sources) {}

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
    std::size_t sources_;
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
                else
                    v.keptNumbers.insert(l.number);
            }
            for (const SourceMissing& m : sv.missing) {
                if (m.isText)
                    v.keptTexts.insert(trimRight(toLatin1(m.text, false, ignored)));
                else if (m.low == m.high)
                    v.keptNumbers.insert(m.low);
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
                count(v, std::string());
            return true;
        case SourceValue::Kind::TaggedMissing:
            ++v.tagged[value.tag];
            ++counters_.taggedBlank;
            return true;
        case SourceValue::Kind::Text: {
            std::string text = trimRight(toLatin1(value.text, false, counters_.replaced));
            v.textLength = std::max(v.textLength, text.size());
            count(v, std::move(text));
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
        auto found = v.numbers.find(x);
        if (found != v.numbers.end()) {
            ++found->second;
            return true; // its digits are counted already
        }
        if (v.keptNumbers.count(x) != 0 || missing) {
            v.numbers.emplace(x, 1);
        } else if (v.untracked < trackedDistinct) {
            ++v.untracked;
            v.numbers.emplace(x, 1);
        } else {
            v.overflow = true;
        }
        const std::string text = numberText(x, -1);
        const std::size_t point = text.find('.');
        if (text.find('e') != std::string::npos) {
            v.needsShortest = true;
        } else if (point != std::string::npos) {
            v.decimals = std::max(v.decimals, static_cast<int>(text.size() - point - 1));
        }
        v.intLength = std::max(v.intLength, point == std::string::npos ? text.size() : point);
        v.shortestLength = std::max(v.shortestLength, text.size());
        return true;
    }

    bool endCase() override
    {
        ++source_.cases;
        return progress_.step(source_.cases, 0);
    }

private:
    void count(Variable& v, std::string text)
    {
        auto found = v.texts.find(text);
        if (found != v.texts.end()) {
            ++found->second;
        } else if (v.keptTexts.count(text) != 0) {
            v.texts.emplace(std::move(text), 1);
        } else if (v.untracked < trackedDistinct) {
            ++v.untracked;
            v.texts.emplace(std::move(text), 1);
        } else {
            v.overflow = true;
        }
    }

    Source& source_;
    Counters& counters_;
    Progress& progress_;
};

class DataPass final : public SourceVisitor {
public:
    DataPass(Source& source, std::FILE* out, Progress& progress, std::string& error)
        : source_(source), out_(out), progress_(progress), error_(error)
    {
        lines_.resize(static_cast<std::size_t>(source.linesPerCase));
        reset();
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
        std::string text;
        if (value.kind == SourceValue::Kind::Number) {
            text = numberText(value.number, v.writeDecimals);
        } else if (value.kind == SourceValue::Kind::Text) {
            std::uint64_t replaced = 0;
            text = trimRight(toLatin1(value.text, false, replaced));
        } else {
            return true; // missing: the field stays blank
        }
        const auto width = static_cast<std::size_t>(v.width);
        if (text.size() > width) {
            error_ = source_.reader->path().string() + ": case " + std::to_string(case_ + 1) + ", variable " +
                     v.source->name + ": the value " + text + " does not fit in " + std::to_string(width) +
                     " columns (the file changed while it was read)";
            return false;
        }
        // Texts are left-aligned, numbers right-aligned.
        const std::size_t pad = width - text.size();
        std::string& line = lines_[static_cast<std::size_t>(v.record - 1)];
        line.replace(static_cast<std::size_t>(v.first - 1) + (v.source->isText ? 0 : pad), text.size(), text);
        return true;
    }

    bool endCase() override
    {
        for (const std::string& line : lines_) {
            std::fwrite(line.data(), 1, line.size(), out_);
            std::fwrite("\r\n", 1, 2, out_);
        }
        ++case_;
        reset();
        const double total = static_cast<double>(source_.cases);
        return progress_.step(case_, total > 0 ? static_cast<double>(case_) / total : 0);
    }

    std::uint64_t cases() const { return case_; }

private:
    void reset()
    {
        for (std::size_t l = 0; l < lines_.size(); ++l)
            lines_[l].assign(static_cast<std::size_t>(source_.lineWidths[l]), ' ');
    }

    Source& source_;
    std::FILE* out_;
    Progress& progress_;
    std::string& error_;
    std::vector<std::string> lines_;
    std::uint64_t case_ = 0;
};

// Codebook text: Latin-1, at most `limit` characters.
std::string codebookText(std::string_view utf8, std::size_t limit, Counters& counters)
{
    std::string text = toLatin1(utf8, true, counters.replaced);
    if (text.size() > limit) {
        text.resize(limit);
        ++counters.truncatedTexts;
    }
    return text;
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
        wrap(lines, toLatin1(v.source->label, true, counters.replaced));
    for (const std::string& detail : details)
        wrap(lines, toLatin1(detail, true, counters.replaced));
    wrap(lines, "Source: " + toLatin1(v.source->name, true, counters.replaced) + " in " + source.section);
    std::string type = v.source->isText ? "Type: text" : "Type: numeric";
    if (!v.source->format.empty())
        type += ", format " + toLatin1(v.source->format, true, counters.replaced);
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
            missing += quoted(toLatin1(m.text, true, counters.replaced));
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
    const bool listAll = !v.overflow && (!v.source->labels.empty() || v.untracked <= listedDistinct);
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
        for (const auto& [x, n] : v.numbers)
            if (listAll || v.userMissing(x))
                labels.emplace(x, v.userMissing(x) ? "{Missing}" : "");
        for (const auto& [x, label] : labels) {
            const auto found = v.numbers.find(x);
            entries.push_back({numberText(x, v.writeDecimals), found == v.numbers.end() ? 0 : found->second, label});
        }
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
        const std::string code = toLatin1(e.code, true, ignored);
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
    if (v.needsShortest || v.decimals > 9) {
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
    std::vector<std::string> details;
    std::vector<SpecDataFile> specFiles;
    std::string titles;
    for (std::size_t s = 0; s < sources.size(); ++s) {
        Source& source = sources[s];
        const fs::path& path = source.reader->path();
        source.section = codebookText(path.filename().string(), maxLine, counters);
        titles += (titles.empty() ? "" : ", ") + path.filename().string();

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
            namesText += v.name + "\t" + v.source->name + "\t" + path.filename().string() + "\n";
        }
        if (!layOut(source, error))
            return false;
        if (idIndex < source.variables.size())
            source.idLocation = locationOf(source.variables[idIndex]);

        source.dataPath = "DATA\\" + dataNames.add(fileStem(path)) + ".DAT";
        const fs::path dataFile = layout.rawDataFile(source.dataPath);
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(dataFile.c_str(), "wb"), &std::fclose);
        if (!out) {
            error = "cannot create " + dataFile.string() + ": " + std::strerror(errno);
            return false;
        }
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

        for (std::size_t i : source.order) {
            const Variable& v = source.variables[i];
            if (!source.reader->details(i, details, error))
                return false;
            VariableSpec spec;
            spec.name = v.name;
            spec.fileNumber = static_cast<std::uint16_t>(s + 1);
            spec.recordNumber = static_cast<std::uint8_t>(v.record);
            spec.location = locationOf(v);
            spec.typeCode = v.typeCode;
            spec.label = codebookText(v.source->label, maxLine, counters);
            spec.section =
                v.source->section.empty() ? source.section : codebookText(v.source->section, maxLine, counters);
            spec.description = descriptionOf(v, source, details, counters);
            spec.categories = categoriesOf(v, source.cases, counters);
            codebook.add(spec);
        }
        summary.variables += source.variables.size();
        summary.cases.push_back(source.cases);
        specFiles.push_back({source.linesPerCase, source.idLocation, source.dataPath});
    }
    if (codebook.textSize() > 0xFFFFFFFFu) {
        error = "the codebook text passes 4 GB, beyond what its references address";
        return false;
    }
    if (!codebook.writeFiles(resource, options.id, error))
        return false;

    std::uint64_t ignored = 0;
    const std::string title =
        toLatin1(options.title.empty() ? titles : options.title, false, options.title.empty() ? ignored : counters.replaced)
            .substr(0, 200);
    if (!writeProjectFiles(layout, specificationText(title, options.id, specFiles, {}), error) ||
        !writeWholeFile(root / (options.id + "NAMES.TXT"), namesText, error))
        return false;

    if (counters.replaced > 0)
        summary.warnings.push_back(std::to_string(counters.replaced) +
                                   " characters the single-byte Latin-1 text cannot hold were replaced by '?'");
    if (counters.truncatedTexts > 0)
        summary.warnings.push_back(std::to_string(counters.truncatedTexts) +
                                   " labels longer than a codebook line (80 characters) were cut");
    if (counters.longCodes > 0)
        summary.warnings.push_back(std::to_string(counters.longCodes) + " category lines with codes longer than " +
                                   std::to_string(maxCode) + " characters were left out");
    if (counters.taggedBlank > 0)
        summary.warnings.push_back(std::to_string(counters.taggedBlank) +
                                   " special missing values (.a-.z) were written as blanks");
    if (counters.cappedCategories > 0)
        summary.warnings.push_back("variables with more than 65,535 category lines keep the first 65,535");
    return true;
}

} // namespace

bool importProject(const ImportOptions& options, ImportSummary& summary, std::string& error)
{
    std::vector<Source> sources;
    for (const std::string& argument : options.sources) {
        auto readers = openSources(argument, error);
        if (readers.empty())
            return false;
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
    std::error_code ec;
    const bool exists = fs::exists(fs::symlink_status(out, ec));
    if (exists && !options.force) {
        error = out.string() + " exists; --force replaces it";
        return false;
    }
    fs::path parent = out.parent_path();
    if (parent.empty())
        parent = ".";
    std::string pattern = (parent / ("." + out.filename().string() + ".import-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        error = "cannot create a folder in " + parent.string() + ": " + std::strerror(errno);
        return false;
    }
    const fs::path temporary = pattern;
    Progress progress(options, sources.size());
    if (!build(options, sources, temporary, summary, progress, error)) {
        if (progress.cancelled())
            error = "cancelled";
        fs::remove_all(temporary, ec);
        return false;
    }
    if (options.progress)
        options.progress(1.0, "done");
    const fs::path old = temporary.string() + ".old";
    if (exists) {
        fs::rename(out, old, ec);
        if (ec) {
            error = "cannot move " + out.string() + " aside: " + ec.message();
            fs::remove_all(temporary, ec);
            return false;
        }
    }
    fs::rename(temporary, out, ec);
    if (ec) {
        error = "cannot rename " + temporary.string() + " to " + out.string() + ": " + ec.message();
        std::error_code ignored;
        if (exists)
            fs::rename(old, out, ignored);
        fs::remove_all(temporary, ignored);
        return false;
    }
    if (exists)
        fs::remove_all(old, ec);
    return true;
}

} // namespace qavn
