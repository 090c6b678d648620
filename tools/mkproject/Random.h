#pragma once

// A small deterministic generator for the project maker.

#include <cstdint>

namespace qavn::mkproject {

// A small deterministic generator (SplitMix64). Its sequence depends on the
// seed alone, on every platform and standard library, so a project made twice
// from one seed is the same byte for byte.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Uniform in 0..n-1 (n > 0).
    std::uint32_t below(std::uint32_t n)
    {
        return static_cast<std::uint32_t>(((next() >> 32) * static_cast<std::uint64_t>(n)) >> 32);
    }

    // Uniform in lo..hi, both included (lo <= hi).
    std::int64_t between(std::int64_t lo, std::int64_t hi)
    {
        const std::uint64_t span = static_cast<std::uint64_t>(hi) - static_cast<std::uint64_t>(lo) + 1u;
        if (span == 0) // the whole 64-bit range
            return static_cast<std::int64_t>(next());
        // The modulo bias is below 2^-40 for the spans a project uses.
        return static_cast<std::int64_t>(static_cast<std::uint64_t>(lo) + next() % span);
    }

    // Uniform in [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

    bool chance(std::uint32_t percent) { return below(100) < percent; }

    // A seed for an independent stream, from this seed and a key.
    static std::uint64_t derive(std::uint64_t seed, std::uint64_t key)
    {
        Random r(seed ^ (key * 0xD1B54A32D192ED03ull));
        r.next();
        return r.next();
    }

private:
    std::uint64_t state_;
};

} // namespace qavn::mkproject
