#pragma once

// What one run of a one-file output works with: the catalogue, codebook, project,
// the tagged variables and the output file.

#include "codebook/Classification.h"

#include "codebook/CodebookStore.h"
#include "writers/ProgramText.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace qavn {

class Progress;
class ProjectMetadata;
class TextOutput;
class Ui;
class VariableList;
struct ProjectSpec;
struct Settings;

// Which variables get value labels, as the Confirmation dialog ("Want to
// Label Reserved Code ?") answers it. NotAsked stands for the outputs that do
// not ask the question.
enum class LabelChoice {
    NotAsked,
    Categorical,     // the "Categorical" button
    All,             // the "All" button
    NoReservedCodes, // the "None" button: no labels for reserved codes
};

inline constexpr std::string_view noTaggedItemMessage = "No Tagged Item !\nPlease Tag Items First.";
inline constexpr std::string_view writingDialogText = "Writing Data, Please Wait...";
inline constexpr long writingProgressRange = 300;

// One output run: what the writers read (catalogue, codebook, project,
// settings), what they are told (the label choice), the tagged variables and
// the file they write to. Built by the driver for one run and
// dropped after it; the driver owns the output file.
//
// The progress object stands for the writing dialog: its bar and its cancel
// flag, which Cancel sets and the writers poll (through classify() and
// cancelled()).
class WriterContext {
public:
    WriterContext(const VariableList& list, CodebookStore& store, const ProjectSpec& project,
                  const Settings& settings, Ui& ui, Progress& progress, LabelChoice labelChoice);
    WriterContext(const WriterContext&) = delete;
    WriterContext& operator=(const WriterContext&) = delete;

    const VariableList& list;
    CodebookStore& store;
    const ProjectSpec& project;
    const Settings& settings;
    Ui& ui;
    Progress& progressSink;

    LabelChoice labelChoice;
    // The Stata and R programs also match the data sets of the data files
    // into one by their identifier.
    bool merge = false;
    // The project's metadata (nullptr: none), and whether the programs that
    // can hold them name the variables by its long names.
    const ProjectMetadata* metadata = nullptr;
    bool longNames = true;

    // Variable numbers of the tagged variables, ascending.
    std::vector<std::uint32_t> tagged;
    // Data files for which a program writer produced a productive step.
    std::vector<std::uint32_t> writtenFiles;
    // The SAS value formats given so far: by variable number, and every name
    // taken ("$" before a character format's).
    std::map<std::uint32_t, std::string> formatNames;
    std::set<std::string> takenFormatNames;
    // The open output file.
    TextOutput* output = nullptr;
    // The language of the program being written, for programName(); set by
    // the program writer.
    ProgramLanguage language = ProgramLanguage::Sas;

    // Advances the bar by `step` and makes one pump step, so a Cancel click
    // is seen while a writer runs.
    void progress(long step);

    bool cancelled() const;
    void setCancelled();

    TextOutput& out() { return *output; }

    // The name variable n of data file f goes by in the program: its
    // codebook name (blanks at the ends trimmed) when that is valid in the
    // language, not one of its reserved words and not the name of an earlier
    // variable of the file or of its identifier (ID); otherwise one made so
    // by identifierFor(). The same variable always gets the same name.
    const std::string& programName(std::uint32_t f, std::uint32_t n, std::string_view codebookName);

private:
    std::map<std::uint32_t, std::string> programNames_;
    std::map<std::uint32_t, std::vector<std::string>> takenNames_; // by data file
};

// The classification step: position `i` (0-based) of the tagged list against
// data file `f` whose first variable is `first`. A variable below `first` is
// passed over without reading its record; otherwise the record is read
// (readRecord shows its own message when that fails) and compared by its
// file number. A position beyond the list is Past.
Classification classify(WriterContext& context, std::size_t i, std::uint32_t f, std::uint32_t first);

// Walks the tagged list from position 0 for data file f and calls
// member(record, n) for each member variable with a copy of its record and
// its number. Returns false when the walk ended with Abort.
template <typename Member>
bool forEachMember(WriterContext& context, std::uint32_t f, std::uint32_t first, Member&& member);

// The output file name from the path the save dialog returned: white space
// stripped at both ends; a path with no period anywhere gets the output's
// default extension (".SAS", ...).
std::string outputFileName(std::string_view chosenPath, std::string_view defaultExtension);

// The lines the generated-files dialog shows: 88 hyphens, "Following output
// files have been generated", 88 hyphens, then `files` in order.
std::vector<std::string> generatedFilesLines(const std::vector<std::string>& files);

template <typename Member>
bool forEachMember(WriterContext& context, std::uint32_t f, std::uint32_t first, Member&& member)
{
    return forEachTaggedMember(context.tagged, f, first, context.store, [&] { return context.cancelled(); },
                               [&](const VariableRecord& record, std::uint32_t n) {
                                   member(record, n);
                                   return true;
                               });
}

} // namespace qavn
