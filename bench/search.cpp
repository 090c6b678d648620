// Tag All Match over the million-variable project, against grep doing the
// least a search must do: reading every byte of the codebook text once,
// case-insensitively, looking for the same text. grep reads a copy of the
// text file whose line ends (0xDB) are newlines. Three searches: a text that
// occurs nowhere (ZQXJ) in all four fields, a text in every tenth description
// (TENTHMARK), and the same with Whole Words.

#include "BenchSupport.h"

#include "platform/ScriptedUi.h"
#include "search/Search.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace qavn;
namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    const fs::path project = bench::millionProjectFor(argc, argv, "bench_search");
    const fs::path benchData = argv[1];
    const fs::path textFile = project / "c" / "QAVN" / "SYN" / "SYN02.CDC";
    const fs::path lines = bench::millionTextLines(benchData, textFile);

    ScriptedUi ui;
    CodebookStore store(ui);
    if (!store.open("C:\\QAVN\\SYN", "SYN"))
        return 1;
    VariableList list(VariableList::Mode::Main, &ui);
    bench::listAllRecords(store, list);
    CommandState commands;

    // Each run is a search as the dialog starts it, with a new engine so that
    // nothing of an earlier run is reused.
    // The best of four runs, as for grep.
    auto tagAll = [&](const std::string& text, bool wholeWords, std::uint32_t& matches) {
        return bench::bestOf(4, [&] {
            list.clearAllTags();
            list.goToRow(1);
            Search search(list, store, ui, commands);
            SearchRequest request;
            request.text = text;
            request.fields = SearchFields{true, true, true, true};
            request.wholeWords = wholeWords;
            matches = search.start(request, SearchMode::TagAll).matches;
        });
    };

    std::uint32_t matches = 0;
    const double none = tagAll("ZQXJ", false, matches);
    if (matches != 0)
        std::fprintf(stderr, "ZQXJ matched %u variables\n", matches);
    bench::row("Tag All Match ZQXJ (nowhere), 4 fields, 1M variables", none, "grep -F -i -c ZQXJ",
               bench::grepSeconds("-F -i", "ZQXJ", lines));
    // ripgrep reads the file mapped or not; the faster of the two.
    auto best = [](const std::string& command) {
        bench::run(command);
        return bench::bestOf(4, [&] { bench::run(command); });
    };
    bench::row("Tag All Match ZQXJ (nowhere), 4 fields, 1M variables", none, "rg -F -i -c ZQXJ, faster way",
               std::min(best(bench::ripgrepCommand("-F -i", "ZQXJ", lines, true)),
                        best(bench::ripgrepCommand("-F -i", "ZQXJ", lines, false))));

    const double tenth = tagAll("TENTHMARK", false, matches);
    std::fprintf(stderr, "TENTHMARK: %u variables tagged\n", matches);
    bench::row("Tag All Match TENTHMARK (every 10th description), 4 fields", tenth, "grep -F -i -c TENTHMARK",
               bench::grepSeconds("-F -i", "TENTHMARK", lines));

    const double whole = tagAll("TENTHMARK", true, matches);
    std::fprintf(stderr, "TENTHMARK, whole words: %u variables tagged\n", matches);
    bench::row("Tag All Match TENTHMARK, Whole Words, 4 fields", whole, "grep -F -i -w -c TENTHMARK",
               bench::grepSeconds("-F -i -w", "TENTHMARK", lines));
    return 0;
}
