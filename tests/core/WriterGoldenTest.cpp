// Generated programs, codebook texts and tag files compared byte for byte
// with the files under tests/golden/<writer>/<case>/expected.*. Each case
// folder holds its inputs in case.txt, one "key value" line each ("#" starts
// a comment):
//   project worked_example    the test project (see projectBuilders)
//   format sas                the output, by its batch name
//   labels all                all, categorical or none (default all)
//   tags 12 14 15             the tagged variables
// A mismatch writes the actual output beside the build
// (golden-actual/<writer>/<case>/) and prints where the two part.

#include "WriterTestSupport.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

namespace qavn {
namespace {

namespace fs = std::filesystem;
using test::TestProject;
using test::WriterHarness;

struct GoldenCase {
    std::string writer;
    std::string name;
    std::string extension; // of the expected file
    std::string project;
    const OutputFormat* format = nullptr;
    LabelChoice choice = LabelChoice::All;
    std::vector<std::uint32_t> tagged;
    std::string error; // what is wrong with the case folder; empty when nothing
};

void PrintTo(const GoldenCase& c, std::ostream* os)
{
    *os << c.writer << "/" << c.name;
}

// The projects the cases name.
const std::map<std::string, std::function<void(TestProject&)>>& projectBuilders()
{
    static const std::map<std::string, std::function<void(TestProject&)>> builders = {
        {"worked_example", test::addWorkedExample},
        {"hostile", test::addHostileExample},
    };
    return builders;
}

fs::path goldenRoot();

GoldenCase readCase(const fs::path& dir)
{
    GoldenCase c;
    c.writer = dir.parent_path().filename().string();
    c.name = dir.filename().string();
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string file = entry.path().filename().string();
        if (file.rfind("expected.", 0) == 0)
            c.extension = file.substr(9);
    }
    std::ifstream in(dir / "case.txt");
    if (!in)
        c.error = "no case.txt";
    std::string line;
    while (c.error.empty() && std::getline(in, line)) {
        std::istringstream words(line);
        std::string key;
        if (!(words >> key) || key[0] == '#')
            continue;
        std::string value;
        if (key == "project") {
            words >> c.project;
            if (!projectBuilders().count(c.project))
                c.error = "unknown project " + c.project;
        } else if (key == "format") {
            words >> value;
            c.format = findOutputFormat(value);
            if (!c.format || c.format->files != OutputFiles::One)
                c.error = "no one-file output format " + value;
        } else if (key == "labels") {
            words >> value;
            if (value == "all")
                c.choice = LabelChoice::All;
            else if (value == "categorical")
                c.choice = LabelChoice::Categorical;
            else if (value == "none")
                c.choice = LabelChoice::NoReservedCodes;
            else
                c.error = "labels takes all, categorical or none";
        } else if (key == "tags") {
            for (std::uint32_t n = 0; words >> n;)
                c.tagged.push_back(n);
            if (!words.eof())
                c.error = "tags takes variable numbers";
        } else {
            c.error = "unknown key " + key;
        }
    }
    if (c.error.empty() && (c.project.empty() || !c.format || c.tagged.empty() || c.extension.empty()))
        c.error = "needs project, format, tags and an expected file";
    return c;
}

// Every case folder, tests/golden/<writer>/<case>/, in name order.
const std::vector<GoldenCase>& goldenCases()
{
    static const std::vector<GoldenCase> cases = [] {
        std::set<fs::path> dirs;
        for (const auto& writer : fs::directory_iterator(goldenRoot()))
            if (writer.is_directory())
                for (const auto& dir : fs::directory_iterator(writer.path()))
                    if (dir.is_directory())
                        dirs.insert(dir.path());
        std::vector<GoldenCase> list;
        for (const fs::path& dir : dirs)
            list.push_back(readCase(dir));
        return list;
    }();
    return cases;
}

fs::path goldenRoot()
{
    return fs::path(QAVN_SOURCE_DIR) / "tests" / "golden";
}

// Line number (1-based) and both lines where the texts first differ.
std::string describeDifference(const std::string& expected, const std::string& actual)
{
    auto visible = [](std::string line) {
        std::string out;
        for (char c : line) {
            if (c == '\r')
                out += "\\r";
            else
                out += c;
        }
        return "[" + out + "]";
    };
    std::istringstream e(expected);
    std::istringstream a(actual);
    std::string le;
    std::string la;
    for (int line = 1;; ++line) {
        const bool moreE = static_cast<bool>(std::getline(e, le));
        const bool moreA = static_cast<bool>(std::getline(a, la));
        if (!moreE && !moreA)
            return "texts differ only in their final line end";
        if (!moreE || !moreA || le != la) {
            std::ostringstream s;
            s << "first difference at line " << line << "\n  expected: " << (moreE ? visible(le) : "<end>")
              << "\n  actual:   " << (moreA ? visible(la) : "<end>");
            return s.str();
        }
    }
}

class WriterGolden : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(WriterGolden, MatchesExpectedBytes)
{
    const GoldenCase& c = GetParam();
    ASSERT_EQ(c.error, "") << c.writer << "/" << c.name;
    const fs::path expectedPath = goldenRoot() / c.writer / c.name / ("expected." + c.extension);
    ASSERT_TRUE(fs::exists(expectedPath)) << expectedPath;
    const std::string expected = test::readFile(expectedPath);

    TestProject project;
    projectBuilders().at(c.project)(project);
    project.write();
    WriterHarness h;
    ASSERT_TRUE(h.started);
    for (auto n : c.tagged)
        h.list.tagRow(n);
    const std::string out = (project.outputDir() / ("result." + c.extension)).string();
    const OutputResult result = h.run(c.format->kind, c.choice, out);
    EXPECT_EQ(result.status, OutputStatus::Written);
    EXPECT_TRUE(h.ui.messages().empty());
    const std::string actual = test::readFile(out);
    if (actual != expected) {
        const fs::path dir = fs::path(QAVN_BINARY_DIR) / "golden-actual" / c.writer / c.name;
        fs::create_directories(dir);
        test::writeFile(dir / ("actual." + c.extension), actual);
        ADD_FAILURE() << c.writer << "/" << c.name << ": output differs from " << expectedPath << "\n"
                      << describeDifference(expected, actual) << "\n  actual output: "
                      << (dir / ("actual." + c.extension)).string() << "\n  compare: diff " << expectedPath
                      << " " << (dir / ("actual." + c.extension));
    }
}

INSTANTIATE_TEST_SUITE_P(Writers, WriterGolden, ::testing::ValuesIn(goldenCases()),
                         [](const ::testing::TestParamInfo<GoldenCase>& info) {
                             return info.param.writer + "_" + info.param.name;
                         });

// Every golden folder is a case that can run, so none is silently left out.
TEST(WriterGoldenFolders, EveryFolderHasACase)
{
    std::set<std::string> known;
    for (const auto& c : goldenCases()) {
        EXPECT_EQ(c.error, "") << c.writer << "/" << c.name;
        known.insert(c.writer + "/" + c.name);
    }
    for (const std::string writer : {"sas", "spss", "codebook"}) {
        for (const auto& entry : fs::directory_iterator(goldenRoot() / writer))
            EXPECT_TRUE(known.count(writer + "/" + entry.path().filename().string())) << entry.path();
    }
}

} // namespace
} // namespace qavn
