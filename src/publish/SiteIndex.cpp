// The search index of the HTML site: its words, their position lists and the
// shards they are written in.

#include "publish/SiteIndex.h"

#include "platform/Latin1.h"
#include "query/Query.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace qavn {

namespace {

// Lower case as the query language folds it: ASCII and the Latin-1 capitals
// (not the multiplication sign).
constexpr std::array<char, 256> lowerTable = [] {
    std::array<char, 256> table{};
    for (int c = 0; c < 256; ++c) {
        const bool capital = (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
        table[static_cast<std::size_t>(c)] = static_cast<char>(capital ? c + 0x20 : c);
    }
    return table;
}();

constexpr std::array<bool, 256> wordTable = [] {
    std::array<bool, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[static_cast<std::size_t>(c)] = isQueryWordByte(static_cast<unsigned char>(c));
    return table;
}();

constexpr std::uint32_t fnvBasis = 2166136261u;
constexpr std::uint32_t fnvPrime = 16777619u;

} // namespace

void appendSiteNumber(std::string& out, std::uint64_t value)
{
    while (value >= 32) {
        out += siteContinuations[value & 31];
        value >>= 5;
    }
    out += siteDigits[value];
}

void PositionList::endRun()
{
    if (runLength_ == 0)
        return;
    const std::uint64_t gap = runStart_ - next_;
    appendSiteNumber(text_, gap * 32 + std::uint64_t{runMask_} * 2 + (runLength_ > 1 ? 1 : 0));
    if (runLength_ > 1)
        appendSiteNumber(text_, runLength_ - 2);
    next_ = runStart_ + runLength_;
    runLength_ = 0;
}

SiteIndex::SiteIndex() : slots_(1 << 16, 0) {}

std::uint32_t SiteIndex::find(std::string_view word, std::uint32_t hash)
{
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const std::uint32_t at = slots_[slot];
        if (at == 0) {
            if ((entries_.size() + 1) * 2 > slots_.size()) {
                grow();
                return find(word, hash);
            }
            Entry& entry = entries_.emplace_back();
            entry.offset = static_cast<std::uint32_t>(words_.size());
            entry.length = static_cast<std::uint32_t>(word.size());
            entry.hash = hash;
            words_ += word;
            slots_[slot] = static_cast<std::uint32_t>(entries_.size());
            return static_cast<std::uint32_t>(entries_.size() - 1);
        }
        const Entry& entry = entries_[at - 1];
        if (entry.hash == hash && entry.length == word.size() &&
            std::string_view(words_.data() + entry.offset, entry.length) == word)
            return at - 1;
    }
}

void SiteIndex::grow()
{
    std::vector<std::uint32_t> slots(slots_.size() * 2, 0);
    const std::size_t mask = slots.size() - 1;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        std::size_t slot = entries_[i].hash & mask;
        while (slots[slot] != 0)
            slot = (slot + 1) & mask;
        slots[slot] = static_cast<std::uint32_t>(i + 1);
    }
    slots_ = std::move(slots);
}

void SiteIndex::add(std::uint32_t position, std::uint8_t field, std::string_view text)
{
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size;) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!wordTable[c]) {
            ++i;
            continue;
        }
        word_.clear();
        std::uint32_t hash = fnvBasis;
        for (; i < size && wordTable[static_cast<unsigned char>(text[i])]; ++i) {
            const char lower = lowerTable[static_cast<unsigned char>(text[i])];
            word_ += lower;
            hash = (hash ^ static_cast<unsigned char>(lower)) * fnvPrime;
        }
        entries_[find(word_, hash)].positions.add(position, field);
    }
}

void SiteIndex::finish()
{
    for (Entry& entry : entries_)
        entry.positions.finish();
    std::vector<std::uint32_t>().swap(slots_);
}

std::vector<SiteIndex::Shard> SiteIndex::shards(std::size_t limit) const
{
    std::vector<std::uint32_t> order(entries_.size());
    std::iota(order.begin(), order.end(), 0u);
    // Byte order is the order of the script's strings too: each Latin-1
    // byte is one UTF-16 code unit of the same value.
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return word(a) < word(b); });
    std::vector<Shard> shards;
    std::size_t size = 0;
    for (const std::uint32_t id : order) {
        const std::size_t bytes = latin1Utf8Size(word(id)) + positions(id).size() + 6;
        if (shards.empty() || (size > 0 && size + bytes > limit)) {
            shards.emplace_back();
            shards.back().first = std::string(word(id));
            size = 0;
        }
        shards.back().words.push_back(id);
        size += bytes;
    }
    if (!shards.empty())
        shards.front().first.clear();
    return shards;
}

} // namespace qavn
