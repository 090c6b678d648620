#pragma once

// What a query searches, gathered once per project, and evaluating a query over
// it.

#include "platform/FunctionRef.h"
#include "query/Query.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qavn {

class CodebookStore;
class VariableList;
struct ProjectSpec;

// The variables a query matched: one bit per row (row r at bit r - 1).
class QueryMatches {
public:
    QueryMatches() = default;
    explicit QueryMatches(std::uint32_t rows) : rows_(rows), bits_((rows + 63) / 64, 0) {}

    std::uint32_t rowCount() const { return rows_; }
    std::uint32_t count() const;
    bool contains(std::uint32_t row) const
    {
        return row >= 1 && row <= rows_ && ((bits_[(row - 1) / 64] >> ((row - 1) % 64)) & 1u) != 0;
    }
    void add(std::uint32_t row) { bits_[(row - 1) / 64] |= std::uint64_t{1} << ((row - 1) % 64); }
    // The matching rows, ascending.
    std::vector<std::uint32_t> rows() const;

    std::vector<std::uint64_t>& words() { return bits_; }
    const std::vector<std::uint64_t>& words() const { return bits_; }

private:
    std::uint32_t rows_ = 0;
    std::vector<std::uint64_t> bits_;
};

// What a query searches, gathered once per opened project: the names and
// labels of the list's rows as lines, where each variable's description and
// category block lies in the codebook text file, its section and its data
// file. Built once (one pass over the index file and the blocks' line ends),
// it answers any number of queries.
//
// The store, the list and the project must outlive the index and keep their
// content (the list loaded); the index only reads them through const calls
// (the store's mapped bytes), so a query may run on another thread while the
// window uses them.
class QueryIndex {
public:
    // Gathers what the list and the store hold. `keepGoing` is asked now and
    // then; build() returns false when it answered false (the index is then
    // empty). `progress` (0 to 100) is told how far it got.
    bool build(const VariableList& list, const CodebookStore& store, const ProjectSpec* project,
               FunctionRef<bool()> keepGoing, FunctionRef<void(int)> progress);
    bool build(const VariableList& list, const CodebookStore& store, const ProjectSpec* project);

    bool built() const { return built_; }
    std::uint32_t rowCount() const { return rows_; }

    // The rows `query` matches. Reads the whole codebook text file once for
    // terms in descriptions or category lines, a megabyte at a time, asking
    // `keepGoing` after each; returns false (and leaves `matches` unchanged)
    // when it answered false. Uses no state of the index but what build()
    // made, so several evaluations may run at once.
    bool evaluate(const Query& query, QueryMatches& matches, FunctionRef<bool()> keepGoing) const;
    QueryMatches evaluate(const Query& query) const;

    // The section number (1-based, in list order: a new section begins where
    // the section title changes) of a row, and the sections' titles.
    std::uint32_t sectionOf(std::uint32_t row) const { return section_[row - 1]; }
    const std::vector<std::string>& sectionTitles() const { return sectionTitles_; }

private:
    struct Block {
        std::uint64_t start = 0;
        std::uint64_t end = 0; // past its last line end
    };
    // Every line a term matches in a text, by the offset where it starts.
    using LineHits = std::vector<std::uint64_t>;

    void scanLines(const Query& query, std::span<const std::size_t> terms, const char* text, std::size_t size,
                   std::vector<LineHits>& hits, std::uint64_t base,
                   const std::vector<std::uint32_t>* dropped) const;
    bool scanCodebookText(const Query& query, std::span<const std::size_t> terms, std::vector<LineHits>& hits,
                          FunctionRef<bool()> keepGoing) const;
    void markLines(const LineHits& hits, const std::vector<std::uint64_t>& starts,
                   std::vector<std::uint64_t>& bits) const;
    void markBlocks(const LineHits& hits, const std::vector<Block>& blocks, const std::vector<std::uint32_t>& order,
                    std::vector<std::uint64_t>& bits) const;
    bool matchesTitle(const Query::Term& term, const std::string& title) const;

    const CodebookStore* store_ = nullptr;
    bool built_ = false;
    std::uint32_t rows_ = 0;
    // Names and labels, one line each, in row order; row r's line starts at
    // [r - 1] (one extra entry at the end).
    std::string names_;
    std::vector<std::uint64_t> nameStarts_;
    std::string labels_;
    std::vector<std::uint64_t> labelStarts_;
    std::vector<Block> descriptions_;
    std::vector<Block> categories_;
    // Rows by the start of their block, so that hits and blocks meet in one
    // pass.
    std::vector<std::uint32_t> descriptionOrder_;
    std::vector<std::uint32_t> categoryOrder_;
    std::vector<std::uint32_t> section_;
    std::vector<std::string> sectionTitles_;
    std::vector<std::uint16_t> file_;
    std::vector<std::string> fileNames_; // data file f at [f - 1]
};

} // namespace qavn
