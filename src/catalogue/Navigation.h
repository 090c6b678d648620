#pragma once

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

} // namespace qavn
