// bench_export: the Access data export of 200 columns from a raw data file of
// more than 1 GB into a file, against `cut -c` with the same character
// ranges into a file, with a warm page cache: wall and CPU time (user and
// system), medians of runs taken in turn, each output removed and the disk
// synced before each run, so that no run pays for the writing of another.
// The export replaces its file through a temporary one and syncs it, so it
// cannot write to /dev/null; `cat` to /dev/null is the anchor of reading alone.
//
// Usage: bench_export BENCH_DATA_DIR [--export-only]
// The project (a small codebook and DATA\BIG.DAT) is made once under
// BENCH_DATA_DIR/access1g. --export-only runs one export, for a profiler and
// for the timed runs.

#include "BenchSupport.h"

#include "project/ProjectSpec.h"
#include "project/Settings.h"
#include "codebook/CodebookStore.h"
#include "codebook/CodebookWriter.h"
#include "export/AccessExport.h"
#include "platform/Progress.h"
#include "platform/Ui.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace fs = std::filesystem;
using namespace qavn;
using namespace qavn::bench;

namespace {

constexpr int variableCount = 200;
constexpr int slot = 5;                       // columns per variable in the line
constexpr int lineWidth = variableCount * slot; // characters before CR LF
constexpr std::uintmax_t targetBytes = std::uintmax_t{1100} << 20;
// Marks a project made whole with lines that vary (one made before, of
// repeated lines, is made again).
constexpr const char* dataMark = ".complete-varying";

// Variable v sits at 1 + 5v; widths cycle through 1 to 4, every fifth
// variable is alphanumeric and five wide.
Field fieldOf(int v)
{
    if (v % 5 == 4)
        return {1 + slot * v, 5, 'A'};
    return {1 + slot * v, 1 + v % 4, ' '};
}

// The project: codebook of 200 variables, one data file of one line per case.
void makeProject(const fs::path& dir)
{
    const fs::path temporary = dir.string() + ".tmp";
    fs::remove_all(temporary);
    fs::remove_all(dir);
    std::fprintf(stderr, "making %s (raw data of %.1f GB, once) ...\n", dir.c_str(), targetBytes / 1e9);

    writeText(temporary / "c" / "RES" / "QAVSPEC.BIG", "BIG EXPORT\r\nBIG\r\n1\r\n1 0 DATA\\BIG.DAT\r\n");
    CodebookWriter codebook;
    for (int v = 0; v < variableCount; ++v)
        codebook.add(fieldVariable(v, fieldOf(v)));
    writeCodebook(codebook, temporary / "c" / "RES", "BIG");

    // Every line drawn anew: numbers in the numeric fields, names with the
    // characters the export blanks in the alphanumeric ones.
    fs::create_directories(temporary / "d" / "DATA");
    std::FILE* raw = std::fopen((temporary / "d" / "DATA" / "BIG.DAT").c_str(), "wb");
    if (!raw) {
        std::perror("BIG.DAT");
        std::exit(1);
    }
    VaryingValues values(1);
    std::string line(lineWidth, ' ');
    line += "\r\n";
    std::string block;
    std::uintmax_t written = 0;
    while (written < targetBytes) {
        block.clear();
        for (int l = 0; l < 1024; ++l) {
            for (int v = 0; v < variableCount; ++v) {
                const Field field = fieldOf(v);
                values.fill(line.data() + field.first - 1, field.width, field.type);
            }
            block += line;
        }
        if (std::fwrite(block.data(), 1, block.size(), raw) != block.size()) {
            std::perror("BIG.DAT");
            std::exit(1);
        }
        written += block.size();
    }
    std::fclose(raw);
    writeText(temporary / dataMark, "");
    fs::rename(temporary, dir);
}

} // namespace

int main(int argc, char** argv)
{
    const fs::path benchData = argc > 1 ? fs::path(argv[1]) : fs::path("build/bench-data");
    const fs::path dir = fs::absolute(benchData / "access1g");
    if (!fs::exists(dir / dataMark))
        makeProject(dir);
    const fs::path rawFile = dir / "d" / "DATA" / "BIG.DAT";
    const double gigabytes = static_cast<double>(fs::file_size(rawFile)) / 1e9;
    const double megabytes = gigabytes * 1000;

    ::setenv("QAVN_DRIVE_D", (dir / "d").c_str(), 1);
    QuietUi ui;
    ProjectSpec project;
    project.filePrefix = "BIG";
    CodebookStore store(ui);
    const std::string resourceDir = (dir / "c" / "RES").string();
    if (!readProjectSpec(resourceDir, project, ui) || !store.open(resourceDir, project.filePrefix))
        return 1;
    project.dataFiles.front().firstRow = 1;
    std::vector<std::uint32_t> tagged;
    for (std::uint32_t v = 1; v <= store.recordCount(); ++v)
        tagged.push_back(v);

    // The export writes DATA_BIG.txt into the output directory.
    const fs::path fileOut = dir / "out-file";
    fs::create_directories(fileOut);
    std::error_code ec;
    fs::remove_all(dir / "out-null", ec); // of the runs before, which wrote a file there too

    auto exportTo = [&](const fs::path& outputDir) {
        Settings settings;
        settings.cdromDrive = 'D';
        settings.outputDir = outputDir.string();
        Progress progress;
        const AccessExportResult result = runAccessExport(tagged, store, project, settings, ui, progress);
        if (!result.completed || ui.messages != 0) {
            std::fprintf(stderr, "the export did not complete\n");
            std::exit(1);
        }
    };

    if (argc > 2 && std::string(argv[2]) == "--export-only") {
        exportTo(fileOut);
        return 0;
    }

    std::string ranges;
    for (int v = 0; v < variableCount; ++v) {
        const Field field = fieldOf(v);
        if (v)
            ranges += ',';
        ranges += columnsOf(field);
    }
    const fs::path exportFile = fileOut / "DATA_BIG.txt";
    const fs::path cutFile = fileOut / "cut.txt";
    const std::string exportCommand =
        shellQuote((programDir() / "bench_export").string()) + " " + shellQuote(fs::absolute(benchData).string()) + " --export-only";
    const std::string cutCommand =
        "cut -c " + ranges + " " + shellQuote(rawFile.string()) + " > " + shellQuote(cutFile.string());
    const std::string cat = "cat " + shellQuote(rawFile.string()) + " > /dev/null";

    run(cat); // warm the page cache
    const double catSeconds = bestOf(3, [&] { run(cat); });
    // A warming round, then three counted, each command in turn.
    std::vector<ChildRun> exports;
    std::vector<ChildRun> cuts;
    for (int round = 0; round <= 3; ++round) {
        for (const bool ours : {true, false}) {
            fs::remove(ours ? exportFile : cutFile, ec);
            run("sync");
            const ChildRun one = runChild(ours ? exportCommand : cutCommand);
            if (!one.ok) {
                std::fprintf(stderr, "failed: %s\n", ours ? "the export" : "cut");
                return 1;
            }
            if (round > 0)
                (ours ? exports : cuts).push_back(one);
        }
    }
    fs::remove(exportFile, ec);
    fs::remove(cutFile, ec);

    auto rate = [&](double seconds) {
        char text[32];
        std::snprintf(text, sizeof text, "%ld MB/s", static_cast<long>(megabytes / seconds));
        return std::string(text);
    };
    char size[32];
    std::snprintf(size, sizeof size, "%.2f GB", gigabytes);
    auto named = [](std::string text, const std::string& more, const char* end) { return text.append(more).append(end); };
    const double exportWall = medianWall(exports);
    const double cutWall = medianWall(cuts);
    row(named("access export, 200 columns of ", size, " to a file (") + rate(exportWall) + ")", exportWall,
        named("cut -c same ranges > file (", rate(cutWall), ")"), cutWall, peakMb(exports));
    row("access export, 200 columns to a file", exportWall, named("cat > /dev/null (", rate(catSeconds), ")"),
        catSeconds);
    row("access export, 200 columns to a file, CPU time", medianCpu(exports), "cut -c same ranges > file, CPU time",
        medianCpu(cuts), peakMb(exports));
    return 0;
}
