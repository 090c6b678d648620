#pragma once

// Loading the variable list from the codebook's index file, with progress.

#include <cstdint>
#include <span>
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

// What loading puts in the row texts: the name and the label of every row,
// or the names alone (read from the index file only), for a run that needs
// the labels of a few rows and adds them with loadLabels() once it knows
// which.
enum class RowTexts { NamesAndLabels, NamesOnly };

// Fills the list with one row per index record, 40 records a block, and sets
// each data file's firstRow. The progress range is recordCount / 10; it
// advances 15 and the progress is polled (pollProgress) after every fourth
// block; the cancel flag is looked at after every other block. Returns false when cancelled: the list
// is then never shown, and the caller closes its dialog and shows
// loadCanceledMessage. On success the list is shown with row 1 active.
bool loadVariables(CodebookStore& store, ProjectSpec& project, VariableList& list, Ui& ui, Progress& progress,
                   RowTexts texts = RowTexts::NamesAndLabels);

// Adds the labels of `rows` (ascending) to a list loaded with
// RowTexts::NamesOnly, so that their row texts are what a whole load gives.
void loadLabels(const CodebookStore& store, VariableList& list, std::span<const std::uint32_t> rows);

} // namespace qavn
