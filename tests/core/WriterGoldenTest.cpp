// Generated programs and codebook texts compared byte for byte with the
// files under tests/golden/<writer>/<case>/expected.*. A mismatch writes the
// actual output beside the build (golden-actual/<writer>/<case>/) and prints
// where the two part.

#include "WriterTestSupport.h"

#include <filesystem>
#include <functional>
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
    std::string extension;
    int kind;
    int choice;
    std::vector<std::uint32_t> tagged;
};

void PrintTo(const GoldenCase& c, std::ostream* os)
{
    *os << c.writer << "/" << c.name;
}

const std::vector<GoldenCase>& goldenCases()
{
    static const std::vector<GoldenCase> cases = {
        {"sas", "worked_example", "sas", 1, choice::all, {12, 14, 15}},
        {"sas", "two_files", "sas", 1, choice::all, {12, 14, 15, 16}},
        {"spss", "worked_example_win", "sps", 3, choice::all, {12, 14, 15}},
        {"spss", "worked_example_dos", "sps", 2, choice::all, {12, 14, 15}},
        {"spss", "two_files_dos", "sps", 2, choice::all, {12, 14, 15, 16}},
        {"codebook", "worked_example", "txt", 5, choice::none, {12}},
        {"codebook", "shared_description", "txt", 5, choice::none, {12, 13}},
    };
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
    const fs::path expectedPath = goldenRoot() / c.writer / c.name / ("expected." + c.extension);
    ASSERT_TRUE(fs::exists(expectedPath)) << expectedPath;
    const std::string expected = test::readFile(expectedPath);

    TestProject project;
    test::addWorkedExample(project);
    project.write();
    WriterHarness h;
    ASSERT_TRUE(h.started);
    for (auto n : c.tagged)
        h.list.tagRow(n);
    const std::string out = (project.outputDir() / ("result." + c.extension)).string();
    const OutputResult result = h.run(c.kind, c.choice, out);
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

// Every golden folder of these writers has its case, so none is silently
// left out.
TEST(WriterGoldenFolders, EveryFolderHasACase)
{
    std::set<std::string> known;
    for (const auto& c : goldenCases())
        known.insert(c.writer + "/" + c.name);
    for (const std::string writer : {"sas", "spss", "codebook"}) {
        for (const auto& entry : fs::directory_iterator(goldenRoot() / writer))
            EXPECT_TRUE(known.count(writer + "/" + entry.path().filename().string())) << entry.path();
    }
}

} // namespace
} // namespace qavn
