// The writer driver around the writers: file naming, its messages, progress,
// Cancel and write failures, the tag file, and the shape of the SAS and SPSS
// programs across data files.

#include "WriterTestSupport.h"

#include "outputs/DataExport.h"
#include "search/TagImport.h"
#include "writers/ProgramWriters.h"

#include <filesystem>

#include <cerrno>
#include <cstring>

namespace qavn {
namespace {

using test::lf;
using test::TestProject;
using test::variable;
using test::WriterHarness;

// A progress that remembers what it was told.
class RecordingProgress : public Progress {
public:
    void setRange(long maximum) override { range = maximum; }
    void advance(long step) override { total += step; }
    long range = 0;
    long total = 0;
};

TEST(WriterDriver, OutputFileNaming)
{
    struct Case {
        const char* chosen;
        OutputKind kind;
        const char* expected;
    };
    const Case cases[] = {
        {"RESULT", OutputKind::Sas, "RESULT.SAS"},
        {"result.prg", OutputKind::Sas, "result.prg"},
        {"C:\\MY.DIR\\OUT", OutputKind::SpssWin, "C:\\MY.DIR\\OUT"},
        {" \tout \r\n", OutputKind::Tag, "out.TAG"},
        {"x", OutputKind::SpssDos, "x.SPS"},
        {"x", OutputKind::SpssWin, "x.SPS"},
        {"x", OutputKind::CodeText, "x.TXT"},
        {"x", OutputKind::AccessDb, "x"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(outputFileName(c.chosen, outputFormat(c.kind).defaultExtension), c.expected)
            << c.chosen << " " << outputFormat(c.kind).name;

    EXPECT_EQ(outputFormat(OutputKind::Sas).filter, "SAS Code|*.sas|");
    EXPECT_EQ(outputFormat(OutputKind::AccessDb).files, OutputFiles::Several);
    EXPECT_EQ(findOutputFormat("spss-dos"), &outputFormat(OutputKind::SpssDos));
    EXPECT_EQ(findOutputFormat(""), nullptr);
    EXPECT_EQ(findOutputFormat("mdb"), nullptr);
}

TEST(WriterDriver, GeneratedFilesDialogLines)
{
    const auto lines = generatedFilesLines({"", "C:\\OUT\\X1.txt"});
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], std::string(88, '-'));
    EXPECT_EQ(lines[1], "Following output files have been generated");
    EXPECT_EQ(lines[2], lines[0]);
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4], "C:\\OUT\\X1.txt");
}

TEST(WriterDriver, MessagesForNoTagsAndUnopenableFile)
{
    TestProject p;
    test::addWorkedExample(p);
    p.write();
    WriterHarness h;
    ASSERT_TRUE(h.started);

    EXPECT_FALSE(checkTaggedItems(h.list, h.ui));
    EXPECT_EQ(h.ui.messageTexts(), std::vector<std::string>{"No Tagged Item !\nPlease Tag Items First."});
    EXPECT_EQ(h.ui.messages().front().icon, Ui::Icon::Stop);
    h.ui.clearMessages();

    h.tag({12});
    EXPECT_TRUE(checkTaggedItems(h.list, h.ui));
    const OutputResult result = h.run(OutputKind::Sas, LabelChoice::All, "C:\\NOWHERE\\RESULT");
    EXPECT_EQ(result.status, OutputStatus::Failed);
    EXPECT_EQ(result.fileName, "C:\\NOWHERE\\RESULT.SAS");
    EXPECT_EQ(h.ui.messageTexts(), std::vector<std::string>{"Cannot Open C:\\NOWHERE\\RESULT.SAS"});
    EXPECT_EQ(h.progress.cancel, 1);
    EXPECT_FALSE(std::filesystem::exists(p.root() / "c" / "NOWHERE"));
}

TEST(WriterDriver, WriteFailureIsReportedNotSuccess)
{
    TestProject p;
    test::addWorkedExample(p);
    // Raw data for the outputs that read it before their first write.
    p.dataFiles[0].rawLines = {"0000135 AL", "00012345"};
    p.dataFiles[1].rawLines = {"000011"};
    p.write();
    WriterHarness h;
    ASSERT_TRUE(h.started);
    h.tag({12, 13, 14, 15, 16});

    for (const OutputFormat& format : outputFormats()) {
        if (format.files != OutputFiles::One)
            continue;
        SCOPED_TRACE(format.name);
        h.ui.clearMessages();
        h.progress.cancel = 0;
        FileTextOutput output;
        output.failFromWrite(1); // the disk is full from the first write on
        const OutputResult result = h.run(format.kind, LabelChoice::All, "C:\\OUT\\FULL", &output);
        EXPECT_EQ(result.status, OutputStatus::Failed);
        ASSERT_EQ(h.ui.messages().size(), 1u);
        EXPECT_EQ(h.ui.messages()[0].text, "Cannot Write " + result.fileName + " !\n" + std::strerror(ENOSPC));
        EXPECT_EQ(h.ui.messages()[0].icon, Ui::Icon::Stop);
    }
}

TEST(WriterDriver, CancelMidRunKeepsThePartialFile)
{
    TestProject p;
    p.dataFiles = {TestProject::DataFile{1, "1-5", "DATA\\FILE1.DAT", {}}};
    for (int i = 1; i <= 60; ++i) {
        auto v = variable("Q" + std::to_string(i), "Question " + std::to_string(i), "S", 1, 1, "6");
        v.description = {"Asked of everyone", "in the second wave"};
        v.categories = {categoryLine("1", "10", "50.0", "Yes"), categoryLine("2", "10", "50.0", "No")};
        p.add(v);
    }
    p.write();
    WriterHarness h;
    ASSERT_TRUE(h.started);
    for (std::uint32_t r = 1; r <= 60; ++r)
        h.list.tagRow(r);

    const std::string fullPath = (p.outputDir() / "full.txt").string();
    ASSERT_EQ(h.run(OutputKind::CodeText, LabelChoice::NotAsked, fullPath).status, OutputStatus::Written);
    const std::string full = test::readFile(fullPath);

    // Collecting 60 tags makes 56 pump steps; the writer then makes one
    // every tenth variable. Cancel at the writer's second one (variable 11):
    // the writer stops after that variable is complete.
    const std::string partPath = (p.outputDir() / "part.txt").string();
    h.ui.cancelAfter(58, h.progress.cancel);
    const OutputResult result = h.run(OutputKind::CodeText, LabelChoice::NotAsked, partPath);
    EXPECT_EQ(result.status, OutputStatus::Stopped);
    EXPECT_TRUE(h.ui.messages().empty());
    const std::string part = test::readFile(partPath);
    ASSERT_LT(part.size(), full.size());
    EXPECT_EQ(full.compare(0, part.size(), part), 0);
    EXPECT_NE(part.find("Variable[    12]"), std::string::npos);
    EXPECT_EQ(part.find("Variable[    13]"), std::string::npos);
    EXPECT_EQ(part.substr(part.size() - 5), " \r\n\r\n");

    // A SAS program cancelled in its statements never gets its RUN;.
    h.progress.cancel = 0;
    h.ui.cancelAfter(58, h.progress.cancel);
    ASSERT_EQ(h.run(OutputKind::Sas, LabelChoice::All, (p.outputDir() / "part.sas").string()).status, OutputStatus::Stopped);
    const std::string sas = test::readFile(p.outputDir() / "part.sas");
    EXPECT_NE(sas.find("DATA X1;"), std::string::npos);
    EXPECT_EQ(sas.find("RUN;"), std::string::npos);
}

TEST(WriterDriver, ProgressRangeFinalStepAndTheExportDialog)
{
    TestProject p;
    test::addWorkedExample(p);
    p.dataFiles[0].rawLines = {"0000125AL", "   12000"};
    p.dataFiles[1].rawLines = {"000011"};
    p.write();
    WriterHarness h;
    ASSERT_TRUE(h.started);
    h.tag({12, 14, 15, 16});

    RecordingProgress bar;
    const OutputJob tagJob{LabelChoice::NotAsked, (p.outputDir() / "t.tag").string()};
    ASSERT_EQ(writeOutput(outputFormat(OutputKind::Tag), h.services(), tagJob, bar).status, OutputStatus::Written);
    EXPECT_EQ(bar.range, 300);
    // 1 + one for each of the four tags + 1 while collecting, one step for the tag
    // file's first line, then the final 300.
    EXPECT_EQ(bar.total, 1 + 4 + 1 + 1 + 300);

    // The data export's dialog shows its own counter: no bar. It goes into
    // the configured output directory, or into the folder the run names.
    std::filesystem::create_directories(p.outputDir() / "ELSE");
    for (const std::string folder : {"", "C:\\OUT\\ELSE"}) {
        SCOPED_TRACE(folder);
        RecordingProgress exportBar;
        const OutputResult result = exportTaggedData(h.services(), folder, exportBar);
        EXPECT_EQ(result.status, OutputStatus::Written);
        const std::string dir = folder.empty() ? "C:\\OUT" : folder;
        EXPECT_EQ(result.generatedFiles,
                  (std::vector<std::string>{"", dir + "\\DATA_FILE1.txt", dir + "\\DATA_FILE2.txt"}));
        EXPECT_EQ(exportBar.range, 0);
        EXPECT_EQ(exportBar.total, 0);
        EXPECT_TRUE(h.ui.messages().empty());
        EXPECT_EQ(h.session.settings.outputDir, "C:\\OUT");
    }
    EXPECT_EQ(test::readFile(p.outputDir() / "ELSE" / "DATA_FILE2.txt"), "ID,SEX \r\n 00001, 1 \r\n");
}

TEST(WriterDriver, TagFileWrittenAndImportedBack)
{
    TestProject p;
    p.dataFiles = {TestProject::DataFile{1, "0", "DATA\\FILE1.DAT", {}}};
    for (int i = 1; i <= 1210; ++i)
        p.add(variable("V" + std::to_string(i), "L", "S"));
    p.write();
    WriterHarness h;
    ASSERT_TRUE(h.started);
    h.tag({3, 17, 1204});

    const std::string path = (p.outputDir() / "SEL").string();
    const OutputResult result = h.run(OutputKind::Tag, LabelChoice::NotAsked, path);
    ASSERT_EQ(result.status, OutputStatus::Written);
    EXPECT_EQ(result.fileName, path + ".TAG");
    EXPECT_EQ(test::readFile(result.fileName), "     3\r\n    17\r\n  1204\r\n");

    h.list.clearAllTags();
    ASSERT_TRUE(importTagFile(result.fileName, h.list, h.ui));
    EXPECT_EQ(h.list.tagCount(), 3u);
    EXPECT_TRUE(h.list.isTagged(3) && h.list.isTagged(17) && h.list.isTagged(1204));

    // Numbers of more than six digits are written whole.
    StringTextOutput out;
    auto context = h.context(LabelChoice::NotAsked, out);
    context->tagged = {999999, 1234567};
    EXPECT_TRUE(writeTagFile(*context));
    EXPECT_EQ(out.text(), "999999\r\n1234567\r\n");
}

// Two data files: file 1 without identifier columns, file 2 with; file 3
// with identifier columns and only a numeric variable.
void addThreeFiles(TestProject& p)
{
    p.dataFiles = {TestProject::DataFile{1, "0", "DATA\\A.DAT", {}}, TestProject::DataFile{1, "1-4", "DATA\\B.DAT", {}},
                   TestProject::DataFile{1, "1-4", "DATA\\C.DAT", {}}};
    auto a = variable("A", "Alpha", "S", 1, 1, "5");
    a.categories = {categoryLine("1", "1", "100.0", "One")};
    p.add(a);
    auto b = variable("B", "Beta", "S", 2, 1, "5");
    b.categories = {categoryLine("1", "1", "100.0", "One")};
    p.add(b);
    p.add(variable("C", "Gamma", "S", 3, 1, "5-9", '0'));
}

TEST(WriterDriver, ProgramsMergeOnlyFilesWithIdentifiersAndLabels)
{
    TestProject p;
    addThreeFiles(p);
    p.write();
    WriterHarness h;
    ASSERT_TRUE(h.started);
    h.tag({1, 2, 3});

    // Categorical: file 3's numeric variable gets no VALUE, so file 3 is not
    // merged; file 1 has no ID; only file 2 is left, so no MERGE at all.
    ASSERT_EQ(h.run(OutputKind::Sas, LabelChoice::Categorical, "C:\\OUT\\M.SAS").status, OutputStatus::Written);
    std::string sas = lf(test::readFile(p.outputDir() / "M.SAS"));
    EXPECT_NE(sas.find("DATA X1;INFILE 'D:\\DATA\\A.DAT' LRECL=1024 PAD;INPUT\nA 5 ;\n"), std::string::npos) << sas;
    EXPECT_NE(sas.find("DATA X3;"), std::string::npos);
    EXPECT_EQ(sas.find("EXTRACT;MERGE"), std::string::npos);
    // A one-letter name is not lost from the end of a statement.
    EXPECT_NE(sas.find("PROC UNIVARIATE;VAR\n  C ;\n\n\nRUN;"), std::string::npos) << sas;

    // All: file 3 is productive too; files 2 and 3 are merged.
    ASSERT_EQ(h.run(OutputKind::Sas, LabelChoice::All, "C:\\OUT\\M2.SAS").status, OutputStatus::Written);
    sas = lf(test::readFile(p.outputDir() / "M2.SAS"));
    EXPECT_NE(sas.find("DATA ZEL.EXTRACT;MERGE X2\n           X3\n           ;BY ID;\n\nRUN;"), std::string::npos)
        << sas;

    // SPSS: every step is productive, MATCH FILES names only 2 and 3.
    ASSERT_EQ(h.run(OutputKind::SpssDos, LabelChoice::Categorical, "C:\\OUT\\M.SPS").status, OutputStatus::Written);
    const std::string spss = lf(test::readFile(p.outputDir() / "M.SPS"));
    EXPECT_NE(spss.find("\nMATCH FILES /FILE='C:\\OUT\\X2'\n  /FILE='C:\\OUT\\X3'\n        /BY ID.\n\n"
                        "SAVE OUTFILE='C:\\OUT\\XTRACT' /Compressed.\n\nFINISH.\n"),
              std::string::npos)
        << spss;
}

TEST(WriterDriver, ValueLabelKeywordSurvivesAVariableWithoutUsableCodes)
{
    TestProject p;
    p.dataFiles = {TestProject::DataFile{1, "1-4", "DATA\\A.DAT", {}}};
    auto letters = variable("LET", "Letters only", "S", 1, 1, "5");
    letters.categories = {categoryLine("X", "1", "50.0", "Ex"), categoryLine("Y", "1", "50.0", "Why")};
    p.add(letters);
    auto refused = variable("REF", "Reserved first", "S", 1, 1, "6");
    refused.categories = {categoryLine("-1", "1", "50.0", "{Refused}"), categoryLine("1", "1", "50.0", "Yes")};
    p.add(refused);
    auto num = variable("NUM", "Numeric", "S", 1, 1, "7", '0');
    num.categories = {categoryLine("1", "1", "100.0", "One")};
    p.add(num);
    p.write();
    WriterHarness h;
    ASSERT_TRUE(h.started);
    h.tag({1, 2, 3});

    ASSERT_EQ(h.run(OutputKind::SpssWin, LabelChoice::All, "C:\\OUT\\V.SPS").status, OutputStatus::Written);
    const std::string spss = lf(test::readFile(p.outputDir() / "V.SPS"));
    // The keyword waits for the first label actually written, and then
    // comes without the empty line before it.
    EXPECT_NE(spss.find("  NUM 'Numeric'\nVALUE LABELS\n    REF             -1 '{Refused}'\n                    1 'Yes' \n"
                        "  / NUM             1 'One' \n"),
              std::string::npos)
        << spss;

    // None: the variable whose first label is reserved gets no labels; the
    // SAS program still opens PROC FORMAT for the letter codes and still
    // names every frequency variable's format.
    ASSERT_EQ(h.run(OutputKind::Sas, LabelChoice::NoReservedCodes, "C:\\OUT\\V.SAS").status, OutputStatus::Written);
    const std::string sas = lf(test::readFile(p.outputDir() / "V.SAS"));
    EXPECT_NE(sas.find("PROC FORMAT;\n VALUE NUMF            1='One';\n\n"), std::string::npos) << sas;
    EXPECT_EQ(sas.find("REFF "), std::string::npos);
    EXPECT_NE(sas.find("FORMAT\n  LET LETF. REF REFF. ;\n"), std::string::npos) << sas;
}

} // namespace
} // namespace qavn

namespace qavn {
namespace {

// Files in `dir` whose names start with a full stop: the temporary files of
// outputs.
std::vector<std::string> hiddenFiles(const std::filesystem::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().filename().string().front() == '.')
            names.push_back(entry.path().filename().string());
    return names;
}

// No output replaces a project file or a file the user did not name, and a
// name appears only with a whole file.
TEST(WriterDriver, OutputsReplaceOnlyTheFileNamedAndNeverAProjectFile)
{
    TestProject p;
    test::addWorkedExample(p);
    p.dataFiles[0].rawLines = {"00001301AL", "12345678"};
    p.write();
    WriterHarness h;
    ASSERT_TRUE(h.started);
    h.tag({12, 13, 14, 15, 16});
    namespace fs = std::filesystem;
    const fs::path raw = p.driveD() / "DATA" / "FILE1.DAT";
    fs::create_symlink(raw, p.outputDir() / "LINK.SAS");

    struct Case {
        const char* what;
        std::string chosen;
        fs::path input;
        std::string message;
    };
    const Case refused[] = {
        {"codebook text", "C:\\RES\\ZEL02.CDC", p.resourceDir() / "ZEL02.CDC",
         "C:\\RES\\ZEL02.CDC is the project file C:\\RES\\ZEL02.CDC.\nAn output never replaces a file the project "
         "reads; choose another name."},
        {"raw data", (p.driveD() / "DATA" / "FILE1.DAT").string(), raw,
         (p.driveD() / "DATA" / "FILE1.DAT").string() + " is the project file D:\\DATA\\FILE1.DAT.\nAn output never "
                                                        "replaces a file the project reads; choose another name."},
        {"raw data in other letter case", (p.driveD() / "DATA" / "file1.dat").string(), raw,
         (p.driveD() / "DATA" / "file1.dat").string() + " is the project file D:\\DATA\\FILE1.DAT.\nAn output never "
                                                        "replaces a file the project reads; choose another name."},
        {"raw data through a link", "C:\\OUT\\LINK.SAS", raw,
         "C:\\OUT\\LINK.SAS is the project file D:\\DATA\\FILE1.DAT.\nAn output never replaces a file the project "
         "reads; choose another name."},
        {"configuration", "ZELQAV.CFG", p.root() / "ZELQAV.CFG",
         "ZELQAV.CFG is the project file ZELQAV.CFG.\nAn output never replaces a file the project reads; choose "
         "another name."},
        {"specification", "C:\\RES\\QAVSPEC.ZEL", p.resourceDir() / "QAVSPEC.ZEL",
         "C:\\RES\\QAVSPEC.ZEL is the project file C:\\RES\\QAVSPEC.ZEL.\nAn output never replaces a file the "
         "project reads; choose another name."},
        {"a folder", "C:\\OUT\\", p.outputDir() / ".SAS",
         "Cannot Open C:\\OUT\\.SAS\nC:\\OUT\\ names a folder; give the output a file name."},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.what);
        const bool existed = fs::exists(c.input);
        const std::string before = existed ? test::readFile(c.input) : std::string();
        h.ui.clearMessages();
        h.progress.cancel = 0;
        EXPECT_EQ(h.run(OutputKind::Sas, LabelChoice::All, c.chosen).status, OutputStatus::Failed);
        EXPECT_EQ(h.ui.messageTexts(), std::vector<std::string>{c.message});
        EXPECT_EQ(fs::exists(c.input), existed);
        if (existed) {
            EXPECT_EQ(test::readFile(c.input), before);
        }
    }
    EXPECT_FALSE(fs::exists(p.driveD() / "DATA" / "file1.dat"));

    // A typed name is taken as it is: no other file that differs in case.
    test::writeFile(p.outputDir() / "Notes.txt", "keep");
    h.ui.clearMessages();
    h.progress.cancel = 0;
    ASSERT_EQ(h.run(OutputKind::CodeText, LabelChoice::NotAsked, (p.outputDir() / "notes.txt").string()).status,
              OutputStatus::Written);
    EXPECT_EQ(test::readFile(p.outputDir() / "Notes.txt"), "keep");
    EXPECT_NE(test::readFile(p.outputDir() / "notes.txt"), "");
    EXPECT_TRUE(confirmReplacement(p.outputDir().string() + "/NOTES", ".txt", h.ui)); // NOTES.txt does not exist
    EXPECT_TRUE(h.ui.messages().empty());

    // A failed write leaves the earlier file whole.
    test::writeFile(p.outputDir() / "FULL.SAS", "earlier");
    h.progress.cancel = 0;
    FileTextOutput full;
    full.failFromWrite(1);
    EXPECT_EQ(h.run(OutputKind::Sas, LabelChoice::All, "C:\\OUT\\FULL", &full).status, OutputStatus::Failed);
    EXPECT_EQ(test::readFile(p.outputDir() / "FULL.SAS"), "earlier");

    // A file that cannot be made says where and why.
    h.ui.clearMessages();
    h.progress.cancel = 0;
    h.run(OutputKind::Tag, LabelChoice::NotAsked, "C:\\NOWHERE\\X.TAG");
    ASSERT_EQ(h.ui.messages().size(), 1u);
    EXPECT_EQ(h.ui.messages()[0].text, "Cannot Open C:\\NOWHERE\\X.TAG");
    EXPECT_EQ(h.ui.messages()[0].detail,
              (p.root() / "c" / "NOWHERE" / "X.TAG").string() + ": " + std::strerror(ENOENT));

    EXPECT_EQ(hiddenFiles(p.outputDir()), std::vector<std::string>{});
}

// A temporary file is removed by the next output into its folder only when
// the run that made it is gone.
TEST(WriterDriver, StaleTemporaryFilesAreRemoved)
{
    TestProject p;
    test::addWorkedExample(p);
    p.write();
    WriterHarness h;
    ASSERT_TRUE(h.started);
    h.tag({12});
    const std::string live = ".R.SAS.qavn-" + std::to_string(getppid()) + "-abcdef";
    test::writeFile(p.outputDir() / ".R.SAS.qavn-999999999-abcdef", "stale");
    test::writeFile(p.outputDir() / live, "running");
    test::writeFile(p.outputDir() / ".notes", "mine");
    ASSERT_EQ(h.run(OutputKind::Sas, LabelChoice::All, "C:\\OUT\\R").status, OutputStatus::Written);
    EXPECT_EQ(hiddenFiles(p.outputDir()).size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(p.outputDir() / live));
    EXPECT_TRUE(std::filesystem::exists(p.outputDir() / ".notes"));
}

// SAS format names stay unique in a program, and a data file read past
// column 1,024 gets a record length that covers it.
TEST(WriterDriver, SasFormatNamesAreUniqueAndRecordLengthCoversTheColumns)
{
    TestProject p;
    p.dataFiles = {TestProject::DataFile{1, "1-5", "DATA\\FILE1.DAT", {}},
                   TestProject::DataFile{1, "0", "DATA\\FILE2.DAT", {}}};
    auto labelled = [](const std::string& name, std::uint16_t file, const std::string& location) {
        auto v = variable(name, "Wage " + name, "S", file, 1, location);
        v.categories = {categoryLine("1", "10", "50.0", "Low"), categoryLine("2", "10", "50.0", "High")};
        return v;
    };
    p.add(labelled("IN_WAGER", 1, "6-7"));
    p.add(labelled("IN_WAGEF", 1, "2678-2682"));
    p.add(labelled("IN_WAGES", 1, "8"));
    p.add(labelled("AGE", 2, "1-2"));
    p.write();
    WriterHarness h;
    ASSERT_TRUE(h.started);
    h.tag({1, 2, 3, 4});
    const std::string path = (p.outputDir() / "w.sas").string();
    ASSERT_EQ(h.run(OutputKind::Sas, LabelChoice::All, path).status, OutputStatus::Written);
    const std::string sas = lf(test::readFile(path));
    for (const char* expected :
         {"LRECL=2682 PAD;INPUT ID 1-5", "LRECL=1024 PAD;INPUT", " VALUE IN_WAGEF ", " VALUE IN_WAG1F ",
          " VALUE IN_WAG2F ", " VALUE AGEF ", "IN_WAGER IN_WAGEF.", "IN_WAGEF IN_WAG1F.", "IN_WAGES IN_WAG2F."})
        EXPECT_NE(sas.find(expected), std::string::npos) << expected << "\n" << sas;
    EXPECT_EQ(sas.find("VALUE IN_WAGEF"), sas.rfind("VALUE IN_WAGEF"));
}

} // namespace
} // namespace qavn
