// bench_verify: the check of 200 categorical variables against the synthetic
// raw data (about 1 GB in three data files) beside `cut -c` of each
// variable's columns into `sort | uniq -c`, one pipeline per variable (what
// a user would run to count the codes by hand), both with a warm page cache;
// then the CPU time and the peak resident memory of the check.
//
// Usage: bench_verify BENCH_DATA_DIR [MEGABYTES] [--check-only]
// The project (600 variables, enough cases for MEGABYTES of raw data,
// default 1024) is made once with qavn-mkproject under
// BENCH_DATA_DIR/verify<MEGABYTES>, after a small one of the same variables
// (verify-layout) that gives the bytes a case takes.

#include "BenchSupport.h"

#include "catalogue/Loader.h"
#include "catalogue/VariableList.h"
#include "codebook/OpenProject.h"
#include "export/AccessExport.h"
#include "project/ProjectPaths.h"
#include "platform/HostPath.h"
#include "platform/Progress.h"
#include "platform/Ui.h"
#include "verify/CodebookVerify.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace qavn;

namespace {

constexpr int variableCount = 600;
constexpr int checkedVariables = 200;
constexpr unsigned layoutCases = 64;

} // namespace

int main(int argc, char** argv)
{
    const fs::path benchData = fs::absolute(argc > 1 ? fs::path(argv[1]) : fs::path("build/bench-data"));
    const long megabytes = argc > 2 ? std::atol(argv[2]) : 1024;
    const bool checkOnly = argc > 3 && std::string(argv[3]) == "--check-only";
    if (megabytes < 1) {
        std::fprintf(stderr, "usage: bench_verify BENCH_DATA_DIR [MEGABYTES] [--check-only]\n");
        return 2;
    }
    fs::create_directories(benchData);
    // The bytes a case takes follow from the variables alone: a small project
    // of the same variables gives them.
    const fs::path layout = bench::syntheticProject(benchData, "verify-layout", "VER", variableCount, layoutCases, 7);
    std::uintmax_t layoutBytes = 0;
    for (const auto& entry : fs::directory_iterator(layout / "d" / "DATA"))
        layoutBytes += entry.file_size();
    const auto cases = static_cast<unsigned>(static_cast<double>(megabytes) * (1 << 20) * layoutCases /
                                             static_cast<double>(layoutBytes)) + 1;
    const fs::path dir = bench::syntheticProject(benchData, "verify" + std::to_string(megabytes), "VER",
                                                 variableCount, cases, 7);

    if (::chdir(dir.c_str()) != 0) {
        std::perror(dir.c_str());
        return 1;
    }
    ::setenv("QAVN_DRIVE_C", (dir / "c").c_str(), 1);
    ::setenv("QAVN_DRIVE_D", (dir / "d").c_str(), 1);
    bench::QuietUi ui;
    OpenProject session(ui);
    VariableList list(VariableList::Mode::Main, &ui);
    Progress loading;
    if (!session.start("P=VER", [](Settings&) {}) ||
        !loadVariables(session.store, session.project, list, ui, loading)) {
        std::fprintf(stderr, "cannot open the project in %s\n", dir.c_str());
        return 1;
    }

    // 200 categorical variables, the first ones of each data file in equal
    // shares (so that every file is read), and the pipelines that count their
    // codes by hand.
    std::vector<std::uint32_t> variables;
    std::string pipelines;
    std::uintmax_t bytes = 0;
    const std::size_t fileCount = session.project.dataFiles.size();
    std::vector<bool> fileUsed(fileCount + 1, false);
    std::vector<std::size_t> taken(fileCount + 1, 0);
    for (std::uint32_t k = 1; k <= session.store.recordCount() && variables.size() < checkedVariables; ++k) {
        const VariableRecord record = session.store.recordAt(k);
        if (record.typeCode != ' ' || record.categoryLineCount == 0 || record.fileNumber > fileCount)
            continue;
        const std::size_t share = (checkedVariables + record.fileNumber - 1) / fileCount;
        if (taken[record.fileNumber] >= share)
            continue;
        ++taken[record.fileNumber];
        variables.push_back(k);
        const ColumnRange range = parseColumnLocation(record.locationText());
        const DataFileEntry& file = *session.project.dataFile(record.fileNumber);
        const fs::path raw = toHostPath(rawDataName(session.settings, file));
        if (!fileUsed[record.fileNumber]) {
            fileUsed[record.fileNumber] = true;
            bytes += fs::file_size(raw);
        }
        // Every line is a case (checked below), so counting the lines' fields
        // counts the cases' values.
        pipelines += "cut -c " + std::to_string(range.first) + "-" + std::to_string(range.last) + " " +
                     bench::shellQuote(raw.string()) + " | sort | uniq -c > /dev/null\n";
    }
    if (variables.size() < checkedVariables) {
        std::fprintf(stderr, "the project holds only %zu categorical variables\n", variables.size());
        return 1;
    }
    for (std::uint32_t f = 1; f <= session.project.dataFiles.size(); ++f)
        if (session.project.dataFile(f)->linesPerCase != 1) {
            std::fprintf(stderr, "data file %u has more than one line a case\n", f);
            return 1;
        }
    std::printf("raw data read: %.1f MB, %u cases a file, %d variables checked\n",
                static_cast<double>(bytes) / (1 << 20), cases, checkedVariables);

    // Warm the page cache, then the check, best of three.
    bench::run("cat " + bench::shellQuote((dir / "d" / "DATA").string()) + "/* > /dev/null");
    bool agrees = true;
    std::size_t categories = 0;
    const double cpuBefore = bench::cpuSeconds();
    const double verifySeconds = bench::bestOf(3, [&] {
        Progress progress;
        auto result = verifyCodebook(variables, session.store, session.project, session.settings, ui, progress);
        if (!result) {
            std::fprintf(stderr, "%s\n", describe(result.error()).c_str());
            std::exit(1);
        }
        agrees = result.value().agrees();
        categories = result.value().categoryLines;
    });
    const double cpuVerify = (bench::cpuSeconds() - cpuBefore) / 3;
    if (!agrees) {
        std::fprintf(stderr, "the synthetic codebook does not agree with its data\n");
        return 1;
    }

    if (checkOnly) {
        std::printf("check: %.3f s wall, %.3f s CPU\n", verifySeconds, cpuVerify);
        return 0;
    }

    const fs::path script = benchData / "verify-pipelines.sh";
    {
        std::FILE* out = std::fopen(script.c_str(), "w");
        if (!out) {
            std::perror(script.c_str());
            return 1;
        }
        std::fputs(pipelines.c_str(), out);
        std::fclose(out);
    }
    const double pipelineSeconds =
        bench::bestOf(1, [&] { bench::run("LC_ALL=C sh " + bench::shellQuote(script.string())); });
    fs::remove(script);

    std::printf("check: %.3f s wall, %.3f s CPU, %zu category lines agree; pipelines: %.3f s; ratio %.3f\n",
                verifySeconds, cpuVerify, categories, pipelineSeconds, verifySeconds / pipelineSeconds);
    std::printf("peak resident memory of bench_verify: %.1f MB\n", static_cast<double>(bench::peakRssKb()) / 1024);
    bench::row("verify 200 categorical variables (" + std::to_string(megabytes) + " MB)", verifySeconds,
               "cut -c | sort | uniq -c per variable", pipelineSeconds);
    return verifySeconds < pipelineSeconds ? 0 : 1;
}
