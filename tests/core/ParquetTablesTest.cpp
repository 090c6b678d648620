// The Parquet output read back: the column types the codebook and the data
// decide, nulls, reserved codes kept or emptied, text converted from
// Latin-1, the labels in the files and the tables of variables and value
// labels. DuckDB and hyparquet read the demo project's extract in
// tests/scripts/formats_parquet.sh.

#include "WriterTestSupport.h"

#include "ParquetReadBack.h"

#include "project/ProjectMetadata.h"

#include <algorithm>
#include <filesystem>
#include <map>

namespace qavn {
namespace {

namespace fs = std::filesystem;
using test::ParquetCell;
using test::TestProject;
using test::variable;
using test::WriterHarness;

constexpr std::int32_t int32Type = 1, int64Type = 2, doubleType = 5, byteArrayType = 6, dateType = 1;

test::ParquetReadBack readBack(const fs::path& file)
{
    test::ParquetReadBack out;
    const std::string fault = test::readParquet(test::readFile(file), out);
    EXPECT_EQ(fault, "") << file;
    return out;
}

const test::ParquetReadColumn& column(const test::ParquetReadBack& file, const std::string& name)
{
    const auto found = std::find_if(file.columns.begin(), file.columns.end(),
                                    [&](const test::ParquetReadColumn& c) { return c.name == name; });
    if (found == file.columns.end())
        throw std::runtime_error("no column " + name);
    return *found;
}

ParquetCell text(std::string s)
{
    return ParquetCell::ofBytes(std::move(s));
}
ParquetCell integer(std::int64_t v)
{
    return ParquetCell::ofInt(v);
}
ParquetCell real(double v)
{
    return ParquetCell::ofDouble(v);
}
const ParquetCell null = ParquetCell::null();

// ID 1-3, AGE 4-5 (reserved -1; the metadata: a long name, 34 declared
// missing), INCOME 6-11 with two implied decimals (reserved -5), NAME 12-19
// text, CODE 20-21 numeric but holding "NA", BIG 22-33, BORN 34-39 days from
// 1960-01-01 (a date in the metadata).
void addTypedProject(TestProject& p)
{
    p.dataFiles = {TestProject::DataFile{1, "1-3", "DATA\\FILE1.DAT",
                                         {"00734123456CAF\xC9,\"X\"NA123456789012     0",
                                          "008-1    -5         7          -3 21915",
                                          "010    12.5plain    8                  "}}};
    auto age = variable("AGE", "Age", "People", 1, 1, "4-5");
    age.categories = {categoryLine("-1", "1", "33.3", "{Refused}"), categoryLine("34", "1", "33.3", "Thirty-four")};
    age.description = {"How old are you?", ""};
    p.add(age);
    auto income = variable("INCOME", "Income", "Money", 1, 1, "6-11", '2');
    income.categories = {categoryLine("-5", "1", "33.3", "{Valid skip}")};
    p.add(income);
    p.add(variable("NAME", "Name \xE9", "People", 1, 1, "12-19", 'A'));
    p.add(variable("CODE", "Code", "People", 1, 1, "20-21"));
    p.add(variable("BIG", "Big", "Money", 1, 1, "22-33"));
    p.add(variable("BORN", "Born", "People", 1, 1, "34-39"));
    p.write();

    ProjectMetadata metadata;
    VariableMetadata ageMetadata;
    ageMetadata.name = "AGE";
    ageMetadata.longName = "age_in_years";
    ageMetadata.label = "Age in whole years";
    MissingValue declared;
    declared.low = declared.high = 34;
    ageMetadata.missing = {declared};
    metadata.add(ageMetadata);
    VariableMetadata bornMetadata;
    bornMetadata.name = "BORN";
    bornMetadata.format.kind = DisplayKind::Date;
    bornMetadata.format.origin = "1960-01-01";
    bornMetadata.format.unit = TimeUnit::Days;
    metadata.add(bornMetadata);
    std::string error;
    ASSERT_TRUE(writeMetadataFile(p.resourceDir() / metadataFileName(p.id), metadata, error)) << error;
}

TEST(ParquetTables, ColumnsAreTypedWithNullsAndTheLabelsBesideThem)
{
    TestProject p;
    addTypedProject(p);
    WriterHarness h;
    ASSERT_TRUE(h.started);
    h.tag({1, 2, 3, 4, 5, 6});

    for (const ReservedCodes reserved : {ReservedCodes::Keep, ReservedCodes::Empty}) {
        const bool keep = reserved == ReservedCodes::Keep;
        SCOPED_TRACE(keep ? "keep" : "empty");
        const fs::path dir = p.outputDir() / (keep ? "keep" : "empty");
        fs::create_directories(dir);
        h.ui.clearMessages();
        OutputJob job{LabelChoice::NotAsked, dir.string()};
        job.reservedCodes = reserved;
        Progress progress;
        const OutputResult result = writeOutput(outputFormat(OutputKind::Parquet), h.services(), job, progress);
        ASSERT_EQ(result.status, OutputStatus::Written) << (h.ui.messages().empty() ? "" : h.ui.messageTexts()[0]);

        // A numeric column that holds no number keeps its values as text, and says so.
        ASSERT_EQ(h.ui.messages().size(), 1u);
        EXPECT_NE(h.ui.messages()[0].text.find(
                      "1 numeric column holds a value that is no number, so it holds its values as text: CODE (\"NA\")."),
                  std::string::npos)
            << h.ui.messages()[0].text;

        const test::ParquetReadBack data = readBack(dir / "DATA_FILE1.parquet");
        ASSERT_EQ(data.rows, 3);
        struct Expected {
            const char* name;
            std::int32_t type;
            std::vector<ParquetCell> cells;
        };
        const Expected expected[] = {
            // Identifiers with leading zeros stay text.
            {"ID", byteArrayType, {text("007"), text("008"), text("010")}},
            {"age_in_years", int32Type, {keep ? integer(34) : null, keep ? integer(-1) : null, null}},
            // Implied decimals applied; a reserved code as the code; a point of its own kept.
            {"INCOME", doubleType, {real(1234.56), keep ? real(-5) : null, real(12.5)}},
            {"NAME", byteArrayType, {text("CAF\xC3\x89,\"X\""), null, text("plain")}},
            {"CODE", byteArrayType, {text("NA"), text("7"), text("8")}},
            {"BIG", int64Type, {integer(123456789012), integer(-3), null}},
            // Days from 1970-01-01.
            {"BORN", dateType, {integer(-3653), integer(21915 - 3653), null}},
        };
        ASSERT_EQ(data.columns.size(), std::size(expected));
        for (std::size_t c = 0; c < std::size(expected); ++c) {
            SCOPED_TRACE(expected[c].name);
            EXPECT_EQ(data.columns[c].name, expected[c].name);
            EXPECT_EQ(data.columns[c].physicalType, expected[c].type);
            EXPECT_EQ(data.columns[c].convertedType == 6, expected[c].name == std::string("BORN")); // DATE
            EXPECT_TRUE(data.columns[c].cells == expected[c].cells);
        }
        const std::map<std::string, std::string> metadata(data.metadata.begin(), data.metadata.end());
        EXPECT_EQ(metadata.at("qavn.title"), "SAMPLE STUDY");
        EXPECT_EQ(metadata.at("qavn.data_files"), "D:\\DATA\\FILE1.DAT");
        EXPECT_EQ(metadata.at("qavn.label.NAME"), "Name \xC3\xA9");
    }

    const fs::path dir = p.outputDir() / "keep";
    const test::ParquetReadBack variables = readBack(dir / "variables.parquet");
    ASSERT_EQ(variables.rows, 6);
    EXPECT_TRUE(column(variables, "type").cells == (std::vector<ParquetCell>{text("INTEGER"), text("DOUBLE"),
                                                                             text("VARCHAR"), text("VARCHAR"),
                                                                             text("BIGINT"), text("DATE")}));
    EXPECT_TRUE(column(variables, "long_name").cells[0] == text("age_in_years"));
    EXPECT_TRUE(column(variables, "short_name").cells[0] == text("AGE"));
    EXPECT_TRUE(column(variables, "label").cells[0] == text("Age in whole years"));
    EXPECT_TRUE(column(variables, "decimals").cells[1] == integer(2));
    EXPECT_TRUE(column(variables, "description").cells[0] == text("How old are you?"));
    EXPECT_TRUE(column(variables, "section").cells[4] == text("Money"));

    const test::ParquetReadBack labels = readBack(dir / "value_labels.parquet");
    ASSERT_EQ(labels.rows, 3);
    EXPECT_TRUE(column(labels, "variable").cells ==
                (std::vector<ParquetCell>{text("age_in_years"), text("age_in_years"), text("INCOME")}));
    EXPECT_TRUE(column(labels, "value").cells == (std::vector<ParquetCell>{real(-1), real(34), real(-5)}));
    // Reserved codes and the values the source declared missing.
    EXPECT_TRUE(column(labels, "is_missing").cells == (std::vector<ParquetCell>{integer(1), integer(1), integer(1)}));

    const std::string sql = test::readFile(dir / "duckdb.sql");
    EXPECT_NE(sql.find("CREATE OR REPLACE VIEW main.\"DATA_FILE1\" AS SELECT * FROM read_parquet('DATA_FILE1.parquet');"),
              std::string::npos);
    EXPECT_NE(sql.find("CASE t.\"age_in_years\" WHEN -1 THEN '{Refused}' WHEN 34 THEN 'Thirty-four' ELSE "
                       "CAST(t.\"age_in_years\" AS VARCHAR) END AS \"age_in_years\""),
              std::string::npos)
        << sql;
}

} // namespace
} // namespace qavn
