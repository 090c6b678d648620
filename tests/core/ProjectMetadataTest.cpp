// The project metadata file and the project's drive file: what they keep
// through a rewrite, what they refuse, and a project that opens with them.

#include "MkProjectSupport.h"

#include "codebook/OpenProject.h"
#include "platform/HostPath.h"
#include "platform/ScriptedUi.h"
#include "project/ProjectDrives.h"
#include "project/ProjectMetadata.h"

#include <gtest/gtest.h>

#include <cmath>

namespace qavn {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

ProjectMetadata sample()
{
    ProjectMetadata m;
    m.title = "Town survey \"2020\"\twith a tab";
    m.identifier = "respondent_identifier";
    m.sources.push_back({1, "sav", "/data/town survey.sav", "UTF-8", 944, "responde", {}});
    VariableMetadata income;
    income.name = "househol";
    income.longName = "household_income";
    income.label = "Total income (\xE2\x82\xAC)\nsecond line";
    income.file = 1;
    income.format = displayFormatOf("DOLLAR12.2", FormatFamily::Spss, false);
    income.missing.push_back({MissingValue::Kind::Range, -HUGE_VAL, -1, "", 0, "", {}});
    income.missing.push_back({MissingValue::Kind::Code, 100000, 100000, "", 0, "Top code", {}});
    income.missing.push_back({MissingValue::Kind::Tagged, 0, 0, "", 'a', "Not asked", {}});
    m.add(income);
    VariableMetadata city;
    city.name = "CITY";
    city.file = 1;
    city.isText = true;
    city.length = 24;
    city.format = displayFormatOf("A20", FormatFamily::Spss, true);
    city.missing.push_back({MissingValue::Kind::Code, 0, 0, "N/A \"none\"", 0, "", {}});
    m.add(city);
    return m;
}

// Written, read and written again, the file keeps every byte; what a later
// version adds (keys, lines) comes back where it was.
TEST(ProjectMetadataTest, RoundTripsExactlyAndKeepsWhatItDoesNotKnow)
{
    const ProjectMetadata m = sample();
    const std::string text = metadataText(m);
    auto read = parseMetadata(text, "T.META");
    ASSERT_TRUE(read) << describe(read.error());
    EXPECT_TRUE(read.value() == m);
    EXPECT_EQ(metadataText(read.value()), text);
    EXPECT_EQ(read.value().variable("HOUSEHOL")->originalName(), "household_income");
    EXPECT_EQ(read.value().variable("city")->originalName(), "CITY");
    EXPECT_EQ(read.value().variable("nope"), nullptr);

    std::string later = text;
    later.insert(later.find("\nsource"), " colour=blue");
    later.insert(later.find("variable name=CITY"), "histogram bins=12\n");
    later += "note text=\"after everything\"\n";
    auto tolerant = parseMetadata(later, "T.META");
    ASSERT_TRUE(tolerant) << describe(tolerant.error());
    EXPECT_EQ(metadataText(tolerant.value()), later);
    // Streamed variable by variable, the file is the same.
    TempDir dir;
    MetadataStream stream;
    std::string error;
    ASSERT_TRUE(stream.open(dir / "S.META", error)) << error;
    ProjectMetadata head;
    head.title = m.title;
    head.identifier = m.identifier;
    head.sources = m.sources;
    for (const VariableMetadata& v : m.variables())
        stream.add(v);
    ASSERT_TRUE(stream.finish(head, error)) << error;
    EXPECT_EQ(test::readFile(dir / "S.META"), text);
    // CR LF line ends read the same.
    std::string crlf;
    for (const char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    auto windows = parseMetadata(crlf, "T.META");
    ASSERT_TRUE(windows);
    EXPECT_TRUE(windows.value() == m);
}

TEST(ProjectMetadataTest, RefusesWhatItCannotReadNamingTheLine)
{
    struct Case {
        std::string text;
        std::uint64_t line;
        const char* reason;
    };
    const std::string head = "QAVN-META 1\n";
    const std::vector<Case> cases = {
        {"", 1, "the file is empty"},
        {"QAVN-TAGS 1\n", 1, "not a QAVN metadata file"},
        {"QAVN-META 2\n", 1, "version 2 is newer than this program reads (1)"},
        {head + "missing code=1\n", 2, "a missing value before any variable line"},
        {head + "source kind=sav\n", 2, "a source line needs file="},
        {head + "variable name=A\n", 2, "A: a variable line needs type=numeric or type=string"},
        {head + "variable name=A type=numeric\nmissing code=x1\n", 3, "code=x1: not a number"},
        {head + "variable name=A type=numeric\nmissing low=5 high=1\n", 3, "the range's low end is above its high end"},
        {head + "variable name=A type=numeric\nmissing low=5\n", 3, "a missing value has code=, low= and high=, or tag="},
        {head + "project title=\"open\n", 2, "title: the quoted value is not closed"},
        {head + "variable name=A type=numeric display=colour\n", 2, "display=colour: not a display kind"},
        {head + "variable name=A type=numeric\nvariable name=a type=string\n", 3, "variable a is described twice"},
    };
    for (const Case& c : cases) {
        auto read = parseMetadata(c.text, "X.META");
        ASSERT_FALSE(read) << c.text;
        EXPECT_EQ(read.error().kind, ReadError::Kind::InvalidData);
        EXPECT_EQ(read.error().line, c.line) << c.text;
        EXPECT_NE(read.error().reason.find(c.reason), std::string::npos) << read.error().reason;
    }
}

TEST(ProjectMetadataTest, FormatsOfEachProgram)
{
    struct Case {
        const char* text;
        FormatFamily family;
        DisplayKind kind;
        int width;
        int decimals;
        const char* origin;
        TimeUnit unit;
    };
    const Case cases[] = {
        {"F8.1", FormatFamily::Spss, DisplayKind::Number, 8, 1, "", TimeUnit::None},
        {"DOLLAR12.2", FormatFamily::Spss, DisplayKind::Dollar, 12, 2, "", TimeUnit::None},
        {"COMMA9", FormatFamily::Spss, DisplayKind::Comma, 9, 0, "", TimeUnit::None},
        {"DATE11", FormatFamily::Spss, DisplayKind::Date, 11, 0, "1582-10-14", TimeUnit::Seconds},
        {"DATETIME20", FormatFamily::Spss, DisplayKind::DateTime, 20, 0, "1582-10-14", TimeUnit::Seconds},
        {"TIME8", FormatFamily::Spss, DisplayKind::Time, 8, 0, "", TimeUnit::Seconds},
        {"DATE9.", FormatFamily::Sas, DisplayKind::Date, 9, 0, "1960-01-01", TimeUnit::Days},
        {"DATETIME20.", FormatFamily::Sas, DisplayKind::DateTime, 20, 0, "1960-01-01", TimeUnit::Seconds},
        {"BEST12.", FormatFamily::Sas, DisplayKind::Number, 12, 0, "", TimeUnit::None},
        {"%td", FormatFamily::Stata, DisplayKind::Date, 0, 0, "1960-01-01", TimeUnit::Days},
        {"%tc", FormatFamily::Stata, DisplayKind::DateTime, 0, 0, "1960-01-01", TimeUnit::Milliseconds},
        {"%9.2fc", FormatFamily::Stata, DisplayKind::Comma, 9, 2, "", TimeUnit::None},
        {"%10.0g", FormatFamily::Stata, DisplayKind::Number, 10, 0, "", TimeUnit::None},
    };
    for (const Case& c : cases) {
        const DisplayFormat f = displayFormatOf(c.text, c.family, false);
        EXPECT_EQ(f.kind, c.kind) << c.text;
        EXPECT_EQ(f.width, c.width) << c.text;
        EXPECT_EQ(f.decimals, c.decimals) << c.text;
        EXPECT_EQ(f.origin, c.origin) << c.text;
        EXPECT_EQ(f.unit, c.unit) << c.text;
        EXPECT_EQ(f.text, c.text);
    }
    EXPECT_EQ(displayFormatOf("%8s", FormatFamily::Stata, true).kind, DisplayKind::String);
}

// The drive file maps its letters before QAVN_DRIVE_X; a damaged one names
// its line; without one the variables rule as before.
TEST(ProjectDrivesTest, TheProjectsDrivesComeBeforeTheVariables)
{
    TempDir dir;
    test::ScopedCwd cwd(dir.path());
    test::ScopedEnv driveC("QAVN_DRIVE_C", "/nonexistent");
    struct Reset {
        ~Reset() { setProjectDrives({}, {}); }
    } reset;
    fs::create_directories(dir / "own");
    test::writeFile(dir / "PQAV.DRIVES", driveFileText({{'c', "own"}}));
    ASSERT_TRUE(loadProjectDrives("P"));
    EXPECT_EQ(toHostPath("C:\\X.TXT"), fs::absolute(dir / "own" / "X.TXT"));
    EXPECT_EQ(driveMappingOf("C:\\X.TXT")->projectFile, "PQAV.DRIVES");

    test::writeFile(dir / "QQAV.DRIVES", "QAVN-DRIVES 1\nC=c\nc=d\n");
    auto twice = loadProjectDrives("Q");
    ASSERT_FALSE(twice);
    EXPECT_EQ(describe(twice.error()), "QQAV.DRIVES line 3: drive C: is given twice");
    test::writeFile(dir / "RQAV.DRIVES", "QAVN-DRIVES 1\nC: c\n");
    EXPECT_EQ(loadProjectDrives("R").error().line, 2u);

    ASSERT_TRUE(loadProjectDrives("NONE"));
    EXPECT_EQ(toHostPath("C:\\X.TXT"), fs::path("/nonexistent/X.TXT"));
}

// qavn-mkproject writes the metadata file only when the source gives what it
// holds; the opened project then exposes it, and a damaged one is reported
// while the project still opens.
TEST(ProjectMetadataTest, TheProjectMakerWritesItAndTheProjectExposesIt)
{
    TempDir dir;
    const std::string variables =
        R"([{"name": "INC", "width": 6, "type": "2", "label": "Income", "section": "S", "range": {"min": 0, "max": 99999},
             "longName": "household_income", "format": "DOLLAR8.2",
             "missing": [{"code": -1, "label": "Refused"}, {"low": "lowest", "high": -2}]},
            {"name": "TOWN", "width": 8, "type": "A", "label": "Town", "values": {"list": ["Paris"]},
             "missing": [{"code": "NA"}]}])";
    const std::string json = R"({"id": "MK", "title": "T", "cases": 5, "weight": "INC",
        "dataFiles": [{"dataPath": "DATA\\MK.DAT", "linesPerCase": 1}], "variables": )" + variables + "}";
    test::writeFile(dir / "mk.json", json);
    ASSERT_EQ(test::runMkProject(test::quoted((dir / "mk.json").string()) + " --out " + test::quoted((dir / "p").string())), 0);

    test::ScopedCwd cwd(dir / "p");
    test::ScopedEnv driveC("QAVN_DRIVE_C", (dir / "p" / "c").string());
    test::ScopedEnv driveD("QAVN_DRIVE_D", (dir / "p" / "d").string());
    ScriptedUi ui;
    OpenProject project(ui);
    ASSERT_TRUE(project.load("MK"));
    ASSERT_TRUE(project.metadata);
    EXPECT_EQ(project.metadata->weight, "INC");
    const VariableMetadata* income = project.metadata->variable("INC");
    ASSERT_NE(income, nullptr);
    EXPECT_EQ(income->originalName(), "household_income");
    EXPECT_EQ(income->format.kind, DisplayKind::Dollar);
    ASSERT_EQ(income->missing.size(), 2u);
    EXPECT_EQ(income->missing[0].label, "Refused");
    EXPECT_EQ(income->missing[1].low, -HUGE_VAL);
    EXPECT_EQ(project.metadata->variable("TOWN")->missing[0].text, "NA");

    test::writeFile(dir / "p" / "c" / "QAVN" / "MK" / "MKQAV.META", "QAVN-META 1\nmissing code=1\n");
    OpenProject damaged(ui);
    ASSERT_TRUE(damaged.load("MK"));
    EXPECT_FALSE(damaged.metadata);
    ASSERT_TRUE(damaged.metadataProblem);
    EXPECT_EQ(damaged.metadataProblem->line, 2u);

    // Without those keys the maker writes no metadata file at all.
    test::writeFile(dir / "plain.json", R"({"id": "PL", "title": "T", "cases": 5,
        "dataFiles": [{"dataPath": "DATA\\PL.DAT", "linesPerCase": 1}],
        "variables": [{"name": "A", "width": 1, "label": "A", "section": "S", "range": {"min": 1, "max": 2}}]})");
    ASSERT_EQ(test::runMkProject(test::quoted((dir / "plain.json").string()) + " --out " + test::quoted((dir / "q").string())), 0);
    EXPECT_FALSE(fs::exists(dir / "q" / "c" / "QAVN" / "PL" / "PLQAV.META"));
}

} // namespace
} // namespace qavn
