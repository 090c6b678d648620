// A query over the million-variable project against grep looking for the
// same words and pattern: three terms, one of them a regular expression, in
// all four fields. grep reads a copy of the text file whose line ends (0xDB)
// are newlines and counts the lines that match, the least a query must do.
// The first query of a project also places the blocks it reads (a row of its
// own); the next finds them placed.

#include "BenchSupport.h"

#include "platform/ScriptedUi.h"
#include "query/Query.h"
#include "query/QueryIndex.h"

#include <cstdio>
#include <cstdlib>

using namespace qavn;
namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    const fs::path project = bench::millionProjectFor(argc, argv, "bench_query");
    const fs::path benchData = argv[1];
    const fs::path resources = project / "c" / "QAVN" / "SYN";
    const fs::path lines = bench::millionTextLines(benchData, resources / "SYN02.CDC");

    ScriptedUi ui;
    CodebookStore store(ui);
    if (!store.open("C:\\QAVN\\SYN", "SYN"))
        return 1;
    VariableList list(VariableList::Mode::Main, &ui);
    bench::listAllRecords(store, list);

    const std::string text = "tenthmark OR convicted OR /smoked [0-9]+ times/";
    Query query;
    if (!query.compile(text)) {
        std::fprintf(stderr, "%s\n", query.error().text().c_str());
        return 1;
    }
    // The first query of a project makes the fields of the index it needs;
    // later ones find them made.
    std::uint32_t matches = 0;
    const double first = bench::bestOf(3, [&] {
        QueryIndex fresh;
        fresh.build(list, store, nullptr);
        matches = fresh.evaluate(query).count();
    });
    QueryIndex index;
    index.build(list, store, nullptr);
    const double run = bench::bestOf(4, [&] { matches = index.evaluate(query).count(); });
    std::fprintf(stderr, "%s: %u variables\n", text.c_str(), matches);

    const std::string pattern = "\\btenthmark\\b|\\bconvicted\\b|smoked [0-9]+ times";
    const double grep = bench::grepSeconds("-E -i", pattern, lines);
    bench::row("query tenthmark OR convicted OR /smoked [0-9]+ times/, 4 fields, first of a project", first,
               "grep -E -i -c same words and pattern", grep);
    bench::row("query tenthmark OR convicted OR /smoked [0-9]+ times/, 4 fields, again", run,
               "grep -E -i -c same words and pattern", grep);
    return 0;
}
