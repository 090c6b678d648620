// bench_tabulate: a weighted crosstab of two categorical variables counted
// from the synthetic raw data (about 1 GB in three data files; the table
// reads the one file that holds both) beside `cut -c` of the same two
// columns to /dev/null, both with a warm page cache; then the peak resident
// memory, which grows with the distinct cells, not the cases.
//
// Usage: bench_tabulate BENCH_DATA_DIR [MEGABYTES]
// The project is bench_verify's (600 variables, enough cases for MEGABYTES
// of raw data, default 1024), made once under BENCH_DATA_DIR/verify<MEGABYTES>.

#include "BenchSupport.h"

#include "catalogue/Loader.h"
#include "catalogue/VariableList.h"
#include "codebook/OpenProject.h"
#include "export/AccessExport.h"
#include "platform/HostPath.h"
#include "platform/Progress.h"
#include "project/ProjectPaths.h"
#include "tables/Tabulation.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace qavn;

namespace {

constexpr int variableCount = 600;
constexpr unsigned layoutCases = 64;

} // namespace

int main(int argc, char** argv)
{
    const fs::path benchData = fs::absolute(argc > 1 ? fs::path(argv[1]) : fs::path("build/bench-data"));
    const long megabytes = argc > 2 ? std::atol(argv[2]) : 1024;
    if (megabytes < 1) {
        std::fprintf(stderr, "usage: bench_tabulate BENCH_DATA_DIR [MEGABYTES]\n");
        return 2;
    }
    fs::create_directories(benchData);
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

    // The first two categorical variables and the first other numeric one
    // (the weight) of the largest data file.
    std::uint32_t largest = 1;
    std::uintmax_t largestBytes = 0;
    for (std::uint32_t f = 1; f <= session.project.dataFiles.size(); ++f) {
        const auto size = fs::file_size(toHostPath(rawDataName(session.settings, *session.project.dataFile(f))));
        if (size > largestBytes) {
            largest = f;
            largestBytes = size;
        }
    }
    TableRequest request;
    for (std::uint32_t k = 1; k <= session.store.recordCount(); ++k) {
        const VariableRecord record = session.store.recordAt(k);
        if (record.fileNumber != largest || record.typeCode == 'A')
            continue;
        if (record.categoryLineCount > 0 && record.typeCode == ' ' && request.column == 0)
            (request.row == 0 ? request.row : request.column) = k;
        else if (record.categoryLineCount == 0 && request.weight == 0)
            request.weight = k;
    }
    if (request.column == 0) {
        std::fprintf(stderr, "data file %u holds fewer than two categorical variables\n", largest);
        return 1;
    }
    const fs::path raw = toHostPath(rawDataName(session.settings, *session.project.dataFile(largest)));
    std::string columns;
    for (const std::uint32_t k : {request.row, request.column}) {
        const ColumnRange range = parseColumnLocation(session.store.recordAt(k).locationText());
        columns += (columns.empty() ? "" : ",") + std::to_string(range.first) + "-" + std::to_string(range.last);
    }
    if (session.project.dataFile(largest)->linesPerCase != 1) {
        std::fprintf(stderr, "data file %u has more than one line a case\n", largest);
        return 1;
    }
    std::printf("raw data read: %.1f MB (data file %u), variables %u x %u weighted by %u\n",
                static_cast<double>(largestBytes) / (1 << 20), largest, request.row, request.column, request.weight);

    bench::run("cat " + bench::shellQuote(raw.string()) + " > /dev/null");
    std::size_t cells = 0;
    std::uint64_t counted = 0;
    const double cpuBefore = bench::cpuSeconds();
    const double tableSeconds = bench::bestOf(3, [&] {
        Progress progress;
        auto result = tabulate(request, session.store, session.project, session.settings,
                               session.metadata ? &*session.metadata : nullptr, ui, progress);
        if (!result) {
            std::fprintf(stderr, "%s\n", describe(result.error()).c_str());
            std::exit(1);
        }
        cells = result.value().cells.size();
        counted = result.value().cases;
    });
    const double cpuTable = (bench::cpuSeconds() - cpuBefore) / 3;
    const double cutSeconds = bench::bestOf(3, [&] {
        bench::run("LC_ALL=C cut -c " + columns + " " + bench::shellQuote(raw.string()) + " > /dev/null");
    });
    std::printf("table: %.3f s wall, %.3f s CPU, %llu cases, %zu cells; cut -c %s: %.3f s; ratio %.3f\n",
                tableSeconds, cpuTable, static_cast<unsigned long long>(counted), cells, columns.c_str(), cutSeconds,
                tableSeconds / cutSeconds);
    std::printf("peak resident memory after the one-file table: %.1f MB\n",
                static_cast<double>(bench::peakRssKb()) / 1024);
    bench::row("weighted crosstab of two variables (" + std::to_string(largestBytes >> 20) + " MB file)",
               tableSeconds, "cut -c of the two columns", cutSeconds);

    // A pair across two data files, matched by the identifier: the row
    // variable of the largest file with the first categorical variable of
    // another file that has an identifier.
    TableRequest across = request;
    across.weight = 0;
    across.column = 0;
    for (std::uint32_t k = 1; k <= session.store.recordCount() && across.column == 0; ++k) {
        const VariableRecord record = session.store.recordAt(k);
        const DataFileEntry* file = session.project.dataFile(record.fileNumber);
        if (record.fileNumber != largest && file && file->linesPerCase == 1 && record.categoryLineCount > 0 &&
            record.typeCode == ' ' && file->hasIdentifier())
            across.column = k;
    }
    if (across.column == 0) {
        std::printf("no other data file with an identifier: no pair across files\n");
        return 0;
    }
    const VariableRecord other = session.store.recordAt(across.column);
    const fs::path otherRaw = toHostPath(rawDataName(session.settings, *session.project.dataFile(other.fileNumber)));
    const ColumnRange rowRange = parseColumnLocation(session.store.recordAt(across.row).locationText());
    const ColumnRange otherRange = parseColumnLocation(other.locationText());
    bench::run("cat " + bench::shellQuote(otherRaw.string()) + " > /dev/null");
    const double acrossSeconds = bench::bestOf(3, [&] {
        Progress progress;
        auto result = tabulate(across, session.store, session.project, session.settings,
                               session.metadata ? &*session.metadata : nullptr, ui, progress);
        if (!result) {
            std::fprintf(stderr, "%s\n", describe(result.error()).c_str());
            std::exit(1);
        }
        cells = result.value().cells.size();
    });
    const double cutBoth = bench::bestOf(3, [&] {
        bench::run("LC_ALL=C cut -c " + std::to_string(rowRange.first) + "-" + std::to_string(rowRange.last) + " " +
                   bench::shellQuote(raw.string()) + " > /dev/null; LC_ALL=C cut -c " +
                   std::to_string(otherRange.first) + "-" + std::to_string(otherRange.last) + " " +
                   bench::shellQuote(otherRaw.string()) + " > /dev/null");
    });
    std::printf("pair across data files %u and %u: %.3f s, %zu cells; cut -c of each column: %.3f s; ratio %.3f\n",
                largest, other.fileNumber, acrossSeconds, cells, cutBoth, acrossSeconds / cutBoth);
    std::printf("peak resident memory of bench_tabulate: %.1f MB\n", static_cast<double>(bench::peakRssKb()) / 1024);
    bench::row("crosstab of a pair across two data files", acrossSeconds, "cut -c of each column", cutBoth);
    return 0;
}
