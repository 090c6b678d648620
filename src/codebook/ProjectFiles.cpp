// The layout of a project made by the tools, and writing its specification and
// configuration files.

#include "codebook/ProjectFiles.h"

#include "project/Configuration.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace qavn {

namespace fs = std::filesystem;

fs::path ProjectLayout::rawDataFile(std::string_view dataPath) const
{
    fs::path path = root / "d";
    std::size_t pos = 0;
    while (pos <= dataPath.size()) {
        std::size_t end = dataPath.find_first_of("\\/", pos);
        if (end == std::string_view::npos)
            end = dataPath.size();
        if (end > pos)
            path /= std::string(dataPath.substr(pos, end - pos));
        pos = end + 1;
    }
    return path;
}

bool createProjectLayout(const ProjectLayout& layout, std::string& error)
{
    for (const fs::path& dir : {layout.resourceDir(), layout.outputDir(), layout.root / "d"}) {
        std::error_code ec;
        fs::create_directories(dir, ec);
        if (ec) {
            error = "cannot create " + dir.string() + ": " + ec.message();
            return false;
        }
    }
    return true;
}

std::string specificationText(std::string_view title, std::string_view prefix,
                              const std::vector<SpecDataFile>& dataFiles,
                              const std::vector<std::string>& headerLines)
{
    std::string text;
    text.append(title).append("\r\n");
    text.append(prefix).append("\r\n");
    text.append(std::to_string(dataFiles.size())).append("\r\n");
    for (const SpecDataFile& f : dataFiles)
        text.append(std::to_string(f.linesPerCase) + " " + f.idLocation + " " + f.dataPath + "\r\n");
    for (const std::string& line : headerLines)
        text.append(line).append("\r\n");
    return text;
}

bool writeWholeFile(const fs::path& path, std::string_view bytes, std::string& error)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        error = "cannot create " + path.string() + ": " + std::strerror(errno);
        return false;
    }
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        error = "cannot write " + path.string();
        return false;
    }
    return true;
}

bool writeProjectFiles(const ProjectLayout& layout, std::string_view specText, std::string& error)
{
    const std::string resource = "C:\\QAVN\\" + layout.id;
    return writeWholeFile(layout.resourceDir() / ("QAVSPEC." + layout.id), specText, error) &&
           writeWholeFile(layout.configurationFile(),
                          configurationText(resource, "C:\\QAVN\\OUT", 'D', "0", "0", "2"), error);
}

} // namespace qavn
