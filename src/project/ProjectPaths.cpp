// The project's inputs, raw data paths and per-data-file output names.

#include "project/ProjectPaths.h"

#include "platform/HostPath.h"
#include "platform/Strings.h"
#include "project/Configuration.h"
#include "project/ProjectSpec.h"
#include "project/Settings.h"

#include <algorithm>

namespace qavn {

std::string rawDataName(const Settings& settings, const DataFileEntry& file)
{
    const char drive = settings.cdromDrive != '\0' ? settings.cdromDrive : '?';
    return std::string(1, drive) + ":\\" + file.dataPath;
}

std::filesystem::path rawDataHostPath(const Settings& settings, const DataFileEntry& file)
{
    return toHostPath(rawDataName(settings, file));
}

std::vector<ProtectedFile> projectInputs(const ProjectSpec& project, const Settings& settings,
                                         std::string_view projectId)
{
    std::vector<ProtectedFile> inputs;
    auto add = [&](std::string name) {
        std::filesystem::path host = toHostPath(name);
        inputs.push_back({std::move(name), std::move(host)});
    };
    if (!projectId.empty()) {
        add(configurationPath(projectId));
        add(settings.resourceDir + "\\QAVSPEC." + std::string(projectId));
    }
    for (const char* suffix : {"01.CDC", "02.CDC"})
        add(settings.resourceDir + "\\" + project.filePrefix + suffix);
    for (const DataFileEntry& file : project.dataFiles)
        add(rawDataName(settings, file));
    return inputs;
}

namespace {

// One data path's name before it is made unique.
std::string outputNameOf(std::string_view dataPath)
{
    const std::size_t slash = dataPath.find_last_of("\\/");
    const std::size_t own = slash == std::string_view::npos ? 0 : slash + 1;
    std::string name(dataPath.substr(0, own));
    std::string_view file = dataPath.substr(own);
    name += file.substr(0, file.find('.'));
    for (char& c : name)
        if (c == '/' || c == '\\' || c == ':' || c == '.')
            c = '_';
    return name.empty() ? "data" : name;
}

} // namespace

std::vector<std::string> dataFileOutputNames(const ProjectSpec& project)
{
    std::vector<std::string> names;
    std::vector<std::string> upper;
    names.reserve(project.dataFiles.size());
    for (const DataFileEntry& file : project.dataFiles) {
        const std::string base = outputNameOf(file.dataPath);
        std::string name = base;
        for (int k = 2; std::find(upper.begin(), upper.end(), upperAscii(name)) != upper.end(); ++k)
            name = base + "_" + std::to_string(k);
        upper.push_back(upperAscii(name));
        names.push_back(std::move(name));
    }
    return names;
}

std::string mergedOutputName(const ProjectSpec& project)
{
    std::vector<std::string> taken;
    for (const std::string& name : dataFileOutputNames(project))
        taken.push_back(upperAscii(name));
    std::string name = "merged";
    for (int k = 2; std::find(taken.begin(), taken.end(), upperAscii(name)) != taken.end(); ++k)
        name = "merged_" + std::to_string(k);
    return name;
}

std::vector<std::uint32_t> dataFilesOfRows(const ProjectSpec& project, std::span<const std::uint32_t> rows)
{
    std::vector<std::uint32_t> files;
    for (std::uint32_t f = 1; f <= project.dataFiles.size(); ++f) {
        const std::uint32_t first = project.dataFiles[f - 1].firstRow;
        if (first == 0)
            continue;
        std::uint32_t end = UINT32_MAX;
        for (const DataFileEntry& other : project.dataFiles)
            if (other.firstRow > first)
                end = std::min(end, other.firstRow);
        const auto at = std::lower_bound(rows.begin(), rows.end(), first);
        if (at != rows.end() && *at < end)
            files.push_back(f);
    }
    return files;
}

bool canMergeByIdentifier(const ProjectSpec& project, std::span<const std::uint32_t> rows)
{
    const std::vector<std::uint32_t> files = dataFilesOfRows(project, rows);
    return files.size() > 1 && std::all_of(files.begin(), files.end(), [&](std::uint32_t f) {
               return project.dataFiles[f - 1].hasIdentifier();
           });
}

} // namespace qavn
