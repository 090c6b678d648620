#pragma once

// The cases of several data files matched by their identifier: one merged
// case at a time, the fields of every data file side by side. The walk
// streams: a file in identifier order is read as it lies, any other is
// sorted once into a temporary file, never held in memory.

#include "export/TableData.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace qavn {

// The order cases are matched in, on identifiers with their blanks trimmed:
// whole numbers (an optional sign and digits) by value, so "007" and "7" are
// one identifier, before any other text, which goes by its bytes. Negative,
// zero or positive as `a` comes before, with or after `b`.
int compareIdentifiers(std::string_view a, std::string_view b);

// The columns of the table merged from `tables` (each with its identifier
// first): the first table's identifier, then every table's other columns in
// order, a name an earlier table's column has taken (letter case aside)
// followed by "_2", "_3", ... as within one table.
std::vector<TableColumn> mergedColumns(std::span<const DataTable* const> tables);

// The cases of `tables`, matched by their identifier (the first column of
// each). Every identifier any table holds gives one case, in identifier
// order; a table without a case of that identifier gives blank fields.
//
// prepare() reads each table once and checks its identifiers: a blank one,
// or one a table holds twice, is refused with the file and line. A table
// whose cases do not come in identifier order is sorted into a temporary
// file in `spillFolder` (unnamed, so that nothing is left behind however
// the program ends): runs of at most `runBytes` are sorted in memory and
// merged, at most `fanIn` at a time. walk() then hands out the merged cases,
// as many times as it is called; memory does not grow with the cases.
class MergedCases {
public:
    struct Limits {
        std::size_t runBytes = std::size_t{64} << 20;
        std::size_t fanIn = 64;
    };

    MergedCases(std::vector<const DataTable*> tables, std::filesystem::path spillFolder, Limits limits);
    MergedCases(std::vector<const DataTable*> tables, std::filesystem::path spillFolder)
        : MergedCases(std::move(tables), std::move(spillFolder), Limits{})
    {
    }
    ~MergedCases();
    MergedCases(const MergedCases&) = delete;
    MergedCases& operator=(const MergedCases&) = delete;

    // Checks and, where needed, sorts every table. `keepGoing` is polled
    // every few hundred cases; Stopped when it said no. Failed: the raw data
    // could not be read (as readCases() says), an identifier is blank or
    // twice in one file (InvalidData, with the line), or the temporary file
    // could not be written (CannotRead, naming the raw data it was sorting).
    ReadOutcome prepare(const std::function<bool()>& keepGoing);

    // Hands each merged case to `onCase`: the fields of mergedColumns(), the
    // identifier first. The views hold until onCase returns. Stopped when
    // onCase returned false. Only after prepare() was done.
    ReadOutcome walk(const std::function<bool(std::span<const std::string_view>)>& onCase);

    // Whether table i had to be sorted (after prepare()).
    bool sorted(std::size_t i) const;

private:
    class Spill;
    class Source;
    struct Table;

    ReadOutcome check(Table& table, const std::function<bool()>& keepGoing);
    ReadOutcome sort(Table& table, const std::function<bool()>& keepGoing);

    std::vector<Table> tables_;
    std::filesystem::path spillFolder_;
    Limits limits_;
    std::size_t width_ = 0; // fields of a merged case
    bool prepared_ = false;
};

} // namespace qavn
