#pragma once

// The tagged-items list filled from the main list's tags.

namespace qavn {

class VariableList;

// Fills the tagged-items list with the main list's tagged rows, in list
// order: each dialog row repeats a tagged row's text and row data (and so its
// colour). The dialog list starts with no tag of its own and never changes
// the main list.
void fillTaggedItems(const VariableList& main, VariableList& dialog);

} // namespace qavn
