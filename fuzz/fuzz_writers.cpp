// The writers of kinds 1 to 5 over a fuzzed codebook, every variable tagged,
// into a temporary output directory, with each reserved-code choice of the
// program kinds.

#include "FuzzSupport.h"

#include "project/ProjectSpec.h"
#include "project/Settings.h"
#include "codebook/CodebookStore.h"
#include "catalogue/Loader.h"
#include "platform/Progress.h"
#include "platform/ScriptedUi.h"
#include "catalogue/VariableList.h"
#include "writers/WriterDriver.h"

#include <filesystem>

using namespace qavn;
namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Input: index file, text file, then the option byte (which rows are
    // tagged and which choice the program kinds get).
    const auto parts = fuzz::splitInput(data, size, 3);
    const std::uint8_t options = parts[2].empty() ? 0 : static_cast<std::uint8_t>(parts[2][0]);
    const std::string resourceDir = fuzz::writeCodebook(parts[0], parts[1]);
    const fs::path outDir = fuzz::freshDir("out");

    ScriptedUi ui;
    CodebookStore store(ui);
    if (!store.open(resourceDir, "FZ") || store.recordCount() > 512)
        return 0;
    ProjectSpec project;
    project.filePrefix = "FZ";
    project.dataSetTitle = "FUZZED STUDY";
    project.sasHeader = "* header;";
    project.spssHeader = "* header.";
    // Two data files, so that file numbers 0 and above 2 both occur.
    project.dataFiles.resize(2);
    project.dataFiles[0] = {2, "1-5", "DATA\\ONE.DAT", "ONE"};
    project.dataFiles[1] = {1, "0", "DATA\\TWO.DAT", "TWO"};
    VariableList list(VariableList::Mode::Main, &ui);
    Progress loading;
    if (!loadVariables(store, project, list, ui, loading))
        return 0;
    for (std::uint32_t r = 1; r <= list.rowCount(); ++r)
        if ((options & 0x80) == 0 || r % 2 == 1)
            list.tagRow(r);

    Settings settings;
    settings.resourceDir = resourceDir;
    settings.outputDir = outDir.string();
    settings.cdromDrive = 'F';
    const WriterServices services{list, store, project, settings, ui};
    const int choice = 11 + (options & 3) % 3;
    for (int kind = 1; kind <= 5; ++kind) {
        WriterRequest request{kind, kind <= 3 ? choice : 0, (outDir / ("OUT" + std::to_string(kind))).string()};
        Progress progress;
        const auto result = runWriterDriver(services, request, progress);
        fuzz::require(result.status != OutputStatus::Failed, "a writable output file is written");
        fuzz::require(fs::exists(result.fileName), "the output file exists");
    }
    return 0;
}
