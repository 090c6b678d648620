// The table driver and the names of per-data-file results: every output of
// the format table on a project whose data paths share a stem, and a Cancel
// or a full disk that must leave every earlier file as it was.

#include "WriterTestSupport.h"

#include "project/ProjectPaths.h"
#include "project/ProjectSpec.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>

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

std::vector<std::string> sqliteTables(const fs::path& file)
{
    sqlite3* db = nullptr;
    std::vector<std::string> tables;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_exec(
            db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name",
            [](void* out, int, char** values, char**) {
                static_cast<std::vector<std::string>*>(out)->push_back(values[0]);
                return 0;
            },
            &tables, nullptr);
    }
    sqlite3_close(db);
    return tables;
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
        default:
            expected = {"out" + std::string(format.defaultExtension)};
            break;
        }
        EXPECT_EQ(files, expected);
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
            format.kind != OutputKind::StataData && format.kind != OutputKind::Ddi)
            continue;
        SCOPED_TRACE(format.batchName);
        const bool folder = format.files == OutputFiles::Several;
        const fs::path dir = p.outputDir() / ("keep-" + std::string(format.batchName));
        fs::create_directories(dir);
        const std::string path = folder ? dir.string() : (dir / "out").string();
        // What the user agreed to replace: the file under the first name.
        const fs::path earlier =
            dir / (folder ? "DATA_97_YOUTH.csv"
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
        EXPECT_EQ(h.ui.messages()[0].text, "Cannot Write " + (folder ? path + "\\DATA_97_YOUTH.csv" : result.fileName) +
                                               " !\n" + std::strerror(ENOSPC));
        EXPECT_EQ(filesIn(dir), std::vector<std::string>{earlier.filename().string()});
        EXPECT_EQ(test::readFile(earlier), "earlier");
    }
}

} // namespace
} // namespace qavn
