// The lines of a variable's frequency view with what its bars and summary
// need: from the codebook's category lines, or weighted from the raw data.

#include "tables/FrequencyLines.h"

#include "codebook/CategoryCode.h"
#include "codebook/CodebookStore.h"
#include "platform/Strings.h"
#include "tables/VariableRules.h"
#include "verify/ValueTally.h"

#include <cmath>
#include <cstdio>
#include <map>

namespace qavn {

namespace {

struct CodebookLine {
    std::string code;
    std::string frequency;
    std::string percent;
    std::string label;
};

std::vector<CodebookLine> categoryLinesOf(std::uint32_t variable, CodebookStore& store)
{
    std::vector<CodebookLine> lines;
    const VariableRecord record = store.recordAt(variable);
    store.readLines(record.categoryRef, record.categoryLineCount, LineVariant::CategoryFields,
                    [&](std::string_view line) {
                        const CategoryFields fields = splitCategoryLine(line);
                        lines.push_back({std::string(trimmed(fields.code)), std::string(trimmed(fields.frequency)),
                                         std::string(trimmed(fields.percent)), std::string(trimmed(fields.label))});
                        return true;
                    });
    return lines;
}

void addUp(FrequencyLines& result)
{
    for (const FrequencyLine& line : result.lines)
        (line.missing ? result.missing : result.valid) += line.amount;
    result.total = result.valid + result.missing;
}

std::string percentOf(double part, double whole)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f", whole == 0 ? 0.0 : 100.0 * part / whole);
    return buffer;
}

// A weighted sum as the view shows it: to two decimals at most.
std::string sumText(double value)
{
    return tableNumber(std::round(value * 100) / 100);
}

} // namespace

FrequencyLines codebookFrequencies(std::uint32_t variable, CodebookStore& store, const ProjectMetadata* metadata)
{
    FrequencyLines result;
    if (variable < 1 || variable > store.recordCount())
        return result;
    const VariableRules rules(variable, store, metadata);
    for (CodebookLine& line : categoryLinesOf(variable, store)) {
        FrequencyLine out;
        out.missing = rules.codeIsMissing(line.code);
        if (auto number = detail::numberOf(line.frequency, 0); number && *number >= 0)
            out.amount = *number;
        out.code = std::move(line.code);
        out.frequency = std::move(line.frequency);
        out.percent = std::move(line.percent);
        out.label = std::move(line.label);
        result.lines.push_back(std::move(out));
    }
    addUp(result);
    return result;
}

FrequencyLines weightedFrequencies(const Tabulation& table, CodebookStore& store, const ProjectMetadata* metadata)
{
    FrequencyLines result;
    const std::uint32_t variable = table.rows.variable;
    if (variable < 1 || variable > store.recordCount())
        return result;
    result.weightName = table.weight.name;
    result.badWeightCases = table.badWeightCases;
    result.cancelled = table.cancelled;
    const VariableRules rules(variable, store, metadata);
    const std::vector<double> sums = table.rowTotals();
    const double total = table.total();
    // The categories by the key their codes are matched by; the blank one
    // goes to the first "." line.
    std::map<std::string, std::uint32_t> byCode;
    for (std::uint32_t i = 0; i < table.rows.categories.size(); ++i)
        byCode.emplace(table.rows.categories[i].code, i);
    std::vector<bool> shown(table.rows.categories.size(), false);
    bool blankShown = false;
    for (CodebookLine& line : categoryLinesOf(variable, store)) {
        FrequencyLine out;
        out.missing = rules.codeIsMissing(line.code);
        const bool dot = !rules.isText() && isBlankMissingCode(line.code);
        std::string key = dot ? std::string() : rules.codeKey(line.code);
        const auto found = byCode.find(key);
        if (found != byCode.end() && !(dot && blankShown)) {
            out.amount = sums[found->second];
            shown[found->second] = true;
            blankShown = blankShown || dot;
        }
        out.code = std::move(line.code);
        out.frequency = sumText(out.amount);
        out.percent = percentOf(out.amount, total);
        out.label = std::move(line.label);
        result.lines.push_back(std::move(out));
    }
    for (std::uint32_t i = 0; i < table.rows.categories.size(); ++i) {
        if (shown[i])
            continue;
        const TableCategory& category = table.rows.categories[i];
        FrequencyLine out;
        out.code = category.code.empty() && !rules.isText() ? "." : category.code;
        out.amount = sums[i];
        out.frequency = sumText(out.amount);
        out.percent = percentOf(out.amount, total);
        out.label = category.label;
        out.missing = category.missing;
        out.inCodebook = false;
        result.lines.push_back(std::move(out));
    }
    addUp(result);
    return result;
}

std::string frequencySummary(const FrequencyLines& lines)
{
    auto figure = [&](double amount) {
        return lines.weighted() ? sumText(amount) : tableNumber(amount);
    };
    std::string text = lines.weighted() ? "Weighted by " + lines.weightName + ":   " : std::string();
    text += "Valid " + figure(lines.valid) + " (" + percentOf(lines.valid, lines.total) + "%)   Missing " +
            figure(lines.missing) + " (" + percentOf(lines.missing, lines.total) + "%)   Total " +
            figure(lines.total);
    if (lines.badWeightCases > 0)
        text += "   (" + std::to_string(lines.badWeightCases) +
                (lines.badWeightCases == 1 ? " case" : " cases") + " without a usable weight left out)";
    if (lines.cancelled)
        text += "   (cancelled: part of the data)";
    return text;
}

} // namespace qavn
