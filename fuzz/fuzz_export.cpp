// The data export and the Parquet output over a fuzzed codebook (the
// locations come from its records), fuzzed raw data and a fuzzed identifier
// location and case length. Every part file must land in the output
// directory and nowhere else, and every Parquet file written must read back
// as a sound file.

#include "FuzzSupport.h"
#include "ParquetReadBack.h"

#include "project/ProjectSpec.h"
#include "project/Settings.h"
#include "codebook/CodebookStore.h"
#include "catalogue/Loader.h"
#include "catalogue/VariableList.h"
#include "export/AccessExport.h"
#include "outputs/OutputFormats.h"
#include "platform/Progress.h"
#include "platform/ScriptedUi.h"
#include "platform/Strings.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>
#include <vector>

using namespace qavn;
namespace fs = std::filesystem;

namespace {

std::size_t entriesIn(const fs::path& dir)
{
    std::size_t n = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        (void)e;
        ++n;
    }
    return n;
}

// Whether `name` is outputDir + "\" + a plain file name.
bool insideOutputDir(const std::string& name, const std::string& outputDir)
{
    if (name.compare(0, outputDir.size() + 1, outputDir + "\\") != 0)
        return false;
    const std::string_view rest = std::string_view(name).substr(outputDir.size() + 1);
    return !rest.empty() && rest.find_first_of("\\/:") == std::string_view::npos && rest != "." && rest != "..";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Input: index file, text file, raw data, then the data file's settings:
    // lines per case, identifier location and a second data path.
    const auto parts = fuzz::splitInput(data, size, 4);
    std::vector<std::string> params;
    for (std::string_view rest = parts[3]; params.size() < 3;) {
        const auto end = rest.find('\n');
        params.emplace_back(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }

    const std::string resourceDir = fuzz::writeCodebook(parts[0], parts[1]);
    const fs::path driveDir = fuzz::freshDir("drive");
    fs::create_directories(driveDir / "DATA");
    fuzz::writeBytes(driveDir / "DATA" / "RAW.DAT", parts[2]);
    const fs::path outDir = fuzz::freshDir("out");
    static const bool mapped = setenv("QAVN_DRIVE_F", driveDir.c_str(), 1) == 0;
    (void)mapped;

    ScriptedUi ui;
    CodebookStore store(ui);
    if (!store.open(resourceDir, "FZ") || store.recordCount() > 2000)
        return 0;

    ProjectSpec project;
    project.filePrefix = "FZ";
    project.dataFiles.resize(2);
    project.dataFiles[0].linesPerCase = static_cast<std::int32_t>(leadingInteger(params[0]));
    project.dataFiles[0].idLocation = params[1].substr(0, ProjectSpec::maxIdLocation);
    project.dataFiles[0].dataPath = "DATA\\RAW.DAT";
    project.dataFiles[1].linesPerCase = 1;
    project.dataFiles[1].idLocation = "0";
    project.dataFiles[1].dataPath = params[2].substr(0, ProjectSpec::maxDataPath);
    for (auto& f : project.dataFiles)
        f.fileTitle = fileTitleOf(f.dataPath);

    Settings settings;
    settings.resourceDir = resourceDir;
    settings.outputDir = outDir.string();
    settings.cdromDrive = 'F';

    for (int part = 0; part < AccessLimits::maxParts; part += 7)
        fuzz::require(insideOutputDir(accessPartName(settings.outputDir, params[2], part, 30), settings.outputDir),
                      "a part name stays in the output directory");

    std::vector<std::uint32_t> tagged;
    for (std::uint32_t k = 1; k <= store.recordCount(); ++k)
        tagged.push_back(k);
    const std::vector<std::pair<fs::path, fuzz::Snapshot>> inputs{{resourceDir, fuzz::snapshot(resourceDir)},
                                                                  {driveDir, fuzz::snapshot(driveDir)}};
    Progress progress;
    const auto result = runAccessExport(tagged, store, project, settings, ui, progress);
    for (std::size_t i = 1; i < result.generatedFiles.size(); ++i)
        fuzz::require(insideOutputDir(result.generatedFiles[i], settings.outputDir),
                      "a generated file lies in the output directory");

    // The Parquet output of every variable, with the reserved codes kept or
    // emptied by the last byte of the raw data.
    VariableList list(VariableList::Mode::Main, &ui);
    Progress loading;
    if (loadVariables(store, project, list, ui, loading)) {
        for (std::uint32_t r = 1; r <= list.rowCount(); ++r)
            list.tagRow(r);
        const WriterServices services{list, store, project, settings, ui};
        OutputJob job{LabelChoice::NotAsked, outDir.string()};
        if (!parts[2].empty() && (parts[2].back() & 1))
            job.reservedCodes = ReservedCodes::Empty;
        Progress writing;
        // A data path the table driver gives no name is refused, as for
        // every table output; whatever was written must read back.
        const auto written = writeOutput(outputFormat(OutputKind::Parquet), services, job, writing);
        for (const std::string& file : written.generatedHostFiles) {
            if (!file.ends_with(".parquet"))
                continue;
            test::ParquetReadBack back;
            std::ifstream in(file, std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            const std::string fault = test::readParquet(bytes, back);
            if (!fault.empty())
                std::fprintf(stderr, "%s: %s\n", file.c_str(), fault.c_str());
            fuzz::require(fault.empty(), "a Parquet file reads back");
        }
    }

    fuzz::require(entriesIn(driveDir) == 2, "nothing written beside the raw data");
    fuzz::require(entriesIn(resourceDir) == 2, "nothing written beside the codebook");
    fuzz::requireOnlyOutputWritten(inputs, outDir);
    return 0;
}
