#pragma once

// Where a project's files are: the files it reads (which no output may
// replace), the raw data of each data file, and the name a data file's
// results take in the outputs that write one table per data file.

#include "platform/TextOutput.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qavn {

struct DataFileEntry;
struct ProjectSpec;
struct Settings;

// The raw data of a data file as the program names it: the CD-ROM drive, a
// colon, a backslash and the data path ("D:\DATA\YOUTH97.DAT"); the drive is
// "?" when none is configured.
std::string rawDataName(const Settings& settings, const DataFileEntry& file);

// The host file rawDataName() names (toHostPath).
std::filesystem::path rawDataHostPath(const Settings& settings, const DataFileEntry& file);

// Every file the project reads: the configuration file and the project
// specification file (when `projectId` is given), the two codebook files and
// the raw data files, in that order.
std::vector<ProtectedFile> projectInputs(const ProjectSpec& project, const Settings& settings,
                                         std::string_view projectId);

// The names the results of each data file take in an output that writes one
// table or file per data file (CSV files, SQLite tables, SPSS and Stata data
// files, DDI extracts, the data sets of the generated programs), one per data
// file of the project in its order: the data path's folders and the data
// file's own name without its extension, joined by underscores
// ("DATA\YOUTH97.DAT" -> "DATA_YOUTH97"; a full stop or colon in a folder
// becomes an underscore too, so "DATA.97\YOUTH.DAT" -> "DATA_97_YOUTH"),
// "data" when that leaves nothing. A name that an earlier data file has
// already taken, letter case aside, gets "_2", "_3", ... so no two data files
// share one. The names depend on the project alone, never on the selection.
std::vector<std::string> dataFileOutputNames(const ProjectSpec& project);

// The name of the results matched across data files by their identifier,
// beside those of each data file: "merged", or "merged_2", ... when a data
// file's results have that name (letter case aside).
std::string mergedOutputName(const ProjectSpec& project);

// The data files (numbers, ascending) that hold at least one of `rows`
// (catalogue rows, ascending): the variables of data file f are the rows
// from its first row up to the first row of the next file that has one.
std::vector<std::uint32_t> dataFilesOfRows(const ProjectSpec& project, std::span<const std::uint32_t> rows);

// Whether a selection across data files can be one table of cases matched by
// their identifier: it lies in more than one data file, and each has one.
bool canMergeByIdentifier(const ProjectSpec& project, std::span<const std::uint32_t> rows);

} // namespace qavn
