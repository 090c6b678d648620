#pragma once

// Where a position of the tagged list stands against a data file, and the walk
// over a data file's tagged variables.

#include <cstddef>
#include <cstdint>
#include <span>

namespace qavn {

class CodebookStore;

// Where position i of an ascending list of tagged variables stands against
// data file f, whose first variable is `first`. The catalogue holds the
// variables of data file 1 first, then those of file 2, and so on, so a walk
// from position 0 that skips Before and stops at the first Past sees exactly
// the tagged variables of f.
enum class Classification {
    Abort,  // cancelled, or the variable's record could not be read (the store said so)
    Before, // belongs to an earlier data file: skip it without reading its record
    Member, // belongs to data file f; its record is the store's current record
    Past,   // belongs to a later data file (or lies past the list): the walk is over
};

Classification classifyTagged(std::span<const std::uint32_t> tagged, std::size_t i, std::uint32_t f,
                              std::uint32_t first, CodebookStore& store, bool cancelled);

// Walks the tagged list from position 0 for data file f and calls
// member(record, n) for each member variable, with a copy of its record and
// its number; `cancelled()` is asked before each position. Returns false when
// the walk ended with Abort or when `member` returned false.
template <typename Cancelled, typename Member>
bool forEachTaggedMember(std::span<const std::uint32_t> tagged, std::uint32_t f, std::uint32_t first,
                         CodebookStore& store, Cancelled&& cancelled, Member&& member);

} // namespace qavn

#include "codebook/CodebookStore.h"

namespace qavn {

template <typename Cancelled, typename Member>
bool forEachTaggedMember(std::span<const std::uint32_t> tagged, std::uint32_t f, std::uint32_t first,
                         CodebookStore& store, Cancelled&& cancelled, Member&& member)
{
    for (std::size_t i = 0; i < tagged.size(); ++i) {
        switch (classifyTagged(tagged, i, f, first, store, cancelled())) {
        case Classification::Abort:
            return false;
        case Classification::Before:
            continue;
        case Classification::Past:
            return true;
        case Classification::Member: {
            const VariableRecord record = store.record();
            if (!member(record, tagged[i]))
                return false;
            break;
        }
        }
    }
    return true;
}

} // namespace qavn
