#pragma once

// The fields a query term can name (name:, label:, section: ...): one table
// that the query parser, the query bar's help and qavn-extract's --in
// option all read, so a new field is one entry here (and its matching in
// QueryIndex).

#include "query/Query.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qavn {

struct QueryField {
    std::string_view name;  // as written before the colon
    std::string_view alias; // a shorter spelling; empty when none
    Query::TermKind kind;
    std::uint8_t fields;    // Text: the queryfield bits it looks in
    std::string_view help;  // what it finds, for the help texts
};

// Every field, in the order the help lists them.
std::span<const QueryField> queryFields();

// The field a word names (by name or alias, letter case aside); nullptr when
// none does.
const QueryField* findQueryField(std::string_view word);

// The names of the fields of `kind`s, joined by ", ": "name, label,
// description, category, section, file" for all of them.
std::string queryFieldNames(bool textOnly = false);

// One line per field for a help text: "  name: (n:)  <help>".
std::string queryFieldHelp();

} // namespace qavn
