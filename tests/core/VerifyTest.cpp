// The check of a codebook against its raw data, on a project made by
// qavn-mkproject (whose frequencies and percents agree with its data) whose
// raw data are then changed in known places: the report must list exactly
// those changes.

#include "MkProjectSupport.h"

#include "catalogue/Loader.h"
#include "catalogue/VariableList.h"
#include "codebook/OpenProject.h"
#include "platform/Progress.h"
#include "platform/ScriptedUi.h"
#include "platform/Strings.h"
#include "verify/CodebookVerify.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <set>
#include <tuple>

namespace qavn::test {
namespace {

namespace fs = std::filesystem;

// 37 cases, so that most percents are rounded.
const char* const source = R"({"id": "VER", "title": "VERIFY STUDY", "cases": 37, "seed": 3,
  "dataFiles": [{"dataPath": "DATA\\V1.DAT", "linesPerCase": 2, "idLocation": "1-3"},
                {"dataPath": "DATA\\V2.DAT", "linesPerCase": 1}],
  "variables": [
    {"name": "SEX", "location": "4", "label": "Sex", "section": "S",
     "categories": [{"code": "1", "label": "Male"}, {"code": "2", "label": "Female"}]},
    {"name": "GRADE", "location": "5-6", "label": "Grade",
     "categories": [{"code": "-4", "label": "{Valid skip}"}, {"code": "9", "label": "Ninth"},
                    {"code": "10", "label": "Tenth"}, {"code": "11", "label": "Eleventh"}]},
    {"name": "HAND", "location": "7", "type": "A", "label": "Hand",
     "categories": [{"code": "'L'", "label": "Left"}, {"code": "'R'", "label": "Right"}]},
    {"name": "SCORE", "location": "8-11", "type": "2", "label": "Score", "range": {"min": 0, "max": 9999}},
    {"name": "INCOME", "record": 2, "location": "1-5", "type": "0", "label": "Income",
     "range": {"min": 0, "max": 99999}, "categories": [{"code": "-1", "label": "{Refused}", "weight": 10}]},
    {"name": "REGION", "file": 2, "location": "1", "label": "Region",
     "categories": [{"code": "1", "label": "North"}, {"code": "2", "label": "South"}, {"code": "3", "label": "West"}]}
  ]})";

class Verify : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeFile(dir_ / "ver.json", source);
        std::string errors;
        ASSERT_EQ(runMkProject(quoted((dir_ / "ver.json").string()) + " --out " + quoted(root().string()), &errors), 0)
            << errors;
        v1_ = rawLines(root() / "d" / "DATA" / "V1.DAT");
        v2_ = rawLines(root() / "d" / "DATA" / "V2.DAT");
    }

    fs::path root() const { return dir_.path() / "ver"; }

    // Columns are 1-based as the codebook writes them.
    static std::string field(const std::string& line, std::size_t first, std::size_t width)
    {
        return line.substr(first - 1, width);
    }
    static void put(std::string& line, std::size_t first, const std::string& value)
    {
        line.replace(first - 1, value.size(), value);
    }
    void save()
    {
        auto join = [](const std::vector<std::string>& lines) {
            std::string bytes;
            for (const std::string& line : lines)
                bytes += line + "\r\n";
            return bytes;
        };
        writeFile(root() / "d" / "DATA" / "V1.DAT", join(v1_));
        writeFile(root() / "d" / "DATA" / "V2.DAT", join(v2_));
    }

    ReadResult<VerifyReport> verify(std::vector<std::uint32_t> variables = {})
    {
        ScopedCwd cwd(root());
        ScopedEnv c("QAVN_DRIVE_C", (root() / "c").string());
        ScopedEnv d("QAVN_DRIVE_D", (root() / "d").string());
        OpenProject session(ui_);
        EXPECT_TRUE(session.start("P=VER", [](Settings&) {}));
        VariableList list(VariableList::Mode::Main, &ui_);
        Progress loading;
        EXPECT_TRUE(loadVariables(session.store, session.project, list, ui_, loading));
        if (variables.empty()) {
            variables.resize(list.rowCount());
            std::iota(variables.begin(), variables.end(), 1u);
        }
        Progress progress;
        return verifyCodebook(variables, session.store, session.project, session.settings, ui_, progress);
    }

    TempDir dir_;
    ScriptedUi ui_;
    std::vector<std::string> v1_;
    std::vector<std::string> v2_;
};

TEST_F(Verify, ReportsExactlyThePlantedChanges)
{
    const auto agreeing = verify();
    ASSERT_TRUE(agreeing) << describe(agreeing.error());
    EXPECT_TRUE(agreeing.value().agrees()) << verifyReportLines(agreeing.value()).at(5);
    EXPECT_EQ(agreeing.value().variablesWithCategories, 5u);

    // Changes, each in a case of its own (line 1 of case k is v1_[2k]).
    std::set<std::tuple<std::string, std::string, long>> expected; // name, code, counted minus stated
    const std::string sex = field(v1_[2 * 2], 4, 1);
    const std::string otherSex = sex == "1" ? "2" : "1";
    put(v1_[2 * 2], 4, otherSex);
    expected.insert({"SEX", sex, -1});
    expected.insert({"SEX", otherSex, +1});

    const std::string grade = std::string(trimmed(field(v1_[2 * 4], 5, 2)));
    put(v1_[2 * 4], 5, "99");
    expected.insert({"GRADE", grade, -1});

    const std::string hand = field(v1_[2 * 6], 7, 1);
    put(v1_[2 * 6], 7, " ");
    expected.insert({"HAND", "'" + hand + "'", -1});

    // A number where INCOME's codes label only a missing value: not reported.
    std::size_t income = 0;
    while (trimmed(field(v1_[2 * income + 1], 1, 5)) == "-1")
        ++income;
    put(v1_[2 * income + 1], 1, "77777");

    std::size_t region = 0;
    while (field(v2_[region], 1, 1) == "3")
        ++region;
    expected.insert({"REGION", field(v2_[region], 1, 1), -1});
    expected.insert({"REGION", "3", +1});
    put(v2_[region], 1, "3");

    // A code written with a leading zero is the same number.
    std::size_t padded = 0;
    while (trimmed(field(v1_[2 * padded], 5, 2)) != "9")
        ++padded;
    put(v1_[2 * padded], 5, "09");
    save();

    const auto result = verify();
    ASSERT_TRUE(result) << describe(result.error());
    const VerifyReport& report = result.value();
    std::set<std::tuple<std::string, std::string, long>> found;
    for (const CategoryDifference& d : report.differences) {
        found.insert({d.name, d.code, static_cast<long>(d.counted) - std::stol(d.statedFrequency)});
        EXPECT_TRUE(d.frequencyDiffers && d.percentDiffers) << d.name << " " << d.code;
        EXPECT_EQ(d.countedPercent, percentOf(static_cast<long>(d.counted), 37));
    }
    EXPECT_EQ(found, expected);
    ASSERT_EQ(report.unlabelled.size(), 2u);
    EXPECT_EQ(std::tie(report.unlabelled[0].name, report.unlabelled[0].value, report.unlabelled[0].count),
              std::make_tuple(std::string("GRADE"), std::string("99"), std::uint64_t{1}));
    EXPECT_EQ(std::tie(report.unlabelled[1].name, report.unlabelled[1].value, report.unlabelled[1].count),
              std::make_tuple(std::string("HAND"), std::string(), std::uint64_t{1}));
    EXPECT_TRUE(report.unlabelledRest.empty());
    ASSERT_EQ(report.files.size(), 2u);
    EXPECT_EQ(report.files[0].cases, 37u);

    // The report: a line per difference and per value without a category line.
    const std::vector<std::string> lines = verifyReportLines(report);
    const auto mentions = [&](const std::string& start) {
        return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(start, 0) == 0; });
    };
    EXPECT_EQ(mentions("SEX (1) code "), 2);
    EXPECT_EQ(mentions("GRADE (2) value 99: 1 case, no category line"), 1);
    EXPECT_EQ(mentions("HAND (3) blank: 1 case, no category line"), 1);
    EXPECT_EQ(mentions("INCOME"), 0);

    // Only the selected variables are read.
    const auto selected = verify({6});
    ASSERT_TRUE(selected);
    EXPECT_EQ(selected.value().differences.size(), 2u);
    EXPECT_EQ(selected.value().files.size(), 1u);
}

TEST_F(Verify, FiguresOfAVariableWithoutCategories)
{
    put(v1_[2 * 3], 8, "  x ");
    put(v1_[2 * 5], 8, "    ");
    put(v1_[2 * 8], 8, "12.5");
    save();
    // SCORE holds implied decimals (type 2): 1234 is 12.34, a written point stays.
    std::vector<double> values;
    for (std::size_t k = 0; k < 37; ++k) {
        const std::string text = std::string(trimmed(field(v1_[2 * k], 8, 4)));
        if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos)
            continue;
        values.push_back(text.find('.') != std::string::npos ? std::stod(text) : std::stod(text) / 100);
    }
    const double mean = std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
    double squares = 0;
    for (const double x : values)
        squares += (x - mean) * (x - mean);

    const auto result = verify({4});
    ASSERT_TRUE(result) << describe(result.error());
    ASSERT_EQ(result.value().figures.size(), 1u);
    const ValueFigures& f = result.value().figures.front().figures;
    EXPECT_EQ(f.cases, 37u);
    EXPECT_EQ(f.count, 35u);
    EXPECT_EQ(f.blankOrNonNumeric, 2u);
    EXPECT_DOUBLE_EQ(f.minimum, *std::min_element(values.begin(), values.end()));
    EXPECT_DOUBLE_EQ(f.maximum, *std::max_element(values.begin(), values.end()));
    EXPECT_NEAR(f.mean, mean, 1e-9);
    EXPECT_NEAR(f.standardDeviation, std::sqrt(squares / 34), 1e-9);
}

TEST_F(Verify, UnreadableDataIsAnErrorNamingFileAndLine)
{
    v2_[4] = std::string(15000, '1');
    save();
    const auto tooLong = verify();
    ASSERT_FALSE(tooLong);
    EXPECT_EQ(describe(tooLong.error()), "D:\\DATA\\V2.DAT line 5: the line is longer than 14,999 characters");

    fs::remove(root() / "d" / "DATA" / "V2.DAT");
    const auto missing = verify();
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().kind, ReadError::Kind::CannotOpen);
    EXPECT_EQ(missing.error().file, "D:\\DATA\\V2.DAT");
}

} // namespace
} // namespace qavn::test
