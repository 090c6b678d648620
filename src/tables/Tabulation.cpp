// Tables counted from the raw data: the distinct raw fields of each case
// counted once, their meaning (value, label, missing) decided afterwards.

#include "tables/Tabulation.h"

#include "codebook/CodebookStore.h"
#include "export/TableData.h"
#include "platform/HostPath.h"
#include "platform/Progress.h"
#include "platform/Strings.h"
#include "platform/Ui.h"
#include "project/ProjectMetadata.h"
#include "project/ProjectPaths.h"
#include "project/ProjectSpec.h"
#include "project/Settings.h"
#include "tables/CaseWalk.h"
#include "tables/VariableRules.h"
#include "verify/ValueTally.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <unordered_map>

namespace qavn {

namespace {

ReadError tableError(std::string file, std::string reason)
{
    ReadError error;
    error.kind = ReadError::Kind::InvalidData;
    error.file = std::move(file);
    error.reason = std::move(reason);
    return error;
}

struct ViewHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

struct CellSum {
    std::uint64_t count = 0;
    double weighted = 0;
};

// The cases counted by their pair of raw fields: the key is the row field's
// length (two bytes), the row field and the column field.
class CellCounter {
public:
    bool add(std::string_view row, std::string_view column, double weight)
    {
        key_.clear();
        key_ += static_cast<char>(row.size() & 0xFF);
        key_ += static_cast<char>(row.size() >> 8);
        key_ += row;
        key_ += column;
        auto found = cells_.find(std::string_view(key_));
        if (found == cells_.end()) {
            if (cells_.size() >= maxTableCells)
                return false;
            found = cells_.emplace(key_, CellSum{}).first;
        }
        ++found->second.count;
        found->second.weighted += weight;
        return true;
    }

    template <typename Visit>
    void forEach(Visit&& visit) const
    {
        for (const auto& [key, sum] : cells_) {
            const std::size_t rowSize = static_cast<unsigned char>(key[0]) |
                                        (static_cast<std::size_t>(static_cast<unsigned char>(key[1])) << 8);
            const std::string_view rest = std::string_view(key).substr(2);
            visit(rest.substr(0, rowSize), rest.substr(rowSize), sum);
        }
    }

private:
    std::string key_;
    std::unordered_map<std::string, CellSum, ViewHash, std::equal_to<>> cells_;
};

// The categories of one axis, gathered from its distinct raw fields.
class AxisBuilder {
public:
    explicit AxisBuilder(const VariableRules* rules) : rules_(rules) {}

    // The index of the category a raw field stands for.
    std::uint32_t indexOf(std::string_view raw)
    {
        if (!rules_)
            return 0;
        const auto known = byRaw_.find(raw);
        if (known != byRaw_.end())
            return known->second;
        TableCategory category = rules_->category(raw);
        // Numbers are one value by value ("07" and "7", "150" and "1.50"
        // with two implied decimals), but a reserved code is not the scaled
        // number of the same digits (-1 is not the -1.00 of "-100"); texts
        // as they are.
        const std::string key = category.reserved  ? "r" + category.value
                                : category.numeric ? "n" + tableNumber(category.number, 17)
                                                   : (category.value.empty() ? "b" : "t") + category.value;
        auto [at, added] = byValue_.emplace(key, static_cast<std::uint32_t>(categories_.size()));
        if (added)
            categories_.push_back(std::move(category));
        byRaw_.emplace(std::string(raw), at->second);
        return at->second;
    }

    const TableCategory& category(std::uint32_t index) const { return categories_[index]; }

    // Puts the categories in order, keeps those `used` marks, and returns the
    // new index of each old one.
    std::vector<std::uint32_t> finish(const std::vector<bool>& used, bool text, TableAxis& axis)
    {
        std::vector<std::uint32_t> order;
        for (std::uint32_t i = 0; i < categories_.size(); ++i)
            if (used[i])
                order.push_back(i);
        auto rank = [text](const TableCategory& c) {
            if (c.value.empty())
                return text ? 0 : 3;
            return c.numeric ? 1 : 2;
        };
        std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
            const TableCategory& x = categories_[a];
            const TableCategory& y = categories_[b];
            if (rank(x) != rank(y))
                return rank(x) < rank(y);
            if (x.numeric && x.number != y.number)
                return x.number < y.number;
            return x.value < y.value;
        });
        std::vector<std::uint32_t> newIndex(categories_.size(), UINT32_MAX);
        for (std::uint32_t i = 0; i < order.size(); ++i) {
            newIndex[order[i]] = i;
            axis.categories.push_back(std::move(categories_[order[i]]));
        }
        return newIndex;
    }

    std::size_t size() const { return categories_.size(); }

private:
    const VariableRules* rules_;
    std::unordered_map<std::string, std::uint32_t, ViewHash, std::equal_to<>> byRaw_;
    std::map<std::string, std::uint32_t> byValue_;
    std::vector<TableCategory> categories_;
};

class TableRun {
public:
    TableRun(const TableRequest& request, CodebookStore& store, const ProjectSpec& project, const Settings& settings,
             const ProjectMetadata* metadata, Ui& ui, Progress& progress)
        : request_(request), store_(store), project_(project), settings_(settings), metadata_(metadata), ui_(ui),
          progress_(progress)
    {
    }

    ReadResult<Tabulation> run();

private:
    std::optional<ReadError> prepare();
    void assemble();

    const TableRequest& request_;
    CodebookStore& store_;
    const ProjectSpec& project_;
    const Settings& settings_;
    const ProjectMetadata* metadata_;
    Ui& ui_;
    Progress& progress_;
    std::optional<VariableRules> row_;
    std::optional<VariableRules> column_;
    std::optional<VariableRules> weight_;
    CellCounter counter_;
    Tabulation table_;
};

std::optional<ReadError> TableRun::prepare()
{
    const std::string codebook = settings_.resourceDir + "\\" + project_.filePrefix + "01.CDC";
    if (request_.row == 0)
        return tableError(codebook, "no variable to tabulate");
    for (const std::uint32_t variable : {request_.row, request_.column, request_.weight})
        if (variable > store_.recordCount())
            return tableError(codebook, "variable " + std::to_string(variable) + " has no record in the codebook");
    row_.emplace(request_.row, store_, metadata_);
    if (request_.column != 0)
        column_.emplace(request_.column, store_, metadata_);
    if (request_.weight != 0) {
        weight_.emplace(request_.weight, store_, metadata_);
        if (weight_->isText())
            return tableError(codebook, "the weight " + weight_->name() + " is alphanumeric; a weight is a number");
    }
    return std::nullopt;
}

ReadResult<Tabulation> TableRun::run()
{
    ui_.pumpStep();
    if (auto problem = prepare())
        return *problem;
    table_.request = request_;
    table_.rows = row_->axis();
    if (column_)
        table_.columns = column_->axis();
    if (weight_)
        table_.weight = weight_->axis();

    std::vector<std::uint32_t> variables{request_.row};
    if (column_)
        variables.push_back(request_.column);
    if (weight_)
        variables.push_back(request_.weight);
    CaseWalk walk(variables, store_, project_, settings_, ui_, progress_);
    bool full = false;
    const ReadOutcome read = walk.run([&](std::span<const std::string_view> fields) {
        ++table_.cases;
        double weight = 1;
        if (weight_) {
            const auto w = weight_->weight(fields.back());
            if (!w) {
                ++table_.badWeightCases;
                return true;
            }
            weight = *w;
        }
        if (!counter_.add(fields[0], column_ ? fields[1] : std::string_view(), weight)) {
            full = true;
            return false;
        }
        return true;
    });
    if (read.isFailed())
        return read.error();
    if (full) {
        const std::string names = row_->name() + (column_ ? " and " + column_->name() : std::string());
        return tableError(settings_.resourceDir + "\\" + project_.filePrefix + "01.CDC",
                          names + " give more than " + std::to_string(maxTableCells) +
                              " distinct values (a continuous variable?): too many for a table");
    }
    table_.cancelled = read.isStopped();
    assemble();
    return std::move(table_);
}

void TableRun::assemble()
{
    AxisBuilder rows(&*row_);
    AxisBuilder columns(column_ ? &*column_ : nullptr);
    // The distinct raw pairs folded into pairs of categories ("01" and "1"
    // are one value).
    std::map<std::pair<std::uint32_t, std::uint32_t>, CellSum> sums;
    counter_.forEach([&](std::string_view rowRaw, std::string_view columnRaw, const CellSum& sum) {
        const std::uint32_t r = rows.indexOf(rowRaw);
        const std::uint32_t c = columns.indexOf(columnRaw);
        CellSum& cell = sums[{r, c}];
        cell.count += sum.count;
        cell.weighted += sum.weighted;
    });
    const bool exclude = request_.missing == MissingValues::Exclude;
    std::vector<bool> rowUsed(rows.size(), false);
    std::vector<bool> columnUsed(std::max<std::size_t>(columns.size(), 1), false);
    for (auto it = sums.begin(); it != sums.end();) {
        const auto [r, c] = it->first;
        const bool missing = rows.category(r).missing || (column_ && columns.category(c).missing);
        if (exclude && missing) {
            table_.missingCases += it->second.count;
            table_.missingWeighted += it->second.weighted;
            it = sums.erase(it);
            continue;
        }
        rowUsed[r] = true;
        columnUsed[c] = true;
        ++it;
    }
    const std::vector<std::uint32_t> rowIndex = rows.finish(rowUsed, row_->isText(), table_.rows);
    std::vector<std::uint32_t> columnIndex{0};
    if (column_)
        columnIndex = columns.finish(columnUsed, column_->isText(), table_.columns);
    table_.cells.reserve(sums.size());
    for (const auto& [key, sum] : sums)
        table_.cells.push_back({rowIndex[key.first], columnIndex[key.second], sum.count, sum.weighted});
    std::sort(table_.cells.begin(), table_.cells.end(), [](const TableCell& a, const TableCell& b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    });
}

} // namespace

double Tabulation::total() const
{
    double sum = 0;
    for (const TableCell& cell : cells)
        sum += amount(cell);
    return sum;
}

std::uint64_t Tabulation::totalCount() const
{
    std::uint64_t sum = 0;
    for (const TableCell& cell : cells)
        sum += cell.count;
    return sum;
}

std::vector<double> Tabulation::rowTotals() const
{
    std::vector<double> totals(rows.categories.size(), 0.0);
    for (const TableCell& cell : cells)
        totals[cell.row] += amount(cell);
    return totals;
}

std::vector<double> Tabulation::columnTotals() const
{
    std::vector<double> totals(std::max<std::size_t>(columns.categories.size(), 1), 0.0);
    for (const TableCell& cell : cells)
        totals[cell.column] += amount(cell);
    return totals;
}

ReadResult<Tabulation> tabulate(const TableRequest& request, CodebookStore& store, const ProjectSpec& project,
                                const Settings& settings, const ProjectMetadata* metadata, Ui& ui,
                                Progress& progress)
{
    return TableRun(request, store, project, settings, metadata, ui, progress).run();
}

std::uint32_t findVariable(std::string_view name, CodebookStore& store, const ProjectMetadata* metadata)
{
    name = trimmed(name);
    if (name.empty())
        return 0;
    if (std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        std::uint64_t number = 0;
        for (const char c : name) {
            number = number * 10 + static_cast<std::uint64_t>(c - '0');
            if (number > store.recordCount())
                return 0;
        }
        return static_cast<std::uint32_t>(number);
    }
    // A long name of the metadata names the codebook variable it belongs to.
    std::string wanted;
    if (metadata) {
        const VariableMetadata* folded = nullptr;
        for (const VariableMetadata& variable : metadata->variables()) {
            if (variable.longName == name) {
                wanted = variable.name;
                break;
            }
            if (!folded && !variable.longName.empty() && upperAscii(variable.longName) == upperAscii(name))
                folded = &variable;
        }
        if (wanted.empty() && folded)
            wanted = folded->name;
    }
    const std::string upper = upperAscii(wanted.empty() ? name : std::string_view(wanted));
    for (std::uint32_t k = 1; k <= store.recordCount(); ++k) {
        const VariableRecord record = store.recordAt(k);
        const std::string_view candidate = record.variableName();
        if (candidate.size() == upper.size() && upperAscii(candidate) == upper)
            return k;
    }
    return 0;
}

std::string tableNumber(double value, int significant)
{
    if (!std::isfinite(value))
        return value != value ? "NaN" : value > 0 ? "Infinity" : "-Infinity";
    if (value == 0)
        return "0";
    const double magnitude = std::floor(std::log10(std::fabs(value)));
    int decimals = significant - 1 - static_cast<int>(magnitude);
    decimals = std::clamp(decimals, 0, 40);
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    std::string text = buffer;
    dropTrailingZeros(text);
    return text;
}

std::string tablePercent(double part, double whole)
{
    if (whole == 0)
        return "0";
    const double percent = 100.0 * part / whole;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.6f", percent);
    std::string text = buffer;
    dropTrailingZeros(text);
    return text;
}

} // namespace qavn
