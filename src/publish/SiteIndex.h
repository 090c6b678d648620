#pragma once

// The search index of the HTML site: every word of the published variables'
// names, labels, descriptions and category lines, with the variables it
// occurs in (by their place in the site) and in which of the four fields.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qavn {

// The site's number code: a number as characters of 5 bits each, lowest
// first; every character but the last is taken from the continuation half
// of the alphabet. Only letters, digits, '-' and '_', so a list of numbers is
// a plain string in the site's script files.
inline constexpr std::string_view siteDigits = "0123456789abcdefghijklmnopqrstuv";
inline constexpr std::string_view siteContinuations = "wxyzABCDEFGHIJKLMNOPQRSTUVWXYZ-_";
void appendSiteNumber(std::string& out, std::uint64_t value);

// A list of ascending positions, each with a mask of 4 bits (the fields),
// coded as the site's script reads it: for each run of consecutive
// positions sharing a mask one number, gap × 32 + mask × 2 + (run > 1),
// where gap counts the positions skipped since the last run; a run of more
// than one position is followed by its length - 2.
class PositionList {
public:
    // Adds `mask` at `position`; positions never go down, and a position
    // added again gathers the masks.
    void add(std::uint32_t position, std::uint8_t mask)
    {
        if (position == pending_ && pendingMask_ != 0) {
            pendingMask_ |= mask;
            return;
        }
        push();
        pending_ = position;
        pendingMask_ = mask;
    }
    // Codes what is still pending; `text` is then complete.
    void finish()
    {
        push();
        endRun();
    }
    const std::string& text() const { return text_; }

private:
    void push()
    {
        if (pendingMask_ == 0)
            return;
        if (runLength_ > 0 && pendingMask_ == runMask_ && pending_ == runStart_ + runLength_) {
            ++runLength_;
        } else {
            endRun();
            runStart_ = pending_;
            runLength_ = 1;
            runMask_ = pendingMask_;
        }
        pendingMask_ = 0;
    }
    void endRun();

    std::uint32_t pending_ = 0;
    std::uint32_t runStart_ = 0;
    std::uint32_t runLength_ = 0;
    std::uint32_t next_ = 0; // the position after the last run coded
    std::uint8_t pendingMask_ = 0;
    std::uint8_t runMask_ = 0;
    std::string text_;
};

class SiteIndex {
public:
    // The fields, as the masks of the position lists hold them.
    static constexpr std::uint8_t nameField = 1;
    static constexpr std::uint8_t labelField = 2;
    static constexpr std::uint8_t descriptionField = 4;
    static constexpr std::uint8_t categoryField = 8;

    SiteIndex();

    // Room for about `words` words, so that the tables are not rebuilt as
    // they fill (every variable's name is a word of its own).
    void reserve(std::size_t words);

    // Adds the words of `text` (Latin-1) in `field` of the variable at
    // `position`. A word is a run of the query language's word characters
    // (letters, digits, '_', the Latin-1 letters), lower-cased as the query
    // language compares. Positions come in ascending order.
    void add(std::uint32_t position, std::uint8_t field, std::string_view text);
    // Codes what is pending; no word may be added after it.
    void finish();

    std::size_t wordCount() const { return entries_.size(); }
    std::string_view word(std::uint32_t id) const { return {words_.data() + entries_[id].offset, entries_[id].length}; }
    const std::string& positions(std::uint32_t id) const { return entries_[id].positions.text(); }

    // The words in byte order, packed into shards of about `limit` bytes of
    // the site's script each (a word whose list is longer has one alone).
    struct Shard {
        std::string first; // the first word of the shard; empty for the first shard
        std::vector<std::uint32_t> words;
    };
    std::vector<Shard> shards(std::size_t limit) const;

private:
    struct Entry {
        std::uint64_t head = 0; // the first 8 bytes, as headOf() gives them
        std::uint32_t offset = 0;
        std::uint32_t length = 0;
        std::uint32_t hash = 0;
        PositionList positions;
    };
    std::uint32_t find(std::string_view word, std::uint32_t hash);
    std::uint32_t findNumber(std::string_view digits);
    std::uint32_t add(std::string_view word, std::uint32_t hash);
    void grow();

    std::string words_; // every word once, one after another
    std::vector<Entry> entries_;
    std::vector<std::uint64_t> slots_;
    std::size_t hashed_ = 0; // entries the slots hold
    // Words of at most 6 digits, which category lines hold by the million,
    // found without hashing: entry + 1 at the place the digits give.
    std::vector<std::uint32_t> numbers_;
};

} // namespace qavn
