// bench_stat_files: the SPSS data file (.sav) of 200 columns cut from a raw
// data file of about 1 GB, against PSPP reading the same columns with DATA
// LIST and writing them with SAVE OUTFILE (both compressed), with a warm page
// cache, in turns for two rounds: the median CPU and wall times side by side,
// with the peak resident memory of each. Without PSPP only the program's own
// figures are printed.
//
// Usage: bench_stat_files BENCH_DATA_DIR [MEGABYTES]
// The project (a codebook of 200 variables: integers of one to four digits,
// numbers with two implied decimals, five-letter texts, category lines with
// reserved codes; one data file DATA\BIG.DAT of MEGABYTES, 1,100 by default,
// whose lines all differ: numbers, some blank, in numeric fields, the
// reserved code -4 now and then, letters, blanks, commas and quotes in the
// texts) is made once under BENCH_DATA_DIR/stat<MEGABYTES>m.

#include "BenchSupport.h"

#include "catalogue/Loader.h"
#include "catalogue/VariableList.h"
#include "codebook/CodebookWriter.h"
#include "codebook/OpenProject.h"
#include "outputs/OutputFormats.h"
#include "platform/ConsoleUi.h"
#include "platform/Progress.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <vector>

using namespace qavn;
using bench::Field;
namespace fs = std::filesystem;

namespace {

constexpr int variableCount = 200;
constexpr int slot = 5; // columns per variable in the line

// Variable v sits at 1 + 5v: every fifth is a five-letter text, every
// tenth a four-digit number with two implied decimals, the others integers
// one to four digits wide.
Field fieldOf(int v)
{
    if (v % 5 == 4)
        return {1 + slot * v, 5, 'A'};
    if (v % 10 == 3)
        return {1 + slot * v, 4, '2'};
    return {1 + slot * v, 1 + v % 4, ' '};
}

// Marks a project made whole with lines that vary (one made before, of
// 4,096 repeated lines, is made again).
constexpr const char* dataMark = ".complete-varying";

void makeProject(const fs::path& dir, std::uintmax_t targetBytes)
{
    const fs::path temporary = dir.string() + ".tmp";
    fs::remove_all(temporary);
    fs::remove_all(dir);
    std::fprintf(stderr, "making %s (raw data of %.2f GB, once) ...\n", dir.c_str(), targetBytes / 1e9);
    bench::writeText(temporary / "BIGQAV.CFG", "C:\\RES\r\nC:\\OUT\r\nD\r\n0\r\n0\r\n");
    bench::writeText(temporary / "c" / "OUT" / ".keep", "");
    bench::writeText(temporary / "c" / "RES" / "QAVSPEC.BIG", "BIG STAT FILES\r\nBIG\r\n1\r\n1 0 DATA\\BIG.DAT\r\n");
    CodebookWriter codebook;
    for (int v = 0; v < variableCount; ++v) {
        const Field field = fieldOf(v);
        VariableSpec entry = bench::fieldVariable(v, field);
        if (field.type == ' ' && field.width == 1)
            for (int code = 0; code < 10; ++code)
                entry.categories.push_back(
                    categoryLine(std::to_string(code), "0", "0.0", "Answer " + std::to_string(code)));
        if (field.type != 'A' && field.width >= 2)
            entry.categories.push_back(categoryLine("-4", "0", "0.0", "{Valid skip}"));
        codebook.add(entry);
    }
    bench::writeCodebook(codebook, temporary / "c" / "RES", "BIG");

    // Every line drawn anew (the values of the export's benchmark), with the
    // reserved code in about one numeric field of two columns or more in 32.
    fs::create_directories(temporary / "d" / "DATA");
    std::FILE* raw = std::fopen((temporary / "d" / "DATA" / "BIG.DAT").c_str(), "wb");
    if (!raw) {
        std::perror("BIG.DAT");
        std::exit(1);
    }
    bench::VaryingValues values(2);
    std::string line(static_cast<std::size_t>(variableCount * slot), ' ');
    line += "\r\n";
    std::string block;
    std::uint64_t drawn = 0;
    for (std::uintmax_t written = 0; written < targetBytes; written += block.size()) {
        block.clear();
        for (int l = 0; l < 1024; ++l) {
            for (int v = 0; v < variableCount; ++v) {
                const Field field = fieldOf(v);
                char* at = line.data() + field.first - 1;
                values.fill(at, field.width, field.type);
                if (field.type != 'A' && field.width >= 2 && (drawn = drawn * 6364136223846793005ull + 1) >> 59 == 0) {
                    std::memset(at, ' ', static_cast<std::size_t>(field.width - 2));
                    std::memcpy(at + field.width - 2, "-4", 2);
                }
            }
            block += line;
        }
        if (std::fwrite(block.data(), 1, block.size(), raw) != block.size()) {
            std::perror("BIG.DAT");
            std::exit(1);
        }
    }
    std::fclose(raw);
    bench::writeText(temporary / dataMark, "");
    fs::rename(temporary, dir);
}

// PSPP's program for the same columns: DATA LIST with the implied decimals,
// then SAVE OUTFILE, compressed as the program's own file is.
std::string psppProgram(const fs::path& raw, const fs::path& out)
{
    std::string program = "DATA LIST FILE='" + raw.string() + "' RECORDS=1 /\n";
    for (int v = 0; v < variableCount; ++v) {
        const Field field = fieldOf(v);
        program += "  V" + std::to_string(v + 1) + " " + bench::columnsOf(field);
        if (field.type == 'A')
            program += " (A)";
        else if (field.type == '2')
            program += " (2)";
        program += "\n";
    }
    return program + ".\nSAVE OUTFILE='" + out.string() + "' /COMPRESSED.\n";
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: bench_stat_files BENCH-DATA-DIR [MEGABYTES]\n");
        return 1;
    }
    const long megabytes = argc == 3 ? std::atol(argv[2]) : 1100;
    if (megabytes <= 0) {
        std::fprintf(stderr, "bench_stat_files: %s is not a size in megabytes\n", argv[2]);
        return 1;
    }
    const fs::path dir = fs::absolute(fs::path(argv[1]) / ("stat" + std::to_string(megabytes) + "m"));
    if (!fs::exists(dir / dataMark))
        makeProject(dir, static_cast<std::uintmax_t>(megabytes) << 20);
    const fs::path raw = dir / "d" / "DATA" / "BIG.DAT";
    ::setenv("QAVN_DRIVE_C", (dir / "c").c_str(), 1);
    ::setenv("QAVN_DRIVE_D", (dir / "d").c_str(), 1);
    fs::current_path(dir);

    ConsoleUi ui;
    OpenProject session(ui);
    if (!session.start("P=BIG", [](Settings&) {}))
        return 1;
    VariableList list(VariableList::Mode::Main, &ui);
    Progress loading;
    if (!loadVariables(session.store, session.project, list, ui, loading))
        return 1;
    for (std::uint32_t r = 1; r <= list.rowCount(); ++r)
        list.tagRow(r);
    const WriterServices services{list, session.store, session.project, session.settings, ui};

    const fs::path out = dir / "out";
    fs::create_directories(out);
    bench::run("cat " + bench::shellQuote(raw.string()) + " > /dev/null"); // warm the page cache
    const bool havePspp = bench::run("command -v pspp > /dev/null 2>&1");
    if (!havePspp)
        std::printf("PSPP is not installed: no anchor\n");
    bench::writeText(out / "pspp.sps", psppProgram(raw, out / "pspp.sav"));
    const std::string pspp = "pspp " + bench::shellQuote((out / "pspp.sps").string()) + " -o " +
                             bench::shellQuote((out / "pspp.txt").string()) + " > /dev/null 2>&1";
    // Two rounds, each the program's file and then PSPP's, so that a change
    // of the machine's load falls on both; on a busy machine the CPU time
    // each side used is steadier than the wall time.
    std::vector<double> qavnWall, qavnCpu, psppWall, psppCpu;
    bool written = true;
    bool psppRan = true;
    for (int round = 0; round < 2; ++round) {
        double cpu = bench::cpuSeconds(RUSAGE_SELF);
        double start = bench::seconds();
        Progress progress;
        const OutputJob job{LabelChoice::NotAsked, (out / "qavn.sav").string()};
        const OutputResult result = writeOutput(outputFormat(OutputKind::SpssData), services, job, progress);
        written = written && result.status == OutputStatus::Written;
        qavnWall.push_back(bench::seconds() - start);
        qavnCpu.push_back(bench::cpuSeconds(RUSAGE_SELF) - cpu);
        if (!havePspp)
            continue;
        cpu = bench::cpuSeconds(RUSAGE_CHILDREN);
        start = bench::seconds();
        psppRan = bench::run(pspp) && psppRan;
        psppWall.push_back(bench::seconds() - start);
        psppCpu.push_back(bench::cpuSeconds(RUSAGE_CHILDREN) - cpu);
    }
    const double qavnMb = static_cast<double>(bench::peakRssKb(RUSAGE_SELF)) / 1024.0;
    if (!written) {
        std::fprintf(stderr, "bench_stat_files: the .sav file was not written\n");
        return 1;
    }
    const double size = static_cast<double>(fs::file_size(raw)) / 1e9;
    char operation[96];
    std::snprintf(operation, sizeof operation, ".sav output of 200 columns of %.2f GB", size);
    const std::string what = operation;
    if (!havePspp) {
        bench::row(what + " (CPU)", bench::median(qavnCpu), "-", 0, qavnMb);
        bench::row(what + " (wall)", bench::median(qavnWall), "-", 0, qavnMb);
        return 0;
    }
    if (!psppRan)
        std::fprintf(stderr, "bench_stat_files: pspp failed; see %s\n", (out / "pspp.txt").c_str());
    std::printf("sizes: qavn.sav %.1f MB, pspp.sav %.1f MB\n",
                static_cast<double>(fs::file_size(out / "qavn.sav")) / 1e6,
                psppRan ? static_cast<double>(fs::file_size(out / "pspp.sav")) / 1e6 : 0.0);
    bench::row(what + " (CPU)", bench::median(qavnCpu), "PSPP DATA LIST + SAVE OUTFILE (CPU)",
               psppRan ? bench::median(psppCpu) : 0, qavnMb);
    bench::row(what + " (wall)", bench::median(qavnWall), "PSPP DATA LIST + SAVE OUTFILE (wall)",
               psppRan ? bench::median(psppWall) : 0, qavnMb);
    bench::row(".sav output, peak RSS (MB)", qavnMb, "PSPP, peak RSS (MB)",
               static_cast<double>(bench::peakRssKb(RUSAGE_CHILDREN)) / 1024.0);
    std::error_code ec;
    fs::remove(out / "qavn.sav", ec);
    fs::remove(out / "pspp.sav", ec);
    return psppRan ? 0 : 1;
}
