// bench_table_outputs: the CSV, SQLite and Parquet outputs of qavn-extract
// over 200 columns of a synthetic raw data file (every line drawn anew), each
// beside a plain tool doing the same work. The CSV files against `cut -c`
// with the same character ranges into a file and the SQLite database against
// `sqlite3 DB '.import --csv'` of the CSV file QAVN wrote: CPU time (user and
// system, children included), each command run in turn with its anchor three
// times and the medians taken, QAVN's peak resident memory beside them. The
// Parquet files against `cut -c` (wall time) and against DuckDB's COPY of
// that CSV file to Parquet (zstd, CPU time). Every command runs as a child
// process with a warm page cache.
//
// Usage: bench_table_outputs BENCH_DATA_DIR [MEGABYTES]
// The project (200 variables, one data file of MEGABYTES of raw data, 1,100
// by default) is made once under BENCH_DATA_DIR/tables<MEGABYTES>.

#include "BenchSupport.h"

#include "codebook/CodebookWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;
using namespace qavn;
using namespace qavn::bench;

namespace {

constexpr int variableCount = 200;
constexpr int slot = 5; // columns per variable in the line
// Marks a project made whole with lines that vary (one made before, of
// repeated lines, is made again).
constexpr const char* dataMark = ".complete-varying";

// Variable v sits at 1 + 5v; widths cycle through 1 to 4, every fifth
// variable is text five wide, every seventh has two implied decimals.
Field fieldOf(int v)
{
    if (v % 5 == 4)
        return {1 + slot * v, 5, 'A'};
    return {1 + slot * v, 1 + v % 4, v % 7 == 3 ? '2' : ' '};
}

void makeProject(const fs::path& dir, std::uintmax_t bytes)
{
    const fs::path temporary = dir.string() + ".tmp";
    fs::remove_all(temporary);
    fs::remove_all(dir);
    std::fprintf(stderr, "making %s (raw data of %.2f GB, once) ...\n", dir.c_str(), static_cast<double>(bytes) / 1e9);
    writeText(temporary / "TABQAV.CFG", "C:\\RES\r\nC:\\OUT\r\nD\r\n0\r\n0\r\n2.\r\n");
    writeText(temporary / "c" / "RES" / "QAVSPEC.TAB", "TABLE OUTPUTS\r\nTAB\r\n1\r\n1 1-5 DATA\\TAB.DAT\r\n");
    fs::create_directories(temporary / "c" / "OUT");
    CodebookWriter codebook;
    for (int v = 1; v < variableCount; ++v)
        codebook.add(fieldVariable(v, fieldOf(v)));
    writeCodebook(codebook, temporary / "c" / "RES", "TAB");

    // Every line drawn anew, with an identifier in columns 1-5: numbers in
    // the numeric fields, names with commas and quotes in the text ones.
    fs::create_directories(temporary / "d" / "DATA");
    std::FILE* raw = std::fopen((temporary / "d" / "DATA" / "TAB.DAT").c_str(), "wb");
    if (!raw) {
        std::perror("TAB.DAT");
        std::exit(1);
    }
    VaryingValues values(1);
    std::string line(static_cast<std::size_t>(variableCount * slot), ' ');
    line += "\r\n";
    std::uintmax_t written = 0;
    char id[8];
    for (unsigned long n = 0; written < bytes; ++n) {
        std::snprintf(id, sizeof id, "%05lu", n % 100000);
        line.replace(0, 5, id);
        for (int v = 1; v < variableCount; ++v) {
            const Field field = fieldOf(v);
            values.fill(line.data() + field.first - 1, field.width, field.type);
        }
        std::fwrite(line.data(), 1, line.size(), raw);
        written += line.size();
    }
    if (std::fclose(raw) != 0) {
        std::perror("TAB.DAT");
        std::exit(1);
    }
    writeText(temporary / dataMark, "");
    fs::rename(temporary, dir);
}

struct Measured {
    double seconds = 0;
    double peakMegabytes = 0;
    double cpuSeconds = 0; // user and system time of every thread and child
};

// Runs `command` with /bin/sh in `dir`; its wall time and peak resident memory.
Measured measure(const std::string& command, const fs::path& dir)
{
    const double start = seconds();
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0)
            _exit(127);
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
    const auto cpu = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return {seconds() - start, static_cast<double>(usage.ru_maxrss) / 1024.0, cpu(usage.ru_utime) + cpu(usage.ru_stime)};
}

// Best time of three runs, with the peak memory of the run.
Measured best(const std::string& command, const fs::path& dir, const std::string& before = {})
{
    Measured result{1e300, 0};
    for (int i = 0; i < 3; ++i) {
        if (!before.empty())
            run(before);
        const Measured m = measure(command, dir);
        if (m.seconds < result.seconds)
            result = m;
    }
    return result;
}

// One command of a pair: what runs first (emptying its output) and the
// command itself.
struct Command {
    std::string before;
    std::string command;
};

// The two commands run in turn, `rounds` times: the median CPU time of each
// (the machine's other load falls on both alike) and the largest peak
// memory of the first.
std::pair<Measured, Measured> interleaved(const Command& ours, const Command& anchor, const fs::path& dir,
                                          int rounds = 3)
{
    std::vector<double> first;
    std::vector<double> second;
    Measured a;
    Measured b;
    for (int i = 0; i < rounds; ++i) {
        for (const Command* c : {&ours, &anchor}) {
            if (!c->before.empty())
                run(c->before);
            const Measured m = measure(c->command, dir);
            Measured& kept = c == &ours ? a : b;
            (c == &ours ? first : second).push_back(m.cpuSeconds);
            kept.peakMegabytes = std::max(kept.peakMegabytes, m.peakMegabytes);
        }
    }
    a.cpuSeconds = median(first);
    b.cpuSeconds = median(second);
    return {a, b};
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_table_outputs BENCH_DATA_DIR [MEGABYTES]\n");
        return 2;
    }
    const unsigned long megabytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1100;
    if (megabytes == 0) {
        std::fprintf(stderr, "MEGABYTES must be a positive number\n");
        return 2;
    }
    const fs::path dir = fs::absolute(fs::path(argv[1]) / ("tables" + std::to_string(megabytes)));
    if (!fs::exists(dir / dataMark))
        makeProject(dir, std::uintmax_t{megabytes} << 20);
    const fs::path raw = dir / "d" / "DATA" / "TAB.DAT";
    setenv("QAVN_DRIVE_C", (dir / "c").c_str(), 1);
    setenv("QAVN_DRIVE_D", (dir / "d").c_str(), 1);
    const std::string extract = shellQuote((programDir() / "qavn-extract").string()) + " P=TAB --tag 1-" +
                                std::to_string(variableCount - 1);

    std::string ranges = "1-5";
    for (int v = 1; v < variableCount; ++v) {
        const Field field = fieldOf(v);
        ranges += "," + columnsOf(field);
    }
    const fs::path work = dir / "work";
    fs::remove_all(work);
    fs::create_directories(work / "csv");
    run("cat " + shellQuote(raw.string()) + " > /dev/null"); // warm the page cache
    const double size = static_cast<double>(fs::file_size(raw)) / 1e6;
    char label[160];

    // CSV and SQLite in CPU time, each run in turn with its anchor.
    const std::string cutCommand =
        "cut -c " + ranges + " --output-delimiter=, " + shellQuote(raw.string()) + " > work/cut.csv";
    // Each output is removed and the disk synced before each run, so that
    // no run pays for freeing or writing back the file of the one before.
    const auto [csv, cut] =
        interleaved({"rm -f " + shellQuote((work / "csv" / "DATA_TAB.csv").string()) + " && sync",
                     extract + " --write csv work/csv > /dev/null"},
                    {"rm -f " + shellQuote((work / "cut.csv").string()) + " && sync", cutCommand}, dir);
    std::snprintf(label, sizeof label, "CSV output, 200 columns of %.0f MB to a file, CPU (s)", size);
    row(label, csv.cpuSeconds, "cut -c same ranges > file, CPU (s)", cut.cpuSeconds, csv.peakMegabytes);

    const std::string csvFile = (work / "csv" / "DATA_TAB.csv").string();
    const auto [sqlite, import] =
        interleaved({"rm -f " + shellQuote((work / "tab.db").string()), extract + " --write sqlite work/tab.db > /dev/null"},
                    {"rm -f " + shellQuote((work / "import.db").string()),
                     "sqlite3 work/import.db '.import --csv " + csvFile + " t'"},
                    dir);
    std::snprintf(label, sizeof label, "SQLite output, 200 columns of %.0f MB, CPU (s)", size);
    row(label, sqlite.cpuSeconds, "sqlite3 .import --csv of the CSV, CPU (s)", import.cpuSeconds,
        sqlite.peakMegabytes);

    // The Parquet output beside `cut -c` (wall time) and beside DuckDB
    // turning the CSV output into Parquet (CPU time: DuckDB uses every core),
    // when bench.sh found DuckDB's node package (QAVN_NPM_DIR).
    const Measured parquet = best(extract + " --write parquet work/parquet > /dev/null", dir,
                                  "rm -rf " + shellQuote((work / "parquet").string()) + " && mkdir " +
                                      shellQuote((work / "parquet").string()));
    std::snprintf(label, sizeof label, "Parquet output, 200 columns of %.0f MB", size);
    const Measured cutWall = best(cutCommand, dir);
    row(label, parquet.seconds, "cut -c same ranges > file", cutWall.seconds, parquet.peakMegabytes);
    const char* npm = std::getenv("QAVN_NPM_DIR");
    if (npm && *npm) {
        fs::create_directories(work / "duckdb");
        fs::create_symlink(fs::path(npm) / "node_modules", work / "duckdb" / "node_modules");
        writeText(work / "duckdb" / "convert.mjs",
                  "import { DuckDBInstance } from '@duckdb/node-api';\n"
                  "const db = await (await DuckDBInstance.create(':memory:')).connect();\n"
                  "await db.run(`COPY (SELECT * FROM read_csv('" + csvFile + "')) TO '" +
                      (work / "duckdb.parquet").string() + "' (FORMAT parquet, COMPRESSION zstd)`);\n");
        const Measured duckdb = best("node work/duckdb/convert.mjs", dir);
        row("Parquet output, CPU (s)", parquet.cpuSeconds, "DuckDB CSV to Parquet, CPU (s)", duckdb.cpuSeconds);
        row("Parquet output, peak memory (MB)", parquet.peakMegabytes, "DuckDB, peak memory (MB)",
            duckdb.peakMegabytes);
    } else {
        std::fprintf(stderr, "DuckDB's node package not found (QAVN_NPM_DIR): no DuckDB anchor\n");
        row("Parquet output, peak memory (MB)", parquet.peakMegabytes, "cut -c, peak memory (MB)", cutWall.peakMegabytes);
    }
    fs::remove_all(work);
    return 0;
}
