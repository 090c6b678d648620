// bench_parquet_writer: the Parquet writer on ROWS rows of 200 columns (zstd,
// the default row groups, pages and dictionaries) against writing the same
// cells as CSV lines, the anchor; both take the cells from the same
// generator, whose own time is printed too. Each run is a child process, so
// its CPU time and peak resident memory are its own; the Parquet writer
// runs on a quarter of the rows first, to show that its memory does not grow
// with the rows.
//
// Usage: bench_parquet_writer BENCH_DATA_DIR [ROWS]   (ROWS: 1,000,000)
// The columns: every fifth a five-letter text (a new value nearly every
// row: plain pages), every tenth a decimal (9,2) of a million values
// (plain), the others integers of one to four digits (dictionaries), every
// seventh optional with a null in twenty rows.

#include "BenchSupport.h"

#include "formats/ParquetWriter.h"
#include "platform/TextOutput.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace qavn;
namespace fs = std::filesystem;

namespace {

constexpr int columnCount = 200;

ParquetType typeOf(int c)
{
    if (c % 5 == 4)
        return ParquetType::String;
    if (c % 10 == 3)
        return ParquetType::Decimal;
    return ParquetType::Int32;
}

std::vector<ParquetColumn> schema()
{
    std::vector<ParquetColumn> columns;
    for (int c = 0; c < columnCount; ++c)
        columns.push_back({"V" + std::to_string(c + 1), typeOf(c), c % 7 == 0, 9, 2});
    return columns;
}

// The cells, row by row, into `sink` (int32, decimal, text, null, endRow).
template <typename Sink>
void generate(std::uint64_t rows, Sink& sink)
{
    std::uint64_t state = 0x9E3779B97F4A7C15ULL;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    static constexpr std::uint32_t powers[] = {10, 100, 1000, 10000};
    char letters[5];
    for (std::uint64_t r = 0; r < rows; ++r) {
        for (int c = 0; c < columnCount; ++c) {
            const std::uint64_t v = next();
            if (c % 7 == 0 && v % 20 == 0) {
                sink.null();
                continue;
            }
            switch (typeOf(c)) {
            case ParquetType::String:
                for (int i = 0; i < 5; ++i)
                    letters[i] = static_cast<char>('A' + (v >> (8 * i)) % 26);
                sink.text(std::string_view(letters, 5));
                break;
            case ParquetType::Decimal:
                sink.decimal(static_cast<std::int64_t>(v % 1'000'000) - 500'000);
                break;
            default:
                sink.int32(static_cast<std::int32_t>((v >> 8) % powers[c % 4]));
            }
        }
        sink.endRow();
    }
}

struct NoSink {
    std::uint64_t sum = 0;
    void null() { ++sum; }
    void text(std::string_view t) { sum += static_cast<unsigned char>(t[0]); }
    void decimal(std::int64_t v) { sum += static_cast<std::uint64_t>(v); }
    void int32(std::int32_t v) { sum += static_cast<std::uint64_t>(v); }
    void endRow() {}
};

struct ParquetSink {
    ParquetWriter& w;
    void null() { w.addNull(); }
    void text(std::string_view t) { w.addString(t); }
    void decimal(std::int64_t v) { w.addDecimal(v); }
    void int32(std::int32_t v) { w.addInt32(v); }
    void endRow() { w.endRow(); }
};

struct CsvSink {
    TextOutput& out;
    std::string line;
    char number[24];
    void comma()
    {
        if (!line.empty())
            line.push_back(',');
    }
    void null() { comma(); }
    void text(std::string_view t)
    {
        comma();
        line.append(t);
    }
    void int32(std::int32_t v)
    {
        comma();
        line.append(number, std::to_chars(number, number + sizeof number, v).ptr);
    }
    void decimal(std::int64_t v)
    {
        comma();
        if (v < 0) {
            line.push_back('-');
            v = -v;
        }
        line.append(number, std::to_chars(number, number + sizeof number, v / 100).ptr);
        line.push_back('.');
        line.push_back(static_cast<char>('0' + v / 10 % 10));
        line.push_back(static_cast<char>('0' + v % 10));
    }
    void endRow()
    {
        line.append("\r\n");
        out.writeBytes(line);
        line.clear();
    }
};

struct Run {
    double cpu = 0;
    long peakKb = 0;
    std::uintmax_t bytes = 0;
};

// Runs `work` in a child process; its CPU time and peak memory.
template <typename Work>
Run inChild(Work&& work)
{
    const double before = bench::cpuSeconds(RUSAGE_CHILDREN);
    const pid_t pid = fork();
    if (pid == 0)
        std::_Exit(work() ? 0 : 1);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "a benchmark run failed\n");
        std::exit(1);
    }
    Run run;
    run.cpu = bench::cpuSeconds(RUSAGE_CHILDREN) - before;
    run.peakKb = bench::peakRssKb(RUSAGE_CHILDREN);
    return run;
}

Run parquetRun(const fs::path& path, std::uint64_t rows)
{
    Run run = inChild([&] {
        FileTextOutput output;
        if (!output.openHost(path))
            return false;
        ParquetWriter writer(output, schema());
        ParquetSink sink{writer};
        generate(rows, sink);
        if (!writer.finish()) {
            std::fprintf(stderr, "%s\n", describe(writer.error()).c_str());
            return false;
        }
        return output.close();
    });
    run.bytes = fs::file_size(path);
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s BENCH_DATA_DIR [ROWS]\n", argv[0]);
        return 2;
    }
    const fs::path dir = fs::path(argv[1]) / "parquet-writer";
    fs::create_directories(dir);
    const std::uint64_t rows = argc == 3 ? std::strtoull(argv[2], nullptr, 10) : 1'000'000;
    const fs::path parquet = dir / "bench.parquet";
    const fs::path csv = dir / "bench.csv";

    const Run cells = inChild([&] {
        NoSink sink;
        generate(rows, sink);
        return sink.sum != 1;
    });
    const Run quarter = parquetRun(parquet, rows / 4);
    const Run whole = parquetRun(parquet, rows);
    Run text = inChild([&] {
        FileTextOutput output;
        if (!output.openHost(csv))
            return false;
        CsvSink sink{output, {}, {}};
        generate(rows, sink);
        return output.close();
    });
    text.bytes = fs::file_size(csv);

    std::printf("Parquet writer, %llu rows x %d columns:\n", static_cast<unsigned long long>(rows), columnCount);
    std::printf("  generating the cells alone   %7.2f s CPU\n", cells.cpu);
    std::printf("  Parquet (zstd), %5.1f MB     %7.2f s CPU, peak memory %5.0f MB (a quarter of the rows: %.0f MB)\n",
                static_cast<double>(whole.bytes) / 1e6, whole.cpu, static_cast<double>(whole.peakKb) / 1024,
                static_cast<double>(quarter.peakKb) / 1024);
    std::printf("  CSV text, %7.1f MB          %7.2f s CPU\n", static_cast<double>(text.bytes) / 1e6, text.cpu);
    std::printf("  Parquet / CSV: %.2f\n", whole.cpu / text.cpu);
    bench::row("Parquet writer (" + std::to_string(rows) + " rows x 200 columns)", whole.cpu,
               "CSV lines of the same cells", text.cpu);
    fs::remove_all(dir);
    return 0;
}
