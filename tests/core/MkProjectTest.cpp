// qavn-mkproject run as a program: what it refuses, what it writes from a
// source file, and synthetic projects.

#include "MkProjectSupport.h"

#include "codebook/CodebookStore.h"
#include "platform/ScriptedUi.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace qavn::test {
namespace {

namespace fs = std::filesystem;

const std::string goodVariable =
    R"({"name": "A1", "width": 1, "label": "Answer one", "section": "S",
        "categories": [{"code": "1", "label": "Yes"}, {"code": "2", "label": "No"}]})";

std::string source(const std::string& variables, const std::string& extra = "",
                   const std::string& dataFiles =
                       R"([{"dataPath": "DATA\\T1.DAT", "linesPerCase": 2, "idLocation": "1-3"}])")
{
    return R"({"id": "TST", "title": "TEST STUDY", "cases": 20, "seed": 7, )" + extra +
           R"("dataFiles": )" + dataFiles + R"(, "variables": [)" + variables + "]}";
}

std::string withField(const std::string& field)
{
    return R"({"name": "B1", "width": 2, "label": "Second", )" + field + "}";
}

TEST(MkProjectSource, RefusesBadInputNamingTheItem)
{
    const std::string twoFiles =
        R"([{"dataPath": "A.DAT", "linesPerCase": 1, "idLocation": "0"}, {"dataPath": "B.DAT", "linesPerCase": 1}])";
    struct Case {
        const char* what;
        std::string json;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"syntax", "{\"id\": ", "not valid JSON"},
        {"missing id", R"({"title": "T", "cases": 1, "dataFiles": [], "variables": []})", "$.id: missing"},
        {"type code", source(withField(R"("type": "X", "range": {"min": 1, "max": 9})")),
         "$.variables[0] (B1).type: must be"},
        {"long name", source(R"({"name": "ABCDEFGHI", "width": 1, "label": "L", "section": "S", "values": {"list": ["1"]}})"),
         "(ABCDEFGHI).name: a variable name has 1 to 8 characters"},
        {"duplicate name", source(goodVariable + "," + R"({"name": "a1", "width": 1, "label": "L", "values": {"list": ["x"]}})"),
         "$.variables[1] (a1).name: \"a1\" is already the name of $.variables[0] (A1)"},
        {"overlaps identifier", source(R"({"name": "B1", "location": "3-4", "label": "L", "section": "S", "range": {"min": 1, "max": 9}})"),
         "columns 3-4 overlap the identifier of data file 1 on record line 1"},
        {"overlapping variables",
         source(goodVariable + "," + R"({"name": "B1", "location": "4-5", "label": "L", "range": {"min": 1, "max": 9}})"),
         "(B1): columns 4-5 overlap $.variables[0] (A1)"},
        {"record past the case", source(R"({"name": "B1", "record": 3, "width": 1, "label": "L", "section": "S", "range": {"min": 1, "max": 9}})"),
         "(B1).record: record line 3 beyond the 2 lines per case of data file 1"},
        {"code too wide", source(R"({"name": "B1", "width": 1, "label": "L", "section": "S", "categories": [{"code": "10", "label": "Ten"}]})"),
         "(B1).categories[0]: value \"10\" does not fit in 1 columns"},
        {"range too wide", source(R"({"name": "B1", "width": 2, "type": "0", "label": "L", "section": "S", "range": {"min": -5, "max": 100}})"),
         "(B1).range: values do not fit in 2 columns"},
        {"unknown key", source(R"({"name": "B1", "width": 1, "lable": "L", "label": "L", "section": "S", "range": {"min": 1, "max": 9}})"),
         "(B1).lable: unknown key"},
        {"location text too long", source(R"({"name": "B1", "location": "1000-10005", "label": "L", "section": "S", "range": {"min": 1, "max": 9}})"),
         "longer than the 9 characters a record stores"},
        {"raw line too long", source(R"({"name": "B1", "location": "14998", "label": "L", "section": "S", "range": {"min": 1, "max": 9}})"),
         "(B1).location: ends beyond column 14997"},
        {"automatic layout full",
         source(R"({"name": "B1", "width": 7000, "type": "A", "label": "L", "section": "S", "values": {"list": ["x"]}},
                   {"name": "B2", "width": 3000, "type": "A", "label": "L", "values": {"list": ["x"]}})"),
         "(B2).width: record line 1 of data file 1 is full"},
        {"description line too long",
         source(withField(R"("section": "S", "range": {"min": 1, "max": 9}, "description": ["ok", ")" +
                          std::string(81, 'x') + "\"]")),
         "(B1).description[1]: has 81 characters, at most 80 fit"},
        {"reserved byte", source(withField("\"section\": \"Caf\\u00db\", \"range\": {\"min\": 1, \"max\": 9}")),
         "(B1).section: holds the character U+00DB, which the codebook text file reserves"},
        {"beyond Latin-1", source(withField("\"section\": \"\\u20ac\", \"range\": {\"min\": 1, \"max\": 9}")),
         "(B1).section: holds a character beyond U+00FF"},
        {"files out of order",
         source(R"({"name": "B1", "file": 2, "width": 1, "label": "L", "section": "S", "range": {"min": 1, "max": 9}},
                   {"name": "B2", "file": 1, "width": 1, "label": "L", "range": {"min": 1, "max": 9}})",
                "", twoFiles),
         "(B2).file: data file 1 after a variable of data file 2"},
        {"cases beyond identifier",
         R"({"id": "TST", "title": "T", "cases": 1000, "dataFiles": [{"dataPath": "A.DAT", "linesPerCase": 1, "idLocation": "1-3"}], "variables": [)" +
             goodVariable + "]}",
         "$.dataFiles[0].idLocation: case numbers up to 1000 do not fit in 3 columns"},
        {"nothing to draw", source(R"({"name": "B1", "width": 1, "label": "L", "section": "S"})"),
         "(B1): needs categories, a range or values"},
        {"unknown shared description", source(withField(R"("section": "S", "sharedDescription": "NOPE", "range": {"min": 1, "max": 9})")),
         "(B1).sharedDescription: no description named \"NOPE\""},
        {"category line past 80 characters",
         source(R"({"name": "B1", "width": 1, "label": "L", "section": "S", "categories": [{"code": "1", "label": ")" +
                std::string(75, 'y') + "\"}]}"),
         "(B1).categories[0]: code and label take 76 characters"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        writeFile(dir / "p.json", c.json);
        std::string errors;
        EXPECT_EQ(runMkProject(quoted((dir / "p.json").string()) + " --out " + quoted((dir / "out").string()), &errors), 1);
        EXPECT_NE(errors.find(c.expected), std::string::npos) << errors;
        EXPECT_EQ(errors.rfind("qavn-mkproject: ", 0), 0u) << errors;
        EXPECT_FALSE(fs::exists(dir / "out")) << "nothing is written for a bad source";
    }
}

TEST(MkProjectSource, RefusesBadCommandLines)
{
    TempDir dir;
    std::string errors;
    EXPECT_EQ(runMkProject("", &errors), 1);
    EXPECT_NE(errors.find("--out DIR is required"), std::string::npos);
    EXPECT_EQ(runMkProject(quoted((dir / "missing.json").string()) + " --out " + quoted((dir / "o").string()), &errors), 1);
    EXPECT_NE(errors.find("missing.json: cannot be opened"), std::string::npos);
    EXPECT_EQ(runMkProject("--synthetic --variables 10 --out " + quoted((dir / "o").string()), &errors), 1);
    EXPECT_NE(errors.find("needs --variables N and --cases M"), std::string::npos);
    EXPECT_EQ(runMkProject("--synthetic --variables 2 --cases 1 --files 3 --out " + quoted((dir / "o").string()), &errors), 1);
    EXPECT_NE(errors.find("--files must lie in 1..999 and not exceed --variables"), std::string::npos);
    EXPECT_EQ(runMkProject("--synthetic --variables 10 --cases 1 --id bad-id --out " + quoted((dir / "o").string()), &errors), 1);
    EXPECT_NE(errors.find("--id:"), std::string::npos);
    // Too many variables for one data file's 255 record lines of 9,999 columns.
    EXPECT_EQ(runMkProject("--synthetic --variables 1000000 --cases 1 --files 1 --out " + quoted((dir / "o").string()), &errors), 1);
    EXPECT_NE(errors.find("more than 255 record lines per case; use more --files"), std::string::npos) << errors;
    EXPECT_FALSE(fs::exists(dir / "o"));
}

// A small project with every kind of variable, two data files (one without
// identifier), a shared description, header lines and a logo.
const std::string smallProject = R"({
  "id": "tst", "title": "TEST STUDY 1", "prefix": "TS", "cases": 40, "seed": 11,
  "headerLines": ["LIBNAME IN 'D:\\'"],
  "dataFiles": [
    {"dataPath": "DATA\\MAIN.DAT", "linesPerCase": 2, "idLocation": "1-3"},
    {"dataPath": "EXTRA.DAT", "linesPerCase": 1, "idLocation": "0"}
  ],
  "descriptions": {"K": ["Shared question text", "second line"]},
  "variables": [
    {"name": "A1", "width": 1, "label": "Respondent's answer", "section": "FIRST",
     "description": ["One line"],
     "categories": [{"code": "1", "label": "Yes", "weight": 3}, {"code": "2", "label": "No"}]},
    {"name": "NUM", "width": 3, "type": "0", "label": "Count",
     "range": {"min": 0, "max": 999}, "categories": [{"code": "-1", "label": "{Refused}", "weight": 5}]},
    {"name": "SEX", "location": "9-9", "type": "A", "label": "Sex",
     "categories": [{"code": "'M'", "label": "Male"}, {"code": "'F'", "label": "Female"}]},
    {"name": "DEC", "width": 4, "type": "2", "label": "Rate", "range": {"min": 100, "max": 9999}},
    {"name": "R2A", "record": 2, "width": 2, "label": "Shared one", "section": "SECOND", "sharedDescription": "K",
     "categories": [{"code": "1", "label": "One"}, {"code": "2", "label": "Two"}, {"code": "3", "label": "Three", "weight": 0}]},
    {"name": "R2B", "width": 2, "label": "Shared two", "sharedDescription": "K",
     "categories": [{"code": "10", "label": "Ten"}, {"code": "11", "label": "Eleven"}]},
    {"name": "NAMEX", "file": 2, "width": 12, "type": "A", "label": "A name",
     "values": {"list": ["O'NEIL, JR", "SMITH"]}}
  ]
})";

TEST(MkProjectSource, WritesAConsistentProject)
{
    TempDir dir;
    writeFile(dir / "src" / "p.json", smallProject);
    writeFile(dir / "src" / "logo.bmp", "BM-not-really-a-bitmap");
    ASSERT_EQ(runMkProject(quoted((dir / "src" / "p.json").string()) + " --out " + quoted((dir / "out").string())), 0);
    const fs::path out = dir / "out";
    const fs::path resource = out / "c" / "QAVN" / "TST";

    EXPECT_EQ(readFile(out / "TSTQAV.CFG"), "C:\\QAVN\\TST\r\nC:\\QAVN\\OUT\r\nD\r\n0\r\n0\r\n2");
    EXPECT_EQ(readFile(resource / "QAVSPEC.TST"),
              "TEST STUDY 1\r\nTS\r\n2\r\n2 1-3 DATA\\MAIN.DAT\r\n1 0 EXTRA.DAT\r\nLIBNAME IN 'D:\\'\r\n");
    EXPECT_EQ(readFile(out / "logo.bmp"), "BM-not-really-a-bitmap");
    EXPECT_TRUE(fs::is_directory(out / "c" / "QAVN" / "OUT"));

    ScriptedUi ui;
    CodebookStore store(ui);
    ASSERT_TRUE(store.open(resource.string(), "TS"));
    ASSERT_EQ(store.recordCount(), 7u);
    struct Expected {
        const char* name;
        unsigned file;
        unsigned record;
        const char* location;
        char type;
    };
    // Automatic columns follow the identifier and whatever an explicit
    // location took; each record line has its own cursor.
    const Expected expected[] = {{"A1", 1, 1, "4-4", ' '},  {"NUM", 1, 1, "5-7", '0'},  {"SEX", 1, 1, "9-9", 'A'},
                                 {"DEC", 1, 1, "10-13", '2'}, {"R2A", 1, 2, "1-2", ' '}, {"R2B", 1, 2, "3-4", ' '},
                                 {"NAMEX", 2, 1, "1-12", 'A'}};
    for (std::uint32_t k = 1; k <= 7; ++k) {
        const VariableRecord r = store.recordAt(k);
        const Expected& e = expected[k - 1];
        EXPECT_EQ(r.variableName(), e.name);
        EXPECT_EQ(r.fileNumber, e.file) << e.name;
        EXPECT_EQ(r.recordNumber, e.record) << e.name;
        EXPECT_EQ(r.locationText(), e.location) << e.name;
        EXPECT_EQ(r.typeCode, e.type) << e.name;
    }
    EXPECT_EQ(store.readLine(store.recordAt(1).labelRef), "Respondent's answer");
    EXPECT_EQ(store.readLine(store.recordAt(4).sectionRef), "FIRST") << "a missing section continues the previous";
    EXPECT_EQ(store.recordAt(5).descriptionRef, store.recordAt(6).descriptionRef);
    EXPECT_EQ(store.recordAt(6).descriptionLineCount, 2u);
    EXPECT_EQ(store.readLine(store.recordAt(6).descriptionRef), "Shared question text");

    bool crlf = false;
    const auto main = rawLines(out / "d" / "DATA" / "MAIN.DAT", &crlf);
    EXPECT_TRUE(crlf);
    ASSERT_EQ(main.size(), 80u);
    EXPECT_EQ(main[0].substr(0, 3), "001");
    EXPECT_EQ(main[78].substr(0, 3), "040");
    const auto extra = rawLines(out / "d" / "EXTRA.DAT", &crlf);
    EXPECT_TRUE(crlf);
    ASSERT_EQ(extra.size(), 40u);

    std::set<std::string> names;
    for (std::size_t c = 0; c < 40; ++c) {
        const long dec = std::atol(fieldOf(main, c, 2, 1, "10-13").c_str());
        EXPECT_TRUE(dec >= 100 && dec <= 9999);
        EXPECT_EQ(fieldOf(main, c, 2, 1, "8-8"), " ") << "columns no variable takes stay blank";
        const std::string name = fieldOf(extra, c, 1, 1, "1-12");
        EXPECT_EQ(name.size(), 12u) << "alphanumeric values are padded to the width";
        names.insert(trimBlanks(name));
    }
    EXPECT_EQ(names, (std::set<std::string>{"O'NEIL, JR", "SMITH"}));

    // Every category line counts the data as written.
    for (std::uint32_t k = 1; k <= 7; ++k) {
        const VariableRecord r = store.recordAt(k);
        const std::string location(r.locationText());
        long total = 0;
        store.readLines(r.categoryRef, r.categoryLineCount, LineVariant::CategoryFields, [&](std::string_view line) {
            const CategoryFields f = splitCategoryLine(line);
            std::string value(f.code);
            if (value.size() >= 2 && value.front() == '\'')
                value = value.substr(1, value.size() - 2);
            long count = 0;
            for (std::size_t c = 0; c < 40; ++c)
                count += trimBlanks(fieldOf(main, c, 2, r.recordNumber, location)) == value;
            EXPECT_EQ(std::string(f.frequency), std::to_string(count)) << r.variableName() << " " << f.code;
            EXPECT_EQ(std::string(f.percent), percentOf(count, 40)) << r.variableName() << " " << f.code;
            total += count;
            return true;
        });
        if (r.typeCode == ' ' || r.typeCode == 'A') {
            EXPECT_EQ(total, r.categoryLineCount ? 40 : 0) << r.variableName();
        }
    }

    // The same source and seed give the same bytes.
    ASSERT_EQ(runMkProject(quoted((dir / "src" / "p.json").string()) + " --out " + quoted((dir / "again").string())), 0);
    for (const auto& entry : fs::recursive_directory_iterator(out)) {
        if (!entry.is_regular_file())
            continue;
        const fs::path twin = dir / "again" / fs::relative(entry.path(), out);
        EXPECT_EQ(readFile(entry.path()), readFile(twin)) << twin;
    }
}

TEST(MkProjectSynthetic, IsDeterministicAndConsistent)
{
    TempDir dir;
    const auto make = [&](const std::string& name, int seed) {
        return runMkProject("--synthetic --variables 1200 --cases 15 --seed " + std::to_string(seed) + " --out " +
                            quoted((dir / name).string()));
    };
    ASSERT_EQ(make("a", 5), 0);
    ASSERT_EQ(make("b", 5), 0);
    ASSERT_EQ(make("c", 6), 0);
    const fs::path resource = dir / "a" / "c" / "QAVN" / "SYN";
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir / "a")) {
        if (!entry.is_regular_file())
            continue;
        ++files;
        EXPECT_EQ(readFile(entry.path()), readFile(dir / "b" / fs::relative(entry.path(), dir / "a")))
            << entry.path();
    }
    EXPECT_EQ(files, 7u); // configuration, specification, 2 codebook files, 3 raw data files
    EXPECT_NE(readFile(resource / "SYN02.CDC"), readFile(dir / "c" / "c" / "QAVN" / "SYN" / "SYN02.CDC"));
    EXPECT_EQ(readFile(dir / "a" / "SYNQAV.CFG"), "C:\\QAVN\\SYN\r\nC:\\QAVN\\OUT\r\nD\r\n0\r\n0\r\n2");

    const std::string text = readFile(resource / "SYN02.CDC");
    EXPECT_EQ(text.find("ZQXJ"), std::string::npos);

    const auto dataFiles = specDataFiles(resource / "QAVSPEC.SYN");
    ASSERT_EQ(dataFiles.size(), 3u);
    std::vector<std::vector<std::string>> raw;
    for (const auto& f : dataFiles) {
        EXPECT_EQ(f.idLocation, "1-8");
        bool crlf = false;
        raw.push_back(rawLines(rawPath(dir / "a", f.dataPath), &crlf));
        EXPECT_TRUE(crlf);
        ASSERT_EQ(raw.back().size(), 15u * static_cast<std::size_t>(f.linesPerCase));
        EXPECT_EQ(raw.back()[0].substr(0, 8), "00000001");
        for (const auto& line : raw.back())
            EXPECT_LE(line.size() + 2, 14999u);
    }

    ScriptedUi ui;
    CodebookStore store(ui);
    ASSERT_TRUE(store.open(resource.string(), "SYN"));
    ASSERT_EQ(store.recordCount(), 1200u);
    std::map<char, int> types;
    std::string previousSection;
    int sectionLength = 0;
    std::vector<int> sectionLengths;
    for (std::uint32_t k = 1; k <= 1200; ++k) {
        const VariableRecord r = store.recordAt(k);
        ++types[r.typeCode];
        const std::string label(store.readLine(r.labelRef));
        EXPECT_GE(label.size(), 20u);
        EXPECT_LE(label.size(), 60u);
        const std::string section(store.readLine(r.sectionRef));
        if (section != previousSection && k > 1) {
            sectionLengths.push_back(sectionLength);
            sectionLength = 0;
        }
        previousSection = section;
        ++sectionLength;

        std::string description;
        store.readLines(r.descriptionRef, r.descriptionLineCount, LineVariant::DisplayText, [&](std::string_view l) {
            EXPECT_LE(l.size(), 80u);
            description.append(l).append("\n");
            return true;
        });
        EXPECT_EQ(description.find("TENTHMARK") != std::string::npos, k % 10 == 0) << k;
        EXPECT_LE(r.categoryLineCount, 12u);

        const auto& lines = raw.at(r.fileNumber - 1u);
        const int perCase = dataFiles.at(r.fileNumber - 1u).linesPerCase;
        const std::string location(r.locationText());
        store.readLines(r.categoryRef, r.categoryLineCount, LineVariant::CategoryFields, [&](std::string_view line) {
            const CategoryFields f = splitCategoryLine(line);
            std::string value(f.code);
            if (value.size() >= 2 && value.front() == '\'')
                value = value.substr(1, value.size() - 2);
            long count = 0;
            for (std::size_t c = 0; c < 15; ++c)
                count += trimBlanks(fieldOf(lines, c, perCase, r.recordNumber, location)) == value;
            EXPECT_EQ(std::string(f.frequency), std::to_string(count)) << k << " " << f.code;
            EXPECT_EQ(std::string(f.percent), percentOf(count, 15)) << k;
            return true;
        });
    }
    for (std::size_t i = 0; i < sectionLengths.size(); ++i) {
        EXPECT_GE(sectionLengths[i], 20);
        EXPECT_LE(sectionLengths[i], 40);
    }
    EXPECT_GT(types[' '], 400);
    EXPECT_GT(types['0'], 50);
    EXPECT_GT(types['A'], 50);
    EXPECT_GT(types['1'] + types['2'], 30);
    EXPECT_EQ(store.recordAt(500).descriptionLineCount, 120u) << "a few descriptions run to more than 100 lines";
}

} // namespace
} // namespace qavn::test
