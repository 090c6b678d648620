// The export against a plain line-by-line model of how the cases of a raw
// data file are read: one line at a time, a current line that only moves
// forward, the line last read as the source of every value. For variables in
// line order the export must give the same bytes, whatever the identifiers,
// parts, short lines, line ends and incomplete last cases.

#include "TestProject.h"

#include "codebook/OpenProject.h"
#include "catalogue/Loader.h"
#include "export/AccessExport.h"
#include "export/RawDataReader.h"
#include "platform/Progress.h"
#include "platform/ScriptedUi.h"
#include "catalogue/VariableList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

namespace qavn {
namespace {

namespace fs = std::filesystem;

struct ModelColumn {
    std::string name;
    std::string location;
    char type = ' ';
    int line = 1;
    bool identifier = false;
    int part = 0;
};

struct ModelFile {
    int linesPerCase = 1;
    std::string idLocation = "0";
    std::string raw;
    std::vector<ModelColumn> variables; // tagged, in catalogue order
};

std::string formatted(std::string value, char type)
{
    if (value.size() > 3) {
        while (!value.empty() && std::string(" \t\r\n\v\f").find(value.back()) != std::string::npos)
            value.pop_back();
    }
    if (type == 'A') {
        std::replace_if(value.begin(), value.end(), [](char c) { return c == ',' || c == '\'' || c == '"'; }, ' ');
        return " \"" + value + "\",";
    }
    return " " + value + ",";
}

// Text mode: every line feed written becomes CR LF.
std::string textMode(const std::string& s)
{
    std::string out;
    for (char c : s) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

// The part files of one data file; false when the case reading aborted.
bool model(const ModelFile& file, std::vector<std::string>& parts)
{
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < file.raw.size();) {
        const std::size_t feed = file.raw.find('\n', at);
        const std::size_t end = feed == std::string::npos ? file.raw.size() : feed + 1;
        // Line-end characters lie beyond the line.
        std::string line = file.raw.substr(at, end - at);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        lines.push_back(line);
        at = end;
    }

    std::vector<ModelColumn> columns;
    const bool hasId = file.idLocation[0] != '0';
    for (const auto& v : file.variables) {
        if (columns.size() % 255 == 0 && hasId)
            columns.push_back({"ID", file.idLocation, ' ', 1, true, static_cast<int>(columns.size() / 255)});
        ModelColumn c = v;
        c.identifier = v.name == "ID";
        c.part = static_cast<int>(columns.size() / 255);
        columns.push_back(c);
    }
    parts.assign(static_cast<std::size_t>(columns.back().part + 1), "");
    std::vector<std::string> buffers(parts.size());
    for (const auto& c : columns)
        buffers[static_cast<std::size_t>(c.part)] += c.name + ",";
    for (std::size_t j = 0; j < parts.size(); ++j) {
        buffers[j].back() = ' ';
        parts[j] = buffers[j] + "\r\n";
    }

    std::size_t next = 0;
    std::string last;
    for (;;) {
        int current = 0;
        std::string remembered;
        std::fill(buffers.begin(), buffers.end(), "");
        for (const auto& c : columns) {
            const ColumnRange r = parseColumnLocation(c.location);
            const long width = std::max(1L, static_cast<long>(r.last) - r.first + 1);
            std::string value;
            if (c.identifier && current != 0) {
                value = remembered;
            } else {
                while (current < c.line) {
                    if (next >= lines.size())
                        return true;
                    last = lines[next++];
                    ++current;
                }
                current = c.line;
                value = static_cast<long>(last.size()) < r.first + width - 1 ? " " : last.substr(r.first - 1, width);
                if (c.identifier)
                    remembered = value;
            }
            buffers[static_cast<std::size_t>(c.part)] += formatted(value, c.type);
        }
        for (std::size_t j = 0; j < parts.size(); ++j) {
            if (buffers[j].size() > 1)
                buffers[j].back() = ' ';
            parts[j] += textMode(buffers[j] + "\n");
        }
        if (current > file.linesPerCase)
            return false;
        for (; current < file.linesPerCase; ++current) {
            if (next++ >= lines.size())
                return true;
        }
    }
}

TEST(ExportReferenceTest, InLineOrderTheExportMatchesTheLineByLineModel)
{
    std::mt19937 random(20240611);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    const std::string characters = "0123456789 ABCxyz,'\"\t  ";

    for (int round = 0; round < 24; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        test::TestProject project;
        project.dataFiles.clear();
        std::vector<ModelFile> files(static_cast<std::size_t>(pick(1, 2)));
        std::vector<std::uint32_t> tagged;
        std::uint32_t number = 0;
        for (std::size_t f = 0; f < files.size(); ++f) {
            ModelFile& file = files[f];
            file.linesPerCase = pick(1, 4);
            file.idLocation = pick(0, 2) == 0 ? "0" : std::to_string(pick(1, 4)) + "-" + std::to_string(pick(2, 7));
            // Now and then more than one part, or a variable beyond the case.
            const int count = round % 8 == 3 ? pick(400, 700) : pick(1, 12);
            const int maxLine = file.linesPerCase + (round % 6 == 5 ? 1 : 0);
            std::vector<int> lines;
            for (int i = 0; i < count; ++i)
                lines.push_back(pick(1, maxLine));
            std::sort(lines.begin(), lines.end());
            for (int i = 0; i < count; ++i) {
                ModelColumn v;
                v.name = pick(0, 30) == 0 ? "ID" : "V" + std::to_string(i);
                const int first = pick(1, 24);
                v.location = pick(0, 5) == 0 ? std::to_string(first)
                                             : std::to_string(first) + "-" + std::to_string(first + pick(-1, 9));
                v.type = "A 0"[pick(0, 2)];
                v.line = lines[static_cast<std::size_t>(i)];
                ++number;
                project.add(test::variable(v.name, "L", "S", static_cast<std::uint16_t>(f + 1),
                                           static_cast<std::uint8_t>(v.line), v.location, v.type));
                if (pick(0, 3) != 0) {
                    tagged.push_back(number);
                    file.variables.push_back(v);
                }
            }
            const int rawLines = pick(0, 30);
            for (int l = 0; l < rawLines; ++l) {
                const int length = pick(0, 30);
                for (int c = 0; c < length; ++c)
                    file.raw += characters[static_cast<std::size_t>(pick(0, static_cast<int>(characters.size()) - 1))];
                if (l + 1 < rawLines || pick(0, 1))
                    file.raw += pick(0, 3) ? "\r\n" : "\n";
            }
            project.dataFiles.push_back(
                {file.linesPerCase, file.idLocation, "DATA\\F" + std::to_string(f + 1) + ".DAT", {}});
        }
        project.write();
        for (std::size_t f = 0; f < files.size(); ++f)
            test::writeFile(project.driveD() / "DATA" / ("F" + std::to_string(f + 1) + ".DAT"), files[f].raw);

        ScriptedUi ui;
        OpenProject session(ui);
        ASSERT_TRUE(session.start("P=ZEL", [](Settings&) {}));
        VariableList list(VariableList::Mode::Main, &ui);
        Progress loading, progress;
        ASSERT_TRUE(loadVariables(session.store, session.project, list, ui, loading));
        const auto result = runAccessExport(tagged, session.store, session.project, session.settings, ui, progress);

        std::vector<std::string> expectedFiles{""};
        bool aborted = false;
        for (std::size_t f = 0; f < files.size() && !aborted; ++f) {
            if (files[f].variables.empty())
                continue;
            std::vector<std::string> parts;
            aborted = !model(files[f], parts);
            for (std::size_t j = 0; j < parts.size(); ++j) {
                const std::string base = "DATA_F" + std::to_string(f + 1);
                const std::string name =
                    base + (parts.size() > 1 ? std::string(1, static_cast<char>('a' + j)) : "") + ".txt";
                expectedFiles.push_back("C:\\OUT\\" + name);
                EXPECT_EQ(test::readFile(project.outputDir() / name), parts[j]) << name;
            }
        }
        EXPECT_EQ(result.generatedFiles, expectedFiles);
        EXPECT_EQ(result.completed, !aborted);
        EXPECT_EQ(ui.messageTexts(),
                  aborted ? std::vector<std::string>{std::string(accessLinesMessage)} : std::vector<std::string>{});
    }
}

// The reader across buffer refills: every line comes back whole and in
// order, the lines of a case stay readable while later bytes are read, and
// the length limit holds at the boundary.
TEST(ExportReferenceTest, RawDataReaderStreamsThroughASmallBuffer)
{
    test::TempDir dir;
    std::mt19937 random(5);
    std::string raw;
    std::vector<std::string> lines;
    for (int i = 0; i < 3000; ++i) {
        std::string line(random() % 200 == 0 ? 14998 : random() % 90, 'a' + static_cast<char>(i % 26));
        line += (i % 3 && line.size() < 14000) ? "\r\n" : "\n"; // 14,998 and LF: the longest line
        lines.push_back(line);
        raw += line;
    }
    raw += "last";
    lines.push_back("last");
    test::writeFile(dir / "raw.dat", raw);

    RawDataReader reader(1); // the smallest buffer it takes
    std::string error;
    ASSERT_TRUE(reader.open(dir / "raw.dat", error)) << error;
    for (std::size_t at = 0; at < lines.size(); at += 3) {
        reader.beginCase();
        for (std::size_t k = at; k < std::min(at + 3, lines.size()); ++k)
            ASSERT_EQ(reader.nextLine(true), RawDataReader::Status::Ok) << k;
        for (std::size_t k = 0; k < reader.caseLineCount(); ++k)
            ASSERT_EQ(reader.caseLine(k), lines[at + k]) << at + k;
    }
    EXPECT_EQ(reader.nextLine(true), RawDataReader::Status::End);
    EXPECT_EQ(reader.lineNumber(), lines.size());

    test::writeFile(dir / "long.dat", "ok\n" + std::string(14999, 'x') + "\n");
    ASSERT_TRUE(reader.open(dir / "long.dat", error));
    EXPECT_EQ(reader.nextLine(false), RawDataReader::Status::Ok);
    EXPECT_EQ(reader.nextLine(false), RawDataReader::Status::TooLong);
    EXPECT_EQ(reader.lineNumber(), 1u);

    EXPECT_FALSE(reader.open(dir.path(), error));
    EXPECT_FALSE(reader.open(dir / "missing.dat", error));
}

// The number of cases is told only for a file whose lines are all as long
// as its first and its last.
TEST(ExportReferenceTest, RawDataReaderKnowsTheCasesOfEvenLines)
{
    test::TempDir dir;
    const struct {
        const char* bytes;
        std::uint64_t lines;
    } cases[] = {
        {"0102\r\n0304\r\n0506\r\n0708\r\n", 4},
        {"01\n02\n", 2},
        {"0102\r\n0304\r\n0506", 0},       // the last line without its end
        {"0102\r\n03\r\n040506\r\n", 0},  // uneven, though the size divides
        {"01\n0203\n04\n", 0},
        {"no line end", 0},
    };
    RawDataReader reader;
    std::string error;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        test::writeFile(dir / "raw.dat", c.bytes);
        ASSERT_TRUE(reader.open(dir / "raw.dat", error));
        EXPECT_EQ(reader.evenLineCount(), c.lines);
    }
    test::writeFile(dir / "raw.dat", "0102\r\n0304\r\n0506\r\n0708\r\n");
    ASSERT_TRUE(reader.open(dir / "raw.dat", error));
    EXPECT_EQ(reader.evenCaseCount(2), 2u);
    EXPECT_EQ(reader.evenCaseCount(3), 0u); // not a whole number of cases
    reader.close();
    EXPECT_EQ(reader.evenLineCount(), 0u);
}

} // namespace
} // namespace qavn
