// The bundled demo project, built from samples/demo/demo.json with
// qavn-mkproject: its codebook must agree with its raw data, and it must hold
// the long and unusual items the program has to cope with.

#include "MkProjectSupport.h"

#include "codebook/CodebookStore.h"
#include "platform/ScriptedUi.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <set>

namespace qavn::test {
namespace {

namespace fs = std::filesystem;

class DemoProject : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new TempDir;
        const std::string source = std::string(QAVN_SOURCE_DIR) + "/samples/demo/demo.json";
        status_ = runMkProject(quoted(source) + " --out " + quoted((dir_->path() / "demo").string()), &errors_);
    }
    static void TearDownTestSuite()
    {
        delete dir_;
        dir_ = nullptr;
    }

    void SetUp() override
    {
        ASSERT_EQ(status_, 0) << errors_;
        ASSERT_TRUE(store_.open(resource().string(), "DEMO"));
    }

    static fs::path root() { return dir_->path() / "demo"; }
    static fs::path resource() { return root() / "c" / "QAVN" / "DEMO"; }

    std::string description(const VariableRecord& r, std::uint32_t* lines = nullptr)
    {
        std::string text;
        std::uint32_t n = 0;
        store_.readLines(r.descriptionRef, r.descriptionLineCount, LineVariant::FileEcho, [&](std::string_view l) {
            text.append(l);
            ++n;
            return true;
        });
        if (lines)
            *lines = n;
        return text;
    }

    static TempDir* dir_;
    static int status_;
    static std::string errors_;
    ScriptedUi ui_;
    CodebookStore store_{ui_};
};

TempDir* DemoProject::dir_ = nullptr;
int DemoProject::status_ = -1;
std::string DemoProject::errors_;

TEST_F(DemoProject, HasTheProjectFiles)
{
    EXPECT_EQ(readFile(root() / "DEMOQAV.CFG"), "C:\\QAVN\\DEMO\r\nC:\\QAVN\\OUT\r\nD\r\n0\r\n0\r\n2");
    const std::string spec = readFile(resource() / "QAVSPEC.DEMO");
    EXPECT_EQ(spec.rfind("NATIONAL YOUTH SURVEY 1997 - DEMO EDITION\r\nDEMO\r\n3\r\n", 0), 0u) << spec;
    const auto files = specDataFiles(resource() / "QAVSPEC.DEMO");
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].linesPerCase, 3);
    EXPECT_EQ(files[0].idLocation, "1-5");
    EXPECT_EQ(files[1].idLocation, "1-5");
    EXPECT_EQ(files[2].idLocation, "0");
    if (fs::exists(fs::path(QAVN_SOURCE_DIR) / "samples" / "demo" / "logo.bmp")) {
        EXPECT_TRUE(fs::exists(root() / "logo.bmp"));
    }
    EXPECT_GE(store_.recordCount(), 500u);
    EXPECT_LE(store_.recordCount(), 700u);
}

// For every variable with category lines: the frequency of each code equals
// the number of cases whose field, trimmed, is that code (without enclosing
// apostrophes), and the percent is that count over all cases, one decimal.
TEST_F(DemoProject, FrequenciesCountTheRawData)
{
    const auto files = specDataFiles(resource() / "QAVSPEC.DEMO");
    std::vector<std::vector<std::string>> raw;
    std::size_t cases = 0;
    for (const auto& f : files) {
        bool crlf = false;
        raw.push_back(rawLines(rawPath(root(), f.dataPath), &crlf));
        EXPECT_TRUE(crlf) << f.dataPath;
        ASSERT_EQ(raw.back().size() % static_cast<std::size_t>(f.linesPerCase), 0u);
        const std::size_t n = raw.back().size() / static_cast<std::size_t>(f.linesPerCase);
        if (cases == 0)
            cases = n;
        EXPECT_EQ(n, cases) << "every data file holds every case";
        if (f.idLocation == "0")
            continue;
        for (std::size_t c = 0; c < n; ++c) {
            ASSERT_EQ(fieldOf(raw.back(), c, f.linesPerCase, 1, f.idLocation),
                      std::string(5 - std::to_string(c + 1).size(), '0') + std::to_string(c + 1));
        }
    }
    ASSERT_GE(cases, 500u);

    std::uint32_t categorical = 0;
    std::uint32_t checkedLines = 0;
    for (std::uint32_t k = 1; k <= store_.recordCount(); ++k) {
        const VariableRecord r = store_.recordAt(k);
        ASSERT_GE(r.fileNumber, 1u);
        ASSERT_LE(r.fileNumber, files.size());
        const auto& lines = raw[r.fileNumber - 1u];
        const int perCase = files[r.fileNumber - 1u].linesPerCase;
        const std::string location(r.locationText());
        if (r.typeCode == ' ')
            ++categorical;
        long total = 0;
        store_.readLines(r.categoryRef, r.categoryLineCount, LineVariant::CategoryFields, [&](std::string_view line) {
            const CategoryFields f = splitCategoryLine(line);
            std::string value(f.code);
            if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'')
                value = value.substr(1, value.size() - 2);
            long count = 0;
            for (std::size_t c = 0; c < cases; ++c)
                count += trimBlanks(fieldOf(lines, c, perCase, r.recordNumber, location)) == value;
            EXPECT_EQ(std::string(f.frequency), std::to_string(count)) << r.variableName() << " code " << f.code;
            EXPECT_EQ(std::string(f.percent), percentOf(count, static_cast<long>(cases)))
                << r.variableName() << " code " << f.code;
            EXPECT_LE(line.size(), 80u);
            total += count;
            ++checkedLines;
            return true;
        });
        // A categorical variable draws only its codes: the counts add up to all cases.
        if (r.typeCode == ' ') {
            EXPECT_EQ(total, static_cast<long>(cases)) << r.variableName();
        }
    }
    EXPECT_GT(categorical, 250u);
    EXPECT_GT(checkedLines, 3000u);
}

TEST_F(DemoProject, HoldsTheLongAndUnusualItems)
{
    bool over32k = false;
    bool over800Lines = false;
    bool over800Categories = false;
    bool apostropheLabel = false;
    bool apostropheCode = false;
    bool reservedLabel = false;
    bool sharedBlock = false;
    std::map<char, int> types;
    std::set<std::string> sections;
    for (std::uint32_t k = 1; k <= store_.recordCount(); ++k) {
        const VariableRecord r = store_.recordAt(k);
        ++types[std::isdigit(static_cast<unsigned char>(r.typeCode)) && r.typeCode != '0' ? 'd' : r.typeCode];
        sections.insert(std::string(store_.readLine(r.sectionRef)));
        const std::string label(store_.readLine(r.labelRef));
        apostropheLabel = apostropheLabel || label.find('\'') != std::string::npos;
        std::uint32_t lines = 0;
        const std::string text = description(r, &lines);
        EXPECT_EQ(lines, r.descriptionLineCount) << r.variableName();
        over32k = over32k || text.size() > 32000;
        over800Lines = over800Lines || r.descriptionLineCount > 800;
        over800Categories = over800Categories || r.categoryLineCount > 800;
        sharedBlock = sharedBlock ||
                      (k > 1 && store_.recordAt(k - 1).descriptionRef == r.descriptionRef && r.descriptionLineCount > 0);
        store_.readLines(r.categoryRef, r.categoryLineCount, LineVariant::CategoryFields, [&](std::string_view line) {
            const CategoryFields f = splitCategoryLine(line);
            apostropheCode = apostropheCode || (r.typeCode == 'A' && f.code.size() == 3 && f.code.front() == '\'');
            reservedLabel = reservedLabel || (f.code == "-1" && f.label == "{Refused}");
            return true;
        });
    }
    EXPECT_TRUE(over32k) << "a description of more than 32,000 characters";
    EXPECT_TRUE(over800Lines) << "a description of more than 800 lines";
    EXPECT_TRUE(over800Categories) << "a variable with more than 800 category lines";
    EXPECT_TRUE(apostropheLabel);
    EXPECT_TRUE(apostropheCode) << "alphanumeric codes such as 'M'";
    EXPECT_TRUE(reservedLabel) << "reserved codes such as -1 {Refused}";
    EXPECT_TRUE(sharedBlock) << "one description shared by consecutive variables";
    EXPECT_GT(types[' '], 0);
    EXPECT_GT(types['0'], 0);
    EXPECT_GT(types['A'], 0);
    EXPECT_GT(types['d'], 0) << "implied-decimal variables";
    EXPECT_GE(sections.size(), 10u);
}

} // namespace
} // namespace qavn::test
