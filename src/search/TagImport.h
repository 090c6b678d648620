#pragma once

// Reading tag files back into the tags, alone or two merged by AND or OR.

#include "platform/FunctionRef.h"
#include "platform/ReadError.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace qavn {

class Ui;
class VariableList;

// Reading tag files back into the list's tags. A line's value is the decimal
// number at its start once trimmed (an optional sign allowed; anything else
// gives 0); values outside 1..rowCount tag nothing. A line is one value
// however long, so an over-long line never turns into several numbers; it
// is judged as it is read, so its length costs no memory.

long tagFileValue(std::string_view line);

// What an import read besides the tags it set.
struct TagImportReport {
    static constexpr std::size_t keptLines = 100;

    // The first `keptLines` lines that hold no whole number (InvalidData:
    // garbage, or text after the number), whose number names no variable of
    // the list (InvalidData: outside 1..rowCount) or that could not be read
    // (CannotRead, which ends that file), each with its file and line. Blank
    // lines are not among them. Such a line still counts by the rule above.
    std::vector<ReadError> unreadableLines;
    std::uint64_t unreadableCount = 0; // all of them, kept or not
    bool produced = true;              // two files: whether the merge tagged anything
};

enum class TagCombine { And, Or };

// Tags every row one file lists. Fails only when the file cannot be opened.
ReadResult<TagImportReport> importTagFile(std::string_view path, VariableList& list);

// Reads one file by the same rules for a project of `rows` variables,
// handing each line's value (in file order, whatever its range) to `value`
// instead of tagging. Fails only when the file cannot be opened.
ReadResult<TagImportReport> readTagFile(std::string_view path, std::uint32_t rows, FunctionRef<void(long)> value);

// Walks two ascending tag files in step and tags their intersection (And) or
// union (Or); the walk reads each file to its end (And: until either ends),
// whatever its lines hold. Fails when either
// file cannot be opened (the first is tried first; nothing is tagged).
ReadResult<TagImportReport> importTagFiles(std::string_view first, std::string_view second, TagCombine combine,
                                           VariableList& list);

// The program's messages for an import, shown through `ui`: "Cannot Open " +
// file + " !" for a file that did not open, then, for two files,
// "No Tagged Item !" when the merge produced nothing. Returns whether the
// import succeeded (for two files: whether the merge produced a result).
bool showTagImport(const ReadResult<TagImportReport>& result, bool twoFiles, Ui& ui);

// importTagFile() with its messages. Returns false only when the file
// cannot be opened.
bool importTagFile(std::string_view path, VariableList& list, Ui& ui);

// importTagFiles() with its messages. Returns whether the merge produced a
// result.
bool importTagFiles(std::string_view first, std::string_view second, TagCombine combine, VariableList& list,
                    Ui& ui);

} // namespace qavn
