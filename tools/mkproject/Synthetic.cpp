// The synthetic project of any size, for tests and benchmarks.

#include "Synthetic.h"

#include "ProjectFiles.h"
#include "Random.h"

#include "codebook/CodebookWriter.h"
#include "codebook/VariableRecord.h"
#include "platform/HostPath.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace qavn::mkproject {

namespace fs = std::filesystem;

namespace {

constexpr int identifierWidth = 8; // columns 1-8 on line 1 of every data file

// Words the labels, descriptions and category labels are made of. None holds
// the letters the benchmarks search for as a miss.
constexpr std::array<std::string_view, 96> words = {
    "respondent",  "household",  "school",     "parent",     "income",      "employment", "weeks",
    "hours",       "interview",  "survey",     "wave",       "round",       "current",    "previous",
    "since",       "date",       "last",       "age",        "years",       "months",     "child",
    "children",    "mother",     "father",     "sibling",    "spouse",      "partner",    "health",
    "condition",   "limits",     "work",       "job",        "employer",    "wage",       "salary",
    "benefits",    "insurance",  "program",    "assistance", "received",    "amount",     "total",
    "family",      "members",    "residence",  "county",     "state",       "region",     "urban",
    "rural",       "enrolled",   "grade",      "degree",     "college",     "training",   "course",
    "attended",    "completed",  "highest",    "reported",   "verified",    "imputed",    "edited",
    "created",     "variable",   "question",   "universe",   "all",         "eligible",   "valid",
    "skip",        "refusal",    "respondent's", "mother's", "father's",    "child's",    "per",
    "week",        "year",       "month",      "day",        "time",        "ever",       "never",
    "often",       "sometimes",  "usually",    "activity",   "drinks",      "smoked",     "arrest",
    "charged",     "convicted",  "dwelling",   "rent",       "owns"};

constexpr std::array<std::string_view, 3> reservedCodes = {"-1", "-2", "-4"};
constexpr std::array<std::string_view, 3> reservedLabels = {"{Refused}", "{Don't know}", "{Valid skip}"};

constexpr std::array<std::string_view, 12> scaleLabels = {
    "None",          "Strongly disagree", "Disagree",  "Neither agree nor disagree", "Agree",  "Strongly agree",
    "Once or twice", "Several times",     "Every day", "Less than once a month",     "Other",  "Not applicable"};

// The fixed properties of one variable that the raw data needs.
struct Shape {
    char type = ' ';
    std::uint8_t width = 1;
    std::uint8_t reserved = 0; // reserved codes -1, -2, -4 in front
    std::uint8_t codes = 0;    // regular codes after them
    std::uint8_t codeBase = 1;
    std::uint8_t record = 1;
    std::uint16_t first = 1;
    std::uint32_t countOffset = 0;

    int categoryCount() const { return reserved + codes; }
};

std::size_t digits(std::uint64_t v)
{
    std::size_t n = 1;
    while (v >= 10) {
        v /= 10;
        ++n;
    }
    return n;
}

Shape makeShape(std::uint64_t seed, std::uint64_t k)
{
    Random r(Random::derive(seed, k));
    Shape s;
    const std::uint32_t roll = r.below(100);
    if (roll < 58) {
        s.type = ' ';
        s.reserved = r.chance(35) ? static_cast<std::uint8_t>(1 + r.below(3)) : 0;
        s.codes = static_cast<std::uint8_t>(2 + r.below(11u - s.reserved));
        s.codeBase = static_cast<std::uint8_t>(r.below(2));
        s.width = static_cast<std::uint8_t>(std::max<std::size_t>(digits(s.codeBase + s.codes - 1u), s.reserved ? 2 : 1));
    } else if (roll < 83) {
        s.type = roll < 73 ? '0' : static_cast<char>('1' + r.below(2));
        s.width = static_cast<std::uint8_t>(s.type == '0' ? 1 + r.below(6) : 3 + r.below(5));
        if (s.width >= 2 && r.chance(50))
            s.reserved = static_cast<std::uint8_t>(1 + r.below(3));
    } else {
        s.type = 'A';
        s.width = static_cast<std::uint8_t>(1 + r.below(12));
        if (r.chance(40))
            s.codes = static_cast<std::uint8_t>(2 + r.below(5));
    }
    return s;
}

// A category's code as the codebook shows it and as the data holds it.
std::string codeText(const Shape& s, int j)
{
    if (j < s.reserved)
        return std::string(reservedCodes[static_cast<std::size_t>(j)]);
    const int regular = j - s.reserved;
    if (s.type == 'A')
        return std::string("'") + static_cast<char>('A' + regular) + "'";
    return std::to_string(s.codeBase + regular);
}

void appendWords(std::string& out, Random& r, std::size_t target, std::size_t limit)
{
    while (out.size() < target) {
        const std::string_view w = words[r.below(static_cast<std::uint32_t>(words.size()))];
        const std::size_t need = out.empty() ? w.size() : w.size() + 1;
        if (out.size() + need > limit)
            break;
        if (!out.empty())
            out.push_back(' ');
        out.append(w);
    }
}

// Streams the index and text files. Texts come in variable order; the
// offsets must stay within the 32 bits a reference holds.
class CodebookStream {
public:
    bool open(const fs::path& index, const fs::path& text, std::string& error)
    {
        index_.reset(std::fopen(index.c_str(), "wb"));
        text_.reset(std::fopen(text.c_str(), "wb"));
        if (!index_ || !text_) {
            error = "cannot create " + (index_ ? text : index).string() + ": " + std::strerror(errno);
            return false;
        }
        std::setvbuf(index_.get(), nullptr, _IOFBF, 1 << 20);
        std::setvbuf(text_.get(), nullptr, _IOFBF, 1 << 20);
        return true;
    }

    TextRef here() const { return TextRef::fromOffset(static_cast<std::uint32_t>(offset_ + pending_.size())); }
    bool full() const { return offset_ + pending_.size() > 0xFFFFFF00ull; }

    void line(std::string_view text)
    {
        pending_.append(text);
        pending_.push_back(static_cast<char>(textbyte::lineEnd));
    }

    void record(const VariableRecord& record)
    {
        std::uint8_t bytes[VariableRecord::size];
        record.encode(bytes);
        std::fwrite(bytes, 1, sizeof bytes, index_.get());
        if (pending_.size() > (1u << 20))
            flushText();
    }

    bool finish(std::string& error)
    {
        flushText();
        const bool ok = std::fflush(index_.get()) == 0 && std::fflush(text_.get()) == 0 && !std::ferror(index_.get()) &&
                        !std::ferror(text_.get());
        if (!ok)
            error = std::string("cannot write the codebook files: ") + std::strerror(errno);
        return ok;
    }

private:
    void flushText()
    {
        std::fwrite(pending_.data(), 1, pending_.size(), text_.get());
        offset_ += pending_.size();
        pending_.clear();
    }

    FilePtr index_;
    FilePtr text_;
    std::uint64_t offset_ = 0;
    std::string pending_;
};

void fillRecordText(std::array<char, 8>& field, std::string_view text)
{
    field.fill(' ');
    std::copy_n(text.begin(), std::min(text.size(), field.size()), field.begin());
}

// Progress of a long run on a terminal: the phase and its percentage, on one
// line that each report overwrites. Silent when standard error is a file.
class ProgressLine {
public:
    ProgressLine() : enabled_(::isatty(2) != 0) {}
    ~ProgressLine()
    {
        if (shown_)
            std::fputs("\r\033[K", stderr);
    }

    void report(const std::string& phase, std::uint64_t done, std::uint64_t total)
    {
        if (!enabled_ || total == 0)
            return;
        const int percent = static_cast<int>(done * 100 / total);
        if (percent == last_ && phase == phase_)
            return;
        last_ = percent;
        phase_ = phase;
        shown_ = true;
        std::fprintf(stderr, "\r\033[Kqavn-mkproject: %s %d%%", phase.c_str(), percent);
    }

private:
    bool enabled_;
    bool shown_ = false;
    int last_ = -1;
    std::string phase_;
};

// Where every variable lies: its shape and columns, per data file the first
// variable and the width of each record line, and where each variable's
// category counts start in one array of them all.
struct Plan {
    std::vector<Shape> shapes;
    std::vector<std::uint64_t> fileStart; // variable index where data file f starts; one more at the end
    std::vector<std::vector<int>> lineWidth;
    std::uint64_t countTotal = 0;
};

std::string badOptions(const SyntheticOptions& options)
{
    const std::uint64_t n = options.variables;
    if (auto why = badProjectId(options.id))
        return "--id: " + *why;
    if (n < 1 || n > maxSyntheticVariables)
        return "--variables must lie in 1.." + std::to_string(maxSyntheticVariables);
    if (options.files < 1 || options.files > 999 || static_cast<std::uint64_t>(options.files) > n)
        return "--files must lie in 1..999 and not exceed --variables";
    if (options.cases < 1 || options.cases > 99'999'999)
        return "--cases must lie in 1..99999999";
    return {};
}

// Pass 1: the shape and columns of every variable. Each data file starts
// with the identifier in columns 1-8 of line 1 and fills its record lines up
// to column 9999 (so every location fits the 9 characters a record stores),
// as many lines as it needs.
bool planVariables(const SyntheticOptions& options, Plan& plan, std::string& error)
{
    const std::uint64_t n = options.variables;
    const int fileCount = options.files;
    plan.shapes.resize(n);
    plan.fileStart.resize(static_cast<std::size_t>(fileCount) + 1);
    plan.lineWidth.resize(static_cast<std::size_t>(fileCount));
    for (int f = 0; f <= fileCount; ++f)
        plan.fileStart[static_cast<std::size_t>(f)] =
            n * static_cast<std::uint64_t>(f) / static_cast<std::uint64_t>(fileCount);
    for (int f = 0; f < fileCount; ++f) {
        auto& widths = plan.lineWidth[static_cast<std::size_t>(f)];
        int record = 1;
        int cursor = identifierWidth + 1;
        for (std::uint64_t k = plan.fileStart[static_cast<std::size_t>(f)];
             k < plan.fileStart[static_cast<std::size_t>(f) + 1]; ++k) {
            Shape s = makeShape(options.seed, k + 1);
            if (cursor + s.width - 1 > maxLayoutColumn) {
                widths.push_back(cursor - 1);
                ++record;
                cursor = 1;
                if (record > maxRecordLines) {
                    error = "data file " + std::to_string(f + 1) + " would need more than " +
                            std::to_string(maxRecordLines) + " record lines per case; use more --files";
                    return false;
                }
            }
            s.record = static_cast<std::uint8_t>(record);
            s.first = static_cast<std::uint16_t>(cursor);
            s.countOffset = static_cast<std::uint32_t>(plan.countTotal);
            plan.countTotal += static_cast<std::uint64_t>(s.categoryCount());
            cursor += s.width;
            plan.shapes[k] = s;
        }
        widths.push_back(cursor - 1);
    }
    return true;
}

// One variable's value in one case, into `value` (its length returned), the
// category drawn counted in `counts`. Categorical variables draw reserved
// codes now and then and lower codes more often.
std::size_t drawValue(const Shape& s, Random& random, std::vector<std::uint32_t>& counts, char* value)
{
    std::size_t length = 0;
    int category = -1;
    if (s.type == 'A' && s.codes == 0) {
        length = 1 + random.below(s.width);
        for (std::size_t i = 0; i < length; ++i)
            value[i] = static_cast<char>('A' + random.below(26));
    } else if (s.codes > 0) {
        if (s.reserved > 0 && random.chance(8)) {
            category = static_cast<int>(random.below(s.reserved));
        } else {
            std::uint32_t j = random.below(s.codes);
            if (random.chance(50))
                j = std::min(j, random.below(s.codes));
            category = s.reserved + static_cast<int>(j);
        }
    } else {
        if (s.reserved > 0 && random.chance(6)) {
            category = static_cast<int>(random.below(s.reserved));
        } else {
            std::uint64_t top = 1;
            for (int i = 0; i < s.width; ++i)
                top *= 10;
            const auto v = static_cast<std::uint64_t>(random.between(0, static_cast<std::int64_t>(top - 1)));
            length = static_cast<std::size_t>(std::to_chars(value, value + 24, v).ptr - value);
        }
    }
    if (category >= 0) {
        ++counts[s.countOffset + static_cast<std::uint32_t>(category)];
        std::string code = codeText(s, category);
        if (s.type == 'A')
            code = code.substr(1, code.size() - 2);
        length = code.size();
        std::memcpy(value, code.data(), length);
    }
    return length;
}

// Pass 2: the raw data, case by case. Every value drawn for a variable with
// categories is one of its codes, so counting the draws counts the data as
// written.
bool writeRawData(const SyntheticOptions& options, const ProjectLayout& layout, const Plan& plan,
                  std::vector<std::uint32_t>& counts, std::vector<SpecDataFile>& specFiles, ProgressLine& progress,
                  std::string& error)
{
    Random random(Random::derive(options.seed, 0xDA7A));
    for (int f = 0; f < options.files; ++f) {
        const auto& widths = plan.lineWidth[static_cast<std::size_t>(f)];
        const std::string dataPath = "DATA\\" + options.id + std::to_string(f + 1) + ".DAT";
        specFiles.push_back({static_cast<int>(widths.size()), "1-" + std::to_string(identifierWidth), dataPath});
        const fs::path path = layout.rawDataFile(dataPath);
        std::error_code ec;
        fs::create_directories(path.parent_path(), ec);
        FilePtr raw(std::fopen(path.c_str(), "wb"));
        if (!raw) {
            error = "cannot create " + path.string() + ": " + std::strerror(errno);
            return false;
        }
        std::setvbuf(raw.get(), nullptr, _IOFBF, 1 << 20);

        std::string blank;
        std::vector<std::size_t> lineStart;
        for (int w : widths) {
            lineStart.push_back(blank.size());
            blank.append(static_cast<std::size_t>(w), ' ');
            blank.append("\r\n");
        }
        std::string caseText;
        for (std::uint32_t c = 1; c <= options.cases; ++c) {
            progress.report("raw data file " + std::to_string(f + 1), c - 1, options.cases);
            caseText = blank;
            char id[identifierWidth + 1];
            std::snprintf(id, sizeof id, "%0*u", identifierWidth, c);
            std::memcpy(caseText.data(), id, identifierWidth);
            for (std::uint64_t k = plan.fileStart[static_cast<std::size_t>(f)];
                 k < plan.fileStart[static_cast<std::size_t>(f) + 1]; ++k) {
                const Shape& s = plan.shapes[k];
                char* field = caseText.data() + lineStart[s.record - 1u] + s.first - 1;
                char value[24];
                const std::size_t length = drawValue(s, random, counts, value);
                if (s.type == 'A')
                    std::memcpy(field, value, length);
                else
                    std::memcpy(field + (s.width - length), value, length);
            }
            std::fwrite(caseText.data(), 1, caseText.size(), raw.get());
        }
        if (std::fflush(raw.get()) != 0 || std::ferror(raw.get())) {
            error = "cannot write " + path.string() + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

// The sections: every 20 to 40 variables a new one with a title of its own.
class SectionMaker {
public:
    explicit SectionMaker(std::uint64_t seed) : random_(Random::derive(seed, 0x5EC7)) {}

    // The section of the next variable, its title written when it is new.
    TextRef next(CodebookStream& codebook)
    {
        if (left_ == 0) {
            left_ = 20 + random_.below(21);
            ++number_;
            std::string title = "SECTION " + std::to_string(number_) + ": ";
            std::string topic;
            appendWords(topic, random_, 12 + random_.below(20), 40);
            for (char& c : topic)
                if (c >= 'a' && c <= 'z')
                    c = static_cast<char>(c - 'a' + 'A');
            title += topic;
            ref_ = codebook.here();
            codebook.line(title);
        }
        --left_;
        return ref_;
    }

private:
    Random random_;
    std::uint64_t left_ = 0;
    std::uint32_t number_ = 0;
    TextRef ref_;
};

// One variable's record and texts: its label, section, description and
// category lines with the counts the raw data holds.
void writeVariable(const SyntheticOptions& options, const Plan& plan, const std::vector<std::uint32_t>& counts,
                   std::uint64_t k, CodebookStream& codebook, SectionMaker& sections, std::string& line)
{
    const std::uint64_t n = options.variables;
    const Shape& s = plan.shapes[k - 1];
    Random r(Random::derive(options.seed ^ 0x7E47ull, k));
    VariableRecord record;
    char name[16];
    std::snprintf(name, sizeof name, "V%07llu", static_cast<unsigned long long>(k));
    record.nameLength = static_cast<std::uint8_t>(std::strlen(name));
    fillRecordText(record.name, name);
    record.fileNumber = static_cast<std::uint16_t>(
        std::upper_bound(plan.fileStart.begin(), plan.fileStart.end(), k - 1) - plan.fileStart.begin());
    record.recordNumber = s.record;
    const std::string location = locationText({s.first, s.first + s.width - 1});
    record.locationLength = static_cast<std::uint8_t>(location.size());
    record.location.fill(' ');
    std::copy_n(location.begin(), location.size(), record.location.begin());
    record.typeCode = s.type;

    // Label of 20 to 60 characters, capitalised.
    line.clear();
    appendWords(line, r, 20 + r.below(41), 60);
    while (line.size() < 20)
        line.append(" total");
    line[0] = static_cast<char>(line[0] - 'a' + 'A');
    record.labelRef = codebook.here();
    codebook.line(line);
    record.sectionRef = sections.next(codebook);

    // Description: 1 to 6 lines, a few of several hundred lines.
    std::uint32_t lines = 1 + r.below(6);
    if (n >= 10'000 && k == 5003)
        lines = 900;
    else if (n >= 10'000 && k % 100'003 == 77)
        lines = 300 + static_cast<std::uint32_t>(k / 100'003 % 5) * 50;
    else if (n < 10'000 && k % 997 == 500)
        lines = 120;
    record.descriptionRef = codebook.here();
    record.descriptionLineCount = static_cast<std::uint16_t>(lines);
    for (std::uint32_t i = 1; i <= lines; ++i) {
        line.clear();
        appendWords(line, r, 30 + r.below(46), 78);
        if (i == lines && k % 10 == 0) {
            while (line.size() > 80 - 10) // room for " TENTHMARK"
                line.resize(line.rfind(' '));
            line.append(" TENTHMARK");
        }
        codebook.line(line);
    }

    record.categoryRef = codebook.here();
    record.categoryLineCount = static_cast<std::uint16_t>(s.categoryCount());
    for (int j = 0; j < s.categoryCount(); ++j) {
        const std::uint32_t count = counts[s.countOffset + static_cast<std::uint32_t>(j)];
        std::string label;
        if (j < s.reserved) {
            label = reservedLabels[static_cast<std::size_t>(j)];
        } else if (s.codes == 2 && s.type == ' ') {
            label = j == s.reserved ? "Yes" : "No";
        } else if (r.chance(50)) {
            label = scaleLabels[r.below(static_cast<std::uint32_t>(scaleLabels.size()))];
        } else {
            appendWords(label, r, 6 + r.below(25), 40);
            label[0] = static_cast<char>(label[0] - 'a' + 'A');
        }
        codebook.line(categoryLine(codeText(s, j), std::to_string(count), percentText(count, options.cases), label));
    }
    codebook.record(record);
}

// Pass 3: the codebook, one variable at a time.
bool writeCodebook(const SyntheticOptions& options, const ProjectLayout& layout, const Plan& plan,
                   const std::vector<std::uint32_t>& counts, ProgressLine& progress, std::string& error)
{
    CodebookStream codebook;
    if (!codebook.open(layout.resourceDir() / (options.id + "01.CDC"), layout.resourceDir() / (options.id + "02.CDC"),
                       error))
        return false;
    SectionMaker sections(options.seed);
    std::string line;
    for (std::uint64_t k = 1; k <= options.variables; ++k) {
        if (k % 4096 == 1)
            progress.report("codebook", k - 1, options.variables);
        writeVariable(options, plan, counts, k, codebook, sections, line);
        if (codebook.full()) {
            error = "the codebook text passes 4 GB, beyond what its references address; ask for fewer variables";
            return false;
        }
    }
    return codebook.finish(error);
}

} // namespace

bool buildSynthetic(const SyntheticOptions& options, std::string& error)
{
    error = badOptions(options);
    if (!error.empty())
        return false;
    Plan plan;
    if (!planVariables(options, plan, error))
        return false;
    const ProjectLayout layout{options.out, options.id};
    if (!createProjectLayout(layout, error))
        return false;
    ProgressLine progress;
    std::vector<std::uint32_t> counts(plan.countTotal, 0);
    std::vector<SpecDataFile> specFiles;
    if (!writeRawData(options, layout, plan, counts, specFiles, progress, error) ||
        !writeCodebook(options, layout, plan, counts, progress, error))
        return false;
    const std::string title = "SYNTHETIC PROJECT " + options.id + " (" + std::to_string(options.variables) +
                              " VARIABLES)";
    return writeProjectFiles(layout, specificationText(title, options.id, specFiles, {}), error);
}

} // namespace qavn::mkproject
