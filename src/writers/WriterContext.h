#pragma once

#include "codebook/Classification.h"

#include "codebook/CodebookStore.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qavn {

class Progress;
class TextOutput;
class Ui;
class VariableList;
struct ProjectSpec;
struct Settings;

// The six outputs of File > Output, numbered as the menu commands pass them.
enum class OutputKind : int {
    Sas = 1,
    SpssDos = 2,
    SpssWin = 3,
    Tag = 4,
    CodeText = 5,
    AccessDb = 6,
};

// Which variables get value labels, as the Confirmation dialog answers it.
// None is the reserved-code choice of the kinds that do not ask.
namespace choice {
constexpr int none = 0;
constexpr int categorical = 11;
constexpr int all = 12;
constexpr int noReserved = 13; // the "None" button: no labels for reserved codes
} // namespace choice

// The writing dialog's templates: 121 carries a progress bar, 145 is the
// record counter of the data export.
constexpr int writingTemplate = 121;
constexpr int exportTemplate = 145;

// What the menus and dialogs need to know of a kind.
struct OutputKindInfo {
    OutputKind kind;
    std::string_view name;             // "SAS", "SPSS DOS", ...
    std::string_view filter;           // file dialog filter, e.g. "SAS Code|*.sas|"
    std::string_view defaultExtension; // ".SAS"; empty for the data export
    bool asksReservedCodes;            // whether the Confirmation dialog is shown
    int dialogTemplate;                // 121 or 145
};
// The kind's description; nullptr outside 1..6.
const OutputKindInfo* outputKindInfo(int kind);

inline constexpr std::string_view noTaggedItemMessage = "No Tagged Item !\nPlease Tag Items First.";
inline constexpr std::string_view writingDialogText = "Writing Data, Please Wait...";
inline constexpr long writingProgressRange = 300;

// One output run: what the writers read (catalogue, codebook, project,
// settings), what they are told (kind, reserved-code choice), the tagged
// variables and the file they write to. Built by the driver for one run and
// dropped after it; the driver owns the output file.
//
// The progress object stands for the writing dialog: its bar and its cancel
// flag, which Cancel sets and the writers poll (through classify() and
// cancelled()).
class WriterContext {
public:
    WriterContext(const VariableList& list, CodebookStore& store, const ProjectSpec& project,
                  const Settings& settings, Ui& ui, Progress& progress, int kind, int reservedChoice);
    WriterContext(const WriterContext&) = delete;
    WriterContext& operator=(const WriterContext&) = delete;

    const VariableList& list;
    CodebookStore& store;
    const ProjectSpec& project;
    const Settings& settings;
    Ui& ui;
    Progress& progressSink;

    int kind;
    int reservedChoice;
    int dialogTemplate; // 145 for the data export, 121 otherwise

    // Variable numbers of the tagged variables, ascending.
    std::vector<std::uint32_t> tagged;
    // Data files for which a program writer produced a productive step.
    std::vector<std::uint32_t> writtenFiles;
    // Lines for the generated-files dialog, filled by the data export.
    std::vector<std::string> generatedFiles;
    // The open output file; nullptr for the data export.
    TextOutput* output = nullptr;

    // Advances the bar by `step` and makes one pump step, so a Cancel click
    // is seen while a writer runs. Does nothing at all in the export's
    // dialog (template 145), which shows its own counter.
    void progress(long step);

    bool cancelled() const;
    void setCancelled();

    TextOutput& out() { return *output; }
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
// stripped at both ends; a path with no period anywhere gets the kind's
// default extension in upper case.
std::string outputFileName(std::string_view chosenPath, int kind);

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
