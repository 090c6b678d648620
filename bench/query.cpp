// A query over the million-variable project against grep looking for the
// same words and pattern: three terms, one of them a regular expression, in
// all four fields. grep reads a copy of the text file whose line ends (0xDB)
// are newlines and counts the lines that match, the least a query must do;
// the query also gathers the names, labels and block places once (a row of
// its own, against cat of both codebook files).

#include "BenchSupport.h"

#include "codebook/Catalogue.h"
#include "codebook/CodebookStore.h"
#include "platform/ScriptedUi.h"
#include "query/Query.h"
#include "query/QueryIndex.h"
#include "catalogue/VariableList.h"

#include <cstdio>
#include <cstdlib>

using namespace qavn;
namespace fs = std::filesystem;

namespace {

fs::path linesCopy(const fs::path& benchData, const fs::path& textFile)
{
    const fs::path copy = benchData / "syn1m-search" / "SYN02.lines";
    if (fs::exists(copy))
        return copy;
    fs::create_directories(copy.parent_path());
    const fs::path temporary = copy.string() + ".tmp";
    if (!bench::run("LC_ALL=C tr '\\333' '\\n' < " + bench::shellQuote(textFile.string()) + " > " +
                    bench::shellQuote(temporary.string()))) {
        std::fprintf(stderr, "cannot make %s\n", copy.c_str());
        std::exit(1);
    }
    fs::rename(temporary, copy);
    return copy;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_query BENCH-DATA-DIR\n");
        return 1;
    }
    const fs::path benchData = argv[1];
    const fs::path project = bench::millionProject(benchData);
    ::setenv("QAVN_DRIVE_C", (project / "c").c_str(), 1);
    const fs::path resources = project / "c" / "QAVN" / "SYN";
    const fs::path lines = linesCopy(benchData, resources / "SYN02.CDC");

    ScriptedUi ui;
    CodebookStore store(ui);
    if (!store.open("C:\\QAVN\\SYN", "SYN"))
        return 1;
    VariableList list(VariableList::Mode::Main, &ui);
    const std::uint32_t n = store.recordCount();
    list.setRowCount(n);
    for (std::uint32_t k = 1; k <= n; ++k) {
        const VariableRecord record = store.recordAt(k);
        list.appendRow(rowText(record, store.readLine(record.labelRef)), rowData(record.typeCode, record.fileNumber));
    }
    list.showList(n);

    QueryIndex index;
    const double prepare = bench::bestOf(3, [&] { index.build(list, store, nullptr); });
    bench::row("query: gather names, labels, block places of 1M variables", prepare, "cat both codebook files",
               bench::catSeconds({resources / "SYN01.CDC", resources / "SYN02.CDC"}));

    const std::string text = "tenthmark OR convicted OR /smoked [0-9]+ times/";
    Query query;
    if (!query.compile(text)) {
        std::fprintf(stderr, "%s\n", query.error().text().c_str());
        return 1;
    }
    std::uint32_t matches = 0;
    const double run = bench::bestOf(4, [&] { matches = index.evaluate(query).count(); });
    std::fprintf(stderr, "%s: %u variables\n", text.c_str(), matches);

    const std::string pattern = "\\btenthmark\\b|\\bconvicted\\b|smoked [0-9]+ times";
    const fs::path count = lines.parent_path() / "grep.count";
    const std::string command = "LC_ALL=C grep -E -i -c " + bench::shellQuote(pattern) + " " +
                                bench::shellQuote(lines.string()) + " > " + bench::shellQuote(count.string());
    bench::run(command); // warm the page cache
    const double grep = bench::bestOf(4, [&] { bench::run(command); });
    bench::row("query tenthmark OR convicted OR /smoked [0-9]+ times/, 4 fields, 1M", run,
               "grep -E -i -c same words and pattern", grep);
    return 0;
}
