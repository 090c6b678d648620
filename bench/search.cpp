// Tag All Match over the million-variable project, against grep doing the
// least a search must do: reading every byte of the codebook text once,
// case-insensitively, looking for the same text. grep reads a copy of the
// text file whose line ends (0xDB) are newlines. Three searches: a text that
// occurs nowhere (ZQXJ) in all four fields, a text in every tenth description
// (TENTHMARK), and the same with Whole Words.

#include "BenchSupport.h"

#include "codebook/Catalogue.h"
#include "codebook/CodebookStore.h"
#include "platform/ScriptedUi.h"
#include "search/Search.h"
#include "catalogue/VariableList.h"

#include <cstdio>
#include <cstdlib>

using namespace qavn;
namespace fs = std::filesystem;

namespace {

// The text file with every line end turned into a newline, made once.
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

// grep stops at the first match when its output is /dev/null, so the count
// goes to a file.
double grepSeconds(const std::string& options, const std::string& text, const fs::path& file)
{
    const fs::path count = file.parent_path() / "grep.count";
    const std::string command = "LC_ALL=C grep " + options + " -c " + bench::shellQuote(text) + " " +
                                bench::shellQuote(file.string()) + " > " + bench::shellQuote(count.string());
    bench::run(command); // warm the page cache
    return bench::bestOf(4, [&] { bench::run(command); });
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_search BENCH-DATA-DIR\n");
        return 1;
    }
    const fs::path benchData = argv[1];
    const fs::path project = bench::millionProject(benchData);
    ::setenv("QAVN_DRIVE_C", (project / "c").c_str(), 1);
    const fs::path textFile = project / "c" / "QAVN" / "SYN" / "SYN02.CDC";
    const fs::path lines = linesCopy(benchData, textFile);

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
               grepSeconds("-F -i", "ZQXJ", lines));

    const double tenth = tagAll("TENTHMARK", false, matches);
    std::fprintf(stderr, "TENTHMARK: %u variables tagged\n", matches);
    bench::row("Tag All Match TENTHMARK (every 10th description), 4 fields", tenth, "grep -F -i -c TENTHMARK",
               grepSeconds("-F -i", "TENTHMARK", lines));

    const double whole = tagAll("TENTHMARK", true, matches);
    std::fprintf(stderr, "TENTHMARK, whole words: %u variables tagged\n", matches);
    bench::row("Tag All Match TENTHMARK, Whole Words, 4 fields", whole, "grep -F -i -w -c TENTHMARK",
               grepSeconds("-F -i -w", "TENTHMARK", lines));
    return 0;
}
