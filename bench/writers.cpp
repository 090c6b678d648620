// The five file outputs for 10,000 tagged variables spread over the three
// data files of the million-variable project: SAS, SPSS (both dialects),
// codebook text and tag file, each written through the writer driver as the
// writing dialog runs it, against `cat` of the file it wrote.

#include "BenchSupport.h"

#include "codebook/OpenProject.h"
#include "catalogue/Loader.h"
#include "platform/ConsoleUi.h"
#include "platform/Progress.h"
#include "catalogue/VariableList.h"
#include "outputs/OutputFormats.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

using namespace qavn;
namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_writers BENCH-DATA-DIR\n");
        return 1;
    }
    const fs::path project = fs::absolute(bench::millionProject(argv[1]));
    ::setenv("QAVN_DRIVE_C", (project / "c").c_str(), 1);
    ::setenv("QAVN_DRIVE_D", (project / "d").c_str(), 1);
    fs::current_path(project);

    ConsoleUi ui;
    OpenProject session(ui);
    if (!session.start("P=SYN", [](Settings&) {}))
        return 1;
    VariableList list(VariableList::Mode::Main, &ui);
    Progress loading;
    if (!loadVariables(session.store, session.project, list, ui, loading))
        return 1;

    // 10,000 variables evenly over the catalogue, so every data file holds
    // some of them.
    constexpr std::uint32_t tagged = 10'000;
    const std::uint32_t stride = list.rowCount() / tagged;
    for (std::uint32_t i = 0; i < tagged; ++i)
        list.tagRow(1 + i * stride);
    std::uint32_t files = 0;
    for (std::uint32_t f = 1; f <= session.project.dataFiles.size(); ++f) {
        const std::uint32_t first = session.project.dataFiles[f - 1].firstRow;
        files += first != 0 && first <= 1 + (tagged - 1) * stride;
    }

    const fs::path outDir = fs::temp_directory_path() / ("qavn-bench-writers-" + std::to_string(::getpid()));
    fs::create_directories(outDir);
    const WriterServices services{list, session.store, session.project, session.settings, ui};

    struct Output {
        OutputKind kind;
        const char* name;
        const char* file;
    };
    const Output outputs[] = {
        {OutputKind::Sas, "SAS program", "out.sas"},
        {OutputKind::SpssWin, "SPSS command file (WIN)", "out.sps"},
        {OutputKind::SpssDos, "SPSS command file (DOS)", "dos.sps"},
        {OutputKind::CodeText, "codebook text", "out.txt"},
        {OutputKind::Tag, "tag file", "out.tag"},
    };
    int status = 0;
    for (const Output& o : outputs) {
        const fs::path path = outDir / o.file;
        const OutputJob job{LabelChoice::All, path.string()};
        bool ok = true;
        const double seconds = bench::bestOf(3, [&] {
            Progress progress;
            ok = ok && writeOutput(outputFormat(o.kind), services, job, progress).status == OutputStatus::Written;
        });
        if (!ok) {
            std::fprintf(stderr, "writing %s failed\n", o.name);
            status = 1;
            continue;
        }
        std::fprintf(stderr, "(%s: %ju bytes)\n", o.name, static_cast<std::uintmax_t>(fs::file_size(path)));
        bench::row("write " + std::string(o.name) + " for 10,000 tagged variables in " + std::to_string(files) +
                       " data files",
                   seconds, "cat the written file", bench::catSeconds({path}));
    }
    std::error_code ec;
    fs::remove_all(outDir, ec);
    return status;
}
