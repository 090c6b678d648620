// The statement builders and selection rules that the SAS and SPSS writers
// share: record markers, line wrapping, quoting, value labels and the rules
// that choose which variables get labels, tables and statistics.

#include "WriterTestSupport.h"

#include "writers/ProgramWriters.h"
#include "writers/StatementBuilders.h"

namespace qavn {
namespace {

using test::lf;
using test::TestProject;
using test::variable;
using test::WriterHarness;

// One data file of three lines a case without identifier columns:
// A1 (record 1), B3 (record 3), C1 (record 1), D2 (record 2, two decimals),
// E2 (record 2, alphanumeric).
void addRecordProject(TestProject& p)
{
    p.dataFiles = {TestProject::DataFile{3, "0", "DATA\\FILE1.DAT", {}}};
    p.add(variable("A1", "First", "S", 1, 1, "1-2"));
    p.add(variable("B3", "Third", "S", 1, 3, "5-6"));
    p.add(variable("C1", "Back", "S", 1, 1, "7"));
    p.add(variable("D2", "Money", "S", 1, 2, "3-4", '2'));
    p.add(variable("E2", "Code", "S", 1, 2, "9-10", 'A'));
}

std::string dataList(WriterHarness& h, Dialect dialect)
{
    StringTextOutput out;
    auto context = h.context(LabelChoice::All, out);
    const auto count = writeDataList(*context, dialect, 1, h.firstRow(1));
    EXPECT_TRUE(count.has_value());
    return lf(out.text());
}

TEST(WriterBuilders, RecordMarkersAndTrailingSlashesInEveryDialect)
{
    struct Case {
        std::vector<std::uint32_t> tags;
        std::string sas;
        std::string spssDos;
        std::string spssWin;
    };
    const std::vector<Case> cases = {
        // Everything on record 1 of 3: SAS and DOS close the remaining
        // records with "  /"; WIN only counts them in its opening line.
        {{1}, "  A1 1-2  /  / ;", "  A1 1-2  /  /  ", "  A1 1-2 "},
        // Record 3 after record 1: " / " twice, or " /3 " once.
        {{1, 2}, "  A1 1-2 /  /  B3 5-6;", "  A1 1-2 /  /  B3 5-6 ", "  A1 1-2 /3  B3 5-6 "},
        // Record 1 after record 3: no marker for C1 in any dialect.
        {{2, 3}, "   /  /  B3 5-6 C1 7  /  / ;", "   /  /  B3 5-6 C1 7  /  /  ", "   /3  B3 5-6 C1 7 "},
        // Types: decimals and alphanumeric columns.
        {{4, 5}, "   /  D2 3-4 .2  E2 $ 9-10  / ;", "   /  D2 3-4 (2)  E2 9-10 (A)   /  ",
         "   /2  D2 3-4 (2)  E2 9-10 (A)  "},
    };
    for (const Case& c : cases) {
        TestProject p;
        addRecordProject(p);
        p.write();
        WriterHarness h;
        ASSERT_TRUE(h.started);
        for (auto n : c.tags)
            h.list.tagRow(n);
        SCOPED_TRACE(::testing::PrintToString(c.tags));
        EXPECT_EQ(dataList(h, Dialect::Sas),
                  "DATA X1;INFILE 'D:\\DATA\\FILE1.DAT' LRECL=1024 PAD;INPUT\n" + c.sas + "\n\n");
        EXPECT_EQ(dataList(h, Dialect::SpssDos), "DATA LIST FILE='D:\\DATA\\FILE1.DAT' /  \n" + c.spssDos + "\n\n");
        EXPECT_EQ(dataList(h, Dialect::SpssWin),
                  "DATA LIST FILE='D:\\DATA\\FILE1.DAT' FIXED RECORDS=3 /  \n" + c.spssWin + "\n\n");
    }
}

// Six numeric variables with long names and locations in a file with
// identifier columns.
void addWideProject(TestProject& p)
{
    p.dataFiles = {TestProject::DataFile{1, "1-5", "DATA\\WIDE.DAT", {}}};
    for (int i = 1; i <= 6; ++i)
        p.add(variable("V000000" + std::to_string(i), "Value " + std::to_string(i), "S", 1, 1, "100-109", '0'));
}

TEST(WriterBuilders, StatementsWrapPast45Characters)
{
    TestProject p;
    addWideProject(p);
    p.write();
    WriterHarness h;
    ASSERT_TRUE(h.started);
    h.tag({1, 2, 3, 4, 5, 6});

    const std::string entries1 = "V0000001 100-109 V0000002 100-109 V0000003 100-109";
    const std::string entries2 = "V0000004 100-109 V0000005 100-109 V0000006 100-109";
    // Each line is written once its text passes 45 characters; the closing
    // semicolon then stands alone.
    EXPECT_EQ(dataList(h, Dialect::Sas), "DATA X1;INFILE 'D:\\DATA\\WIDE.DAT' LRECL=1024 PAD;INPUT ID 1-5\n  " +
                                                entries1 + "\n  " + entries2 + "\n;\n\n");
    EXPECT_EQ(dataList(h, Dialect::SpssWin), "DATA LIST FILE='D:\\DATA\\WIDE.DAT' FIXED RECORDS=1 / ID 1-5\n  " +
                                                    entries1 + "\n  " + entries2 + "\n \n\n");

    const std::string names5 = "  V0000001 V0000002 V0000003 V0000004 V0000005 ";
    ASSERT_EQ(h.run(OutputKind::Sas, LabelChoice::All, (p.outputDir() / "wide.sas").string()).status, OutputStatus::Written);
    EXPECT_NE(lf(test::readFile(p.outputDir() / "wide.sas")).find("PROC UNIVARIATE;VAR\n" + names5 + "\n  V0000006 ;\n\n"),
              std::string::npos);
    ASSERT_EQ(h.run(OutputKind::SpssWin, LabelChoice::All, (p.outputDir() / "wide.sps").string()).status, OutputStatus::Written);
    EXPECT_NE(lf(test::readFile(p.outputDir() / "wide.sps"))
                  .find("DESCRIPTIVES VARIABLES=\n" + names5 + "\n  V0000006 \n  /STATS=DEF.\n\n"),
              std::string::npos);
}

TEST(WriterBuilders, ApostrophesInLabelsAreDoubledAndCodesKept)
{
    TestProject p;
    p.dataFiles = {TestProject::DataFile{1, "1-5", "DATA\\FILE1.DAT", {}}};
    auto age = variable("AGE", "Respondent's age", "S", 1, 1, "6-7");
    age.categories = {categoryLine("1", "10", "10.0", "Don't know"), categoryLine("2", "90", "90.0", "'Quoted'")};
    p.add(age);
    auto state = variable("STATE", "State", "S", 1, 1, "8-9", 'A');
    state.categories = {categoryLine("'O''B'", "5", "100.0", "O'Brien's")};
    p.add(state);
    p.write();
    WriterHarness h;
    ASSERT_TRUE(h.started);
    h.tag({1, 2});

    ASSERT_EQ(h.run(OutputKind::Sas, LabelChoice::All, (p.outputDir() / "q.sas").string()).status, OutputStatus::Written);
    const std::string sas = lf(test::readFile(p.outputDir() / "q.sas"));
    EXPECT_NE(sas.find("  AGE='Respondent''s age'\n"), std::string::npos) << sas;
    EXPECT_NE(sas.find(" VALUE AGEF            1='Don''t know'\n                       2='''Quoted''';\n"),
              std::string::npos)
        << sas;
    EXPECT_NE(sas.find(" VALUE $STATEF         'O''B'='O''Brien''s';\n"), std::string::npos) << sas;

    ASSERT_EQ(h.run(OutputKind::SpssWin, LabelChoice::All, (p.outputDir() / "q.sps").string()).status, OutputStatus::Written);
    const std::string spss = lf(test::readFile(p.outputDir() / "q.sps"));
    EXPECT_NE(spss.find("  AGE 'Respondent''s age'\n"), std::string::npos) << spss;
    EXPECT_NE(spss.find("    AGE             1 'Don''t know'\n"), std::string::npos) << spss;
    EXPECT_NE(spss.find("  / STATE           'O''B' 'O''Brien''s' \n"), std::string::npos) << spss;

    // The codebook text shows the labels as they are.
    ASSERT_EQ(h.run(OutputKind::CodeText, LabelChoice::NotAsked, (p.outputDir() / "q.txt").string()).status, OutputStatus::Written);
    const std::string text = lf(test::readFile(p.outputDir() / "q.txt"));
    EXPECT_NE(text.find("        1     10  10.0 Don't know\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Variable[     1]:  AGE       Respondent's age\n"), std::string::npos) << text;
}

TEST(WriterBuilders, OnlyCodesEndingInDigitOrApostropheGiveValueLabels)
{
    TestProject p;
    p.dataFiles = {TestProject::DataFile{1, "0", "DATA\\FILE1.DAT", {}}};
    auto v = variable("MIXED", "Mixed codes", "S", 1, 1, "1-3");
    v.categories = {categoryLine("", "1", "1.0", "Blank"),   categoryLine("9", "1", "1.0", "Nine"),
                    categoryLine("A", "1", "1.0", "Letter"), categoryLine("'A'", "1", "1.0", "Quoted"),
                    categoryLine("1a", "1", "1.0", "Mixed"), categoryLine("-1", "1", "1.0", "Minus"),
                    categoryLine("10 - 99", "1", "1.0", "Range")};
    p.add(v);
    p.add(variable("NONE", "No categories", "S", 1, 1, "4"));
    p.write();
    WriterHarness h;
    ASSERT_TRUE(h.started);
    h.tag({1});

    StringTextOutput out;
    auto context = h.context(LabelChoice::All, out);
    ASSERT_TRUE(h.session.store.readRecord(1));
    const VariableRecord record = h.session.store.record();
    EXPECT_EQ(writeCategoryLines(*context, record, Dialect::Sas, " VALUE MIXEDF  "), 4u);
    EXPECT_EQ(lf(out.text()), " VALUE MIXEDF          9='Nine'\n"
                              "                       'A'='Quoted'\n"
                              "                       -1='Minus'\n"
                              "                       10 - 99='Range';\n");

    StringTextOutput text;
    auto textContext = h.context(LabelChoice::NotAsked, text);
    EXPECT_EQ(writeCategoryLines(*textContext, record, Dialect::Text, {}), 7u);
    const std::string table = lf(text.text());
    EXPECT_EQ(table.substr(0, table.find('\n')), std::string(15, ' ') + "1   1.0 Blank");

    ASSERT_TRUE(h.session.store.readRecord(2));
    StringTextOutput empty;
    auto emptyContext = h.context(LabelChoice::All, empty);
    EXPECT_EQ(writeCategoryLines(*emptyContext, h.session.store.record(), Dialect::SpssWin, "prefix"), 0u);
    EXPECT_EQ(empty.text(), "");
}

TEST(WriterBuilders, SelectionRulesUnderEachChoice)
{
    struct Case {
        char type;
        char firstCode;
        char firstLabel;
        bool all, categorical, noReserved, frequencies;
    };
    const Case cases[] = {
        // categorical variables
        {' ', '1', 'Y', true, true, true, true},
        {' ', '1', '{', true, true, false, true},
        // numeric variables, no decimals and with decimals
        {'0', '1', 'Y', true, false, true, false},
        {'0', '-', '{', true, false, false, false},
        {'2', '1', '{', true, false, false, false},
        // alphanumeric: labelled and tabulated only when the first code is
        // quoted or starts with B or C, whatever the choice
        {'A', '\'', '{', true, true, true, true},
        {'A', 'B', '{', true, true, true, true},
        {'A', 'C', 'x', true, true, true, true},
        {'A', 'D', '{', true, false, false, false},
        {'A', 'D', 'x', true, false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("type [") + c.type + "] code [" + c.firstCode + "] label [" + c.firstLabel + "]");
        const CategoryStart start{c.firstCode, c.firstLabel};
        EXPECT_EQ(valueLabelRule(c.type, start, LabelChoice::All), c.all);
        EXPECT_EQ(valueLabelRule(c.type, start, LabelChoice::Categorical), c.categorical);
        EXPECT_EQ(valueLabelRule(c.type, start, LabelChoice::NoReservedCodes), c.noReserved);
        EXPECT_EQ(frequencyRule(c.type, start), c.frequencies);
        EXPECT_EQ(wantsStatistics(c.type), c.type != ' ' && c.type != 'A');
    }
}

TEST(WriterBuilders, CategoryStartReadsTheStoredText)
{
    TestProject p;
    p.dataFiles = {TestProject::DataFile{1, "0", "DATA\\FILE1.DAT", {}}};
    p.codebook.setFillerEvery(1); // a filler after every byte of every line
    auto reserved = variable("R", "Reserved", "S", 1, 1, "1");
    reserved.categories = {categoryLine("-1", "5", "5.0", "{Refused}"), categoryLine("1", "95", "95.0", "Yes")};
    p.add(reserved);
    p.add(variable("EMPTY", "No categories", "S", 1, 1, "2"));
    auto shortLine = variable("SHORT", "Two fields", "S", 1, 1, "3");
    shortLine.categories = {std::string("1\xDC") + "5", categoryLine("2", "1", "1", "{Next line}")};
    p.add(shortLine);
    p.write();
    WriterHarness h;
    ASSERT_TRUE(h.started);
    StringTextOutput out;
    auto context = h.context(LabelChoice::All, out);

    ASSERT_TRUE(h.session.store.readRecord(1));
    CategoryStart start = categoryStart(*context, h.session.store.record());
    EXPECT_EQ(start.firstCodeByte, '-');
    EXPECT_EQ(start.firstLabelByte, '{');
    EXPECT_FALSE(wantsValueLabels(*context, h.session.store.record(), LabelChoice::NoReservedCodes));

    ASSERT_TRUE(h.session.store.readRecord(2));
    start = categoryStart(*context, h.session.store.record());
    EXPECT_EQ(start.firstCodeByte, ' ');
    EXPECT_EQ(start.firstLabelByte, ' ');

    // The label of the first line only: a brace on the next line is not it.
    ASSERT_TRUE(h.session.store.readRecord(3));
    start = categoryStart(*context, h.session.store.record());
    EXPECT_EQ(start.firstCodeByte, '1');
    EXPECT_EQ(start.firstLabelByte, ' ');
}

TEST(WriterBuilders, FormatNamesAndHeader)
{
    EXPECT_EQ(formatName("AGE"), "AGEF");
    EXPECT_EQ(formatName("ABCDEFG"), "ABCDEFGF");
    EXPECT_EQ(formatName("ABCDEFGH"), "ABCDEFGF");
    EXPECT_EQ(formatName(""), "F");
    EXPECT_EQ(quoted("it's"), "'it''s'");
    EXPECT_EQ(quoted(""), "''");

    TestProject p;
    p.add(variable("A", "A", "S"));
    p.write();
    WriterHarness h;
    ASSERT_TRUE(h.started);
    StringTextOutput out;
    auto context = h.context(LabelChoice::All, out);
    writeHeaderText(*context, "LIBNAME IN 'D:\\';\r\nX\x1A;\r\n");
    EXPECT_EQ(out.text(), "LIBNAME IN 'D:\\'; \r\nX ; \r\n\r\n");
}

} // namespace
} // namespace qavn
