#pragma once

// Loading the variable list from the codebook's index file, with progress.

#include <string>
#include <string_view>

namespace qavn {

class CodebookStore;
class Progress;
class Ui;
class VariableList;
struct ProjectSpec;

inline constexpr std::string_view loadCanceledMessage =
    "Data Loading Has Been Canceled! Please Restart Application.";

// Fills the list with one row per index record, 40 records a block, and sets
// each data file's firstRow. The progress range is recordCount / 10; it
// advances 15 and the progress is polled (pollProgress) after every fourth
// block; the cancel flag is looked at after every other block. Returns false when cancelled: the list
// is then never shown, and the caller closes its dialog and shows
// loadCanceledMessage. On success the list is shown with row 1 active.
bool loadVariables(CodebookStore& store, ProjectSpec& project, VariableList& list, Ui& ui, Progress& progress);

} // namespace qavn
