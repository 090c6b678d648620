// Reading the codebook of the million-variable project: every record and
// label (what loading does), every description (what a full description
// search reads) and every category block, each against `cat` of both
// codebook files, the cost of touching the bytes at all.

#include "BenchSupport.h"

#include "codebook/CodebookStore.h"
#include "platform/ConsoleUi.h"

#include <cstdio>
#include <cstdlib>

using namespace qavn;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_codebook_read BENCH-DATA-DIR\n");
        return 1;
    }
    const std::filesystem::path project = bench::millionProject(argv[1]);
    ::setenv("QAVN_DRIVE_C", (project / "c").c_str(), 1);
    const std::filesystem::path resource = project / "c" / "QAVN" / "SYN";
    const double cat = bench::catSeconds({resource / "SYN01.CDC", resource / "SYN02.CDC"});

    ConsoleUi ui;
    std::size_t sink = 0;
    std::uint32_t records = 0;

    const double openAndLabels = bench::bestOf(3, [&] {
        CodebookStore store(ui);
        if (!store.open("C:\\QAVN\\SYN", "SYN"))
            std::exit(1);
        records = store.recordCount();
        for (std::uint32_t k = 1; k <= records; ++k) {
            if (!store.readRecord(k))
                std::exit(1);
            sink += store.readLine(store.record().labelRef).size();
        }
    });
    bench::row("open 1M-variable codebook, read every record and label", openAndLabels, "cat both codebook files",
               cat);

    CodebookStore store(ui);
    if (!store.open("C:\\QAVN\\SYN", "SYN"))
        return 1;
    const double descriptions = bench::bestOf(3, [&] {
        for (std::uint32_t k = 1; k <= records; ++k) {
            if (!store.readRecord(k))
                std::exit(1);
            const VariableRecord& r = store.record();
            store.readLines(r.descriptionRef, r.descriptionLineCount, LineVariant::DisplayText,
                            [&](std::string_view line) {
                                sink += line.size() + 2;
                                return true;
                            });
        }
    });
    bench::row("read every description of 1M variables (DisplayText)", descriptions, "cat both codebook files", cat);

    const double categories = bench::bestOf(3, [&] {
        for (std::uint32_t k = 1; k <= records; ++k) {
            if (!store.readRecord(k))
                std::exit(1);
            const VariableRecord& r = store.record();
            store.readLines(r.categoryRef, r.categoryLineCount, LineVariant::CategoryFields,
                            [&](std::string_view line) {
                                sink += splitCategoryLine(line).label.size();
                                return true;
                            });
        }
    });
    bench::row("read every category line of 1M variables (CategoryFields)", categories, "cat both codebook files",
               cat);

    std::fprintf(stderr, "(%u records, %zu bytes of text seen)\n", records, sink);
    return 0;
}
