#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
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

std::string writeCodebook(std::string_view index, std::string_view text, std::string_view prefix)
{
    const auto dir = freshDir("res");
    writeBytes(dir / (std::string(prefix) + "01.CDC"), index);
    writeBytes(dir / (std::string(prefix) + "02.CDC"), text);
    return dir.string();
}

} // namespace qavn::fuzz
