// The import: qavn-import of a synthetic SPSS file of 1,000,000 cases x 200
// variables (written once with ReadStat's writer into the bench-data cache)
// beside PSPP's pspp-convert of the same file to CSV, each a program of its
// own, run in turns for a few rounds (the file in the page cache): the
// medians of their CPU and wall times, their ratio and peak RSS. The
// import's peak RSS at a tenth of the cases shows that memory does not grow
// with them. Then DDI codebooks: 10,000 variables (27 MB, under a second)
// beside xmllint --stream reading the same XML, and the peak RSS of a
// 20,000-variable (55 MB) one.
//
//   bench_import BENCH_DATA [ROUNDS]     (3 rounds unless told; each takes
//                                         about 75 s on an idle machine)

#include "BenchSupport.h"

#include <readstat.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstring>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;
using namespace qavn::bench;

namespace {

struct Run {
    double seconds = 0;
    double peakMb = 0;
};

// Runs a program with its output thrown away; its wall time and peak RSS.
Run measure(const std::vector<std::string>& argv)
{
    const double start = seconds();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, 1);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        std::perror(args[0]);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Run run;
    run.seconds = seconds() - start;
    run.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", argv[0].c_str());
        std::exit(1);
    }
    return run;
}

ssize_t writeBytes(const void* bytes, size_t length, void* ctx)
{
    return ::write(*static_cast<int*>(ctx), bytes, length);
}

// 200 variables: 150 whole numbers 1-9 (every third with value labels), 40
// amounts with two decimals, 10 texts of up to 8 characters.
void writeSav(const fs::path& path, long cases)
{
    const fs::path temporary = path.string() + ".tmp";
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    readstat_writer_t* writer = readstat_writer_init();
    readstat_set_data_writer(writer, &writeBytes);
    readstat_label_set_t* labels = readstat_add_label_set(writer, READSTAT_TYPE_DOUBLE, "scale");
    static const char* const names[] = {"None", "Very low", "Low", "Rather low", "Middle",
                                        "Rather high", "High", "Very high", "Complete", "All"};
    for (int v = 0; v <= 9; ++v)
        readstat_label_double_value(labels, v, names[v]);
    std::vector<readstat_variable_t*> vars;
    for (int i = 0; i < 200; ++i) {
        const std::string name = (i < 150 ? "q" : i < 190 ? "amount" : "text") + std::to_string(i + 1);
        readstat_variable_t* v =
            readstat_add_variable(writer, name.c_str(), i < 190 ? READSTAT_TYPE_DOUBLE : READSTAT_TYPE_STRING,
                                  i < 190 ? 0 : 8);
        readstat_variable_set_label(v, ("Question " + std::to_string(i + 1) + " of the synthetic survey").c_str());
        if (i < 150 && i % 3 == 0)
            readstat_variable_set_label_set(v, labels);
        if (i >= 150 && i < 190)
            readstat_variable_set_format(v, "F10.2");
        vars.push_back(v);
    }
    readstat_begin_writing_sav(writer, &fd, cases);
    static const char* const texts[] = {"alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", ""};
    std::uint64_t state = 88172645463325252ull;
    auto next = [&] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    for (long c = 0; c < cases; ++c) {
        readstat_begin_row(writer);
        for (int i = 0; i < 200; ++i) {
            const std::uint64_t r = next();
            if (i < 150)
                readstat_insert_double_value(writer, vars[i], static_cast<double>(r % 10));
            else if (i < 190)
                readstat_insert_double_value(writer, vars[i], static_cast<double>(r % 10000000) / 100.0);
            else
                readstat_insert_string_value(writer, vars[i], texts[r % 8]);
        }
        readstat_end_row(writer);
    }
    readstat_end_writing(writer);
    readstat_writer_free(writer);
    if (::close(fd) != 0) {
        std::fprintf(stderr, "cannot write %s\n", temporary.c_str());
        std::exit(1);
    }
    fs::rename(temporary, path);
}

// A DDI codebook of `variables` two-column variables with a question, notes
// and eleven categories each, and its data file of 10 cases.
void writeDdi(const fs::path& xml, int variables)
{
    const std::string text = "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor "
                             "incididunt ut labore et dolore magna aliqua. ";
    std::string question;
    std::string notes;
    for (int i = 0; i < 8; ++i)
        question += text;
    for (int i = 0; i < 5; ++i)
        notes += text;
    std::ofstream out(xml.string() + ".tmp");
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<codeBook xmlns=\"ddi:codebook:2_5\" version=\"2.5\">\n"
        << "<fileDscr ID=\"F1\"><fileTxt><fileName>" << xml.stem().string()
        << ".dat</fileName></fileTxt></fileDscr>\n<dataDscr>\n";
    for (int i = 1; i <= variables; ++i) {
        const int at = 2 * i - 1;
        out << "<var ID=\"V" << i << "\" name=\"v" << i << "\" files=\"F1\" intrvl=\"discrete\"><location StartPos=\""
            << at << "\" EndPos=\"" << at + 1 << "\" width=\"2\"/><labl>Variable " << i << " label text</labl>\n"
            << "<qstn><qstnLit>" << question << "</qstnLit></qstn><universe>All persons aged 15 and over</universe>"
            << "<notes>" << notes << "</notes>\n";
        for (int c = 1; c <= 10; ++c)
            out << "<catgry><catValu>" << c << "</catValu><labl>Category " << c << " of variable " << i
                << "</labl></catgry>\n";
        out << "<catgry missing=\"Y\"><catValu>99</catValu><labl>Not stated</labl></catgry>"
            << "<varFormat type=\"numeric\"/></var>\n";
    }
    out << "</dataDscr></codeBook>\n";
    std::ofstream data(xml.parent_path() / (xml.stem().string() + ".dat"));
    for (int c = 0; c < 10; ++c) {
        for (int i = 1; i <= variables; ++i)
            data << (i + c) % 10 + 1 << (((i + c) % 10 + 1) < 10 ? " " : "");
        data << "\n";
    }
    out.close();
    data.close();
    if (!out || !data) {
        std::fprintf(stderr, "cannot write %s\n", xml.c_str());
        std::exit(1);
    }
    fs::rename(xml.string() + ".tmp", xml);
}

std::string sizeMb(const fs::path& path)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.0f MB", static_cast<double>(fs::file_size(path)) / 1e6);
    return buffer;
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc == 3 ? std::atoi(argv[2]) : 3;
    if ((argc != 2 && argc != 3) || rounds < 1) {
        std::fprintf(stderr, "usage: bench_import BENCH_DATA [ROUNDS]\n");
        return 2;
    }
    const fs::path dir = fs::path(argv[1]) / "import";
    fs::create_directories(dir);
    const std::string import = (programDir() / "qavn-import").string();
    const fs::path out = dir / "project";

    // The data files, made once.
    const fs::path big = dir / "cases1m.sav";
    const fs::path small = dir / "cases100k.sav";
    for (const auto& [path, cases] : {std::pair{big, 1'000'000L}, std::pair{small, 100'000L}})
        if (!fs::exists(path)) {
            std::fprintf(stderr, "writing %s (%ld cases x 200 variables, once) ...\n", path.c_str(), cases);
            writeSav(path, cases);
        }
    const fs::path ddi10k = dir / "ddi10k.xml";
    const fs::path ddi20k = dir / "ddi20k.xml";
    if (!fs::exists(ddi10k))
        writeDdi(ddi10k, 10'000);
    if (!fs::exists(ddi20k))
        writeDdi(ddi20k, 20'000);

    const bool havePspp = run("command -v pspp-convert > /dev/null");
    run("cat " + shellQuote(big.string()) + " > /dev/null"); // warm the page cache for both
    const std::string mb = sizeMb(big);
    const std::string importBig = shellQuote(import) + " " + shellQuote(big.string()) + " --id BIG --out " +
                                  shellQuote(out.string()) + " --force > /dev/null";
    const fs::path csv = dir / "pspp.csv";
    std::vector<std::string> commands = {importBig};
    if (havePspp)
        commands.push_back("pspp-convert -O csv " + shellQuote(big.string()) + " " + shellQuote(csv.string()));
    else
        std::fprintf(stderr, "pspp-convert not found: the import runs without its anchor\n");
    std::fprintf(stderr, "%d rounds of %s ...\n", rounds, havePspp ? "qavn-import and pspp-convert" : "qavn-import");
    const auto runs = interleaved(rounds, commands, false);
    fs::remove(csv);
    const std::string what = "import .sav 1M cases x 200 variables (" + mb + ")";
    if (havePspp) {
        row(what + ", CPU", medianCpu(runs[0]), "pspp-convert to CSV, CPU", medianCpu(runs[1]), peakMb(runs[0]));
        row(what + ", wall", medianWall(runs[0]), "pspp-convert to CSV, wall", medianWall(runs[1]), peakMb(runs[0]));
        row("import .sav 1M x 200, peak RSS (MB)", peakMb(runs[0]), "pspp-convert, peak RSS (MB)", peakMb(runs[1]));
    } else {
        row(what + ", CPU", medianCpu(runs[0]), "-", 0, peakMb(runs[0]));
    }
    const Run tenth = measure({import, small.string(), "--id", "SMALL", "--out", out.string(), "--force"});
    row("import .sav, peak RSS (MB) at 1M cases", peakMb(runs[0]), "the same at 100,000 cases", tenth.peakMb);

    const Run xml10k = [&] {
        run("cat " + shellQuote(ddi10k.string()) + " > /dev/null");
        Run best;
        best.seconds = 1e300;
        for (int i = 0; i < 3; ++i) {
            const Run r = measure({import, ddi10k.string(), "--id", "DDI", "--out", out.string(), "--force"});
            if (r.seconds < best.seconds)
                best = r;
        }
        return best;
    }();
    const double xmllint = bestOf(3, [&] { run("xmllint --stream --noout " + shellQuote(ddi10k.string())); });
    row("import DDI 10,000 variables (" + sizeMb(ddi10k) + ")", xml10k.seconds, "xmllint --stream of it", xmllint);
    const Run xml20k = measure({import, ddi20k.string(), "--id", "DDI", "--out", out.string(), "--force"});
    row("import DDI 20,000 variables (" + sizeMb(ddi20k) + "), peak RSS (MB)", xml20k.peakMb,
        "the same at 10,000 variables", xml10k.peakMb);
    std::error_code ec;
    fs::remove_all(out, ec);
    return 0;
}
