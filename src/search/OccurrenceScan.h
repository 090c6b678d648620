#pragma once

// One pass over the stored codebook text that finds every block a search text
// can occur in.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qavn {

// One pass over the stored bytes of a codebook text file that finds every
// place where a search text can occur in any text the search builds from
// those bytes. It lets the search skip, without reading them line by line,
// the descriptions and category blocks that cannot hold the text.
//
// The texts the search builds drop fillers (0xFF), turn line ends (0xDB)
// into CR LF or into nothing, and turn separators (0xDC) into TAB or keep
// them; they are compared upper-cased. A text made only of printable ASCII
// characters (see usable()) can therefore occur in them only where it occurs
// in the stored bytes once every 0xFF and 0xDB is skipped, comparing each
// stored byte upper-cased. The scan finds exactly those places (a superset
// of the real occurrences) and records one byte of each, the anchor: the
// text's rarest character. Every real occurrence lies wholly inside the
// block it was found in, so its anchor does too.
//
// The scan also measures the longest stored line (its line end included),
// which bounds how far a block of N lines can reach and how long its display
// text can grow.
class OccurrenceScan {
public:
    // Whether `pattern` can be scanned for: not empty, every byte from 0x20
    // to 0x7E. Other texts must be searched the slow way.
    static bool usable(std::string_view pattern);

    // Scans `bytes` for `pattern` (which must be usable()).
    void run(std::span<const std::uint8_t> bytes, std::string_view pattern);

    // Whether a previous run() covered these bytes and this pattern.
    bool covers(std::span<const std::uint8_t> bytes, std::string_view pattern) const
    {
        return valid_ && bytes.data() == data_ && bytes.size() == size_ && pattern == pattern_;
    }

    // False when the text was found in too many places for the scan to be
    // kept; every block must then be read.
    bool useful() const { return useful_; }

    // The anchor positions, ascending.
    const std::vector<std::uint64_t>& anchors() const { return anchors_; }

    // The first anchor at or after `from`, or UINT64_MAX when there is none.
    // `hint` (start it at 0) remembers where the last lookup ended, which
    // makes lookups in ascending order cheap.
    std::uint64_t firstAnchorFrom(std::uint64_t from) const;
    std::uint64_t firstAnchorFrom(std::uint64_t from, std::size_t& hint) const;

    // The index of the character of `pattern` to look for first: the one
    // that is likely rarest in codebook text.
    static std::size_t anchorIndex(std::string_view pattern);

    // The largest number of stored bytes from one line's first byte to its
    // line end (included); the end of the file counts as a line end. At
    // least 64.
    std::uint64_t longestLine() const { return longestLine_; }

private:
    bool verify(const std::uint8_t* data, std::size_t size, std::size_t at) const;

    std::vector<std::uint64_t> anchors_;
    std::uint64_t longestLine_ = 0;
    std::string pattern_;
    std::size_t anchor_ = 0; // index in pattern_
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    bool valid_ = false;
    bool useful_ = false;
};

} // namespace qavn
