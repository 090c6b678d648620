#pragma once

// The Move and Tag commands that walk the variable list (sections, data files,
// tags).

#include <cstdint>
#include <span>

namespace qavn {

class CodebookStore;
class VariableList;
struct ProjectSpec;

// The Move and Tag commands that walk the list. Each leaves the active row
// where it is when it finds nowhere to go; a record that cannot be read is
// reported by the store and stops the command.
void goToTopOfList(VariableList& list);
void goToBottomOfList(VariableList& list);
void goToNextSection(VariableList& list, CodebookStore& store);
void goToPrevSection(VariableList& list, CodebookStore& store);
void goToNextFile(VariableList& list, CodebookStore& store, const ProjectSpec& project);
void goToPrevFile(VariableList& list, CodebookStore& store, const ProjectSpec& project);
void goToNextTag(VariableList& list);
void goToPrevTag(VariableList& list);

// The same commands over the rows a view shows (`rows`, ascending, each
// within the list), as when only the matches of a query are shown: each goes
// only to a row of `rows`, and nowhere when `rows` is empty. The active row
// need not be among them. Sections are runs of shown rows with equal titles;
// Prev File and Next File go to the first shown row of the nearest data file
// before or after the active row's that has shown rows.
void goToTopOfList(VariableList& list, std::span<const std::uint32_t> rows);
void goToBottomOfList(VariableList& list, std::span<const std::uint32_t> rows);
void goToNextSection(VariableList& list, CodebookStore& store, std::span<const std::uint32_t> rows);
void goToPrevSection(VariableList& list, CodebookStore& store, std::span<const std::uint32_t> rows);
void goToNextFile(VariableList& list, std::span<const std::uint32_t> rows);
void goToPrevFile(VariableList& list, std::span<const std::uint32_t> rows);
void goToNextTag(VariableList& list, std::span<const std::uint32_t> rows);
void goToPrevTag(VariableList& list, std::span<const std::uint32_t> rows);

} // namespace qavn
