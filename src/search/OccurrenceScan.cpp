// One pass over the stored codebook text that finds every block a search text
// can occur in.

#include "search/OccurrenceScan.h"

#include "codebook/VariableRecord.h"
#include "platform/Strings.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__SSE2__)
#include <immintrin.h>
#endif

namespace qavn {

namespace {

constexpr bool isSkipped(std::uint8_t b)
{
    return b == textbyte::filler || b == textbyte::lineEnd;
}

constexpr std::uint8_t fold(std::uint8_t b)
{
    return (b >= 'a' && b <= 'z') ? static_cast<std::uint8_t>(b - 'a' + 'A') : b;
}

// How common a character is in codebook text, roughly: lower is rarer. The
// scan stops at every byte equal to the anchor, so the rarest one is chosen.
int commonness(char c)
{
    static constexpr std::string_view letters = "ZQJXKVBPYGFWMUCLDRHSNIOATE"; // rarest first
    if (c == ' ')
        return 100;
    const std::size_t at = letters.find(toUpperAscii(c));
    if (at != std::string_view::npos)
        return 20 + static_cast<int>(at) * 2;
    if (c >= '0' && c <= '9')
        return 50;
    if (c == '.' || c == ',' || c == '-')
        return 45;
    return 10;
}

} // namespace

bool OccurrenceScan::usable(std::string_view pattern)
{
    if (pattern.empty())
        return false;
    return std::all_of(pattern.begin(), pattern.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

std::size_t OccurrenceScan::anchorIndex(std::string_view pattern)
{
    std::size_t at = 0;
    for (std::size_t k = 1; k < pattern.size(); ++k) {
        if (commonness(pattern[k]) < commonness(pattern[at]))
            at = k;
    }
    return at;
}

std::uint64_t OccurrenceScan::firstAnchorFrom(std::uint64_t from, std::size_t& hint) const
{
    const std::size_t n = anchors_.size();
    if (hint > n)
        hint = n;
    // Ascending lookups move the hint a little forward each time.
    if ((hint == 0 || anchors_[hint - 1] < from) && (hint == n || anchors_[hint] >= from))
        return hint == n ? UINT64_MAX : anchors_[hint];
    if (hint < n && anchors_[hint] < from && (hint + 1 == n || anchors_[hint + 1] >= from)) {
        ++hint;
        return hint == n ? UINT64_MAX : anchors_[hint];
    }
    hint = static_cast<std::size_t>(std::lower_bound(anchors_.begin(), anchors_.end(), from) - anchors_.begin());
    return hint == n ? UINT64_MAX : anchors_[hint];
}

std::uint64_t OccurrenceScan::firstAnchorFrom(std::uint64_t from) const
{
    const auto it = std::lower_bound(anchors_.begin(), anchors_.end(), from);
    return it == anchors_.end() ? UINT64_MAX : *it;
}

bool OccurrenceScan::verify(const std::uint8_t* data, std::size_t size, std::size_t at) const
{
    std::size_t j = at;
    for (std::size_t k = anchor_; k-- > 0;) {
        do {
            if (j == 0)
                return false;
            --j;
        } while (isSkipped(data[j]));
        if (fold(data[j]) != static_cast<std::uint8_t>(pattern_[k]))
            return false;
    }
    j = at;
    for (std::size_t k = anchor_ + 1; k < pattern_.size(); ++k) {
        do {
            if (++j >= size)
                return false;
        } while (isSkipped(data[j]));
        if (fold(data[j]) != static_cast<std::uint8_t>(pattern_[k]))
            return false;
    }
    return true;
}

namespace {

// What a scan carries from one stretch of bytes to the next.
struct LineTrack {
    std::int64_t lastEnd = -1; // position of the last line end seen
    std::uint64_t longest = 0; // longest distance between line ends seen
    bool stop = false;         // too many places found: the scan is of no use
};

// Line ends are tracked without branching: a step with no line end leaves
// the track as it was. Within one step only its first and last line end are
// looked at, the lines between them being shorter than the step.
inline void trackEnds(LineTrack& track, std::size_t base, std::uint64_t ends, int width)
{
    const bool any = ends != 0;
    const std::int64_t first = static_cast<std::int64_t>(base) + std::countr_zero(ends);
    const std::int64_t last = static_cast<std::int64_t>(base) + (width - 1) - std::countl_zero(ends);
    const std::uint64_t gap = any ? static_cast<std::uint64_t>(first - track.lastEnd) : 0;
    track.longest = std::max(track.longest, gap);
    track.lastEnd = any ? last : track.lastEnd;
}

#if defined(__x86_64__) && defined(__GNUC__)
#define QAVN_SCAN_AVX2 1
// 64 bytes a step from `base`; returns where it stopped.
template <typename OnAnchor>
__attribute__((target("avx2"))) std::size_t scanAvx2(const std::uint8_t* d, std::size_t size, std::size_t base,
                                                     std::uint8_t upper, std::uint8_t lower, LineTrack& track,
                                                     OnAnchor& onAnchor)
{
    const __m256i vUpper = _mm256_set1_epi8(static_cast<char>(upper));
    const __m256i vLower = _mm256_set1_epi8(static_cast<char>(lower));
    const __m256i vEnd = _mm256_set1_epi8(static_cast<char>(textbyte::lineEnd));
    for (; base + 64 <= size; base += 64) {
        const __m256i x0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + base));
        const __m256i x1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + base + 32));
        const std::uint64_t ends =
            static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(x0, vEnd))) |
            (static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(x1, vEnd))))
             << 32);
        std::uint64_t hits =
            static_cast<std::uint32_t>(_mm256_movemask_epi8(
                _mm256_or_si256(_mm256_cmpeq_epi8(x0, vUpper), _mm256_cmpeq_epi8(x0, vLower)))) |
            (static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(
                 _mm256_or_si256(_mm256_cmpeq_epi8(x1, vUpper), _mm256_cmpeq_epi8(x1, vLower)))))
             << 32);
        trackEnds(track, base, ends, 64);
        if (hits) {
            do {
                onAnchor(base + static_cast<std::size_t>(std::countr_zero(hits)));
                hits &= hits - 1;
            } while (hits);
            if (track.stop)
                return base + 64;
        }
    }
    return base;
}
#endif

#if defined(__SSE2__)
// 32 bytes a step from `base`; returns where it stopped.
template <typename OnAnchor>
std::size_t scanSse2(const std::uint8_t* d, std::size_t size, std::size_t base, std::uint8_t upper,
                     std::uint8_t lower, LineTrack& track, OnAnchor& onAnchor)
{
    const __m128i vUpper = _mm_set1_epi8(static_cast<char>(upper));
    const __m128i vLower = _mm_set1_epi8(static_cast<char>(lower));
    const __m128i vEnd = _mm_set1_epi8(static_cast<char>(textbyte::lineEnd));
    for (; base + 32 <= size; base += 32) {
        const __m128i x0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + base));
        const __m128i x1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + base + 16));
        const std::uint32_t ends =
            static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(x0, vEnd))) |
            (static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(x1, vEnd))) << 16);
        std::uint32_t hits =
            static_cast<std::uint32_t>(
                _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(x0, vUpper), _mm_cmpeq_epi8(x0, vLower)))) |
            (static_cast<std::uint32_t>(
                 _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(x1, vUpper), _mm_cmpeq_epi8(x1, vLower))))
             << 16);
        trackEnds(track, base, ends, 32);
        if (hits) {
            do {
                onAnchor(base + static_cast<std::size_t>(std::countr_zero(hits)));
                hits &= hits - 1;
            } while (hits);
            if (track.stop)
                return base + 32;
        }
    }
    return base;
}
#endif

} // namespace

void OccurrenceScan::run(std::span<const std::uint8_t> bytes, std::string_view pattern)
{
    anchors_.clear();
    pattern_.assign(pattern);
    data_ = bytes.data();
    size_ = bytes.size();
    valid_ = true;
    useful_ = true;

    anchor_ = anchorIndex(pattern_);
    const std::uint8_t upper = static_cast<std::uint8_t>(pattern_[anchor_]);
    // Upper-cased stored bytes equal a capital letter when they hold it in
    // either case; any other character only as itself. A small letter in the
    // text matches nothing, as no upper-cased text holds one (the lines are
    // measured all the same).
    const bool isCapital = upper >= 'A' && upper <= 'Z';
    const bool isSmall = upper >= 'a' && upper <= 'z';
    const std::uint8_t lower = isCapital ? static_cast<std::uint8_t>(upper - 'A' + 'a') : upper;

    const std::uint8_t* d = bytes.data();
    const std::size_t size = bytes.size();
    LineTrack track;
    // A text found nearly everywhere (a single common letter, say) would
    // make the list of places as large as the file and spare no block from
    // being read: the scan gives up and the search reads every block.
    const std::size_t limit = size / 256 + 4096;
    auto onAnchor = [&](std::size_t p) {
        if (!isSmall && verify(d, size, p)) {
            anchors_.push_back(p);
            if (anchors_.size() > limit)
                track.stop = true;
        }
    };

    std::size_t base = 0;
#if defined(QAVN_SCAN_AVX2)
    if (__builtin_cpu_supports("avx2"))
        base = scanAvx2(d, size, base, upper, lower, track, onAnchor);
#endif
#if defined(__SSE2__)
    if (!track.stop)
        base = scanSse2(d, size, base, upper, lower, track, onAnchor);
#endif
    for (; base < size && !track.stop; ++base) {
        const std::uint8_t b = d[base];
        if (b == textbyte::lineEnd) {
            track.longest = std::max(track.longest, static_cast<std::uint64_t>(static_cast<std::int64_t>(base) - track.lastEnd));
            track.lastEnd = static_cast<std::int64_t>(base);
        } else if (b == upper || b == lower) {
            onAnchor(base);
        }
    }
    track.longest =
        std::max(track.longest, static_cast<std::uint64_t>(static_cast<std::int64_t>(size) - track.lastEnd));
    longestLine_ = std::max<std::uint64_t>(track.longest, 64);
    if (track.stop) {
        anchors_.clear();
        anchors_.shrink_to_fit();
        useful_ = false;
    }
}

} // namespace qavn
