// The table driver and the names of per-data-file results: every output of
// the format table on a project whose data paths share a stem, and a Cancel
// or a full disk that must leave every earlier file as it was.

#include "WriterTestSupport.h"

#include "export/RawDataReader.h"
#include "export/TableData.h"
#include "project/ProjectPaths.h"
#include "project/ProjectSpec.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <filesystem>
#include <set>

#include <unistd.h>

namespace qavn {
namespace {

namespace fs = std::filesystem;
using test::TestProject;
using test::variable;
using test::WriterHarness;

TEST(TableDriver, DataFileOutputNamesAreUniqueIgnoringCase)
{
    ProjectSpec project;
    for (const char* path : {"DATA\\YOUTH97.DAT", "DATA.97\\YOUTH.DAT", "data.97\\Youth.raw", "DATA.97\\YOUTH.X.Y",
                             ".DAT", "C:WAVE.DAT", "DATA_97_YOUTH_2.DAT"})
        project.dataFiles.push_back({1, "0", path, ""});
    EXPECT_EQ(dataFileOutputNames(project),
              (std::vector<std::string>{"DATA_YOUTH97", "DATA_97_YOUTH", "data_97_Youth_2", "DATA_97_YOUTH_3",
                                        "data", "C_WAVE", "DATA_97_YOUTH_2_2"}));
}

// Three data files whose paths give one stem up to the first full stop
// ("DATA"), two of them the same name but for letter case.
void addSharedStem(TestProject& p)
{
    p.dataFiles = {TestProject::DataFile{1, "1-3", "DATA.97\\YOUTH.DAT", {"001 1A", "002 2B"}},
                   TestProject::DataFile{1, "1-3", "DATA.97\\PARENT.DAT", {"0017", "0028"}},
                   TestProject::DataFile{1, "0", "data.97\\Youth.raw", {"x5", "y6"}}};
    auto sex = variable("SEX", "Sex", "S", 1, 1, "5");
    sex.categories = {categoryLine("1", "1", "50.0", "Male"), categoryLine("2", "1", "50.0", "Female")};
    p.add(sex);
    p.add(variable("GRADE", "Grade", "S", 1, 1, "6", 'A'));
    p.add(variable("AGE", "Age", "S", 2, 1, "4"));
    p.add(variable("CODE", "Code", "S", 3, 1, "1", 'A'));
    p.add(variable("SCORE", "Score", "S", 3, 1, "2"));
}

std::vector<std::string> filesIn(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (entry.is_regular_file())
            names.push_back(fs::relative(entry.path(), dir).string());
    std::sort(names.begin(), names.end());
    return names;
}

// The first column of a query's rows ("NULL" for null).
std::vector<std::string> sqliteValues(const fs::path& file, const char* sql)
{
    sqlite3* db = nullptr;
    std::vector<std::string> values;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_exec(
            db, sql,
            [](void* out, int, char** row, char**) {
                static_cast<std::vector<std::string>*>(out)->push_back(row[0] ? row[0] : "NULL");
                return 0;
            },
            &values, nullptr);
    }
    sqlite3_close(db);
    return values;
}

std::vector<std::string> sqliteTables(const fs::path& file)
{
    return sqliteValues(file, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name");
}

std::size_t count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST(TableDriver, EveryOutputKeepsTheResultsOfDataFilesWithASharedStemApart)
{
    TestProject p;
    addSharedStem(p);
    p.write();
    WriterHarness h;
    ASSERT_TRUE(h.started);
    h.tag({1, 2, 3, 4, 5});

    const std::vector<std::string> tables{"DATA_97_PARENT", "DATA_97_YOUTH", "data_97_Youth_2"};
    for (const OutputFormat& format : outputFormats()) {
        SCOPED_TRACE(format.batchName);
        const fs::path dir = p.outputDir() / std::string(format.batchName);
        fs::create_directories(dir);
        h.ui.clearMessages();
        h.progress.cancel = 0;
        const std::string path = format.files == OutputFiles::One ? (dir / "out").string() : dir.string();
        const OutputResult result = h.run(format.kind, LabelChoice::All, path);
        const std::vector<std::string> files = filesIn(dir);
        if (format.kind == OutputKind::AccessDb) {
            // The data export names its files as the written design does
            // (cut at the first full stop): the clash is refused, never
            // written twice.
            ASSERT_EQ(h.ui.messages().size(), 1u);
            EXPECT_NE(h.ui.messages()[0].text.find("has already been written"), std::string::npos);
            continue;
        }
        ASSERT_EQ(result.status, OutputStatus::Written) << (h.ui.messages().empty() ? "" : h.ui.messageTexts()[0]);
        const std::set<std::string> distinct(result.generatedHostFiles.begin(), result.generatedHostFiles.end());
        EXPECT_EQ(distinct.size(), result.generatedHostFiles.size());
        std::vector<std::string> expected;
        switch (format.kind) {
        case OutputKind::Csv:
            for (const std::string& t : tables)
                expected.push_back(t + ".csv");
            EXPECT_EQ(test::readFile(dir / "DATA_97_PARENT.csv"), "ID,AGE\r\n001,7\r\n002,8\r\n");
            break;
        case OutputKind::SpssData:
        case OutputKind::StataData:
            for (const std::string& t : tables)
                expected.push_back("out_" + t + std::string(format.defaultExtension));
            break;
        case OutputKind::Ddi:
            expected = {"out.xml", "out_DATA_97_PARENT.dat", "out_DATA_97_YOUTH.dat", "out_data_97_Youth_2.dat"};
            EXPECT_NE(test::readFile(dir / "out.xml").find("<fileName>out_data_97_Youth_2.dat</fileName>"),
                      std::string::npos);
            break;
        case OutputKind::Sqlite:
            expected = {"out.db"};
            EXPECT_EQ(sqliteTables(dir / "out.db"),
                      (std::vector<std::string>{"DATA_97_PARENT", "DATA_97_YOUTH", "data_97_Youth_2", "value_labels",
                                                "variables"}));
            break;
        case OutputKind::StataProgram:
            expected = {"out.do"};
            for (const std::string& t : tables)
                EXPECT_EQ(count(test::readFile(dir / "out.do"), "/" + t + ".dta\""), 1u) << t;
            break;
        case OutputKind::HtmlSite:
            // The site: its page and its own folder, whatever the data files.
            ASSERT_FALSE(files.empty());
            EXPECT_EQ(files.front(), "index.html");
            EXPECT_TRUE(std::all_of(files.begin() + 1, files.end(),
                                    [](const std::string& f) { return f.rfind("qavn/", 0) == 0; }));
            continue;
        case OutputKind::RScript:
            expected = {"out.R"};
            for (const std::string& t : tables)
                EXPECT_EQ(count(test::readFile(dir / "out.R"), t + " <- "), 1u) << t;
            break;
        case OutputKind::Parquet:
            for (const std::string& t : tables)
                expected.push_back(t + ".parquet");
            expected.insert(expected.end(), {"duckdb.sql", "value_labels.parquet", "variables.parquet"});
            std::sort(expected.begin(), expected.end());
            break;
        case OutputKind::PsppProgram:
            expected = {"out.sps"};
            for (const std::string& t : tables)
                EXPECT_EQ(count(test::readFile(dir / "out.sps"), "/" + t + ".sav' /COMPRESSED"), 1u) << t;
            break;
        default:
            expected = {"out" + std::string(format.defaultExtension)};
            break;
        }
        EXPECT_EQ(files, expected);
    }
}

// Two data files with identifiers, the second out of identifier order and
// without case 002; a third without an identifier.
void addMatchable(TestProject& p)
{
    p.dataFiles = {TestProject::DataFile{1, "1-3", "DATA\\YOUTH.DAT", {"001 1A", "002 2B", "003 1C"}},
                   TestProject::DataFile{1, "1-3", "DATA\\PARENT.DAT", {"003451", "001372"}},
                   TestProject::DataFile{1, "0", "DATA\\SCHOOL.DAT", {"x5"}}};
    auto sex = variable("SEX", "Sex", "S", 1, 1, "5");
    sex.categories = {categoryLine("1", "2", "66.7", "Male"), categoryLine("2", "1", "33.3", "Female")};
    p.add(sex);
    p.add(variable("GRADE", "Grade", "S", 1, 1, "6", 'A'));
    p.add(variable("AGE", "Age", "S", 2, 1, "4-5"));
    p.add(variable("SEX", "Parent's sex", "S", 2, 1, "6"));
    p.add(variable("CODE", "Code", "S", 3, 1, "1", 'A'));
}

TEST(TableDriver, MergedRunsWriteOneTableOfTheCasesMatchedByTheirIdentifier)
{
    TestProject p;
    addMatchable(p);
    p.write();
    WriterHarness h;
    ASSERT_TRUE(h.started);
    h.tag({1, 2, 3, 4});

    for (const OutputFormat& format : outputFormats()) {
        if ((format.choices & outputchoice::merge) == 0)
            continue;
        SCOPED_TRACE(format.batchName);
        const fs::path dir = p.outputDir() / ("merged-" + std::string(format.batchName));
        fs::create_directories(dir);
        h.ui.clearMessages();
        OutputJob job{LabelChoice::All, format.files == OutputFiles::One ? (dir / "out").string() : dir.string()};
        job.merge = true;
        Progress progress;
        const OutputResult result = writeOutput(format, h.services(), job, progress);
        ASSERT_EQ(result.status, OutputStatus::Written) << (h.ui.messages().empty() ? "" : h.ui.messageTexts()[0]);
        const std::vector<std::string> files = filesIn(dir);
        switch (format.kind) {
        case OutputKind::Csv:
            EXPECT_EQ(files, std::vector<std::string>{"merged.csv"});
            EXPECT_EQ(test::readFile(dir / "merged.csv"),
                      "ID,SEX,GRADE,AGE,SEX_2\r\n001,1,A,37,2\r\n002,2,B,,\r\n003,1,C,45,1\r\n");
            break;
        case OutputKind::Sqlite:
            EXPECT_EQ(sqliteTables(dir / "out.db"),
                      (std::vector<std::string>{"merged", "value_labels", "variables"}));
            break;
        case OutputKind::SpssData:
        case OutputKind::StataData:
            EXPECT_EQ(files, std::vector<std::string>{"out" + std::string(format.defaultExtension)});
            break;
        case OutputKind::Ddi:
            EXPECT_EQ(files, (std::vector<std::string>{"out.dat", "out.xml"}));
            EXPECT_EQ(test::readFile(dir / "out.dat"), "0011A372\r\n0022B   \r\n0031C451\r\n");
            break;
        case OutputKind::StataProgram:
            EXPECT_NE(test::readFile(dir / "out.do").find("merge 1:1 ID using"), std::string::npos);
            break;
        case OutputKind::RScript:
            EXPECT_NE(test::readFile(dir / "out.R").find("merged <- Reduce("), std::string::npos);
            break;
        case OutputKind::Parquet:
            EXPECT_EQ(files, (std::vector<std::string>{"duckdb.sql", "merged.parquet", "value_labels.parquet",
                                                       "variables.parquet"}));
            break;
        default:
            ADD_FAILURE() << "no check for this output";
        }
    }

    // A data file without an identifier cannot be matched; a repeated
    // identifier stops the run naming its line. Nothing is written.
    struct Refusal {
        std::vector<std::uint32_t> rows;
        const char* message;
    };
    for (const Refusal& r : {Refusal{{5}, "DATA\\SCHOOL.DAT cannot be matched"},
                             Refusal{{}, "PARENT.DAT line 3: the identifier 003 is also the identifier of the case "
                                         "on line 1"}}) {
        SCOPED_TRACE(r.message);
        if (r.rows.empty())
            test::writeFile(p.driveD() / "DATA" / "PARENT.DAT", "003451\r\n001372\r\n003440\r\n");
        for (const std::uint32_t row : r.rows)
            h.list.tagRow(row);
        const fs::path dir = p.outputDir() / "refused";
        fs::create_directories(dir);
        h.ui.clearMessages();
        OutputJob job{LabelChoice::All, dir.string()};
        job.merge = true;
        Progress progress;
        const OutputResult result = writeOutput(outputFormat(OutputKind::Csv), h.services(), job, progress);
        EXPECT_NE(result.status, OutputStatus::Written);
        ASSERT_EQ(h.ui.messages().size(), 1u);
        EXPECT_NE(h.ui.messages()[0].text.find(r.message), std::string::npos) << h.ui.messages()[0].text;
        EXPECT_TRUE(filesIn(dir).empty());
        h.list.untagRow(5);
    }
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

TEST(TableDriver, CancelOrAFullDiskLeavesEveryEarlierFileAsItWas)
{
    TestProject p;
    addSharedStem(p);
    p.write();
    WriterHarness h;
    ASSERT_TRUE(h.started);
    h.tag({1, 2, 3, 4, 5});

    for (const OutputFormat& format : outputFormats()) {
        if (format.kind != OutputKind::Csv && format.kind != OutputKind::Sqlite && format.kind != OutputKind::SpssData &&
            format.kind != OutputKind::StataData && format.kind != OutputKind::Ddi && format.kind != OutputKind::Parquet)
            continue;
        SCOPED_TRACE(format.batchName);
        const bool folder = format.files == OutputFiles::Several;
        const fs::path dir = p.outputDir() / ("keep-" + std::string(format.batchName));
        fs::create_directories(dir);
        const std::string path = folder ? dir.string() : (dir / "out").string();
        // What the user agreed to replace: the file under the first name.
        const std::string firstTable = format.kind == OutputKind::Parquet ? "DATA_97_YOUTH.parquet" : "DATA_97_YOUTH.csv";
        const fs::path earlier =
            dir / (folder ? firstTable
                          : format.kind == OutputKind::SpssData || format.kind == OutputKind::StataData
                                ? "out_DATA_97_YOUTH" + std::string(format.defaultExtension)
                                : "out" + std::string(format.defaultExtension));
        test::writeFile(earlier, "earlier");

        // Cancel in the first table, at the end of the second, in the last.
        for (const int at : {1, 4, 7}) {
            SCOPED_TRACE(at);
            CancellingProgress progress(at);
            const OutputResult result = writeOutput(format, h.services(), OutputJob{LabelChoice::All, path}, progress);
            EXPECT_EQ(result.status, OutputStatus::Stopped);
            EXPECT_EQ(filesIn(dir), std::vector<std::string>{earlier.filename().string()});
        }
        // A full disk from the first write on.
        h.ui.clearMessages();
        FileTextOutput full;
        full.failFromWrite(1);
        Progress progress;
        const OutputResult result =
            writeOutput(format, h.services(), OutputJob{LabelChoice::All, path}, progress, &full);
        EXPECT_EQ(result.status, OutputStatus::Failed);
        ASSERT_EQ(h.ui.messages().size(), 1u);
        EXPECT_EQ(h.ui.messages()[0].text, "Cannot Write " + (folder ? path + "\\" + firstTable : result.fileName) +
                                               " !\n" + std::strerror(ENOSPC));
        EXPECT_EQ(filesIn(dir), std::vector<std::string>{earlier.filename().string()});
        EXPECT_EQ(test::readFile(earlier), "earlier");
    }
}

// The SQLite output of the first two variables of the project written last
// into `file`; false when it was not written.
bool writeTaggedSqlite(const fs::path& file)
{
    WriterHarness h;
    if (!h.started)
        return false;
    h.tag({1, 2});
    OutputJob job{LabelChoice::All, file.string()};
    Progress progress;
    return writeOutput(outputFormat(OutputKind::Sqlite), h.services(), job, progress).status == OutputStatus::Written;
}

// A field without implied decimals may still hold its own decimal point: the
// SQLite column is then REAL, whatever the codebook says, and keeps every
// value (the identifier stays the key).
TEST(TableDriver, SqliteColumnsGivenDecimalsAreReal)
{
    TestProject p;
    p.dataFiles = {TestProject::DataFile{1, "1-3", "DATA\\SCORES.DAT", {"001   7", "002 3.5", "003    "}}};
    p.add(variable("SCORE", "Score", "S", 1, 1, "4-7"));
    p.add(variable("WHOLE", "Whole", "S", 1, 1, "1-3"));
    p.write();
    const fs::path file = p.outputDir() / "scores.db";
    ASSERT_TRUE(writeTaggedSqlite(file));
    EXPECT_EQ(sqliteValues(file, "SELECT type FROM pragma_table_info('DATA_SCORES') ORDER BY cid"),
              (std::vector<std::string>{"INTEGER", "REAL", "INTEGER"}));
    EXPECT_EQ(sqliteValues(file, "SELECT SCORE || ' ' || WHOLE FROM DATA_SCORES ORDER BY ID"),
              (std::vector<std::string>{"7.0 1", "3.5 2", "NULL"}));
    EXPECT_EQ(sqliteValues(file, "SELECT pk FROM pragma_table_info('DATA_SCORES') WHERE name = 'ID'"),
              std::vector<std::string>{"1"});
}

// The case loops' cells (CaseCells) are the cells cellText() makes, for
// every kind of column and field, reserved codes and declared missing values
// kept or emptied; a few of them spelled out.
TEST(TableDriver, CaseCellsAreTheCellsOfCellText)
{
    std::vector<TableColumn> columns(7);
    columns[0].isIdentifier = true;
    columns[1].typeCode = 'A';
    columns[2].typeCode = ' ';
    columns[3].reservedCodes = {"-1", "-4"};
    columns[4].typeCode = '2';
    columns[4].reservedCodes = {"-1"};
    columns[5].declared.codes = {{9, "Not asked"}};
    columns[5].reservedCodes = {"-2"};
    columns[6].typeCode = 'A';
    columns[6].declared.texts = {{"NONE", "None"}};
    const std::vector<std::string> fields = {"", "   ", " 12 ", "\t-1\r", "-4", "-10", "5", "+5", "-", "-0", "007",
                                             "1.5", " 9", "NONE", "caf\xe9", "O'Neil, \"Jr\"", "\xff", "-150",
                                             "123456789012"};
    for (const ReservedCodes reserved : {ReservedCodes::Keep, ReservedCodes::Empty}) {
        CaseCells cells(columns, reserved);
        for (std::size_t c = 0; c < columns.size(); ++c)
            for (const std::string& field : fields)
                EXPECT_EQ(cells.cell(c, field), cellText(field, columns[c], reserved))
                    << "column " << c << " field \"" << field << "\" reserved " << static_cast<int>(reserved);
    }
    // plainCell() of a field lying in a line, with bytes of every kind
    // after it, says what cell() says, or leaves it to cell().
    for (TableColumn& column : columns)
        column.width = 8;
    columns.resize(9);
    columns[7].typeCode = '6';
    columns[7].width = 7;
    columns[8].typeCode = '1';
    columns[8].width = 8;
    std::size_t plain = 0;
    for (const ReservedCodes reserved : {ReservedCodes::Keep, ReservedCodes::Empty}) {
        CaseCells cells(columns, reserved);
        for (std::size_t c = 0; c < columns.size(); ++c) {
            for (std::string field : fields) {
                for (const std::string extra : {"1234567", "1-2,\"\xff\t"}) {
                    field.resize(std::min(field.size(), columns[c].width));
                    const std::string line = field + extra + std::string(8, ' ');
                    std::uint64_t bytes = 0;
                    std::size_t size = 0;
                    if (!cells.plainCell(c, std::string_view(line.data(), field.size()), bytes, size))
                        continue;
                    ++plain;
                    char text[8];
                    std::memcpy(text, &bytes, sizeof bytes);
                    EXPECT_EQ(std::string(text, size), cells.cell(c, field)) << "column " << c << " field \"" << field << "\"";
                }
            }
        }
    }
    EXPECT_GT(plain, 150u);
    // So does LineCells::plainCell() of the same field at its column's place
    // in a line of such fields, the line's bits scanned (LineBits).
    for (std::size_t c = 0; c < columns.size(); ++c)
        columns[c].offset = 8 * c;
    std::size_t inLine = 0;
    for (const ReservedCodes reserved : {ReservedCodes::Keep, ReservedCodes::Empty}) {
        CaseCells cells(columns, reserved);
        LineBits bits;
        for (std::size_t f = 0; f < fields.size(); ++f) {
            std::string line;
            for (std::size_t c = 0; c < columns.size(); ++c) {
                std::string field = fields[(f + 3 * c) % fields.size()];
                field.resize(columns[c].width, ' ');
                line += field + std::string(8 - columns[c].width, '"');
            }
            line += std::string(RawDataReader::tailPadding, ',');
            const std::size_t length = line.size() - RawDataReader::tailPadding;
            bits.scan(line.data(), length);
            const CaseCells::LineCells lineCells = cells.lineCells();
            for (std::size_t c = 0; c < columns.size(); ++c) {
                std::uint64_t bytes = 0;
                std::size_t size = 0;
                bool marked = false;
                if (!lineCells.plainCell(c, line.data(), bits.view(), bytes, size, marked))
                    continue;
                ++inLine;
                char text[8];
                std::memcpy(text, &bytes, sizeof bytes);
                const std::string field = line.substr(columns[c].offset, columns[c].width);
                const std::string_view cell = cells.cell(c, field);
                EXPECT_EQ(std::string(text, size), cell) << "column " << c << " field \"" << field << "\"";
                EXPECT_EQ(marked, cell.find_first_of(",\"") != std::string_view::npos) << field;
            }
        }
    }
    EXPECT_GT(inLine, 40u);
    CaseCells keep(columns, ReservedCodes::Keep);
    CaseCells empty(columns, ReservedCodes::Empty);
    EXPECT_EQ(keep.cell(7, "1234567"), "1.234567");
    EXPECT_EQ(keep.cell(8, "  7"), "0.7");
    EXPECT_EQ(keep.cell(1, " caf\xe9 "), "caf\xc3\xa9");
    EXPECT_EQ(keep.cell(3, " -4"), "-4");
    EXPECT_EQ(empty.cell(3, " -4"), "");
    EXPECT_EQ(keep.cell(4, "   5"), "0.05");
    EXPECT_EQ(keep.cell(4, "-150"), "-1.50");
    EXPECT_EQ(keep.cell(4, "  -1"), "-1");
    EXPECT_EQ(keep.cell(4, "1.5"), "1.5");
    EXPECT_EQ(empty.cell(5, " 9"), "");
    EXPECT_EQ(keep.cell(5, " 9"), "9");
    EXPECT_EQ(empty.cell(6, "NONE "), "");
    EXPECT_EQ(keep.cell(0, " 007 "), "007");
}

// Each line's data ends before its line end, however many CR and LF it has;
// a last line without one is whole.
TEST(TableDriver, CaseTextIsTheLineWithoutItsLineEnd)
{
    const fs::path file = fs::temp_directory_path() / ("qavn-casetext-" + std::to_string(::getpid()));
    std::ofstream(file, std::ios::binary) << "ab\r\ncd\nef\r\r\n\r\n gh";
    RawDataReader reader;
    std::string error;
    ASSERT_TRUE(reader.open(file, error)) << error;
    std::vector<std::string> texts;
    while (reader.nextLine(true) == RawDataReader::Status::Ok)
        texts.emplace_back(reader.caseText(reader.caseLineCount() - 1));
    reader.close();
    fs::remove(file);
    EXPECT_EQ(texts, (std::vector<std::string>{"ab", "cd", "ef", "", " gh"}));
}

// The SQLite output reads the usual numbers itself: each is the number
// strtod() makes of the CSV cell (implied decimals, a sign, leading zeros,
// 15 and more digits), and what it does not read itself keeps its way.
TEST(TableDriver, SqliteNumbersAreThoseOfTheirCellText)
{
    TestProject p;
    const std::vector<std::string> scaled = {"    5", " -150", "   -0", " 12.5", "  1e3", "99999", "12345"};
    const std::vector<std::string> whole = {"                   7", "                 -12",
                                            "                 007", "                  +5",
                                            "  123456789012345678", " 1234567890123456789",
                                            "                  -0"};
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < scaled.size(); ++i)
        lines.push_back("00" + std::to_string(i + 1) + scaled[i] + whole[i]);
    p.dataFiles = {TestProject::DataFile{1, "1-3", "DATA\\NUMBERS.DAT", lines}};
    p.add(variable("SCALED", "Scaled", "S", 1, 1, "4-8", '2'));
    p.add(variable("WHOLE", "Whole", "S", 1, 1, "9-28"));
    p.write();
    const fs::path file = p.outputDir() / "numbers.db";
    ASSERT_TRUE(writeTaggedSqlite(file));
    const std::vector<std::string> expected = {"0.05", "-1.50", "-0.00", "12.5", "1e3", "999.99", "123.45"};
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* select = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT SCALED, WHOLE, typeof(WHOLE) FROM DATA_NUMBERS ORDER BY ID", -1, &select,
                                 nullptr),
              SQLITE_OK);
    std::size_t row = 0;
    for (; sqlite3_step(select) == SQLITE_ROW && row < expected.size(); ++row) {
        EXPECT_EQ(sqlite3_column_double(select, 0), std::strtod(expected[row].c_str(), nullptr)) << row;
        EXPECT_EQ(sqlite3_column_int64(select, 1), std::strtoll(whole[row].c_str(), nullptr, 10)) << row;
        EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(select, 2)), "integer") << row;
    }
    sqlite3_finalize(select);
    sqlite3_close(db);
    EXPECT_EQ(row, expected.size());
}

} // namespace
} // namespace qavn
