// The display formats of the statistics packages from the project's metadata.

#include "writers/DisplayFormats.h"

#include "project/ProjectMetadata.h"
#include "writers/MissingPlans.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <utility>
#include <string_view>

namespace qavn {

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's
// days_from_civil).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// A unit as a fraction of a second (numerator, denominator); {0, 1} for none.
std::pair<std::int64_t, std::int64_t> secondsOf(TimeUnit unit)
{
    switch (unit) {
    case TimeUnit::Days:
        return {86400, 1};
    case TimeUnit::Seconds:
        return {1, 1};
    case TimeUnit::Milliseconds:
        return {1, 1000};
    case TimeUnit::None:
        break;
    }
    return {0, 1};
}

} // namespace

// The days from 1970-01-01 of a "YYYY-MM-DD" text, or false.
bool daysOf(std::string_view date, std::int64_t& days)
{
    int y = 0;
    unsigned m = 0;
    unsigned d = 0;
    if (date.size() != 10 || date[4] != '-' || date[7] != '-' ||
        std::from_chars(date.data(), date.data() + 4, y).ptr != date.data() + 4 ||
        std::from_chars(date.data() + 5, date.data() + 7, m).ptr != date.data() + 7 ||
        std::from_chars(date.data() + 8, date.data() + 10, d).ptr != date.data() + 10 || m < 1 || m > 12 ||
        d < 1 || d > 31)
        return false;
    days = daysFromCivil(y, m, d);
    return true;
}

PackageFormat packageFormat(const VariableMetadata* metadata, int fieldWidth, int decimals, Package package)
{
    const bool spss = package == Package::Spss;
    PackageFormat f;
    int width = std::min(fieldWidth, 40);
    int shown = decimals;
    DisplayKind kind = DisplayKind::Number;
    if (metadata && metadata->format.kind != DisplayKind::String) {
        f.fromMetadata = true;
        const DisplayFormat& source = metadata->format;
        kind = source.kind;
        if (source.width > 0)
            width = std::clamp(source.width, 1, 40);
        shown = std::clamp(source.decimals, 0, 16);
        if (kind == DisplayKind::Date || kind == DisplayKind::DateTime || kind == DisplayKind::Time) {
            const auto [unitSeconds, unitPart] = secondsOf(source.unit);
            std::int64_t origin = 0;
            std::int64_t target = 0;
            const bool dated = kind == DisplayKind::Time ||
                               (daysOf(source.origin, origin) && daysOf(spss ? "1582-10-14" : "1960-01-01", target));
            if (unitSeconds == 0 || !dated) {
                kind = DisplayKind::Number;
            } else {
                // The package's unit: seconds (SPSS), days (%td) or milliseconds (%tc).
                const auto [packageSeconds, packagePart] = spss                         ? std::pair<std::int64_t, std::int64_t>{1, 1}
                                                           : kind == DisplayKind::Date ? std::pair<std::int64_t, std::int64_t>{86400, 1}
                                                                                       : std::pair<std::int64_t, std::int64_t>{1, 1000};
                std::int64_t scale = unitSeconds * packagePart;
                std::int64_t divisor = unitPart * packageSeconds;
                const std::int64_t common = std::gcd(scale, divisor);
                const std::int64_t days = kind == DisplayKind::Time ? 0 : origin - target;
                f.conversion.scale = static_cast<double>(scale / common);
                f.conversion.divisor = static_cast<double>(divisor / common);
                f.conversion.shift = static_cast<double>(days * 86400 * packagePart / packageSeconds);
            }
        }
    }
    const std::string d = std::to_string(shown);
    switch (kind) {
    case DisplayKind::Dollar:
    case DisplayKind::Comma:
        width = std::max(width, shown + 3);
        f.text = spss ? std::string(kind == DisplayKind::Dollar ? "DOLLAR" : "COMMA") + std::to_string(width) + "." + d
                      : "%" + std::to_string(width) + "." + d + "fc";
        break;
    case DisplayKind::Date:
        f.text = spss ? "DATE11" : "%td";
        width = 11;
        break;
    case DisplayKind::DateTime:
        f.text = spss ? (shown > 0 ? "DATETIME" + std::to_string(21 + shown) + "." + d : "DATETIME20") : "%tc";
        width = spss && shown > 0 ? 21 + shown : 20;
        break;
    case DisplayKind::Time:
        width = shown > 0 ? 9 + shown : 8;
        f.text = spss ? "TIME" + std::to_string(width) + (shown > 0 ? "." + d : "") : "%tcHH:MM:SS";
        break;
    case DisplayKind::Number:
    case DisplayKind::String:
        if (shown > 0)
            width = std::max(width, shown + 2);
        f.text = spss ? "F" + std::to_string(std::min(width, 40)) + "." + d : "%" + std::to_string(width) + "." + d + "f";
        break;
    }
    f.width = width;
    return f;
}

std::string conversionExpression(const std::string& name, const ValueConversion& conversion)
{
    std::string text = name;
    if (conversion.scale != 1)
        text += " * " + plainNumber(conversion.scale);
    if (conversion.divisor != 1)
        text += " / " + plainNumber(conversion.divisor);
    if (conversion.shift != 0)
        text += (conversion.shift < 0 ? " - " : " + ") + plainNumber(std::abs(conversion.shift));
    return text;
}

} // namespace qavn
