#pragma once

// The kept tags and saved selections: their files, tied to one codebook by a
// fingerprint.

#include "selections/TagSet.h"
#include "platform/ReadError.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
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
    CodebookFingerprint codebook; // as line 1 names it
    // The tags, when the file is one of the codebook the reader expected;
    // nothing for a file of another codebook. The variable count of a file
    // is only trusted once it matches the codebook loaded.
    std::optional<TagSet> tags;
};

inline constexpr std::string_view savedTagsMagic = "QAVN-TAGS";

// Reads a file of saved tags for the codebook `expected`. `shownName` is the
// file as messages name it. Each number goes into the set as it is read, so
// a file of any length takes memory for the codebook's variables only.
// Fails when it cannot be opened or read or is not a regular file (a FIFO
// or a device is refused, not waited on), when line 1 is not the header
// above, or when a line holds anything but a number in 1..variables of the
// codebook line 1 names (the error names the line). A whole file of another
// codebook is read without its tags.
ReadResult<SavedTags> readSavedTags(const std::filesystem::path& path, std::string_view shownName,
                                    const CodebookFingerprint& expected);

// Writes the file atomically (a temporary file in the same folder renamed
// over `path`; a failed write leaves the file as it was). Returns an empty
// string, or the reason it failed, naming the file.
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

// Saves the list's tags for the next run, replacing what the file holds
// (nothing is written when none is tagged and no file was kept before).
// Returns an empty string, or a one-line note naming the file and why it
// could not be written.
std::string saveKeptTags(std::string_view projectId, const VariableList& list);

// The kept tags of one window. Two windows of one project (in one program
// or in two) each restore the file when they open and save it when they
// close; a save that simply replaced the file would drop the tags the
// other window saved in between. So save() reads the file again, under a
// lock on its folder, and applies this window's changes since it last read
// or wrote the file (tags added, tags removed) to what the file holds now;
// when that is not what this window left there, its note says so.
class KeptTags {
public:
    explicit KeptTags(std::string projectId) : projectId_(std::move(projectId)) {}

    // restoreKeptTags(), remembering what the file held.
    std::string restore(VariableList& list);
    // saveKeptTags() merged as above. The note is empty after a plain save.
    std::string save(const VariableList& list);

private:
    std::string projectId_;
    // When this window last read or wrote the file: what the file held then
    // (nothing when it held no tags of this codebook) and what the window
    // held.
    std::optional<TagSet> file_;
    std::optional<TagSet> seen_;
};

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
