// The writers of every one-file output over a fuzzed codebook, every
// variable tagged, into a temporary output directory, with each label choice
// of the outputs that ask for one.

#include "FuzzSupport.h"

#include "project/ProjectSpec.h"
#include "project/Settings.h"
#include "codebook/CodebookStore.h"
#include "catalogue/Loader.h"
#include "platform/Progress.h"
#include "platform/ScriptedUi.h"
#include "catalogue/VariableList.h"
#include "outputs/OutputFormats.h"

#include <cstdio>
#include <filesystem>
#include <utility>
#include <vector>

using namespace qavn;
namespace fs = std::filesystem;

namespace {

bool isProgram(OutputKind kind)
{
    return kind == OutputKind::Sas || kind == OutputKind::SpssDos || kind == OutputKind::SpssWin ||
           kind == OutputKind::PsppProgram || kind == OutputKind::StataProgram || kind == OutputKind::RScript;
}

// Whether the file's only control bytes are CR LF line ends: a line break
// or another control character from a label would let its text begin a
// line of the program.
bool onlyWholeLineEnds(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    bool whole = true;
    int previous = 0;
    for (int c; whole && (c = std::getc(file)) != EOF; previous = c) {
        if (previous == '\r')
            whole = c == '\n';
        else if ((c < 32 && c != '\r') || c == 127)
            whole = false;
    }
    std::fclose(file);
    return whole && previous != '\r';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Input: index file, text file, then the option byte (which rows are
    // tagged and which label choice the program outputs get).
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
    const std::vector<std::pair<fs::path, fuzz::Snapshot>> inputs{{resourceDir, fuzz::snapshot(resourceDir)}};
    constexpr LabelChoice choices[] = {LabelChoice::Categorical, LabelChoice::All, LabelChoice::NoReservedCodes};
    const LabelChoice choice = choices[(options & 3) % 3];
    for (const OutputFormat& format : outputFormats()) {
        if (format.files != OutputFiles::One)
            continue;
        const OutputJob job{choice, (outDir / ("OUT-" + std::string(format.batchName))).string()};
        Progress progress;
        const auto result = writeOutput(format, services, job, progress);
        if (result.status == OutputStatus::Failed && !ui.messages().empty())
            std::fprintf(stderr, "%s: %s\n", std::string(format.batchName).c_str(),
                         ui.messages().back().text.c_str());
        fuzz::require(result.status != OutputStatus::Failed, "a writable output file is written");
        // An output cut from the raw data stops without a file when the data
        // cannot be read (the fuzzed project has none); every other run leaves one.
        const bool written = result.status == OutputStatus::Stopped || fs::exists(result.fileName);
        if (!written)
            std::fprintf(stderr, "%s: no file at %s\n", std::string(format.batchName).c_str(),
                         result.fileName.c_str());
        fuzz::require(written, "the output file exists");
        if (result.status == OutputStatus::Written && isProgram(format.kind))
            fuzz::require(onlyWholeLineEnds(result.fileName), "no text breaks a program's lines");
    }
    fuzz::requireOnlyOutputWritten(inputs, outDir);
    return 0;
}
