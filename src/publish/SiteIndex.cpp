// The search index of the HTML site: its words, their position lists and the
// shards they are written in.

#include "publish/SiteIndex.h"

#include "platform/Latin1.h"
#include "query/Query.h"

#include <algorithm>
#include <array>
#include <cstring>
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

// The first 8 bytes of a word as one number (zeros after a shorter word).
std::uint64_t headOf(std::string_view word)
{
    std::uint64_t head = 0;
    std::memcpy(&head, word.data(), std::min<std::size_t>(word.size(), 8));
    return head;
}

// Where the numbers of 1 to 6 digits start in the table of numbers.
constexpr std::array<std::uint32_t, 8> numberStarts{0, 0, 10, 110, 1'110, 11'110, 111'110, 1'111'110};

} // namespace

void appendSiteNumber(std::string& out, std::uint64_t value)
{
    char digits[16];
    std::size_t n = 0;
    while (value >= 32) {
        digits[n++] = siteContinuations[value & 31];
        value >>= 5;
    }
    digits[n++] = siteDigits[value];
    out.append(digits, n);
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

SiteIndex::SiteIndex() : slots_(1 << 16, 0), numbers_(numberStarts.back(), 0) {}

void SiteIndex::reserve(std::size_t words)
{
    entries_.reserve(words);
    words_.reserve(words * 8);
    std::size_t size = slots_.size();
    while (size < words * 2)
        size *= 2;
    if (size != slots_.size() && entries_.empty())
        slots_.assign(size, 0);
}

std::uint32_t SiteIndex::add(std::string_view word, std::uint32_t hash)
{
    Entry& entry = entries_.emplace_back();
    entry.head = headOf(word);
    entry.offset = static_cast<std::uint32_t>(words_.size());
    entry.length = static_cast<std::uint32_t>(word.size());
    entry.hash = hash;
    words_ += word;
    return static_cast<std::uint32_t>(entries_.size() - 1);
}

// A slot holds the word's hash in its high half and its entry + 1 in the
// low half (0: empty), so that a probe looks at the entry only when the
// hashes agree, and at the word's bytes only past their first 8.
std::uint32_t SiteIndex::find(std::string_view word, std::uint32_t hash)
{
    hash |= hash == 0; // 0 marks the numbers, which no slot holds
    const std::size_t mask = slots_.size() - 1;
    const std::uint64_t head = headOf(word);
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const std::uint64_t held = slots_[slot];
        if (held == 0) {
            if ((hashed_ + 1) * 2 > slots_.size()) {
                grow();
                return find(word, hash);
            }
            const std::uint32_t id = add(word, hash);
            ++hashed_;
            slots_[slot] = (std::uint64_t{hash} << 32) | (id + 1u);
            return id;
        }
        if (static_cast<std::uint32_t>(held >> 32) != hash)
            continue;
        const std::uint32_t at = static_cast<std::uint32_t>(held) - 1;
        const Entry& entry = entries_[at];
        if (entry.head == head && entry.length == word.size() &&
            (word.size() <= 8 || std::memcmp(words_.data() + entry.offset + 8, word.data() + 8, word.size() - 8) == 0))
            return at;
    }
}

std::uint32_t SiteIndex::findNumber(std::string_view digits)
{
    std::uint32_t value = 0;
    for (const char c : digits)
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    std::uint32_t& slot = numbers_[numberStarts[digits.size()] + value];
    if (slot == 0)
        slot = add(digits, 0) + 1;
    return slot - 1;
}

void SiteIndex::grow()
{
    std::vector<std::uint64_t> slots(slots_.size() * 2, 0);
    const std::size_t mask = slots.size() - 1;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].hash == 0)
            continue;
        std::size_t slot = entries_[i].hash & mask;
        while (slots[slot] != 0)
            slot = (slot + 1) & mask;
        slots[slot] = (std::uint64_t{entries_[i].hash} << 32) | (i + 1);
    }
    slots_ = std::move(slots);
}

void SiteIndex::add(std::uint32_t position, std::uint8_t field, std::string_view text)
{
    const std::size_t size = text.size();
    char word[64];
    for (std::size_t i = 0; i < size;) {
        if (!wordTable[static_cast<unsigned char>(text[i])]) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        std::uint32_t hash = fnvBasis;
        bool digits = true;
        std::size_t length = 0;
        for (; i < size && wordTable[static_cast<unsigned char>(text[i])]; ++i) {
            const char lower = lowerTable[static_cast<unsigned char>(text[i])];
            if (length < sizeof word)
                word[length] = lower;
            ++length;
            digits = digits && lower >= '0' && lower <= '9';
            hash = (hash ^ static_cast<unsigned char>(lower)) * fnvPrime;
        }
        std::uint32_t id;
        if (digits && length <= 6) {
            id = findNumber(std::string_view(word, length));
        } else if (length <= sizeof word) {
            id = find(std::string_view(word, length), hash);
        } else {
            std::string longWord(text.substr(start, length));
            for (char& c : longWord)
                c = lowerTable[static_cast<unsigned char>(c)];
            id = find(longWord, hash);
        }
        entries_[id].positions.add(position, field);
    }
}

void SiteIndex::finish()
{
    for (Entry& entry : entries_)
        entry.positions.finish();
    std::vector<std::uint64_t>().swap(slots_);
    std::vector<std::uint32_t>().swap(numbers_);
}

std::vector<SiteIndex::Shard> SiteIndex::shards(std::size_t limit) const
{
    // Byte order is the order of the script's strings too: each Latin-1
    // byte is one UTF-16 code unit of the same value. The first 8 bytes,
    // as one number, decide most comparisons.
    struct Key {
        std::uint64_t prefix;
        std::uint32_t id;
    };
    std::vector<Key> keys(entries_.size());
    for (std::uint32_t id = 0; id < entries_.size(); ++id) {
        const std::string_view w = word(id);
        std::uint64_t prefix = 0;
        for (std::size_t i = 0; i < 8; ++i)
            prefix = (prefix << 8) | (i < w.size() ? static_cast<unsigned char>(w[i]) : 0u);
        keys[id] = {prefix, id};
    }
    std::sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix;
        return word(a.id) < word(b.id);
    });
    std::vector<std::uint32_t> order(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
        order[i] = keys[i].id;
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
