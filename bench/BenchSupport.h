#pragma once

// Helpers shared by the benchmark programs: timing, CPU time and memory, the
// `cat` and `grep` anchors, the cached synthetic projects, the fixed-layout
// fields of the hand-made ones, a Ui that answers nothing, and the ROW lines
// that ./bench gathers.

#include "catalogue/VariableList.h"
#include "codebook/Catalogue.h"
#include "codebook/CodebookStore.h"
#include "codebook/CodebookWriter.h"
#include "platform/Ui.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace qavn::bench {

inline double seconds()
{
    using clock = std::chrono::steady_clock;
    return std::chrono::duration<double>(clock::now().time_since_epoch()).count();
}

// Best (lowest) wall time of `runs` calls of `work`.
template <typename Work>
double bestOf(int runs, Work&& work)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const double start = seconds();
        work();
        const double elapsed = seconds() - start;
        if (elapsed < best)
            best = elapsed;
    }
    return best;
}

inline std::string shellQuote(const std::string& s)
{
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

// Runs a shell command; false when it fails.
inline bool run(const std::string& command)
{
    return std::system(command.c_str()) == 0;
}

// Best wall time of `cat` over the given files to /dev/null (the anchor of
// the reading benchmarks: the cost of just reading the bytes).
inline double catSeconds(std::initializer_list<std::filesystem::path> files, int runs = 3)
{
    std::string command = "cat";
    for (const auto& f : files)
        command += " " + shellQuote(f.string());
    command += " > /dev/null";
    run(command); // warm the page cache
    return bestOf(runs, [&] { run(command); });
}

// One line of ./bench.sh's table: the figure, its anchor and, when known,
// the peak resident memory of the measured program in MB.
inline void row(const std::string& operation, double qavnSeconds, const std::string& anchor, double anchorSeconds,
                double peakMb = -1)
{
    std::printf("ROW\t%s\t%.4f\t%s\t%.4f\t%.1f\n", operation.c_str(), qavnSeconds, anchor.c_str(), anchorSeconds,
                peakMb);
    std::fflush(stdout);
}

// The median of `values` (not empty).
inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// One run of a shell command as a child: its CPU time (user and system, with
// the processes it waited for), wall time and peak resident memory.
struct ChildRun {
    double cpu = 0;
    double wall = 0;
    long peakKb = 0;
    bool ok = false;
};

inline ChildRun runChild(const std::string& command)
{
    ChildRun result;
    const double start = seconds();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid)
        return result;
    result.wall = seconds() - start;
    auto secondsOf = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    result.cpu = secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime);
    result.peakKb = usage.ru_maxrss;
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

// `runs` rounds of the commands, one after another in each round, so that a
// change of the machine's load falls on all of them alike; one warming round
// first is not counted (unless `warm` is false: for runs of a minute whose
// files are in the page cache already). A failed command stops the program
// with its text.
inline std::vector<std::vector<ChildRun>> interleaved(int runs, const std::vector<std::string>& commands,
                                                      bool warm = true)
{
    std::vector<std::vector<ChildRun>> results(commands.size());
    for (int round = warm ? 0 : 1; round <= runs; ++round) {
        for (std::size_t c = 0; c < commands.size(); ++c) {
            const ChildRun one = runChild(commands[c]);
            if (!one.ok) {
                std::fprintf(stderr, "failed: %s\n", commands[c].c_str());
                std::exit(1);
            }
            if (round > 0)
                results[c].push_back(one);
        }
    }
    return results;
}

// The median over the rounds of a run's CPU or wall time, and the median of
// the per-round differences of two commands' times (the cost of what one
// does beyond the other, the load of each round cancelling out).
inline double medianCpu(const std::vector<ChildRun>& runs)
{
    std::vector<double> v;
    for (const ChildRun& r : runs)
        v.push_back(r.cpu);
    return median(v);
}

inline double medianWall(const std::vector<ChildRun>& runs)
{
    std::vector<double> v;
    for (const ChildRun& r : runs)
        v.push_back(r.wall);
    return median(v);
}

inline double medianCpuDifference(const std::vector<ChildRun>& more, const std::vector<ChildRun>& less)
{
    std::vector<double> v;
    for (std::size_t i = 0; i < more.size() && i < less.size(); ++i)
        v.push_back(more[i].cpu - less[i].cpu);
    return median(v);
}

inline double medianWallDifference(const std::vector<ChildRun>& more, const std::vector<ChildRun>& less)
{
    std::vector<double> v;
    for (std::size_t i = 0; i < more.size() && i < less.size(); ++i)
        v.push_back(more[i].wall - less[i].wall);
    return median(v);
}

inline double peakMb(const std::vector<ChildRun>& runs)
{
    long peak = 0;
    for (const ChildRun& r : runs)
        peak = std::max(peak, r.peakKb);
    return static_cast<double>(peak) / 1024;
}

// The directory of this program (qavn-mkproject sits beside it).
inline std::filesystem::path programDir()
{
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec).parent_path();
}

// A synthetic project under the bench-data directory, made once: when
// <benchData>/<name>/.complete is missing it is made with qavn-mkproject
// (QAVN_MKPROJECT, else beside this program) and marked complete.
inline std::filesystem::path syntheticProject(const std::filesystem::path& benchData, const std::string& name,
                                              const std::string& id, unsigned long variables, unsigned cases,
                                              unsigned long seed = 1)
{
    namespace fs = std::filesystem;
    const fs::path dir = benchData / name;
    if (fs::exists(dir / ".complete"))
        return dir;
    const char* tool = std::getenv("QAVN_MKPROJECT");
    const fs::path mkproject = tool ? fs::path(tool) : programDir() / "qavn-mkproject";
    const fs::path temporary = benchData / (name + ".tmp");
    std::error_code ec;
    fs::remove_all(temporary, ec);
    fs::remove_all(dir, ec);
    std::fprintf(stderr, "making %s (%lu variables, %u cases) ...\n", dir.c_str(), variables, cases);
    const std::string command = shellQuote(mkproject.string()) + " --synthetic --variables " +
                                std::to_string(variables) + " --cases " + std::to_string(cases) + " --seed " +
                                std::to_string(seed) + " --id " + id + " --out " + shellQuote(temporary.string()) +
                                " > /dev/null";
    if (!run(command)) {
        std::fprintf(stderr, "cannot make %s\n", dir.c_str());
        std::exit(1);
    }
    std::FILE* mark = std::fopen((temporary / ".complete").c_str(), "w");
    if (mark)
        std::fclose(mark);
    fs::rename(temporary, dir);
    return dir;
}

// The million-variable project ./bench keeps in the cache.
// QAVN_BENCH_VARIABLES (./bench.sh --quick) makes it smaller for a quick
// run, under a name of its own.
inline unsigned long projectVariables()
{
    const char* size = std::getenv("QAVN_BENCH_VARIABLES");
    const unsigned long n = size ? std::strtoul(size, nullptr, 10) : 0;
    return n > 0 ? n : 1'000'000;
}

inline std::string variablesLabel()
{
    const unsigned long n = projectVariables();
    return n % 1'000'000 == 0 ? std::to_string(n / 1'000'000) + "M" : std::to_string(n / 1000) + "k";
}

inline std::string projectName()
{
    return projectVariables() == 1'000'000 ? "syn1m" : "syn" + variablesLabel();
}

inline std::filesystem::path millionProject(const std::filesystem::path& benchData)
{
    return syntheticProject(benchData, projectName(), "SYN", projectVariables(), 10);
}

// CPU seconds (user and system) of this process (RUSAGE_SELF) or of its
// finished children (RUSAGE_CHILDREN).
inline double cpuSeconds(int who = RUSAGE_SELF)
{
    rusage usage{};
    getrusage(who, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Peak resident memory in KiB of this process or of its finished children.
inline long peakRssKb(int who = RUSAGE_SELF)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_maxrss;
}

inline void writeText(const std::filesystem::path& path, const std::string& text)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// A field of the hand-made raw data lines: first column (1-based), width
// and the codebook's type code.
struct Field {
    int first;
    int width;
    char type;
};

// Values for the fields of hand-made raw data lines that differ from line to
// line (no line repeats another, so nothing gains from a branch predictor
// that learnt one line): numbers in numeric fields, right-aligned, of one to
// all of the field's digits, now and then blank (missing); in alphanumeric
// fields letters with blanks, commas and quotes.
class VaryingValues {
public:
    explicit VaryingValues(std::uint64_t seed) : state_(seed * 2654435761u + 1) {}

    void fill(char* field, int width, char type)
    {
        if (type == 'A') {
            static constexpr char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ ,'\"";
            for (int c = 0; c < width; ++c)
                field[c] = letters[next() % (sizeof letters - 1)];
            return;
        }
        const std::uint64_t r = next();
        const int digits = (r & 15) == 0 ? 0 : 1 + static_cast<int>((r >> 4) % static_cast<std::uint64_t>(width));
        std::uint64_t value = r >> 16;
        for (int c = width - 1; c >= 0; --c) {
            if (width - c <= digits) {
                field[c] = static_cast<char>('0' + value % 10);
                value /= 10;
            } else {
                field[c] = ' ';
            }
        }
    }

private:
    std::uint64_t next()
    {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1Dull;
    }
    std::uint64_t state_;
};

// "first-last" of a field, as a location and as a `cut -c` range.
inline std::string columnsOf(const Field& field)
{
    return std::to_string(field.first) + "-" + std::to_string(field.first + field.width - 1);
}

// Variable v (from 0) of the hand-made codebooks: V<v+1>, labelled
// "Variable <v+1>", in section BENCH, at `field`.
inline VariableSpec fieldVariable(int v, const Field& field)
{
    VariableSpec spec;
    spec.name = "V" + std::to_string(v + 1);
    spec.location = columnsOf(field);
    spec.typeCode = field.type;
    spec.label = "Variable " + std::to_string(v + 1);
    spec.section = "BENCH";
    return spec;
}

// Writes the codebook files into `dir`; on failure the program stops with
// the reason.
inline void writeCodebook(CodebookWriter& codebook, const std::filesystem::path& dir, std::string_view prefix)
{
    std::string error;
    if (!codebook.writeFiles(dir, prefix, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(1);
    }
}

// The million-variable project for a program run as `name BENCH-DATA-DIR`,
// with drive C: mapped to it; any other command line stops the program with
// its usage.
inline std::filesystem::path millionProjectFor(int argc, char** argv, const char* name)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s BENCH-DATA-DIR\n", name);
        std::exit(1);
    }
    const std::filesystem::path project = millionProject(argv[1]);
    ::setenv("QAVN_DRIVE_C", (project / "c").c_str(), 1);
    return project;
}

// A Ui for runs without a person: messages go to standard error and are
// counted, every question is left unanswered.
class QuietUi : public Ui {
public:
    Answer message(std::string_view text, Buttons, Icon) override
    {
        std::fprintf(stderr, "message: %.*s\n", static_cast<int>(text.size()), text.data());
        ++messages;
        return Answer::Ok;
    }
    std::optional<std::string> chooseFile(FileDialog, std::string_view, std::string_view) override { return {}; }
    std::optional<std::string> chooseDirectory(std::string_view) override { return {}; }
    void pumpStep() override {}
    void setWaitCursor(bool) override {}
    void openInViewer(const std::string&) override {}
    std::uint64_t ticks() override { return 0; }
    int messages = 0;
};

// Every record of the store as a row of the main list, all shown.
inline void listAllRecords(CodebookStore& store, VariableList& list)
{
    const std::uint32_t n = store.recordCount();
    list.setRowCount(n);
    for (std::uint32_t k = 1; k <= n; ++k) {
        const VariableRecord record = store.recordAt(k);
        list.appendRow(rowText(record, store.readLine(record.labelRef)), rowData(record.typeCode, record.fileNumber));
    }
    list.showList(n);
}

// The million-variable project's text file with every line end (0xDB) turned
// into a newline, for grep; made once.
inline std::filesystem::path millionTextLines(const std::filesystem::path& benchData,
                                              const std::filesystem::path& textFile)
{
    namespace fs = std::filesystem;
    const fs::path copy = benchData / (projectName() + "-search") / "SYN02.lines";
    if (fs::exists(copy))
        return copy;
    fs::create_directories(copy.parent_path());
    const fs::path temporary = copy.string() + ".tmp";
    if (!run("LC_ALL=C tr '\\333' '\\n' < " + shellQuote(textFile.string()) + " > " +
             shellQuote(temporary.string()))) {
        std::fprintf(stderr, "cannot make %s\n", copy.c_str());
        std::exit(1);
    }
    fs::rename(temporary, copy);
    return copy;
}

// The command `grep OPTIONS -c TEXT FILE`. grep stops at the first match when
// its output is /dev/null, so the count goes through a pipe.
inline std::string grepCommand(const std::string& options, const std::string& text, const std::filesystem::path& file)
{
    return "LC_ALL=C grep " + options + " -c " + shellQuote(text) + " " + shellQuote(file.string()) + " | cat > /dev/null";
}

// The same search with ripgrep, reading the file mapped (its default) or
// with --no-mmap.
inline std::string ripgrepCommand(const std::string& options, const std::string& text,
                                  const std::filesystem::path& file, bool mapped)
{
    return std::string("rg ") + (mapped ? "--mmap " : "--no-mmap ") + options + " -c -- " + shellQuote(text) + " " +
           shellQuote(file.string()) + " | cat > /dev/null";
}

// Best wall time of four runs of `grep OPTIONS -c TEXT FILE` with a warm page
// cache.
inline double grepSeconds(const std::string& options, const std::string& text, const std::filesystem::path& file)
{
    const std::string command = grepCommand(options, text, file);
    run(command); // warm the page cache
    return bestOf(4, [&] { run(command); });
}

} // namespace qavn::bench
