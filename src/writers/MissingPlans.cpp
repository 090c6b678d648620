// A variable's missing values as SPSS's user-missing values and Stata's
// extended missing values.

#include "writers/MissingPlans.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace qavn {

namespace {

// Whether `next` follows `value` in steps of `step`, both on its grid.
bool follows(double value, double next, double step)
{
    const double units = value / step;
    return std::isfinite(units) && std::abs(units - std::round(units)) <= 1e-9 * std::max(1.0, std::abs(units)) &&
           std::abs((next - value) / step - 1) <= 1e-9;
}

bool inRange(double value, const ValueRange& range)
{
    return value >= range.first && value <= range.second;
}

} // namespace

std::string plainNumber(double value)
{
    char text[400];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    return result.ec == std::errc() ? std::string(text, result.ptr) : std::string("0");
}

bool SpssMissingValues::recoded(double value) const
{
    if (std::find(recodedValues.begin(), recodedValues.end(), value) != recodedValues.end())
        return true;
    return std::any_of(recodedRanges.begin(), recodedRanges.end(),
                       [&](const ValueRange& range) { return inRange(value, range); });
}

SpssMissingValues spssMissingValues(std::vector<double> codes, std::vector<ValueRange> ranges, double step)
{
    SpssMissingValues missing;
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    codes.erase(std::remove_if(codes.begin(), codes.end(),
                               [&](double code) {
                                   return std::any_of(ranges.begin(), ranges.end(),
                                                      [&](const ValueRange& r) { return inRange(code, r); });
                               }),
                codes.end());
    if (!ranges.empty()) {
        missing.hasRange = true;
        missing.low = ranges.front().first;
        missing.high = ranges.front().second;
        missing.recodedRanges.assign(ranges.begin() + 1, ranges.end());
        for (std::size_t i = 0; i < codes.size(); ++i)
            (i == 0 ? missing.values : missing.recodedValues).push_back(codes[i]);
        return missing;
    }
    if (codes.size() <= 3) {
        missing.values = codes;
        return missing;
    }
    // The longest run of consecutive codes.
    std::size_t bestBegin = 0;
    std::size_t bestEnd = 0;
    for (std::size_t begin = 0; begin < codes.size();) {
        std::size_t end = begin + 1;
        while (end < codes.size() && follows(codes[end - 1], codes[end], step))
            ++end;
        if (end - begin > bestEnd - bestBegin)
            bestBegin = begin, bestEnd = end;
        begin = end;
    }
    if (bestEnd - bestBegin < 2) {
        missing.values.assign(codes.begin(), codes.begin() + 3);
        missing.recodedValues.assign(codes.begin() + 3, codes.end());
        return missing;
    }
    missing.hasRange = true;
    missing.low = codes[bestBegin];
    missing.high = codes[bestEnd - 1];
    for (std::size_t i = 0; i < codes.size(); ++i) {
        if (i >= bestBegin && i < bestEnd)
            continue;
        (missing.values.empty() ? missing.values : missing.recodedValues).push_back(codes[i]);
    }
    return missing;
}

char StataMissing::letterOf(double value) const
{
    for (const StataMissingLetter& l : letters)
        if (value >= l.low && value <= l.high)
            return l.letter;
    for (const ValueRange& range : unlettered)
        if (inRange(value, range))
            return '.';
    return '\0';
}

StataMissing stataMissing(const std::vector<std::string>& reservedCodes, const DeclaredMissing& declared)
{
    StataMissing missing;
    std::string taken;
    for (const std::string& code : reservedCodes) {
        if (code.size() != 2 || code[0] != '-' || code[1] < '1' || code[1] > '9')
            continue;
        const char letter = static_cast<char>('a' + (code[1] - '1'));
        if (taken.find(letter) != std::string::npos)
            continue;
        taken += letter;
        StataMissingLetter l;
        l.letter = letter;
        l.reserved = true;
        l.low = l.high = -(code[1] - '0');
        missing.letters.push_back(l);
    }
    std::string free;
    for (char c = 'j'; c <= 'z'; ++c)
        free += c;
    for (char c = 'a'; c <= 'i'; ++c)
        if (taken.find(c) == std::string::npos)
            free += c;
    std::size_t next = 0;
    auto add = [&](double low, double high, const std::string& label) {
        if (next == free.size()) {
            missing.unlettered.emplace_back(low, high);
            return;
        }
        StataMissingLetter l;
        l.letter = free[next++];
        l.low = low;
        l.high = high;
        l.label = label;
        missing.letters.push_back(std::move(l));
    };
    for (const DeclaredMissing::Code& code : declared.codes) {
        const bool reserved = std::any_of(missing.letters.begin(), missing.letters.end(), [&](const auto& l) {
            return l.reserved && l.low == code.value;
        });
        if (!reserved)
            add(code.value, code.value, code.label);
    }
    for (const DeclaredMissing::Range& range : declared.ranges)
        add(range.low, range.high, range.label);
    return missing;
}

} // namespace qavn
