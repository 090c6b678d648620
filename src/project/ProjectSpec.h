#pragma once

// The project specification file (QAVSPEC): title, prefix, data files, header
// lines.

#include "platform/ReadError.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qavn {

class Ui;

struct DataFileEntry {
    std::int32_t linesPerCase = 0;
    std::string idLocation; // "0…" when the file has no identifier column
    std::string dataPath;   // relative to the root of the CD-ROM drive
    std::string fileTitle;  // file-name part of dataPath up to its first "."
    std::uint32_t firstRow = 0; // set by loading; 0 for a file without variables

    bool hasIdentifier() const { return !idLocation.empty() && idLocation.front() != '0'; }
};

// The project specification file "QAVSPEC." + project ID.
struct ProjectSpec {
    static constexpr std::size_t maxIdLocation = 111;
    static constexpr std::size_t maxDataPath = 79;
    static constexpr std::size_t lineBuffer = 999; // at most 997 characters a line
    // The most lines one case of a data file may take. Real data sets hold a
    // case in a few dozen 80-column card images at most; a count far above
    // that is a damaged file, and the program writers build one input
    // statement per line of a case, so it is refused on reading instead of
    // filling memory there.
    static constexpr std::int32_t maxLinesPerCase = 9999;

    std::string dataSetTitle;
    std::string filePrefix; // the project ID until the file has been read
    std::vector<DataFileEntry> dataFiles;
    std::string sasHeader;
    std::string spssHeader;

    // Data file f (1-based), or nullptr outside 1..N.
    const DataFileEntry* dataFile(std::uint32_t f) const
    {
        return (f >= 1 && f <= dataFiles.size()) ? &dataFiles[f - 1] : nullptr;
    }
    DataFileEntry* dataFile(std::uint32_t f)
    {
        return (f >= 1 && f <= dataFiles.size()) ? &dataFiles[f - 1] : nullptr;
    }
};

// The file-name part of a path (after the last "\", "/" or ":") cut before
// its first ".".
std::string fileTitleOf(std::string_view dataPath);

// The name a data file's outputs take: the whole data path with separators
// and colons turned into underscores, cut at its first full stop
// ("DATA\YOUTH97.DAT" -> "DATA_YOUTH97"), so it never leaves the folder it is
// put in (no separator and no ".." remain). Empty when the path gives none.
std::string dataPathName(std::string_view dataPath);

// The title the program shows for an open project: "QAVN - [" + the data
// set title + "]".
std::string mainWindowTitle(const ProjectSpec& project);

// Reads resourceDir + "\QAVSPEC." + filePrefix. Fails when the file cannot
// be opened or read, when its count of data files is not a positive number
// (Empty), when a data file line or any line is malformed or longer than
// 997 characters, or a data file has more than maxLinesPerCase lines per
// case (InvalidData, with the line), or when the data file list
// does not fit in memory (OutOfMemory).
ReadResult<ProjectSpec> readProjectSpecFile(std::string_view resourceDir, std::string_view filePrefix);

// The program's message for a failed read: "Cannot Open '<path>' !", "Cannot
// Open '<path>' Has Invalid Entry !", "Not Enough Memory !", or "QAVSPEC File
// Has Invalid Data !\nCannot Run QAVN." for everything else.
std::string projectSpecMessage(const ReadError& error);

// Reads resourceDir + "\QAVSPEC." + spec.filePrefix into `spec`, showing
// the message for a failure through `ui`. Returns false when the start
// cannot go on.
bool readProjectSpec(std::string_view resourceDir, ProjectSpec& spec, Ui& ui);

} // namespace qavn
