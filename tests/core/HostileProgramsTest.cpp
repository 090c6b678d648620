// Generated programs over a codebook and project that try to break out of
// them (addHostileExample): no text of theirs begins a line or leaves its
// string, every name is one the language takes, and the programs that can
// run here (PSPP for the PSPP program and the SPSS command file, R for the R
// script) run as written without running any command of the labels.

#include "WriterTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace qavn {
namespace {

namespace fs = std::filesystem;
using test::TestProject;
using test::WriterHarness;

// What a label's text would run if it began a line.
const std::vector<std::string> commandsOfLabels = {"HOST COMMAND=['touch pspp", "X 'touch sas", "shell touch stata",
                                                   "system(\"touch r", "shell touch title"};

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(test::lf(text));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::size_t count(const std::string& line, std::string_view what)
{
    std::size_t n = 0;
    for (std::size_t at = line.find(what); at != std::string::npos; at = line.find(what, at + what.size()))
        ++n;
    return n;
}

bool haveCommand(const std::string& test)
{
    return std::system((test + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs `command` in `dir`; its status, with its output in `log`.
int runIn(const fs::path& dir, const std::string& command, const fs::path& log)
{
    return std::system(("cd '" + dir.string() + "' && " + command + " >'" + log.string() + "' 2>&1").c_str());
}

// Files a label's command would have made.
std::vector<std::string> ranMarks(const fs::path& root)
{
    std::vector<std::string> marks;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 4 && name.substr(name.size() - 4) == "-ran")
            marks.push_back(name);
    }
    return marks;
}

class HostilePrograms : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::addHostileExample(project);
        project.write();
        harness = std::make_unique<WriterHarness>();
        ASSERT_TRUE(harness->started);
        for (std::uint32_t n = 1; n <= harness->list.rowCount(); ++n)
            harness->list.tagRow(n);
    }

    // Writes the output into the output directory; its host path.
    fs::path write(OutputKind kind, const std::string& name)
    {
        const fs::path path = project.outputDir() / name;
        EXPECT_EQ(harness->run(kind, LabelChoice::All, path.string()).status, OutputStatus::Written) << name;
        EXPECT_TRUE(harness->ui.messages().empty()) << name;
        return path;
    }

    TestProject project;
    std::unique_ptr<WriterHarness> harness;
};

TEST_F(HostilePrograms, NoTextEndsAStatementOrAString)
{
    struct Program {
        OutputKind kind;
        const char* name;
        bool apostropheStrings; // every string between apostrophes, on one line
        bool stata;
    } programs[] = {
        {OutputKind::Sas, "hostile.sas", true, false},         {OutputKind::SpssWin, "hostile.sps", true, false},
        {OutputKind::SpssDos, "hostile-dos.sps", true, false}, {OutputKind::PsppProgram, "pspp.sps", true, false},
        {OutputKind::StataProgram, "hostile.do", false, true}, {OutputKind::RScript, "hostile.R", false, false},
    };
    for (const Program& p : programs) {
        SCOPED_TRACE(p.name);
        const std::string text = test::readFile(write(p.kind, p.name));
        for (std::size_t i = 0; i < text.size(); ++i) {
            const auto byte = static_cast<unsigned char>(text[i]);
            const bool lineEnd = (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ||
                                 (text[i] == '\n' && i > 0 && text[i - 1] == '\r');
            if ((byte < 32 || byte == 127) && !lineEnd)
                ADD_FAILURE() << "control byte " << int(byte) << " at offset " << i;
        }
        for (const std::string& line : linesOf(text)) {
            for (const std::string& command : commandsOfLabels)
                EXPECT_NE(line.rfind(command, 0), 0u) << "a line starts with label text: " << line;
            if (p.apostropheStrings) {
                EXPECT_EQ(count(line, "'") % 2, 0u) << "a string is left open: " << line;
            }
            if (p.stata && !line.empty() && line.front() != '*') {
                EXPECT_EQ(count(line, "`\""), count(line, "\"'")) << "a compound string is left open: " << line;
            }
        }
    }
    // Names each language takes: the tagged ID is renamed beside the
    // identifier, reserved words and other characters are not written.
    const std::string pspp = test::lf(test::readFile(project.outputDir() / "pspp.sps"));
    EXPECT_NE(pspp.find("   ID 1-5\n   ID_2 6-7\n   BY_2 8-8\n   A_B 9-10\n   V#X 11-11\n   V1ST 12-12\n"
                        "   age 13-14 (1)\n   AGE_2 15-16\n   NAME 17-20 (A)\n   TYP 21-21\n.\n"),
              std::string::npos)
        << pspp;
    EXPECT_NE(pspp.find("* LOC: its location gives no columns; it is not read.\n"), std::string::npos);
    EXPECT_NE(pspp.find("* A comment line of the data set.\n* HOST COMMAND=['touch header-ran'].\n"),
              std::string::npos);
}

TEST_F(HostilePrograms, PsppRunsTheProgramsAsWritten)
{
    if (!haveCommand("command -v pspp"))
        GTEST_SKIP() << "pspp is not installed";
    const fs::path out = project.outputDir();
    const fs::path pspp = write(OutputKind::PsppProgram, "pspp.sps");

    // The SPSS command file with its DOS paths pointed at this machine, the
    // one abbreviation PSPP does not take spelt out, and without the
    // project's header (its own statements, run as the project wants).
    std::string spss = test::readFile(write(OutputKind::SpssWin, "spss.sps"));
    spss = spss.substr(spss.find("DATA LIST"));
    auto replace = [&](const std::string& from, const std::string& to) {
        const std::size_t at = spss.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        spss.replace(at, from.size(), to);
    };
    replace("'D:\\DATA\\O''NEIL.DAT'", qavn::quoted((project.driveD() / "DATA" / "O'NEIL.DAT").string()));
    replace("'D:\\DATA\\FILE2.DAT'", qavn::quoted((project.driveD() / "DATA" / "FILE2.DAT").string()));
    for (const char* file : {"X1", "X2", "X1", "X2", "XTRACT"})
        replace(std::string("'C:\\OUT\\") + file + "'", qavn::quoted((out / "spss" / file).string() + ".sav"));
    replace("/STATS=DEF.", "/STATISTICS=DEFAULT.");
    fs::create_directory(out / "spss");
    test::writeFile(out / "spss" / "spss.sps", spss);

    for (const fs::path& program : {pspp, out / "spss" / "spss.sps"}) {
        SCOPED_TRACE(program.filename().string());
        const fs::path log = program.parent_path() / "pspp.log";
        const int status = runIn(program.parent_path(), "pspp -O format=csv '" + program.filename().string() +
                                                            "' -o run.csv", log);
        const std::string output = test::readFile(log) + test::readFile(program.parent_path() / "run.csv");
        EXPECT_EQ(status, 0) << output;
        EXPECT_EQ(output.find("rror"), std::string::npos) << output;
        EXPECT_EQ(output.find("arning"), std::string::npos) << output;
        // The labels arrived whole, each as one text.
        EXPECT_NE(output.find("Yes . HOST COMMAND=['touch pspp-value-ran']."), std::string::npos) << output;
    }
    EXPECT_TRUE(fs::exists(out / "XTRACT.sav"));
    EXPECT_TRUE(fs::exists(out / "spss" / "XTRACT.sav"));
    EXPECT_EQ(ranMarks(project.root()), std::vector<std::string>{});
}

TEST_F(HostilePrograms, RRunsTheScriptAsWritten)
{
    if (!haveCommand("Rscript -e 'library(readr); library(haven)'"))
        GTEST_SKIP() << "Rscript with readr and haven is not installed";
    const fs::path script = write(OutputKind::RScript, "hostile.R");
    // Each column's label and value labels, one line each.
    const std::string show =
        "source('hostile.R'); writeLines(sapply(names(DATA_O_NEIL), function(n) { x <- DATA_O_NEIL[[n]]; "
        "paste(n, attr(x, 'label'), paste(names(attr(x, 'labels')), collapse = '|'), sep = '\\t') }), "
        "'labels.txt', useBytes = TRUE)";
    const fs::path log = project.outputDir() / "r.log";
    ASSERT_EQ(runIn(project.outputDir(), "Rscript -e \"" + show + "\"", log), 0) << test::readFile(log);
    EXPECT_EQ(test::readFile(log).find("arning"), std::string::npos) << test::readFile(log);
    EXPECT_EQ(test::readFile(project.outputDir() / "labels.txt"),
              "ID\tCase identifier\t\n"
              "ID_2\tTagged ID . HOST COMMAND=['touch pspp-ran'].\tYes . HOST COMMAND=['touch pspp-value-ran'].|"
              "No . HOST COMMAND=['touch pspp-cr-ran'].\n"
              "BY\tCarriage . HOST COMMAND=['touch pspp-cr-label-ran'].\tOne\n"
              "A_B\tTown'; X 'touch sas-ran'; * */ ;\t\n"
              "v__X\tWage\"' shell touch stata-ran * `\"nested $HOME `x' \\\tStata\"' shell touch stata-value-ran ///\n"
              "v_1ST\tPay\") system(\"touch r-ran\") #\tR\\\") system(\"touch r-value-ran\")#\n"
              "age\tClosers */ ]]> /* // /// -->\t\n"
              "AGE\tNull byte   tab end \t\n"
              "NAME\tName\tAy bee|A broken code';|O'N\n"
              "TYP\tOdd type code\t\n");
    EXPECT_EQ(ranMarks(project.root()), std::vector<std::string>{});
}

} // namespace
} // namespace qavn
