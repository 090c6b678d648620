#pragma once

// A whole test project on disk, with its drives and working folder.

#include "codebook/CodebookWriter.h"

#include <filesystem>
#include <string>
#include <vector>

namespace qavn::test {

// A scratch directory removed when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::string& value);
    ~ScopedEnv();

private:
    std::string name_;
    std::string old_;
    bool had_;
};

// Changes the working directory for the life of the object.
class ScopedCwd {
public:
    explicit ScopedCwd(const std::filesystem::path& dir);
    ~ScopedCwd();

private:
    std::filesystem::path old_;
};

void writeFile(const std::filesystem::path& path, const std::string& bytes);
std::string readFile(const std::filesystem::path& path);

// A whole project on disk, laid out as the program expects:
//   <root>/c/RES        resource directory  (C:\RES)
//   <root>/c/OUT        output directory    (C:\OUT)
//   <root>/d/...        raw data files      (drive D)
//   <root>/<ID>QAV.CFG  configuration file  (the working directory)
// Drives C and D are mapped through QAVN_DRIVE_C and QAVN_DRIVE_D while the
// object lives, and the working directory is <root>.
class TestProject {
public:
    struct DataFile {
        int linesPerCase = 1;
        std::string idLocation = "0";
        std::string dataPath = "DATA\\FILE1.DAT";
        std::vector<std::string> rawLines; // written with CR LF when not empty
    };

    explicit TestProject(std::string id = "ZEL");

    std::string id;
    std::string title = "SAMPLE STUDY";
    std::string prefix; // defaults to the ID
    std::vector<DataFile> dataFiles{DataFile{}};
    std::vector<std::string> headerLines;
    CodebookWriter codebook;

    std::uint32_t add(const VariableSpec& v) { return codebook.add(v); }

    // Writes specification, codebook files, configuration and raw data.
    void write();

    const std::filesystem::path& root() const { return dir_.path(); }
    std::filesystem::path resourceDir() const { return dir_.path() / "c" / "RES"; }
    std::filesystem::path outputDir() const { return dir_.path() / "c" / "OUT"; }
    std::filesystem::path driveD() const { return dir_.path() / "d"; }

private:
    TempDir dir_;
    ScopedEnv driveC_;
    ScopedEnv driveDEnv_;
    ScopedCwd cwd_;
};

// A variable with the usual fields filled from short arguments.
VariableSpec variable(const std::string& name, const std::string& label, const std::string& section = "Section A",
                      std::uint16_t fileNumber = 1, std::uint8_t record = 1, const std::string& location = "1-2",
                      char typeCode = ' ');

} // namespace qavn::test
