// The verification's report: its differences, unlabelled values and figures, and
// its lines.

#include "verify/VerifyReport.h"

#include "platform/Strings.h"

#include <charconv>
#include <cmath>
#include <set>
#include <utility>

namespace qavn {

namespace {

std::string count(std::uint64_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string who(const std::string& name, std::uint32_t variable)
{
    return name + " (" + std::to_string(variable) + ")";
}

std::string figuresSentence(const ValueFigures& f)
{
    std::string text = count(f.count, "number", "numbers");
    if (f.count > 0)
        text += ", minimum " + figureText(f.minimum) + ", maximum " + figureText(f.maximum) + ", mean " +
                figureText(f.mean) + ", standard deviation " + figureText(f.standardDeviation);
    return text + ", " + std::to_string(f.blankOrNonNumeric) + " blank or non-numeric";
}

} // namespace

std::string figureText(double value)
{
    if (value == 0 || !std::isfinite(value))
        return value == 0 ? "0" : "?";
    char buffer[64];
    const auto result = std::abs(value) < 1e15 && std::abs(value) >= 1e-6
                            ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed,
                                            std::max(0, 9 - static_cast<int>(std::floor(std::log10(std::abs(value))))))
                            : std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 10);
    std::string text(buffer, result.ptr);
    dropTrailingZeros(text);
    return text;
}

std::vector<std::string> figuresLines(const ValueFigures& f)
{
    std::vector<std::string> lines;
    lines.push_back("Cases: " + std::to_string(f.cases));
    lines.push_back("Numbers: " + std::to_string(f.count));
    if (f.count > 0) {
        lines.push_back("Minimum: " + figureText(f.minimum));
        lines.push_back("Maximum: " + figureText(f.maximum));
        lines.push_back("Mean: " + figureText(f.mean));
        lines.push_back("Standard deviation: " + figureText(f.standardDeviation));
    }
    lines.push_back("Blank or non-numeric: " + std::to_string(f.blankOrNonNumeric));
    return lines;
}

std::vector<std::string> verifyReportLines(const VerifyReport& report)
{
    std::vector<std::string> lines;
    lines.push_back("Codebook of " + report.projectId + " against its raw data" +
                    (report.scope.empty() ? std::string() : ", " + report.scope) +
                    (report.cancelled ? " (stopped before the end: the figures cover the data read)" : ""));
    for (const CheckedDataFile& file : report.files)
        lines.push_back(file.name + ": " + count(file.cases, "case", "cases"));
    lines.emplace_back();

    for (const CategoryDifference& d : report.differences) {
        std::string line = who(d.name, d.variable) + " code " + d.code + ": ";
        line += "codebook " + (d.statedFrequency.empty() ? std::string("(none)") : d.statedFrequency);
        if (!d.statedPercent.empty())
            line += " (" + d.statedPercent + "%)";
        line += ", data " + std::to_string(d.counted);
        if (!d.statedPercent.empty())
            line += " (" + d.countedPercent + "%)";
        if (d.frequencyDiffers != d.percentDiffers)
            line += d.frequencyDiffers ? " - frequency differs" : " - percent differs";
        lines.push_back(std::move(line));
    }
    for (const UnlabelledValue& u : report.unlabelled)
        lines.push_back(who(u.name, u.variable) + (u.value.empty() ? " blank" : " value " + u.value) + ": " +
                        count(u.count, "case", "cases") + ", no category line");
    for (const UnlabelledRest& r : report.unlabelledRest)
        lines.push_back(who(r.name, r.variable) + " further values: " + count(r.cases, "case", "cases") +
                        ", no category line");

    if (!report.figures.empty()) {
        if (!report.differences.empty() || !report.unlabelled.empty() || !report.unlabelledRest.empty())
            lines.emplace_back();
        lines.emplace_back("Variables without category lines:");
        for (const VariableFiguresEntry& e : report.figures)
            lines.push_back(who(e.name, e.variable) + ": " + figuresSentence(e.figures));
    }

    std::set<std::uint32_t> unlabelledVariables;
    std::uint64_t unlabelledCases = 0;
    for (const UnlabelledValue& u : report.unlabelled) {
        unlabelledVariables.insert(u.variable);
        unlabelledCases += u.count;
    }
    for (const UnlabelledRest& r : report.unlabelledRest) {
        unlabelledVariables.insert(r.variable);
        unlabelledCases += r.cases;
    }
    lines.emplace_back();
    lines.push_back("Checked " + count(report.variablesWithCategories, "variable", "variables") + " with " +
                    count(report.categoryLines, "category line", "category lines") + " in " +
                    count(report.files.size(), "data file", "data files") + "; " +
                    count(report.figures.size(), "variable", "variables") + " without category lines.");
    if (report.agrees()) {
        lines.emplace_back("Every category line agrees with the data.");
    } else {
        lines.push_back(count(report.differences.size(), "category line differs", "category lines differ") +
                        " from the data; " + count(unlabelledCases, "case holds", "cases hold") +
                        " values without a category line in " +
                        count(unlabelledVariables.size(), "variable", "variables") + ".");
    }
    return lines;
}

} // namespace qavn
