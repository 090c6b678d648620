// bench_export: the Access data export of 200 columns from a raw data file of
// more than 1 GB, against `cut -c` with the same character ranges and against
// `cat`, all with a warm page cache and output to /dev/null; then the export
// into a real file, the CPU time of the export and of `cut`, and the peak
// resident memory of the whole program.
//
// Usage: bench_export BENCH_DATA_DIR [--export-only]
// The project (a small codebook and DATA\BIG.DAT) is made once under
// BENCH_DATA_DIR/access1g.

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

// Least CPU time of `runs` calls of `work`, counted for `who`.
template <typename Work>
double leastCpu(int who, int runs, Work&& work)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const double start = cpuSeconds(who);
        work();
        best = std::min(best, cpuSeconds(who) - start);
    }
    return best;
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

    // The export writes DATA_BIG.txt into the output directory: once into
    // /dev/null through a link, as `cut` is measured, once into a file.
    const fs::path nullOut = dir / "out-null";
    const fs::path fileOut = dir / "out-file";
    fs::create_directories(nullOut);
    fs::create_directories(fileOut);
    std::error_code ec;
    fs::remove(nullOut / "DATA_BIG.txt", ec);
    fs::create_symlink("/dev/null", nullOut / "DATA_BIG.txt");

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

    // --export-only: one export into /dev/null, for a profiler.
    if (argc > 2 && std::string(argv[2]) == "--export-only") {
        exportTo(nullOut);
        return 0;
    }

    std::string ranges;
    for (int v = 0; v < variableCount; ++v) {
        const Field field = fieldOf(v);
        if (v)
            ranges += ',';
        ranges += columnsOf(field);
    }
    const std::string cutNull = "cut -c " + ranges + " " + shellQuote(rawFile.string()) + " > /dev/null";
    const std::string cutFile =
        "cut -c " + ranges + " " + shellQuote(rawFile.string()) + " > " + shellQuote((fileOut / "cut.txt").string());
    const std::string cat = "cat " + shellQuote(rawFile.string()) + " > /dev/null";

    run(cat); // warm the page cache
    const double exportNull = bestOf(3, [&] { exportTo(nullOut); });
    const double cutNullSeconds = bestOf(2, [&] { run(cutNull); });
    const double catSeconds = bestOf(3, [&] { run(cat); });
    const double exportFile = bestOf(2, [&] { exportTo(fileOut); });
    const double cutFileSeconds = bestOf(2, [&] { run(cutFile); });
    // On a busy machine wall time also counts the waits for a processor;
    // the CPU time each side used is steadier.
    const double exportCpu = leastCpu(RUSAGE_SELF, 2, [&] { exportTo(nullOut); });
    const double cutCpu = leastCpu(RUSAGE_CHILDREN, 2, [&] { run(cutNull); });
    const long rssKb = peakRssKb();
    fs::remove(fileOut / "DATA_BIG.txt", ec);
    fs::remove(fileOut / "cut.txt", ec);

    auto rate = [&](double seconds) {
        char text[32];
        std::snprintf(text, sizeof text, "%ld MB/s", static_cast<long>(megabytes / seconds));
        return std::string(text);
    };
    char size[32];
    std::snprintf(size, sizeof size, "%.2f GB", gigabytes);
    auto named = [](std::string text, const std::string& more, const char* end) { return text.append(more).append(end); };
    row(named("access export, 200 columns of ", size, " to /dev/null (") + rate(exportNull) + ")", exportNull,
        named("cut -c same ranges (", rate(cutNullSeconds), ")"), cutNullSeconds);
    row("access export, 200 columns to /dev/null", exportNull, named("cat > /dev/null (", rate(catSeconds), ")"),
        catSeconds);
    row(named("access export, 200 columns to a file (", rate(exportFile), ")"), exportFile,
        named("cut -c same ranges > file (", rate(cutFileSeconds), ")"), cutFileSeconds);
    row("access export, 200 columns to /dev/null, CPU time", exportCpu, "cut -c same ranges, CPU time", cutCpu);
    row("access export, peak RSS of the program (MB)", static_cast<double>(rssKb) / 1024.0, "-", 0);
    return 0;
}
