// qavn-extract as a person runs it on the million-variable project, each run
// a process of its own: start-up (load the list, list one variable), a batch
// output of 200 variables, and a search and queries net of start-up (the
// median of per-round differences), each beside the tools that read the same
// bytes: cat, ripgrep (mapped and not, the faster counts) and grep -E. All
// commands of a row run interleaved, round by round; CPU time (user and
// system) counts, as the machine is shared.

#include "BenchSupport.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace qavn;
namespace fs = std::filesystem;

namespace {

constexpr int rounds = 5;

} // namespace

int main(int argc, char** argv)
{
    const fs::path project = bench::millionProjectFor(argc, argv, "bench_startup");
    const fs::path benchData = argv[1];
    const fs::path resources = project / "c" / "QAVN" / "SYN";
    const fs::path lines = bench::millionTextLines(benchData, resources / "SYN02.CDC");
    const fs::path extract = bench::programDir() / "qavn-extract";
    const std::string size = bench::variablesLabel();
    const fs::path scratch = benchData / "startup-out";
    fs::create_directories(scratch);

    const std::string qavn = "cd " + bench::shellQuote(project.string()) + " && exec " +
                             bench::shellQuote(extract.string()) + " P=SYN ";
    const std::string quiet = " > /dev/null 2>&1";
    const std::string cat = "cat " + bench::shellQuote((resources / "SYN01.CDC").string()) + " " +
                            bench::shellQuote((resources / "SYN02.CDC").string()) + " > /dev/null";

    // Start-up, and a batch output that needs 200 variables' labels alone.
    const std::string startup = qavn + "--tag 1 --list-tagged" + quiet;
    const std::string sas = qavn + "--tag 1-200 --write sas " + bench::shellQuote((scratch / "B.SAS").string()) + quiet;
    auto r = bench::interleaved(rounds, {startup, sas, cat});
    bench::row("start-up: load " + size + " variables, list one (CPU)", bench::medianCpu(r[0]),
               "cat both codebook files (CPU)", bench::medianCpu(r[2]), bench::peakMb(r[0]));
    bench::row("start-up: load " + size + " variables, list one (wall)", bench::medianWall(r[0]),
               "cat both codebook files (wall)", bench::medianWall(r[2]), bench::peakMb(r[0]));
    bench::row("batch: SAS program of 200 variables of " + size + " (CPU)", bench::medianCpu(r[1]),
               "cat both codebook files (CPU)", bench::medianCpu(r[2]), bench::peakMb(r[1]));

    // The search for a text found nowhere, four fields, against the faster
    // of ripgrep's two ways of reading and grep, each over the text file
    // with newlines for line ends.
    const std::string search = qavn + "--search ZQXJ --in name,label,description,category --list-tagged" + quiet;
    r = bench::interleaved(rounds, {startup, search, bench::ripgrepCommand("-F -i", "ZQXJ", lines, true),
                                    bench::ripgrepCommand("-F -i", "ZQXJ", lines, false),
                                    bench::grepCommand("-F -i", "ZQXJ", lines)});
    const double rg = std::min(bench::medianCpu(r[2]), bench::medianCpu(r[3]));
    std::fprintf(stderr, "rg -F -i -c ZQXJ: %.3f s mapped, %.3f s --no-mmap (CPU)\n", bench::medianCpu(r[2]),
                 bench::medianCpu(r[3]));
    bench::row("search ZQXJ (nowhere), 4 fields, " + size + ", net of start-up (CPU)",
               bench::medianCpuDifference(r[1], r[0]), "rg -F -i -c ZQXJ, faster way (CPU)", rg, bench::peakMb(r[1]));
    bench::row("search ZQXJ (nowhere), 4 fields, " + size + ", net of start-up (CPU)",
               bench::medianCpuDifference(r[1], r[0]), "grep -F -i -c ZQXJ (CPU)", bench::medianCpu(r[4]));

    // Queries: a field term that reads no codebook text, a plain word in
    // every field, a regular expression in every field.
    const std::string fieldQuery = qavn + "--query 'name:V00001*'" + quiet;
    const std::string wordQuery = qavn + "--query convicted" + quiet;
    const std::string regexQuery = qavn + "--query '/smoked [0-9]+ times/'" + quiet;
    r = bench::interleaved(rounds, {startup, fieldQuery, wordQuery, regexQuery,
                                    bench::ripgrepCommand("-F -i -w", "convicted", lines, true),
                                    bench::ripgrepCommand("-F -i -w", "convicted", lines, false),
                                    bench::grepCommand("-E -i", "smoked [0-9]+ times", lines)});
    bench::row("query name:V00001*, " + size + ", net of start-up (wall)", bench::medianWallDifference(r[1], r[0]),
               "limit", 0.1, bench::peakMb(r[1]));
    bench::row("query convicted, 4 fields, " + size + ", net of start-up (CPU)",
               bench::medianCpuDifference(r[2], r[0]), "rg -F -i -w -c convicted, faster way (CPU)",
               std::min(bench::medianCpu(r[4]), bench::medianCpu(r[5])), bench::peakMb(r[2]));
    bench::row("query /smoked [0-9]+ times/, 4 fields, " + size + ", net of start-up (CPU)",
               bench::medianCpuDifference(r[3], r[0]), "grep -E -i -c same pattern (CPU)", bench::medianCpu(r[6]),
               bench::peakMb(r[3]));
    return 0;
}
