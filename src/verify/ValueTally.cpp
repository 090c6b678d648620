// Counting a column's distinct raw fields and the figures of a numeric column.

#include "verify/ValueTally.h"

#include "platform/Strings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace qavn::detail {

namespace {

// A field of up to eight bytes (nearly every code) is its own key: its bytes
// as one word, compared without touching the stored bytes. A longer field's
// key is its hash, confirmed by comparing the bytes.
std::uint64_t keyOf(std::string_view field)
{
    std::uint64_t word = 0;
    if (field.size() <= 8) {
        for (std::size_t i = 0; i < field.size(); ++i)
            word |= static_cast<std::uint64_t>(static_cast<unsigned char>(field[i])) << (8 * i);
        return word;
    }
    word = 0xCBF29CE484222325ull;
    for (const char c : field) {
        word ^= static_cast<unsigned char>(c);
        word *= 0x100000001B3ull;
    }
    return word;
}

std::size_t slotOf(std::uint64_t key, std::size_t size, std::size_t mask)
{
    std::uint64_t h = (key ^ (static_cast<std::uint64_t>(size) << 59)) * 0x9E3779B97F4A7C15ull;
    return static_cast<std::size_t>(h >> 32) & mask;
}

// The parts of a decimal number: sign, integer digits, fraction digits.
struct NumberParts {
    bool negative = false;
    std::string_view integer;
    std::string_view fraction;
    bool point = false;
};

std::optional<NumberParts> numberParts(std::string_view text)
{
    NumberParts parts;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        parts.negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const std::size_t point = text.find('.');
    parts.point = point != std::string_view::npos;
    parts.integer = text.substr(0, point);
    parts.fraction = parts.point ? text.substr(point + 1) : std::string_view();
    auto digits = [](std::string_view s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (parts.integer.empty() && parts.fraction.empty())
        return std::nullopt;
    if (!digits(parts.integer) || !digits(parts.fraction))
        return std::nullopt;
    return parts;
}

} // namespace

bool RawCounter::add(std::string_view field)
{
    const std::uint64_t key = keyOf(field);
    const bool inWord = field.size() <= 8;
    if (!slots_.empty()) {
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = slotOf(key, field.size(), mask);; i = (i + 1) & mask) {
            Slot& slot = slots_[i];
            if (slot.count == 0)
                break;
            if (slot.hash == key && slot.size == field.size() &&
                (inWord || std::memcmp(arena_.data() + slot.offset, field.data(), field.size()) == 0)) {
                ++slot.count;
                return true;
            }
        }
    }
    if (used_ >= max_)
        return false;
    if ((used_ + 1) * 2 > slots_.size())
        grow();
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = slotOf(key, field.size(), mask);
    while (slots_[i].count != 0)
        i = (i + 1) & mask;
    slots_[i] = Slot{key, 1, static_cast<std::uint32_t>(arena_.size()), static_cast<std::uint32_t>(field.size())};
    arena_.append(field);
    ++used_;
    return true;
}

void RawCounter::grow()
{
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 16 : old.size() * 2, Slot{});
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.count == 0)
            continue;
        std::size_t i = slotOf(slot.hash, slot.size, mask);
        while (slots_[i].count != 0)
            i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

std::optional<double> numberOf(std::string_view field, int impliedDecimals)
{
    const std::string_view text = trimmed(field);
    const auto parts = numberParts(text);
    if (!parts)
        return std::nullopt;
    // from_chars takes no plus sign and no empty integer part.
    char buffer[64];
    std::string owned;
    std::size_t length = 0;
    const std::size_t needed = parts->integer.size() + parts->fraction.size() + 3;
    char* out = buffer;
    if (needed > sizeof buffer) {
        owned.resize(needed);
        out = owned.data();
    }
    if (parts->negative)
        out[length++] = '-';
    if (parts->integer.empty())
        out[length++] = '0';
    std::memcpy(out + length, parts->integer.data(), parts->integer.size());
    length += parts->integer.size();
    if (!parts->fraction.empty()) {
        out[length++] = '.';
        std::memcpy(out + length, parts->fraction.data(), parts->fraction.size());
        length += parts->fraction.size();
    }
    double value = 0;
    const auto result = std::from_chars(out, out + length, value, std::chars_format::fixed);
    if (result.ec != std::errc() || !std::isfinite(value))
        return std::nullopt;
    if (!parts->point && impliedDecimals > 0)
        value /= std::pow(10.0, impliedDecimals);
    return value == 0 ? 0.0 : value;
}

std::optional<std::string> canonicalNumber(std::string_view text)
{
    const auto parts = numberParts(trimmed(text));
    if (!parts)
        return std::nullopt;
    std::string_view integer = parts->integer;
    while (integer.size() > 1 && integer.front() == '0')
        integer.remove_prefix(1);
    std::string_view fraction = parts->fraction;
    while (!fraction.empty() && fraction.back() == '0')
        fraction.remove_suffix(1);
    if (integer.empty())
        integer = "0";
    const bool zero = integer == "0" && fraction.empty();
    std::string out = parts->negative && !zero ? "-" : "";
    out += integer;
    if (!fraction.empty()) {
        out += '.';
        out += fraction;
    }
    return out;
}

void FiguresAccumulator::add(std::string_view field)
{
    ++cases_;
    const auto value = numberOf(field, decimals_);
    if (!value)
        return;
    const double x = *value;
    if (count_ == 0) {
        minimum_ = maximum_ = x;
    } else {
        minimum_ = std::min(minimum_, x);
        maximum_ = std::max(maximum_, x);
    }
    ++count_;
    const double delta = x - mean_;
    mean_ += delta / static_cast<double>(count_);
    m2_ += delta * (x - mean_);
}

ValueFigures FiguresAccumulator::result() const
{
    ValueFigures figures;
    figures.cases = cases_;
    figures.count = count_;
    figures.blankOrNonNumeric = cases_ - count_;
    if (count_ > 0) {
        figures.minimum = minimum_;
        figures.maximum = maximum_;
        figures.mean = mean_;
    }
    if (count_ > 1)
        figures.standardDeviation = std::sqrt(std::max(0.0, m2_) / static_cast<double>(count_ - 1));
    return figures;
}

} // namespace qavn::detail
