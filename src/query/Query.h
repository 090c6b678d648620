#pragma once

// The query language: a query compiled into terms and the tree of AND, OR and NOT
// over them.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace re2 {
class RE2;
}

namespace qavn {

// The fields a query term looks in.
namespace queryfield {
constexpr std::uint8_t name = 1;
constexpr std::uint8_t label = 2;
constexpr std::uint8_t description = 4;
constexpr std::uint8_t category = 8;
constexpr std::uint8_t text = name | label | description | category;
} // namespace queryfield

// A syntax error: what is wrong and the 1-based column (in characters of the
// query text) where it was found.
struct QueryError {
    std::string message;
    std::size_t column = 0;

    // "<message> at column <column>".
    std::string text() const;
};

// A compiled query of the query language:
//
//   term        a word; `*` stands for any run of word characters, `?` for
//               one; the term matches whole words only
//   "a phrase"  the words in this order, blanks matching any run of blanks;
//               also whole words; a backslash makes the next character plain
//   /regex/     an RE2 regular expression (a slash inside written `\/`)
//   field:X     X (a term, phrase, regex or parenthesised group) in one field:
//               name, label, description (desc), category (cat); unqualified
//               terms look in all four
//   section:X   variables of sections numbered X or whose title matches X
//   file:X      variables of data file X (number) or whose file name matches X
//   a b, a AND b, a OR b, NOT a, (a)   with NOT before AND before OR
//
// Everything compares without regard to case (Latin-1 letters included).
// Word characters are letters, digits and `_`. A field's text is taken line
// by line: a match lies within one line of a description or category block
// (the fields of a category line separated by a tab), and a field matches
// when any occurrence in it does.
//
// A Query is compiled once and may then be evaluated by any number of
// threads at the same time (QueryIndex::evaluate).
class Query {
public:
    Query();
    ~Query();
    Query(Query&&) noexcept;
    Query& operator=(Query&&) noexcept;

    // Compiles `text`; false with error() set on a syntax error (the query
    // is then empty).
    bool compile(std::string_view text);
    const QueryError& error() const { return error_; }

    // True for a text of blanks only: it matches nothing.
    bool empty() const { return root_ < 0; }

    enum class TermKind : std::uint8_t { Text, Section, File };
    struct Term {
        TermKind kind = TermKind::Text;
        std::uint8_t fields = queryfield::text; // Text terms
        std::uint32_t number = 0;               // Section/File: 0 = by title
        std::string literal;   // lower-cased bytes every match holds; empty: none known
        // The term is `literal` alone (no wildcard, blank or regex): a match
        // is an occurrence with no word character just before it (when
        // wordStart) nor just after it (when wordEnd).
        bool plainWord = false;
        bool wordStart = false;
        bool wordEnd = false;
        std::unique_ptr<re2::RE2> regex; // matched against one line at a time
    };
    enum class Op : std::uint8_t { Term, And, Or, Not };
    struct Node {
        Op op = Op::Term;
        std::int32_t left = -1;  // And, Or, Not; the term index for Term
        std::int32_t right = -1; // And, Or
    };

    const std::vector<Term>& terms() const { return terms_; }
    const std::vector<Node>& nodes() const { return nodes_; }
    std::int32_t root() const { return root_; }

private:
    friend class QueryParser;
    std::vector<Term> terms_;
    std::vector<Node> nodes_;
    std::int32_t root_ = -1;
    QueryError error_;
};

// Word characters of the query language: ASCII letters and digits, `_` and
// the Latin-1 letters.
constexpr bool isQueryWordByte(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
           (c >= 0xC0 && c != 0xD7 && c != 0xF7);
}

} // namespace qavn
