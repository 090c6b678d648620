#pragma once

// The layout of a project made by the tools, and writing its specification and
// configuration files.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qavn {

// Where a project made by the tools (the import, the project maker) puts its
// files under its folder `root`, so that the program opens it from there with
// no drive set up:
//   root/<ID>QAV.CFG              configuration (C:\QAVN\<ID>, C:\QAVN\OUT, drive D)
//   root/c/QAVN/<ID>/             QAVSPEC.<ID>, <prefix>01.CDC, <prefix>02.CDC
//   root/c/QAVN/OUT/              output directory
//   root/d/<dataPath>             raw data files
struct ProjectLayout {
    std::filesystem::path root;
    std::string id;

    std::filesystem::path resourceDir() const { return root / "c" / "QAVN" / id; }
    std::filesystem::path outputDir() const { return root / "c" / "QAVN" / "OUT"; }
    // The host path of a data path as the QAVSPEC file gives it ("DATA\X.DAT").
    std::filesystem::path rawDataFile(std::string_view dataPath) const;
    std::filesystem::path configurationFile() const { return root / (id + "QAV.CFG"); }
};

// One data file as the project specification file lists it.
struct SpecDataFile {
    int linesPerCase = 1;
    std::string idLocation; // "0" for none
    std::string dataPath;
};

// Creates the folders of the layout (resource, output, drive D). Returns
// false with `error` naming the folder.
bool createProjectLayout(const ProjectLayout& layout, std::string& error);

// The project specification file's bytes (lines end CR LF).
std::string specificationText(std::string_view title, std::string_view prefix,
                              const std::vector<SpecDataFile>& dataFiles,
                              const std::vector<std::string>& headerLines);

// Writes the project specification file and the configuration file of the
// layout. Returns false with `error` naming the file.
bool writeProjectFiles(const ProjectLayout& layout, std::string_view specText, std::string& error);

// Writes `bytes` as the whole file. Returns false with `error` naming the file.
bool writeWholeFile(const std::filesystem::path& path, std::string_view bytes, std::string& error);

} // namespace qavn
