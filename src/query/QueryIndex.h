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

// What a query searches in an opened project. Each field is made ready the
// first time a query needs it, and kept: names and labels are read in place
// from the list's row texts (a field of them is copied into lines only for
// a regular expression without a word to look for first); the places of the
// description and category blocks (one pass over the index file; their ends
// are found during the first search of the text file) only for a term in
// those fields; the sections only for
// a section term. The data files' numbers are the list's own.
//
// The store, the list and the project must outlive the index and keep their
// content (the list loaded); the index only reads them through const calls
// (the store's mapped bytes), so a query may run on another thread while the
// window uses them. One thread at a time evaluates: evaluating may make a
// field ready.
class QueryIndex {
public:
    // Binds the index to the list, the store and the project (which may be
    // null: no file names). Nothing is read yet; `progress` is told 100.
    // `keepGoing` is kept for nothing here and asked by evaluate(); build()
    // returns true.
    bool build(const VariableList& list, const CodebookStore& store, const ProjectSpec* project,
               FunctionRef<bool()> keepGoing, FunctionRef<void(int)> progress);
    bool build(const VariableList& list, const CodebookStore& store, const ProjectSpec* project);

    bool built() const { return built_; }
    std::uint32_t rowCount() const { return rows_; }

    // The rows `query` matches. Makes ready the fields the query needs, then
    // reads the whole codebook text file once for terms in descriptions or
    // category lines, a megabyte at a time; `keepGoing` is asked now and
    // then, and when it answers false evaluate() returns false and leaves
    // `matches` unchanged (a field half made is made again next time).
    bool evaluate(const Query& query, QueryMatches& matches, FunctionRef<bool()> keepGoing);
    QueryMatches evaluate(const Query& query);

private:
    // A block of lines in the text file, whose line references are 32-bit
    // offsets: 8 bytes a block, as a million rows have two million blocks.
    struct Block {
        std::uint32_t start = 0;
        // Its line count until its end is found, then its length in bytes
        // (to past its last line end).
        std::uint32_t extent = 0;
        std::uint64_t end() const { return std::uint64_t{start} + extent; }
    };
    // Every line a term matches in a text, by the offset where it starts.
    using LineHits = std::vector<std::uint64_t>;
    // A field of the rows joined into lines, row r's at starts[r - 1] (one
    // extra entry at the end): for regular expressions with no word to look
    // for first.
    struct Lines {
        bool ready = false;
        std::string text;
        std::vector<std::uint64_t> starts;
    };

    bool makeBlockStartsReady(FunctionRef<bool()> keepGoing);
    // Finds the ends of the blocks, in the order of their starts, that
    // start before the byte `before`.
    void findBlockEnds(std::uint64_t before);
    void makeSectionsReady();
    const Lines& linesOf(std::uint8_t field);
    void scanRows(const Query::Term& term, std::uint8_t fields, std::vector<std::uint64_t>& bits) const;
    void scanLines(const Query& query, std::span<const std::size_t> terms, const char* text, std::size_t size,
                   std::vector<LineHits>& hits, std::uint64_t base,
                   const std::vector<std::uint32_t>* dropped) const;
    bool scanCodebookText(const Query& query, std::span<const std::size_t> terms, std::vector<LineHits>& hits,
                          FunctionRef<bool()> keepGoing);
    void markLines(const LineHits& hits, const std::vector<std::uint64_t>& starts,
                   std::vector<std::uint64_t>& bits) const;
    void markBlocks(const LineHits& hits, const std::vector<Block>& blocks, const std::vector<std::uint32_t>& order,
                    std::vector<std::uint64_t>& bits) const;
    bool matchesTitle(const Query::Term& term, const std::string& title) const;

    const VariableList* list_ = nullptr;
    const CodebookStore* store_ = nullptr;
    bool built_ = false;
    std::uint32_t rows_ = 0;
    std::uint32_t records_ = 0; // rows with a record in the index file
    std::vector<std::string> fileNames_; // data file f at [f - 1]

    Lines nameLines_;
    Lines labelLines_;
    bool startsReady_ = false;
    std::uint32_t startsMade_ = 0; // rows whose blocks' starts are placed
    bool blocksReady_ = false; // every block's end found too
    // Blocks, in the order of their starts, whose ends are found.
    std::size_t descriptionEndsMade_ = 0;
    std::size_t categoryEndsMade_ = 0;
    std::vector<Block> descriptions_;
    std::vector<Block> categories_;
    // Rows by the start of their block, so that hits and blocks meet in one
    // pass; empty when the rows' blocks already come in that order.
    std::vector<std::uint32_t> descriptionOrder_;
    std::vector<std::uint32_t> categoryOrder_;
    bool sectionsReady_ = false;
    std::vector<std::uint32_t> section_; // row r's section number (1-based; 0: none) at [r - 1]
    std::vector<std::string> sectionTitles_;
};

} // namespace qavn
