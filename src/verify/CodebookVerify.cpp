// The codebook's category lines checked against the raw data, and the
// figures of variables without them.

#include "verify/CodebookVerify.h"

#include "codebook/CategoryCode.h"
#include "codebook/CodebookStore.h"
#include "codebook/CodebookWriter.h"
#include "export/TableData.h"
#include "platform/Progress.h"
#include "platform/Strings.h"
#include "platform/Ui.h"
#include "project/ProjectPaths.h"
#include "project/ProjectSpec.h"
#include "project/Settings.h"
#include "verify/ValueTally.h"

#include <algorithm>
#include <map>
#include <memory>
#include <system_error>

namespace qavn {

namespace {

using detail::FiguresAccumulator;
using detail::RawCounter;

constexpr std::size_t listedValuesPerVariable = 100;
constexpr std::uint64_t pollBytes = std::uint64_t{1} << 20;
constexpr std::uint64_t pollCases = 4096;
constexpr long progressRange = 1000;

struct CategoryCheck {
    std::string code;      // trimmed, as written
    std::string frequency; // trimmed, as written
    std::string percent;
    std::uint64_t counted = 0;
    std::int32_t sameAs = -1; // an earlier line with the same code, whose count this line shares
    bool dot = false;
};

// A variable with category lines: its codes, the raw fields counted, and what
// they mean once the file is read.
struct CategoryColumn {
    std::uint32_t variable = 0;
    std::string name;
    bool numeric = true;
    bool listUnlabelled = true;
    std::vector<CategoryCheck> lines;
    std::vector<std::pair<std::string, std::uint32_t>> codes; // matching key -> first line, sorted
    std::int32_t firstDot = -1;
    RawCounter raw;
    std::map<std::string, std::uint64_t> unlabelled;
    std::uint64_t unlabelledRest = 0;

    std::string keyOf(std::string_view value) const
    {
        value = trimmed(value);
        if (numeric)
            if (auto number = detail::canonicalNumber(value))
                return *number;
        // A text is compared as the codebook can write it: the bytes its
        // text file reserves (0xDB, 0xDC, 0xFF) stand there as '?'.
        std::string key(value);
        for (char& c : key)
            if (c == '\xDB' || c == '\xDC' || c == '\xFF')
                c = '?';
        return key;
    }

    void classify(std::string_view field, std::uint64_t count)
    {
        const std::string key = keyOf(field);
        if (key.empty() && firstDot >= 0) {
            lines[static_cast<std::size_t>(firstDot)].counted += count;
            return;
        }
        const auto found = std::lower_bound(codes.begin(), codes.end(), key,
                                            [](const auto& entry, const std::string& k) { return entry.first < k; });
        if (found != codes.end() && found->first == key) {
            lines[found->second].counted += count;
            return;
        }
        if (!listUnlabelled)
            return;
        const auto known = unlabelled.find(key);
        if (known != unlabelled.end())
            known->second += count;
        else if (unlabelled.size() < listedValuesPerVariable)
            unlabelled.emplace(key, count);
        else
            unlabelledRest += count;
    }
};

struct FiguresColumn {
    std::uint32_t variable = 0;
    std::string name;
    char typeCode = ' ';
    FiguresAccumulator figures;
};

// What happens to each column of a data table.
struct ColumnWork {
    std::unique_ptr<CategoryColumn> categories;
    std::unique_ptr<FiguresColumn> figures;
};

std::uint64_t digitsValue(std::string_view text, bool& ok)
{
    ok = !text.empty() && text.size() <= 18 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    std::uint64_t value = 0;
    if (ok)
        for (const char c : text)
            value = value * 10 + static_cast<std::uint64_t>(c - '0');
    return value;
}

std::uint64_t power10(int n)
{
    std::uint64_t p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// Whether a stated percent is 100 × count / cases as rounded to its written
// decimals. Unreadable percents differ; an empty one is not checked.
bool percentAgrees(std::string_view stated, std::uint64_t count, std::uint64_t cases, int& decimals)
{
    decimals = 1;
    if (stated.empty())
        return true;
    const std::size_t point = stated.find('.');
    const std::string_view whole = stated.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? std::string_view() : stated.substr(point + 1);
    bool wholeOk = true;
    bool fractionOk = true;
    const std::uint64_t w = whole.empty() ? 0 : digitsValue(whole, wholeOk);
    const std::uint64_t f = fraction.empty() ? 0 : digitsValue(fraction, fractionOk);
    if (!wholeOk || !fractionOk || fraction.size() > 4 || w > 1000 || (whole.empty() && fraction.empty()))
        return false;
    decimals = std::max<int>(1, static_cast<int>(fraction.size()));
    const int d = static_cast<int>(fraction.size());
    if (cases == 0)
        return w == 0 && f == 0;
    // |stated - 100 count / cases| <= 0.5 / 10^d, in integers.
    const std::uint64_t scale = power10(d);
    const long double lhs = 2.0L * static_cast<long double>(w * scale + f) * static_cast<long double>(cases);
    const long double rhs = 200.0L * static_cast<long double>(count) * static_cast<long double>(scale);
    const long double gap = lhs > rhs ? lhs - rhs : rhs - lhs;
    return gap <= static_cast<long double>(cases);
}

std::unique_ptr<CategoryColumn> makeCategoryColumn(CodebookStore& store, const VariableRecord& record,
                                                   std::uint32_t variable)
{
    auto column = std::make_unique<CategoryColumn>();
    column->variable = variable;
    column->name = std::string(record.variableName());
    column->numeric = record.typeCode != 'A';
    bool labelsValues = false;
    store.readLines(record.categoryRef, record.categoryLineCount, LineVariant::CategoryFields,
                    [&](std::string_view line) {
                        const CategoryFields fields = splitCategoryLine(line);
                        CategoryCheck check;
                        check.code = std::string(trimmed(fields.code));
                        check.frequency = std::string(trimmed(fields.frequency));
                        check.percent = std::string(trimmed(fields.percent));
                        check.dot = column->numeric && isBlankMissingCode(check.code);
                        const std::string_view label = trimmed(fields.label);
                        if (label.empty() || label.front() != '{')
                            labelsValues = true;
                        column->lines.push_back(std::move(check));
                        return true;
                    });
    column->listUnlabelled = record.typeCode == ' ' || labelsValues;
    for (std::size_t i = 0; i < column->lines.size(); ++i) {
        CategoryCheck& check = column->lines[i];
        if (check.dot) {
            if (column->firstDot < 0)
                column->firstDot = static_cast<std::int32_t>(i);
            continue;
        }
        column->codes.emplace_back(column->keyOf(categoryCodeValue(check.code)), static_cast<std::uint32_t>(i));
    }
    std::stable_sort(column->codes.begin(), column->codes.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    // A code written twice: the later lines share the first one's count.
    for (std::size_t i = 1; i < column->codes.size(); ++i)
        if (column->codes[i].first == column->codes[i - 1].first)
            column->lines[column->codes[i].second].sameAs = static_cast<std::int32_t>(
                column->lines[column->codes[i - 1].second].sameAs >= 0
                    ? column->lines[column->codes[i - 1].second].sameAs
                    : static_cast<std::int32_t>(column->codes[i - 1].second));
    column->codes.erase(std::unique(column->codes.begin(), column->codes.end(),
                                    [](const auto& a, const auto& b) { return a.first == b.first; }),
                        column->codes.end());
    return column;
}

void reportColumn(CategoryColumn& column, std::uint64_t cases, VerifyReport& report)
{
    column.raw.forEach([&](std::string_view field, std::uint64_t count) { column.classify(field, count); });
    ++report.variablesWithCategories;
    report.categoryLines += column.lines.size();

    std::uint64_t dotStated = 0;
    std::uint32_t dotLines = 0;
    bool dotReadable = true;
    for (CategoryCheck& check : column.lines) {
        if (check.sameAs >= 0)
            check.counted = column.lines[static_cast<std::size_t>(check.sameAs)].counted;
        if (check.dot) {
            bool ok = false;
            dotStated += digitsValue(check.frequency, ok);
            dotReadable = dotReadable && ok;
            ++dotLines;
        }
    }
    for (std::size_t i = 0; i < column.lines.size(); ++i) {
        const CategoryCheck& check = column.lines[i];
        const bool groupedDot = check.dot && dotLines > 1;
        if (groupedDot && static_cast<std::int32_t>(i) != column.firstDot)
            continue;
        CategoryDifference difference;
        difference.variable = column.variable;
        difference.name = column.name;
        difference.code = check.code;
        difference.statedFrequency = check.frequency;
        difference.statedPercent = check.percent;
        difference.counted = check.counted;
        bool readable = false;
        const std::uint64_t stated = digitsValue(check.frequency, readable);
        int decimals = 1;
        if (groupedDot) {
            // The blank fields against the sum of every missing-value code.
            difference.code = ".";
            difference.statedFrequency = std::to_string(dotStated);
            difference.statedPercent.clear();
            difference.frequencyDiffers = !dotReadable || dotStated != check.counted;
        } else {
            difference.frequencyDiffers = !readable || stated != check.counted;
            difference.percentDiffers = !percentAgrees(check.percent, check.counted, cases, decimals);
        }
        difference.countedPercent = percentText(check.counted, cases, decimals);
        if (difference.frequencyDiffers || difference.percentDiffers)
            report.differences.push_back(std::move(difference));
    }
    for (const auto& [value, count] : column.unlabelled)
        report.unlabelled.push_back({column.variable, column.name, value, count});
    if (column.unlabelledRest > 0)
        report.unlabelledRest.push_back({column.variable, column.name, column.unlabelledRest});
}

// The data files that hold one of the (ascending) variables.
bool fileHolds(const ProjectSpec& project, std::uint32_t f, std::span<const std::uint32_t> variables)
{
    const std::uint32_t first = project.dataFile(f)->firstRow;
    if (first == 0)
        return false;
    std::uint32_t end = UINT32_MAX;
    for (std::uint32_t g = f + 1; g <= project.dataFiles.size(); ++g)
        if (project.dataFile(g)->firstRow != 0) {
            end = project.dataFile(g)->firstRow;
            break;
        }
    const auto at = std::lower_bound(variables.begin(), variables.end(), first);
    return at != variables.end() && *at < end;
}

struct RunOptions {
    bool figuresOnly = false; // every variable gets figures (the frequency view's request)
};

// One check: the data files that hold one of the variables, each read once,
// their columns tallied and then compared with the codebook.
class VerifyRun {
public:
    VerifyRun(std::span<const std::uint32_t> variables, CodebookStore& store, const ProjectSpec& project,
              const Settings& settings, Ui& ui, Progress& progress, RunOptions options)
        : variables_(variables), store_(store), project_(project), settings_(settings), ui_(ui),
          progress_(progress), options_(options)
    {
    }

    ReadResult<VerifyReport> run();

private:
    void measureFiles();
    void showBytes(std::uint64_t bytes);
    // One data file: Done, Stopped after a cancel (its tallies so far are
    // reported), or the error that stopped the reading.
    ReadOutcome checkFile(std::uint32_t f);
    // What is counted for each column: its category lines, or its figures.
    bool prepareColumns(const DataTable& table, std::vector<ColumnWork>& work);
    ReadOutcome tallyCases(const DataTable& table, std::vector<ColumnWork>& work, std::uint32_t f,
                           std::uint64_t& cases);
    void addToReport(std::vector<ColumnWork>& work, std::uint64_t cases);

    std::span<const std::uint32_t> variables_;
    CodebookStore& store_;
    const ProjectSpec& project_;
    const Settings& settings_;
    Ui& ui_;
    Progress& progress_;
    RunOptions options_;
    VerifyReport report_;
    RawDataReader reader_;
    // Bytes of each data file to read (by file number), for the progress range.
    std::vector<std::uint64_t> sizes_;
    std::uint64_t totalBytes_ = 0;
    std::uint64_t bytesBefore_ = 0;
    long shown_ = 0;
};

void VerifyRun::measureFiles()
{
    const auto fileCount = static_cast<std::uint32_t>(project_.dataFiles.size());
    sizes_.assign(fileCount + 1, 0);
    for (std::uint32_t f = 1; f <= fileCount; ++f) {
        if (!fileHolds(project_, f, variables_))
            continue;
        std::error_code ec;
        const auto size = std::filesystem::file_size(rawDataHostPath(settings_, *project_.dataFile(f)), ec);
        sizes_[f] = ec ? 0 : static_cast<std::uint64_t>(size);
        totalBytes_ += sizes_[f];
    }
    progress_.setRange(progressRange);
}

void VerifyRun::showBytes(std::uint64_t bytes)
{
    const long step = totalBytes_ == 0 ? 0
                                       : static_cast<long>(std::min<long double>(
                                             progressRange, static_cast<long double>(bytes) * progressRange /
                                                                static_cast<long double>(totalBytes_)));
    if (step > shown_) {
        progress_.advance(step - shown_);
        shown_ = step;
    }
}

bool VerifyRun::prepareColumns(const DataTable& table, std::vector<ColumnWork>& work)
{
    work.resize(table.columns.size());
    std::uint32_t made = 0;
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const TableColumn& column = table.columns[i];
        if (column.isIdentifier)
            continue;
        const VariableRecord record = store_.recordAt(column.variable);
        if (record.categoryLineCount > 0 && !options_.figuresOnly) {
            work[i].categories = makeCategoryColumn(store_, record, column.variable);
        } else {
            work[i].figures = std::make_unique<FiguresColumn>();
            work[i].figures->variable = column.variable;
            work[i].figures->name = column.variableName;
            work[i].figures->typeCode = column.typeCode;
            work[i].figures->figures = FiguresAccumulator(column.decimals());
        }
        if ((++made & 1023) == 0 && !pollProgress(ui_, progress_))
            return false;
    }
    return true;
}

ReadOutcome VerifyRun::tallyCases(const DataTable& table, std::vector<ColumnWork>& work, std::uint32_t f,
                                  std::uint64_t& cases)
{
    progress_.setText({}, "Reading " + table.rawName);
    std::uint64_t keptBytes = 0;
    std::uint64_t keptLines = 0;
    std::uint64_t casesAtPoll = 0;
    std::uint64_t bytesAtPoll = 0;
    return readCases(reader_, table, [&](std::span<const std::string_view> fields) {
        ++cases;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            ColumnWork& w = work[i];
            if (w.categories) {
                if (!w.categories->raw.add(fields[i]))
                    w.categories->classify(fields[i], 1);
            } else if (w.figures) {
                w.figures->figures.add(fields[i]);
            }
        }
        // The lines the columns are cut from stand for the file's line
        // lengths in the progress estimate.
        for (std::size_t l = 0; l < reader_.caseLineCount(); ++l)
            keptBytes += reader_.caseLine(l).size();
        keptLines += reader_.caseLineCount();
        const std::uint64_t bytes = keptLines == 0 ? 0 : reader_.lineNumber() * (keptBytes / keptLines);
        if (cases - casesAtPoll < pollCases && bytes - bytesAtPoll < pollBytes)
            return true;
        casesAtPoll = cases;
        bytesAtPoll = bytes;
        showBytes(bytesBefore_ + std::min(bytes, sizes_[f]));
        return pollProgress(ui_, progress_);
    });
}

void VerifyRun::addToReport(std::vector<ColumnWork>& work, std::uint64_t cases)
{
    for (ColumnWork& w : work) {
        if (w.categories)
            reportColumn(*w.categories, cases, report_);
        else if (w.figures)
            report_.figures.push_back(
                {w.figures->variable, w.figures->name, w.figures->typeCode, w.figures->figures.result()});
    }
}

ReadOutcome VerifyRun::checkFile(std::uint32_t f)
{
    DataTable table;
    const ReadOutcome built = buildDataTable(variables_, f, store_, *project_.dataFile(f), settings_,
                                             [&] { return progress_.cancelled(); }, table);
    if (!built.isDone() || table.columns.empty())
        return built;
    std::vector<ColumnWork> work;
    if (!prepareColumns(table, work))
        return ReadOutcome::stopped();
    std::uint64_t cases = 0;
    const ReadOutcome read = tallyCases(table, work, f, cases);
    if (read.isFailed())
        return read;
    report_.files.push_back({table.rawName, cases});
    addToReport(work, cases);
    return read;
}

ReadResult<VerifyReport> VerifyRun::run()
{
    ui_.pumpStep();
    measureFiles();
    const auto fileCount = static_cast<std::uint32_t>(project_.dataFiles.size());
    for (std::uint32_t f = 1; f <= fileCount; ++f) {
        if (!fileHolds(project_, f, variables_))
            continue;
        const ReadOutcome checked = checkFile(f);
        if (checked.isFailed())
            return checked.error();
        if (checked.isStopped()) {
            report_.cancelled = true;
            return std::move(report_);
        }
        bytesBefore_ += sizes_[f];
        showBytes(bytesBefore_);
    }
    showBytes(totalBytes_);
    return std::move(report_);
}

} // namespace

ReadResult<VerifyReport> verifyCodebook(std::span<const std::uint32_t> variables, CodebookStore& store,
                                        const ProjectSpec& project, const Settings& settings, Ui& ui,
                                        Progress& progress)
{
    return VerifyRun(variables, store, project, settings, ui, progress, RunOptions{}).run();
}

ReadResult<std::optional<ValueFigures>> variableFigures(std::uint32_t variable, CodebookStore& store,
                                                        const ProjectSpec& project, const Settings& settings,
                                                        Ui& ui, Progress& progress)
{
    const std::uint32_t list[] = {variable};
    auto result = VerifyRun(list, store, project, settings, ui, progress, RunOptions{true}).run();
    if (!result)
        return result.error();
    const VerifyReport& report = result.value();
    if (report.cancelled || report.figures.empty())
        return std::optional<ValueFigures>();
    return std::optional<ValueFigures>(report.figures.front().figures);
}

} // namespace qavn
