// A whole test project on disk, with its drives and working folder.

#include "TestProject.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace qavn::test {

namespace fs = std::filesystem;

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "qavn-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::remove_all(path_, ec);
}

ScopedEnv::ScopedEnv(std::string name, const std::string& value) : name_(std::move(name))
{
    const char* old = std::getenv(name_.c_str());
    had_ = old != nullptr;
    if (had_)
        old_ = old;
    ::setenv(name_.c_str(), value.c_str(), 1);
}

ScopedEnv::~ScopedEnv()
{
    if (had_)
        ::setenv(name_.c_str(), old_.c_str(), 1);
    else
        ::unsetenv(name_.c_str());
}

ScopedCwd::ScopedCwd(const fs::path& dir) : old_(fs::current_path())
{
    fs::current_path(dir);
}

ScopedCwd::~ScopedCwd()
{
    std::error_code ec;
    fs::current_path(old_, ec);
}

void writeFile(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TestProject::TestProject(std::string projectId)
    : id(std::move(projectId)), prefix(id), driveC_("QAVN_DRIVE_C", (dir_.path() / "c").string()),
      driveDEnv_("QAVN_DRIVE_D", (dir_.path() / "d").string()), cwd_(dir_.path())
{
    fs::create_directories(resourceDir());
    fs::create_directories(outputDir());
    fs::create_directories(driveD());
}

void TestProject::write()
{
    std::string spec = title + "\r\n" + prefix + "\r\n" + std::to_string(dataFiles.size()) + "\r\n";
    for (const auto& f : dataFiles)
        spec += std::to_string(f.linesPerCase) + " " + f.idLocation + " " + f.dataPath + "\r\n";
    for (const auto& h : headerLines)
        spec += h + "\r\n";
    writeFile(resourceDir() / ("QAVSPEC." + id), spec);

    std::string error;
    if (!codebook.writeFiles(resourceDir(), prefix, error))
        throw std::runtime_error(error);

    writeFile(root() / (id + "QAV.CFG"), "C:\\RES\r\nC:\\OUT\r\nD\r\n0\r\n0\r\n2");

    for (const auto& f : dataFiles) {
        if (f.rawLines.empty())
            continue;
        std::string raw;
        for (const auto& line : f.rawLines)
            raw += line + "\r\n";
        std::string relative = f.dataPath;
        for (char& c : relative)
            if (c == '\\')
                c = '/';
        writeFile(driveD() / relative, raw);
    }
}

VariableSpec variable(const std::string& name, const std::string& label, const std::string& section,
                      std::uint16_t fileNumber, std::uint8_t record, const std::string& location, char typeCode)
{
    VariableSpec v;
    v.name = name;
    v.label = label;
    v.section = section;
    v.fileNumber = fileNumber;
    v.recordNumber = record;
    v.location = location;
    v.typeCode = typeCode;
    return v;
}

} // namespace qavn::test
