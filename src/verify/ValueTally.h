#pragma once

// Counting a column's distinct raw fields and the figures of a numeric column.

#include "verify/VerifyReport.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qavn::detail {

// Counts the distinct raw fields of one column, byte for byte (untrimmed), in
// an open-addressing table that holds at most `maxValues` of them. This is
// the per-case work of the check, so a field costs one hash and, mostly, one
// comparison; what the values mean is decided once per distinct field, after
// the file is read.
class RawCounter {
public:
    explicit RawCounter(std::size_t maxValues = 4096) : max_(maxValues) {}

    // Counts one field. False when the field is new and the table is full:
    // nothing is counted then and the caller deals with the field itself.
    bool add(std::string_view field);

    template <typename Visit>
    void forEach(Visit&& visit) const
    {
        for (const Slot& slot : slots_)
            if (slot.count != 0)
                visit(std::string_view(arena_.data() + slot.offset, slot.size), slot.count);
    }
    std::size_t size() const { return used_; }

private:
    struct Slot {
        std::uint64_t hash = 0;  // the key: a short field's bytes, a long one's hash
        std::uint64_t count = 0; // 0: empty
        std::uint32_t offset = 0;
        std::uint32_t size = 0;
    };
    void grow();

    std::size_t max_;
    std::size_t used_ = 0;
    std::vector<Slot> slots_;
    std::string arena_;
};

// The figures of one column: numbers by Welford's running mean and sum of
// squared deviations, so no value is kept.
class FiguresAccumulator {
public:
    explicit FiguresAccumulator(int impliedDecimals = 0) : decimals_(impliedDecimals) {}

    void add(std::string_view field);
    ValueFigures result() const;

private:
    int decimals_;
    std::uint64_t cases_ = 0;
    std::uint64_t count_ = 0;
    double minimum_ = 0;
    double maximum_ = 0;
    double mean_ = 0;
    double m2_ = 0;
};

// The value of a field that reads as a decimal number (trimmed: an optional
// sign, digits, at most one decimal point, at least one digit); implied
// decimals apply when it has no point of its own.
std::optional<double> numberOf(std::string_view field, int impliedDecimals);

// A number written in one form: no plus sign, no leading zeros, no trailing
// zeros after the point (nor the point itself), "0" for minus zero. Nothing
// for a text that is not a decimal number.
std::optional<std::string> canonicalNumber(std::string_view text);

} // namespace qavn::detail
