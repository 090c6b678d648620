// Building a project from its readable source: the columns, the raw data and the
// codebook.

#include "ProjectBuilder.h"

#include "Random.h"

#include "codebook/CodebookWriter.h"
#include "platform/HostPath.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <unordered_map>

namespace qavn::mkproject {

namespace fs = std::filesystem;

namespace {

// Widest column used on each record line of each data file.
std::vector<std::vector<int>> lineWidths(const ProjectModel& model)
{
    std::vector<std::vector<int>> widths(model.dataFiles.size());
    for (std::size_t f = 0; f < model.dataFiles.size(); ++f) {
        widths[f].assign(static_cast<std::size_t>(model.dataFiles[f].linesPerCase), 0);
        if (model.dataFiles[f].hasIdentifier)
            widths[f][0] = model.dataFiles[f].identifier.last;
    }
    for (const VariableModel& v : model.variables) {
        int& w = widths[v.file - 1][v.record - 1];
        w = std::max(w, v.columns.last);
    }
    return widths;
}

// Draws one variable's value for one case from its weighted choices.
std::string drawValue(const VariableModel& v, Random& random)
{
    double total = 0;
    for (const CategoryModel& c : v.categories)
        total += c.weight;
    const double rangeWeight = v.hasRange ? v.rangeWeight : 0.0;
    const double valuesWeight = v.values.empty() ? 0.0 : v.valuesWeight;
    total += rangeWeight + valuesWeight;

    double r = random.unit() * total;
    for (const CategoryModel& c : v.categories) {
        if (c.weight > 0 && r < c.weight)
            return c.value;
        r -= c.weight;
    }
    if (rangeWeight > 0 && (r < rangeWeight || valuesWeight == 0))
        return std::to_string(random.between(v.rangeMin, v.rangeMax));
    if (valuesWeight > 0)
        return v.values[random.below(static_cast<std::uint32_t>(v.values.size()))];
    // Rounding left r past the last weight: take the last category that can occur.
    for (auto it = v.categories.rbegin(); it != v.categories.rend(); ++it)
        if (it->weight > 0)
            return it->value;
    return {};
}

std::string_view trimmedField(std::string_view s)
{
    const std::size_t first = s.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// The metadata file, for a source that gives long names, missing values or
// formats: every variable, with what the source says of it.
bool writeMetadata(const ProjectModel& model, const ProjectLayout& layout, std::string& error)
{
    ProjectMetadata metadata;
    metadata.title = model.title;
    metadata.identifier = model.identifier;
    metadata.weight = model.weight;
    for (std::size_t f = 0; f < model.dataFiles.size(); ++f) {
        SourceFile source;
        source.file = static_cast<std::uint32_t>(f + 1);
        source.kind = "json";
        source.path = model.sourcePath;
        source.encoding = "UTF-8";
        source.cases = model.cases;
        metadata.sources.push_back(std::move(source));
    }
    for (const VariableModel& v : model.variables) {
        VariableMetadata m;
        m.name = v.name;
        m.longName = v.longName;
        m.label = v.utf8Label;
        m.file = static_cast<std::uint32_t>(v.file);
        m.isText = v.typeCode == 'A';
        m.length = m.isText ? static_cast<std::uint64_t>(v.columns.width()) : 0;
        const int decimals = v.typeCode >= '1' && v.typeCode <= '9' ? v.typeCode - '0' : 0;
        const std::string format =
            !v.format.empty() ? v.format
            : m.isText        ? "A" + std::to_string(v.columns.width())
                              : "F" + std::to_string(v.columns.width()) + "." + std::to_string(decimals);
        m.format = displayFormatOf(format, FormatFamily::Spss, m.isText);
        m.missing = v.missing;
        metadata.add(std::move(m));
    }
    return writeMetadataFile(layout.resourceDir() / metadataFileName(model.prefix), metadata, error);
}

} // namespace

bool layOutColumns(ProjectModel& model, std::vector<std::string>& problems)
{
    struct Field {
        int first;
        int last;
        std::string what;
    };
    std::map<std::pair<int, int>, std::vector<Field>> lines;
    std::map<std::pair<int, int>, int> next; // next free column of each record line
    for (std::size_t f = 0; f < model.dataFiles.size(); ++f) {
        const DataFileModel& file = model.dataFiles[f];
        if (file.hasIdentifier) {
            const auto key = std::make_pair(static_cast<int>(f + 1), 1);
            lines[key].push_back({file.identifier.first, file.identifier.last,
                                  "the identifier of data file " + std::to_string(f + 1)});
            next[key] = file.identifier.last + 1;
        }
    }
    const std::size_t before = problems.size();
    for (VariableModel& v : model.variables) {
        const auto key = std::make_pair(v.file, v.record);
        int& cursor = next.try_emplace(key, 1).first->second;
        if (v.automatic) {
            const int width = v.columns.width();
            v.columns = {cursor, cursor + width - 1};
            if (v.columns.last > maxLayoutColumn) {
                problems.push_back(v.path + ".width: record line " + std::to_string(v.record) + " of data file " +
                                   std::to_string(v.file) + " is full (automatic layout keeps to column " +
                                   std::to_string(maxLayoutColumn) +
                                   " so that locations fit in 9 characters); put the variable on another record line");
                continue;
            }
            v.location = locationText(v.columns);
        }
        cursor = std::max(cursor, v.columns.last + 1);
        lines[key].push_back({v.columns.first, v.columns.last, v.path});
    }
    for (auto& [key, fields] : lines) {
        std::stable_sort(fields.begin(), fields.end(), [](const Field& a, const Field& b) { return a.first < b.first; });
        for (std::size_t i = 1; i < fields.size(); ++i)
            if (fields[i].first <= fields[i - 1].last)
                problems.push_back(fields[i].what + ": columns " + std::to_string(fields[i].first) + "-" +
                                   std::to_string(fields[i].last) + " overlap " + fields[i - 1].what +
                                   " on record line " + std::to_string(key.second) + " of data file " +
                                   std::to_string(key.first));
    }
    return problems.size() == before;
}

bool buildProject(const ProjectModel& model, const fs::path& out, const fs::path& logo, std::string& error)
{
    const ProjectLayout layout{out, model.id};
    if (!createProjectLayout(layout, error))
        return false;

    // Raw data first: the codebook's frequencies count what was written.
    std::vector<std::vector<std::uint64_t>> counts(model.variables.size());
    std::vector<std::unordered_map<std::string, std::size_t>> codeIndex(model.variables.size());
    for (std::size_t i = 0; i < model.variables.size(); ++i) {
        counts[i].assign(model.variables[i].categories.size(), 0);
        for (std::size_t c = 0; c < model.variables[i].categories.size(); ++c)
            codeIndex[i].emplace(model.variables[i].categories[c].value, c);
    }
    const auto widths = lineWidths(model);
    Random random(model.seed);
    std::size_t firstVariable = 0;
    for (std::size_t f = 0; f < model.dataFiles.size(); ++f) {
        const DataFileModel& file = model.dataFiles[f];
        std::size_t endVariable = firstVariable;
        while (endVariable < model.variables.size() && model.variables[endVariable].file == static_cast<int>(f + 1))
            ++endVariable;

        const fs::path path = layout.rawDataFile(file.dataPath);
        std::error_code ec;
        fs::create_directories(path.parent_path(), ec);
        FilePtr raw(std::fopen(path.c_str(), "wb"));
        if (!raw) {
            error = "cannot create " + path.string() + ": " + std::strerror(errno);
            return false;
        }
        std::vector<std::string> lines(static_cast<std::size_t>(file.linesPerCase));
        for (std::uint32_t caseNumber = 1; caseNumber <= model.cases; ++caseNumber) {
            for (std::size_t l = 0; l < lines.size(); ++l)
                lines[l].assign(static_cast<std::size_t>(widths[f][l]), ' ');
            if (file.hasIdentifier) {
                const std::string n = std::to_string(caseNumber);
                const std::size_t width = static_cast<std::size_t>(file.identifier.width());
                lines[0].replace(static_cast<std::size_t>(file.identifier.first - 1), width,
                                 std::string(width - n.size(), '0') + n);
            }
            for (std::size_t i = firstVariable; i < endVariable; ++i) {
                const VariableModel& v = model.variables[i];
                const std::string value = drawValue(v, random);
                const std::size_t width = static_cast<std::size_t>(v.columns.width());
                const std::size_t pad = width - std::min(width, value.size());
                // Alphanumeric values are left-aligned, numbers and codes right-aligned.
                const std::string field = v.typeCode == 'A' ? value + std::string(pad, ' ')
                                                            : std::string(pad, ' ') + value;
                std::string& line = lines[static_cast<std::size_t>(v.record - 1)];
                line.replace(static_cast<std::size_t>(v.columns.first - 1), width, field, 0, width);
                const auto found = codeIndex[i].find(std::string(trimmedField(
                    std::string_view(line).substr(static_cast<std::size_t>(v.columns.first - 1), width))));
                if (found != codeIndex[i].end())
                    ++counts[i][found->second];
            }
            for (const std::string& line : lines) {
                std::fwrite(line.data(), 1, line.size(), raw.get());
                std::fwrite("\r\n", 1, 2, raw.get());
            }
        }
        if (std::fflush(raw.get()) != 0 || std::ferror(raw.get())) {
            error = "cannot write " + path.string() + ": " + std::strerror(errno);
            return false;
        }
        firstVariable = endVariable;
    }

    CodebookWriter codebook;
    for (std::size_t i = 0; i < model.variables.size(); ++i) {
        const VariableModel& v = model.variables[i];
        VariableSpec spec;
        spec.name = v.name;
        spec.fileNumber = static_cast<std::uint16_t>(v.file);
        spec.recordNumber = static_cast<std::uint8_t>(v.record);
        spec.location = v.location;
        spec.typeCode = v.typeCode;
        spec.label = v.label;
        spec.section = v.section;
        spec.description = v.description;
        spec.sharesDescriptionOf = v.sharesDescriptionOf;
        for (std::size_t c = 0; c < v.categories.size(); ++c)
            spec.categories.push_back(categoryLine(v.categories[c].code, std::to_string(counts[i][c]),
                                                   percentText(counts[i][c], model.cases), v.categories[c].label));
        codebook.add(spec);
    }
    if (codebook.build().text.size() > 0xFFFFFFFFu) {
        error = "the codebook text passes 4 GB, beyond what its references address";
        return false;
    }
    if (!codebook.writeFiles(layout.resourceDir(), model.prefix, error))
        return false;

    std::vector<SpecDataFile> specFiles;
    for (const DataFileModel& f : model.dataFiles)
        specFiles.push_back({f.linesPerCase, f.idLocation, f.dataPath});
    if (!writeProjectFiles(layout, specificationText(model.title, model.prefix, specFiles, model.headerLines), error))
        return false;

    if (model.metadata && !writeMetadata(model, layout, error))
        return false;

    if (!logo.empty()) {
        std::error_code ec;
        fs::copy_file(logo, out / "logo.bmp", fs::copy_options::overwrite_existing, ec);
        if (ec) {
            error = "cannot copy " + logo.string() + ": " + ec.message();
            return false;
        }
    }
    return true;
}

} // namespace qavn::mkproject
