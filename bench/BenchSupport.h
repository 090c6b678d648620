#pragma once

// Helpers shared by the benchmark programs: timing, the `cat` anchor, the
// cached synthetic projects and the ROW lines that ./bench gathers.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <unistd.h>

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

inline void row(const std::string& operation, double qavnSeconds, const std::string& anchor, double anchorSeconds)
{
    std::printf("ROW\t%s\t%.4f\t%s\t%.4f\n", operation.c_str(), qavnSeconds, anchor.c_str(), anchorSeconds);
    std::fflush(stdout);
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
inline std::filesystem::path millionProject(const std::filesystem::path& benchData)
{
    return syntheticProject(benchData, "syn1m", "SYN", 1'000'000, 10);
}

} // namespace qavn::bench
