// Where a position of the tagged list stands against a data file, and the walk
// over a data file's tagged variables.

#include "codebook/Classification.h"

#include "codebook/CodebookStore.h"

namespace qavn {

Classification classifyTagged(std::span<const std::uint32_t> tagged, std::size_t i, std::uint32_t f,
                              std::uint32_t first, CodebookStore& store, bool cancelled)
{
    if (cancelled)
        return Classification::Abort;
    if (i >= tagged.size())
        return Classification::Past;
    const std::uint32_t n = tagged[i];
    if (n < first)
        return Classification::Before;
    if (!store.readRecord(n))
        return Classification::Abort;
    return store.record().fileNumber == f ? Classification::Member : Classification::Past;
}

} // namespace qavn
