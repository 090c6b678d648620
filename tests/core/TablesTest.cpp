// Tables counted from the raw data: what a field means (value, label,
// missing), weights that cannot weigh, the figures as written and the
// frequency view's lines. Totals against PSPP are in
// tests/scripts/extract_tabulate.sh.

#include "WriterTestSupport.h"

#include "tables/FrequencyLines.h"
#include "tables/TableText.h"
#include "tables/Tabulation.h"

#include <gtest/gtest.h>

namespace qavn {
namespace {

using test::TestProject;
using test::variable;

// AGE: "07" and "7" one value, -4 reserved, 98-99 declared missing in the
// metadata, a blank; SCORE: two implied decimals; WT: one implied decimal,
// blank, negative and reserved weights; CITY: a text.
class Tables : public ::testing::Test {
protected:
    void SetUp() override
    {
        p_.dataFiles = {TestProject::DataFile{1, "1-3", "DATA\\FILE1.DAT",
                                              {"00107 150 20Rome ", "0027  150 15Oslo ", "003-4 025 -4Rome ",
                                               "00498 025 10     ", "005   1.5   Oslo ", "00699 025-10Rome "}}};
        auto age = variable("AGE", "Age", "S", 1, 1, "4-5");
        age.categories = {categoryLine("-4", "1", "16.7", "{Valid skip}"), categoryLine("7", "2", "33.3", "Seven"),
                          categoryLine(".", "1", "16.7", "No answer")};
        p_.add(age);
        p_.add(variable("SCORE", "Score", "S", 1, 1, "6-9", '2'));
        auto wt = variable("WT", "Weight", "S", 1, 1, "10-12", '1');
        wt.categories = {categoryLine("-4", "1", "16.7", "{Valid skip}")};
        p_.add(wt);
        p_.add(variable("CITY", "City", "S", 1, 1, "13-17", 'A'));
        p_.write();
        ProjectMetadata metadata;
        VariableMetadata declared;
        declared.name = "AGE";
        declared.longName = "age_years";
        declared.missing = {MissingValue{MissingValue::Kind::Range, 98, 99, {}, 0, {}, {}}};
        metadata.add(declared);
        metadata_ = metadata;
        h_ = std::make_unique<test::WriterHarness>();
        ASSERT_TRUE(h_->started);
    }

    ReadResult<Tabulation> count(TableRequest request, Progress* progress = nullptr)
    {
        Progress plain;
        return tabulate(request, h_->session.store, h_->session.project, h_->session.settings, &metadata_, h_->ui,
                        progress ? *progress : plain);
    }

    TestProject p_;
    ProjectMetadata metadata_;
    std::unique_ptr<test::WriterHarness> h_;
};

TEST_F(Tables, FieldsMeanTheirValuesLabelsAndMissingness)
{
    auto all = count({1, 0, 0, MissingValues::Include});
    ASSERT_TRUE(all) << describe(all.error());
    EXPECT_EQ(tableCsv(all.value()), "age_years,age_years_label,count,percent\r\n"
                                     "-4,{Valid skip},1,16.666667\r\n"
                                     "7,Seven,2,33.333333\r\n"
                                     "98,,1,16.666667\r\n"
                                     "99,,1,16.666667\r\n"
                                     ",No answer,1,16.666667\r\n");
    auto valid = count({1, 0, 0, MissingValues::Exclude});
    ASSERT_TRUE(valid);
    EXPECT_EQ(tableCsv(valid.value()), "age_years,age_years_label,count,percent\r\n7,Seven,2,100\r\n");
    EXPECT_EQ(tableNotes(valid.value()), std::vector<std::string>{"4 cases with a missing value of AGE left out"});

    // Implied decimals apply to fields without a point; texts stay texts.
    auto scores = count({2, 4, 0, MissingValues::Include});
    ASSERT_TRUE(scores);
    EXPECT_EQ(tableCsv(scores.value()), "SCORE,SCORE_label,CITY,CITY_label,count,percent,row_percent,column_percent\r\n"
                                        "0.25,,,,1,16.666667,33.333333,100\r\n"
                                        "0.25,,Rome,,2,33.333333,66.666667,66.666667\r\n"
                                        "1.5,,Oslo,,2,33.333333,66.666667,100\r\n"
                                        "1.5,,Rome,,1,16.666667,33.333333,33.333333\r\n");
}

TEST_F(Tables, WeightsThatCannotWeighLeaveTheirCasesOut)
{
    // Weights 2.0, 1.5, reserved, 1.0, blank, negative.
    auto weighted = count({4, 0, 3, MissingValues::Include});
    ASSERT_TRUE(weighted) << describe(weighted.error());
    EXPECT_EQ(tableCsv(weighted.value()), "CITY,CITY_label,count,weighted,percent\r\n"
                                          ",,1,1,22.222222\r\n"
                                          "Oslo,,1,1.5,33.333333\r\n"
                                          "Rome,,1,2,44.444444\r\n");
    EXPECT_EQ(weighted.value().badWeightCases, 3u);
    EXPECT_EQ(tableNotes(weighted.value()).back(), "3 cases left out: the weight WT is blank, missing or negative");

    auto text = count({1, 0, 4, MissingValues::Include});
    ASSERT_FALSE(text);
    EXPECT_NE(describe(text.error()).find("alphanumeric"), std::string::npos);
}

TEST_F(Tables, FiguresAreWrittenPlainly)
{
    EXPECT_EQ(tableNumber(0.1 + 0.2), "0.3");
    EXPECT_EQ(tableNumber(1e20), "100000000000000000000");
    EXPECT_EQ(tableNumber(-0.0), "0");
    EXPECT_EQ(tableNumber(0.000125), "0.000125");
    EXPECT_EQ(tablePercent(1, 3), "33.333333");
    EXPECT_EQ(tablePercent(0, 0), "0");
}

TEST_F(Tables, FrequencyViewLinesFollowTheCategoryLines)
{
    const FrequencyLines codebook = codebookFrequencies(1, h_->session.store, &metadata_);
    ASSERT_EQ(codebook.lines.size(), 3u);
    EXPECT_TRUE(codebook.lines[0].missing);
    EXPECT_FALSE(codebook.lines[1].missing);
    EXPECT_EQ(frequencySummary(codebook), "Valid 2 (50.0%)   Missing 2 (50.0%)   Total 4");

    auto weighted = count({1, 0, 3, MissingValues::Include});
    ASSERT_TRUE(weighted);
    const FrequencyLines lines = weightedFrequencies(weighted.value(), h_->session.store, &metadata_);
    // The lines -4 and "." weigh nothing (their cases' weights are reserved
    // and blank), 7 weighs 2.0 + 1.5, and 98 (1.0) follows without a line.
    ASSERT_EQ(lines.lines.size(), 4u);
    EXPECT_EQ(lines.lines[1].frequency, "3.5");
    EXPECT_EQ(lines.lines[1].percent, "77.8");
    EXPECT_FALSE(lines.lines[3].inCodebook);
    EXPECT_EQ(lines.lines[3].code, "98");
    EXPECT_TRUE(lines.lines[3].missing);
    EXPECT_EQ(frequencySummary(lines),
              "Weighted by WT:   Valid 3.5 (77.8%)   Missing 1 (22.2%)   Total 4.5   (3 cases without a usable weight "
              "left out)");
}

// A cancel keeps what was counted and says so; a line the reader refuses
// fails naming the file and the line.
TEST(TablesRun, CancelAndUnreadableLines)
{
    TestProject p;
    std::vector<std::string> lines;
    for (int i = 1; i <= 9000; ++i)
        lines.push_back(std::to_string(10000 + i) + std::to_string(i % 3));
    lines[6000] = std::string(20000, '1');
    p.dataFiles = {TestProject::DataFile{1, "1-5", "DATA\\FILE1.DAT", lines}};
    p.add(variable("CODE", "Code", "S", 1, 1, "6"));
    p.write();
    test::WriterHarness h;
    ASSERT_TRUE(h.started);

    class CancelAtFirstPoll : public Progress {
    public:
        bool keepGoing() override
        {
            requestCancel();
            return Progress::keepGoing();
        }
    } cancelling;
    auto part = tabulate({1, 0, 0, MissingValues::Include}, h.session.store, h.session.project, h.session.settings,
                         nullptr, h.ui, cancelling);
    ASSERT_TRUE(part) << describe(part.error());
    EXPECT_TRUE(part.value().cancelled);
    EXPECT_LT(part.value().totalCount(), 9000u);
    EXPECT_EQ(tableNotes(part.value()).back().rfind("Cancelled: the counts cover the first ", 0), 0u);

    Progress plain;
    auto refused = tabulate({1, 0, 0, MissingValues::Include}, h.session.store, h.session.project,
                            h.session.settings, nullptr, h.ui, plain);
    ASSERT_FALSE(refused);
    const std::string message = describe(refused.error());
    EXPECT_NE(message.find("FILE1.DAT"), std::string::npos) << message;
    EXPECT_NE(message.find("6001"), std::string::npos) << message;
}

// Variables of two data files: cases met by identifier ("007" is 7), a case
// one file lacks blank for its variables; a repeated or blank identifier
// refused with its file and line. Variables found by number, name or long
// name.
TEST(TablesRun, AcrossDataFilesByIdentifier)
{
    TestProject p;
    p.dataFiles = {TestProject::DataFile{1, "1-3", "DATA\\ONE.DAT", {"0011", "0022", "0031", "0071"}},
                   TestProject::DataFile{1, "1-2", "DATA\\TWO.DAT", {" 92", " 12", " 71", " 21"}}};
    p.add(variable("A", "A", "S", 1, 1, "4"));
    p.add(variable("B", "B", "S", 2, 1, "3"));
    p.write();
    test::WriterHarness h;
    ASSERT_TRUE(h.started);
    ProjectMetadata metadata;
    VariableMetadata longName;
    longName.name = "B";
    longName.longName = "second_answer";
    metadata.add(longName);
    auto count = [&] {
        Progress progress;
        return tabulate({1, 2, 0, MissingValues::Include}, h.session.store, h.session.project, h.session.settings,
                        &metadata, h.ui, progress);
    };
    auto table = count();
    ASSERT_TRUE(table) << describe(table.error());
    EXPECT_EQ(tableCsv(table.value()),
              "A,A_label,second_answer,second_answer_label,count,percent,row_percent,column_percent\r\n"
              "1,,1,,1,20,33.333333,50\r\n"
              "1,,2,,1,20,33.333333,50\r\n"
              "1,,,,1,20,33.333333,100\r\n"
              "2,,1,,1,20,100,50\r\n"
              ",,2,,1,20,100,50\r\n");

    const std::filesystem::path two = p.driveD() / "DATA" / "TWO.DAT";
    test::writeFile(two, " 92\r\n 12\r\n 71\r\n012\r\n");
    auto repeated = count();
    ASSERT_FALSE(repeated);
    EXPECT_NE(describe(repeated.error()).find("TWO.DAT"), std::string::npos) << describe(repeated.error());
    EXPECT_NE(describe(repeated.error()).find("line 4"), std::string::npos) << describe(repeated.error());
    test::writeFile(two, " 92\r\n  2\r\n");
    auto blank = count();
    ASSERT_FALSE(blank);
    EXPECT_NE(describe(blank.error()).find("without an identifier"), std::string::npos) << describe(blank.error());

    for (const auto& [name, number] : {std::pair{"2", 2u}, {"b", 2u}, {"SECOND_ANSWER", 2u}, {"3", 0u}, {"C", 0u}})
        EXPECT_EQ(findVariable(name, h.session.store, &metadata), number) << name;
}

} // namespace
} // namespace qavn
