// What the fuzz targets share: splitting an input, scratch folders, project files.

#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>
#include <unistd.h>

namespace qavn::fuzz {

std::vector<std::string> splitInput(const std::uint8_t* data, std::size_t size, std::size_t parts)
{
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> out;
    if (all.find(cutMark) == std::string_view::npos) {
        const std::size_t each = parts ? size / parts : 0;
        for (std::size_t i = 0; i < parts; ++i)
            out.emplace_back(i + 1 == parts ? all.substr(i * each) : all.substr(i * each, each));
        return out;
    }
    std::string_view rest = all;
    while (out.size() + 1 < parts) {
        const auto cut = rest.find(cutMark);
        if (cut == std::string_view::npos)
            break;
        out.emplace_back(rest.substr(0, cut));
        rest.remove_prefix(cut + cutMark.size());
    }
    out.emplace_back(rest);
    out.resize(parts);
    return out;
}

namespace {

std::filesystem::path makeWorkDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "qavn-fuzz.XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    return pattern;
}

const std::filesystem::path* workDirPath = nullptr;

void removeWorkDir()
{
    std::error_code ec;
    if (workDirPath)
        std::filesystem::remove_all(*workDirPath, ec);
}

} // namespace

const std::filesystem::path& workDir()
{
    static const std::filesystem::path dir = [] {
        auto d = makeWorkDir();
        return d;
    }();
    if (!workDirPath) {
        workDirPath = &dir;
        std::atexit(removeWorkDir);
    }
    return dir;
}

std::filesystem::path freshDir(const std::string& name)
{
    const auto dir = workDir() / name;
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    std::filesystem::create_directories(dir);
    return dir;
}

void writeBytes(const std::filesystem::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::abort();
    }
}

void require(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}

Snapshot snapshot(const std::filesystem::path& dir)
{
    Snapshot entries;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        const std::string name = std::filesystem::relative(it->path(), dir).string();
        if (it->is_symlink())
            entries[name] = "<link>";
        else if (it->is_directory())
            entries[name] = "<folder>";
        else {
            std::ifstream in(it->path(), std::ios::binary);
            entries[name].assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    }
    return entries;
}

void requireOnlyOutputWritten(const std::vector<std::pair<std::filesystem::path, Snapshot>>& inputDirs,
                              const std::filesystem::path& outputDir)
{
    for (const auto& [dir, before] : inputDirs)
        require(snapshot(dir) == before, "no input file changes");
    for (const auto& top : std::filesystem::directory_iterator(workDir())) {
        bool known = top.path() == outputDir;
        for (const auto& input : inputDirs)
            known = known || top.path() == input.first;
        require(known, "nothing is created outside the output folder");
    }
    for (const auto& entry : std::filesystem::directory_iterator(outputDir)) {
        require(entry.is_regular_file() && !entry.is_symlink(), "the output folder holds only plain files");
        require(entry.path().filename().string().find(".qavn-") == std::string::npos,
                "no temporary file is left in the output folder");
    }
}

std::string writeCodebook(std::string_view index, std::string_view text, std::string_view prefix)
{
    const auto dir = freshDir("res");
    writeBytes(dir / (std::string(prefix) + "01.CDC"), index);
    writeBytes(dir / (std::string(prefix) + "02.CDC"), text);
    return dir.string();
}

} // namespace qavn::fuzz
