// The import of data sets into projects the program opens.

#include "TestProject.h"

#include "codebook/CodebookWriter.h"
#include "import/ImportText.h"
#include "import/ProjectImport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

namespace qavn {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::string slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(ImportTextTest, NamesLatin1AndNumbers)
{
    NameShortener names;
    names.reserve("ID");
    EXPECT_EQ(names.add("age"), "age");
    EXPECT_EQ(names.add("AGE"), "AGE_1");
    EXPECT_EQ(names.add("household_income"), "househol");
    EXPECT_EQ(names.add("household_size"), "househ_1");
    EXPECT_EQ(names.add("id"), "id_1");
    EXPECT_EQ(names.add("2nd wave"), "V2nd_wav");
    EXPECT_EQ(names.add("to"), "to_1");

    std::uint64_t replaced = 0;
    // U+00E9 stays, U+20AC and a control character become '?'; 0xDC is
    // reserved only in codebook text.
    EXPECT_EQ(toLatin1("caf\xC3\xA9 \xE2\x82\xAC\x01", true, replaced), "caf\xE9 ??");
    EXPECT_EQ(replaced, 2u);
    EXPECT_EQ(toLatin1("\xC3\x9C\xFF", true, replaced), "??");
    EXPECT_EQ(toLatin1("\xC3\x9C", false, replaced), "\xDC");
    EXPECT_EQ(replaced, 4u);

    EXPECT_EQ(numberText(3.25, 2), "3.25");
    EXPECT_EQ(numberText(3.0, 2), "3.00");
    EXPECT_EQ(numberText(-0.0, 0), "0");
    EXPECT_EQ(numberText(0.1, -1), "0.1");
    EXPECT_EQ(numberText(100000, -1), "100000"); // never exponents in raw data
    EXPECT_EQ(numberText(1e-7, -1), "0.0000001");
    // The shape agrees with the text written, whichever way it is found.
    for (const double x : {0.0, -0.0, 7.0, -12.5, 100000.0, 1e22, 1.5e-7, 123456.789, -1e300, 0.1 + 0.2}) {
        const std::string text = numberText(x, -1);
        const NumberShape shape = plainShape(x);
        EXPECT_EQ(shape.length(), text.size()) << text;
        EXPECT_EQ(shape.intLength, std::min(text.find('.'), text.size())) << text;
    }
    EXPECT_EQ(percentText(1, 8), "12.5");
}

// The raw data's numbers are worked out by hand for speed: they must read
// exactly as the library's fixed notation (the exact binary value rounded
// half to even, "-0" without its dash) and their shape as its shortest form.
TEST(ImportTextTest, NumbersAsTheLibraryWritesThem)
{
    auto library = [](double x, int decimals) {
        char buffer[400];
        const auto end = decimals < 0 ? std::to_chars(buffer, buffer + 400, x, std::chars_format::fixed).ptr
                                      : std::to_chars(buffer, buffer + 400, x, std::chars_format::fixed, decimals).ptr;
        std::string text(buffer, end);
        if (text[0] == '-' && text.find_first_not_of("0.", 1) == std::string::npos)
            text.erase(0, 1);
        return text;
    };
    std::vector<double> values = {0.0, -0.0, 0.5, 1.5, 2.5, -2.5, 0.125, 0.375, 2.675, 1.005, 0.045, -0.0001,
                                  9.9999999995, 0.9999999999, -0.9999999995, 1e-300, -5e-324, 4503599627370495.5,
                                  9007199254740993.0, 18446744073709549568.0, 18446744073709551616.0, 1e22, -1e300};
    std::uint64_t state = 12345;
    auto next = [&] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    for (int i = 0; i < 60000; ++i) {
        const std::uint64_t r = next();
        const double sign = (r & 1) != 0 ? -1.0 : 1.0;
        switch (i % 4) {
        case 0: values.push_back(sign * static_cast<double>(r % 20000001) / 100.0); break;       // implied decimals
        case 1: values.push_back(std::ldexp(sign * static_cast<double>(r >> 11), -static_cast<int>(r % 90))); break; // ties
        case 2: values.push_back(std::ldexp(sign * static_cast<double>(r >> 11), static_cast<int>(r % 24))); break; // large
        default: {
            double x = 0;
            std::memcpy(&x, &r, sizeof x);
            if (std::isfinite(x))
                values.push_back(x);
        }
        }
    }
    int wrong = 0;
    for (const double x : values) {
        for (int decimals = -1; decimals <= 9 && wrong < 5; ++decimals)
            if (numberText(x, decimals) != library(x, decimals)) {
                ADD_FAILURE() << std::hexfloat << x << " with " << decimals << " decimals: " << numberText(x, decimals)
                              << ", the library " << library(x, decimals);
                ++wrong;
            }
        const std::string shortest = library(x, -1);
        const NumberShape shape = plainShape(x);
        if (wrong < 5 && (shape.length() != shortest.size() ||
                          shape.intLength != std::min(shortest.find('.'), shortest.size()))) {
            ADD_FAILURE() << "shape of " << shortest << ": " << shape.intLength << " and " << shape.decimals;
            ++wrong;
        }
    }
}

TEST(ImportTest, CsvBecomesAProjectTheProgramOpens)
{
    TempDir dir;
    const fs::path csv = dir / "people.csv";
    {
        std::ofstream out(csv, std::ios::binary);
        out << "person,name,score,group\r\n"
               "1,\"Smith, \"\"Jo\"\"\",1.5,2\r\n"
               "2,Zo\xC3\xAB,,2\r\n"
               "3,\"two\nlines\",-10.25,1\r\n";
    }
    ImportOptions options;
    options.sources = {csv.string()};
    options.id = "PPL";
    options.out = dir / "proj";
    options.idVariable = "person";
    ImportSummary summary;
    std::string error;
    ASSERT_TRUE(importProject(options, summary, error)) << error;
    EXPECT_EQ(summary.variables, 4u);
    ASSERT_EQ(summary.cases.size(), 1u);
    EXPECT_EQ(summary.cases[0], 3u);
    ASSERT_EQ(summary.warnings.size(), 1u); // the line end inside a text
    EXPECT_NE(summary.warnings[0].find("1 characters"), std::string::npos);

    // Numbers right-aligned with their decimals, texts left-aligned, a
    // missing number blank.
    EXPECT_EQ(slurp(dir / "proj" / "d" / "DATA" / "PEOPLE.DAT"),
              std::string("1Smith, \"Jo\"  1.502\r\n") +
              "2Zo\xEB" + std::string(14, ' ') + "2\r\n" +
              "3two?lines  -10.251\r\n");
    EXPECT_EQ(slurp(dir / "proj" / "c" / "QAVN" / "PPL" / "QAVSPEC.PPL"),
              "people.csv\r\nPPL\r\n1\r\n1 1-1 DATA\\PEOPLE.DAT\r\n");

    // Existing folders are kept unless forced; a ragged line is refused.
    EXPECT_FALSE(importProject(options, summary, error));
    EXPECT_EQ(error, (dir / "proj").string() + " exists; --force replaces it");
    {
        std::ofstream out(csv, std::ios::binary | std::ios::app);
        out << "4,x\r\n";
    }
    options.force = true;
    EXPECT_FALSE(importProject(options, summary, error));
    EXPECT_EQ(error, csv.string() + ": line 6: 2 fields, the header has 4");
    EXPECT_TRUE(fs::exists(dir / "proj" / "PPLQAV.CFG"));
}

// The codebook text written while variables are added (past the buffer of a
// megabyte) is byte for byte the text built in memory.
TEST(ImportTest, StreamedCodebookTextEqualsTheOneBuiltInMemory)
{
    TempDir dir;
    fs::create_directories(dir / "mem");
    fs::create_directories(dir / "streamed");
    CodebookWriter inMemory;
    CodebookWriter streamed;
    std::string error;
    ASSERT_TRUE(streamed.streamText(dir / "streamed", "CB", error)) << error;
    for (int v = 0; v < 2000; ++v) {
        VariableSpec spec;
        spec.name = "V" + std::to_string(v);
        spec.location = std::to_string(v + 1);
        spec.label = "Label " + std::to_string(v);
        spec.section = "Section " + std::to_string(v / 500);
        for (int line = 0; line < 10; ++line)
            spec.description.push_back(std::string(70, static_cast<char>('a' + line)) + std::to_string(v));
        spec.categories.push_back(categoryLine("1", "5", "50.0", "Yes"));
        inMemory.add(spec);
        streamed.add(spec);
    }
    EXPECT_EQ(streamed.textSize(), inMemory.build().text.size());
    EXPECT_GT(streamed.textSize(), 1u << 20);
    ASSERT_TRUE(inMemory.writeFiles(dir / "mem", "CB", error)) << error;
    ASSERT_TRUE(streamed.writeFiles(dir / "streamed", "CB", error)) << error;
    for (const char* file : {"CB01.CDC", "CB02.CDC"})
        EXPECT_TRUE(slurp(dir / "mem" / file) == slurp(dir / "streamed" / file)) << file;
}

// Progress reaches the end; a cancel from the progress callback stops the
// import with "cancelled" and leaves no folder behind.
TEST(ImportTest, ProgressReportsAndCancelLeavesNothing)
{
    TempDir dir;
    const fs::path csv = dir / "many.csv";
    {
        std::ofstream out(csv, std::ios::binary);
        out << "a,b\n";
        for (int i = 0; i < 50000; ++i)
            out << i << "," << i % 7 << "\n";
    }
    ImportOptions options;
    options.sources = {csv.string()};
    options.id = "MANY";
    options.out = dir / "proj";
    std::vector<double> seen;
    options.progress = [&](double done, const std::string&) {
        seen.push_back(done);
        return true;
    };
    ImportSummary summary;
    std::string error;
    ASSERT_TRUE(importProject(options, summary, error)) << error;
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back(), 1.0);

    options.out = dir / "cancelled";
    int calls = 0;
    options.progress = [&](double, const std::string&) { return ++calls < 2; };
    EXPECT_FALSE(importProject(options, summary, error));
    EXPECT_EQ(error, "cancelled");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2); // many.csv, proj
}

// A byte order mark before a quoted header is no part of the first name;
// empty lines at the end are no cases, while one before more data is
// refused with its line.
TEST(ImportTest, CsvByteOrderMarkAndEmptyLines)
{
    TempDir dir;
    const fs::path csv = dir / "marked.csv";
    {
        std::ofstream out(csv, std::ios::binary);
        out << "\xEF\xBB\xBF\"key\",\"name\"\r\n1,a\r\n2,b\r\n\r\n\n";
    }
    ImportOptions options;
    options.sources = {csv.string()};
    options.id = "BOM";
    options.out = dir / "proj";
    options.idVariable = "key";
    ImportSummary summary;
    std::string error;
    ASSERT_TRUE(importProject(options, summary, error)) << error;
    ASSERT_EQ(summary.cases.size(), 1u);
    EXPECT_EQ(summary.cases[0], 2u);
    const std::string names = slurp(dir / "proj" / "BOMNAMES.TXT");
    EXPECT_TRUE(names.starts_with("key\tkey\tmarked.csv\n")) << names;

    {
        std::ofstream out(csv, std::ios::binary | std::ios::app);
        out << "3,c\r\n";
    }
    options.out = dir / "again";
    EXPECT_FALSE(importProject(options, summary, error));
    EXPECT_EQ(error, csv.string() + ": line 4: an empty line before more data, the header has 2");
}

// A stop asked for while a DDI codebook is read (Ctrl+C in qavn-import)
// ends the import there, with nothing left behind.
TEST(ImportTest, CancelWhileTheCodebookIsRead)
{
    TempDir dir;
    {
        std::ofstream out(dir / "big.xml", std::ios::binary);
        out << "<codeBook><dataDscr><var name=\"v\"><location StartPos=\"1\" width=\"1\"/></var></dataDscr></codeBook>";
        std::ofstream(dir / "big.dat", std::ios::binary) << "1\n";
    }
    ImportOptions options;
    options.sources = {(dir / "big.xml").string() + ":" + (dir / "big.dat").string()};
    options.id = "BIG";
    options.out = dir / "proj";
    std::vector<std::string> seen;
    options.progress = [&](double, const std::string& what) {
        seen.push_back(what);
        return false;
    };
    ImportSummary summary;
    std::string error;
    EXPECT_FALSE(importProject(options, summary, error));
    EXPECT_EQ(error, "cancelled");
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen[0], "big.xml: reading the file, 0%");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2); // big.xml, big.dat
}

} // namespace
} // namespace qavn
