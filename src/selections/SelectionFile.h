#pragma once

#include "selections/TagSet.h"
#include "platform/ReadError.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qavn {

class VariableList;

// What ties saved tags to one codebook: its variable count and a hash of
// every variable's name in index order. Tags saved for a codebook with
// another fingerprint name other variables and are never applied.
struct CodebookFingerprint {
    std::uint32_t variables = 0;
    std::uint64_t names = 0;

    static CodebookFingerprint of(const VariableList& list);
    // "120 variables, names 9f86d081884c7d65"
    std::string text() const;
    friend bool operator==(const CodebookFingerprint&, const CodebookFingerprint&) = default;
};

// The program's own file of saved tags (the tags kept between runs and the
// named selections). Line 1 names the format and the codebook:
//   QAVN-TAGS 1 variables=120 names=9f86d081884c7d65
// then one variable number per line, ascending. Lines end in CR LF; a reader
// takes LF alone too and skips blank lines.
struct SavedTags {
    CodebookFingerprint codebook;
    // Ascending, each once. Kept as numbers rather than a set: the variable
    // count of a file is only trusted once it matches the codebook loaded.
    std::vector<std::uint32_t> numbers;

    // The numbers as a set of the codebook's size; for a file whose
    // fingerprint matched a loaded list.
    TagSet tags() const;
};

inline constexpr std::string_view savedTagsMagic = "QAVN-TAGS";

// Reads a file of saved tags. `shownName` is the file as messages name it.
// Fails when it cannot be opened or read, when line 1 is not the header
// above, or when a line holds anything but a number in 1..variables (the
// error names the line).
ReadResult<SavedTags> readSavedTags(const std::filesystem::path& path, std::string_view shownName);

// Writes the file atomically (a temporary file in the same folder renamed
// over `path`). Returns an empty string, or the reason it failed, naming the
// file.
std::string writeSavedTags(const std::filesystem::path& path, const CodebookFingerprint& codebook, const TagSet& tags);

// The tags kept between runs: project ID + "QAV.TAGS" beside the
// configuration file in the working directory.
std::filesystem::path keptTagsPath(std::string_view projectId);

// Restores the tags of the project's last run into the loaded list. Returns
// a one-line note for the status bar (empty when there was nothing saved):
// what was restored, or why nothing was (a file of another codebook, a
// damaged file with its line). Never changes the list unless the whole file
// was good; a refused file is renamed to <file>.old, so that the tags saved
// at the end of the run do not replace it.
std::string restoreKeptTags(std::string_view projectId, VariableList& list);

// Saves the list's tags for the next run (nothing is written when none is
// tagged and no file was kept before). Returns an empty string, or a
// one-line note naming the file and why it could not be written.
std::string saveKeptTags(std::string_view projectId, const VariableList& list);

// Named selections: one file NAME.sel each in the folder project ID +
// "QAV.SEL" beside the configuration file.
std::filesystem::path selectionFolder(std::string_view projectId);

// Why `name` cannot name a selection (empty, too long, a path separator, a
// control character, a leading period), or an empty string when it can.
// Leading and trailing blanks are not part of a name; callers trim first.
std::string selectionNameProblem(std::string_view name);
inline constexpr std::size_t maxSelectionName = 64;

std::filesystem::path selectionPath(std::string_view projectId, std::string_view name);

// The names of the saved selections, sorted; none when the folder is
// missing.
std::vector<std::string> selectionNames(std::string_view projectId);

// Saves `tags` as the selection `name` (creating the folder). Returns an
// empty string or the reason, naming the file.
std::string saveSelection(std::string_view projectId, std::string_view name, const CodebookFingerprint& codebook,
                          const TagSet& tags);

// Reads the selection `name` for a codebook: fails as readSavedTags() does,
// and also (InvalidData, line 1) when it was saved for another codebook.
ReadResult<TagSet> loadSelection(std::string_view projectId, std::string_view name,
                                 const CodebookFingerprint& codebook);

} // namespace qavn
