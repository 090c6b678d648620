#pragma once

#include <string_view>

namespace qavn {

class Ui;
class VariableList;

// Reading tag files back into the list's tags. A line's value is the decimal
// number at its start once trimmed (an optional sign allowed; anything else
// gives 0); values outside 1..rowCount tag nothing. A line is read whole,
// however long, so an over-long line never turns into several numbers.

long tagFileValue(std::string_view line);

// Tags every row one file lists. "Cannot Open " + path + " !" when it cannot
// be opened. Returns false only then.
bool importTagFile(std::string_view path, VariableList& list, Ui& ui);

enum class TagCombine { And, Or };

// Walks two ascending tag files in step and tags their intersection (And) or
// union (Or). When either cannot be opened, or the merge produced nothing,
// the matching messages are shown ("Cannot Open " + name + " !", then
// "No Tagged Item !"). Returns whether the merge produced a result.
bool importTagFiles(std::string_view first, std::string_view second, TagCombine combine, VariableList& list,
                    Ui& ui);

} // namespace qavn
