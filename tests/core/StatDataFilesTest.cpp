// The SPSS and Stata data files: the names and missing values ReadStat would
// refuse or PSPP misread, which the demo project never produces, and a
// cancelled run. The files' contents are read back by PSPP and pandas in
// tests/scripts/formats_sav_dta.sh.

#include "WriterTestSupport.h"

#include "formats/StatDataFiles.h"
#include "writers/MissingPlans.h"

#include <cmath>
#include <filesystem>

namespace qavn {
namespace {

using test::TestProject;
using test::variable;
using test::WriterHarness;

TEST(StatDataFiles, VariableNamesAreValidAndUnique)
{
    struct Case {
        std::string codebook;
        std::string spss;
        std::string stata;
    };
    const std::string longName(70, 'X');
    const Case cases[] = {
        {"KEY_SEX", "KEY_SEX", "key_sex"},
        {"key_sex", "key_sex_2", "key_sex_2"}, // letter case aside, a name is taken
        {"1ST", "V1ST", "v1st"},
        {"A-B.", "A_B_", "a_b_"},
        {"A.B", "A.B", "a_b"},
        {"TO", "TO_", "to"},
        {"IN", "IN", "in_"},
        {"STR12", "STR12", "vstr12"},
        {"_N", "V_N", "_n_"},
        {"\xE9T\xC9", "V_T_", "_t_"},
        {longName, std::string(64, 'X'), std::string(32, 'x')},
        {longName, std::string(62, 'X') + "_2", std::string(30, 'x') + "_2"},
    };
    std::vector<std::string> spss;
    std::vector<std::string> stata;
    for (const Case& c : cases) {
        EXPECT_EQ(spssVariableName(c.codebook, spss), c.spss) << c.codebook;
        EXPECT_EQ(stataVariableName(c.codebook, stata), c.stata) << c.codebook;
    }
}

TEST(StatDataFiles, MissingValuesFitSpssOrAreRecoded)
{
    struct Case {
        std::vector<double> codes;
        std::vector<ValueRange> ranges;
        std::vector<double> values;
        bool hasRange;
        double low;
        double high;
        std::vector<double> recoded;
        std::vector<ValueRange> recodedRanges;
    };
    const double lowest = -HUGE_VAL;
    const Case cases[] = {
        {{}, {}, {}, false, 0, 0, {}, {}},
        {{-4, -2, -4}, {}, {-4, -2}, false, 0, 0, {}, {}},
        {{-1, -2, 9}, {}, {-2, -1, 9}, false, 0, 0, {}, {}},
        {{-1, -2, -3, -4}, {}, {}, true, -4, -1, {}, {}},
        {{-1, -2, -3, -4, -7}, {}, {-7}, true, -4, -1, {}, {}},
        // No run leaves one over: the longest run and the lowest code left,
        // the rest recoded (never a range over codes that are not missing).
        {{-9, -8, -7, -5, -1}, {}, {-5}, true, -9, -7, {-1}, {}},
        {{1, 3, 5, 7}, {}, {1, 3, 5}, false, 0, 0, {7}, {}},
        // Ranges: the first with the lowest code outside it.
        {{9, 95, 99}, {{90, 99}}, {9}, true, 90, 99, {}, {}},
        {{-9, 9, 99}, {{lowest, -1}, {90, 99}}, {9}, true, lowest, -1, {}, {{90, 99}}},
        {{7, 8, 9}, {{lowest, -1}}, {7}, true, lowest, -1, {8, 9}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codes.size());
        const SpssMissingValues missing = spssMissingValues(c.codes, c.ranges);
        EXPECT_EQ(missing.values, c.values);
        EXPECT_EQ(missing.hasRange, c.hasRange);
        if (c.hasRange) {
            EXPECT_EQ(missing.low, c.low);
            EXPECT_EQ(missing.high, c.high);
        }
        EXPECT_EQ(missing.recodedValues, c.recoded);
        EXPECT_EQ(missing.recodedRanges, c.recodedRanges);
    }
    // Reserved codes under three implied decimals are a run a thousandth apart.
    const SpssMissingValues scaled = spssMissingValues({-0.001, -0.002, -0.003, -0.004}, {}, 0.001);
    EXPECT_TRUE(scaled.hasRange && scaled.low == -0.004 && scaled.high == -0.001 && !scaled.recodes());
}

TEST(StatDataFiles, DeclaredMissingValuesTakeStataLettersAfterTheReservedCodes)
{
    DeclaredMissing declared;
    declared.codes = {{-1, "Refused again"}, {9, "Not asked"}};
    declared.ranges = {{90, 99, "Out of range"}};
    for (int k = 0; k < 30; ++k)
        declared.codes.push_back({1000.0 + k, ""});
    const StataMissing missing = stataMissing({"-1", "-4"}, declared);
    ASSERT_EQ(missing.letters.size(), 26u);
    EXPECT_EQ(missing.letters[0].letter, 'a'); // -1, reserved
    EXPECT_EQ(missing.letters[1].letter, 'd'); // -4, reserved
    EXPECT_EQ(missing.letterOf(-1), 'a');      // a declared code equal to a reserved one is its
    EXPECT_EQ(missing.letterOf(9), 'j');
    EXPECT_EQ(missing.letters[2].label, "Not asked");
    EXPECT_EQ(missing.letterOf(1000), 'k');
    EXPECT_EQ(missing.letterOf(1014), 'y');
    EXPECT_EQ(missing.letterOf(1015), 'z');
    EXPECT_EQ(missing.letterOf(1016), 'b'); // then the letters the reserved codes left free
    EXPECT_EQ(missing.letterOf(1022), 'i');
    EXPECT_EQ(missing.letterOf(1023), '.'); // beyond the letters: system-missing
    EXPECT_EQ(missing.letterOf(95), '.');   // the range came after the codes
    EXPECT_EQ(missing.letterOf(5), '\0');
}

// A progress whose Cancel is clicked at its n-th poll.
class CancellingProgress : public Progress {
public:
    explicit CancellingProgress(int at) : at_(at) {}
    bool keepGoing() override
    {
        if (++polls_ >= at_)
            requestCancel();
        return Progress::keepGoing();
    }

private:
    int at_;
    int polls_ = 0;
};

TEST(StatDataFiles, CancelLeavesNoFileThatLooksComplete)
{
    TestProject p;
    std::vector<std::string> lines;
    for (int i = 1; i <= 40; ++i)
        lines.push_back(std::to_string(10000 + i) + (i % 3 == 0 ? "-4" : "17") + "ABC");
    p.dataFiles = {TestProject::DataFile{1, "1-5", "DATA\\FILE1.DAT", lines}};
    auto age = variable("AGE", "Age", "S", 1, 1, "6-7");
    age.categories = {categoryLine("-4", "13", "32.5", "{Valid skip}")};
    p.add(age);
    p.add(variable("CODE", "Code", "S", 1, 1, "8-10", 'A'));
    p.write();
    WriterHarness h;
    ASSERT_TRUE(h.started);
    h.tag({1, 2});

    for (const OutputKind kind : {OutputKind::SpssData, OutputKind::StataData}) {
        const std::filesystem::path out = p.outputDir() / "cancelled";
        const std::string name = out.string() + std::string(outputFormat(kind).defaultExtension);
        for (const int at : {1, 45, 80}) { // the first pass, the second, its last case
            CancellingProgress progress(at);
            const OutputResult result =
                writeOutput(outputFormat(kind), h.services(), OutputJob{LabelChoice::NotAsked, out.string()}, progress);
            EXPECT_EQ(result.status, OutputStatus::Stopped) << at;
            EXPECT_FALSE(std::filesystem::exists(name)) << at;
        }
        Progress progress;
        EXPECT_EQ(writeOutput(outputFormat(kind), h.services(), OutputJob{LabelChoice::NotAsked, out.string()},
                              progress)
                      .status,
                  OutputStatus::Written);
        EXPECT_GT(std::filesystem::file_size(name), 0u);
        for (const auto& entry : std::filesystem::directory_iterator(p.outputDir()))
            EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
    }
    EXPECT_TRUE(h.ui.messages().empty());
}

} // namespace
} // namespace qavn
