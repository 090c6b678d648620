#include "formats/TableExports.h"

#include "export/AccessExport.h"
#include "platform/HostPath.h"
#include "platform/Latin1.h"
#include "platform/Progress.h"
#include "platform/Strings.h"
#include "platform/TextOutput.h"
#include "platform/Ui.h"
#include "project/ProjectSpec.h"
#include "project/Settings.h"

#include <algorithm>
#include <charconv>
#include <exception>

namespace qavn {

namespace {

void appendCsvField(std::string& line, std::string_view value)
{
    if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
        line += value;
        return;
    }
    line += '"';
    for (const char c : value) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
}

} // namespace

OutputResult writeCsvTables(const WriterServices& services, std::span<const std::uint32_t> tagged,
                            const TableExportOptions& options, Progress& progress)
{
    OutputResult result;
    result.status = OutputStatus::Stopped;
    result.generatedFiles.emplace_back();
    Ui& ui = services.ui;
    const std::string folder = options.path.empty() ? services.settings.outputDir : options.path;
    if (trimmed(folder).empty()) {
        ui.error("No output directory is set. Choose one with Setup.");
        return result;
    }
    if (hasControlCharacter(folder)) {
        ui.error("The output directory holds a control character. Choose another one.");
        return result;
    }
    const std::filesystem::path hostFolder = options.path.empty() ? toHostPath(folder) : chosenHostPath(folder);
    const std::vector<ProtectedFile> inputs = projectInputs(services.project, services.settings, services.projectId);

    try {
        ui.pumpStep();
        RawDataReader reader;
        const auto fileCount = static_cast<std::uint32_t>(services.project.dataFiles.size());
        for (std::uint32_t f = 1; f <= fileCount; ++f) {
            const DataFileEntry& file = *services.project.dataFile(f);
            DataTable table;
            std::string error;
            if (!buildDataTable(tagged, f, services.store, file, [&] { return progress.cancelled(); }, table,
                                error)) {
                if (!error.empty())
                    ui.error(error);
                return result;
            }
            if (table.columns.empty())
                continue;
            const std::string base = dataPathName(file.dataPath);
            if (base.empty() || hasControlCharacter(file.dataPath)) {
                ui.error("The data path " + file.dataPath + " gives no file name for its table.");
                return result;
            }
            const std::string name = folder + "\\" + base + ".csv";
            const std::filesystem::path host = hostFolder / (base + ".csv");
            if (const ProtectedFile* input = protectedFileAt(host, inputs)) {
                ui.error("The file " + name + " for " + file.dataPath + " would replace " + input->name +
                         ". Choose another output folder.");
                return result;
            }
            const bool clash =
                std::any_of(result.generatedFiles.begin(), result.generatedFiles.end(),
                            [&](const std::string& used) { return upperAscii(used) == upperAscii(name); }) ||
                std::find(result.generatedHostFiles.begin(), result.generatedHostFiles.end(), host.string()) !=
                    result.generatedHostFiles.end();
            if (clash) {
                ui.error("The file " + name + " for " + file.dataPath +
                         " has already been written for an earlier data file of this project.");
                return result;
            }

            const std::optional<std::string> rawName = openRawData(reader, services.settings, file, ui);
            if (!rawName)
                return result;
            FileTextOutput out;
            if (!out.openHost(host)) {
                ui.error("Cannot Open " + name, fileDetail(host, out.openError()));
                return result;
            }
            progress.setText(accessfield::dataFile, "from [" + file.dataPath + "] !");
            const std::uint64_t cases = reader.evenCaseCount(file.linesPerCase);
            progress.setText(accessfield::caseTotal, cases > 0 ? std::to_string(cases) : std::string());

            std::string line;
            for (const TableColumn& column : table.columns) {
                if (!line.empty())
                    line += ',';
                appendCsvField(line, latin1ToUtf8(column.name));
            }
            line += '\n';
            out.write(line);

            long caseCount = 0;
            char counter[24];
            const bool read = forEachCase(
                reader, table,
                [&](std::span<const std::string_view> fields) {
                    line.clear();
                    for (std::size_t i = 0; i < fields.size(); ++i) {
                        if (i > 0)
                            line += ',';
                        appendCsvField(line, cellText(fields[i], table.columns[i], options.reserved));
                    }
                    line += '\n';
                    out.write(line);
                    if (out.failed())
                        return false;
                    ++caseCount;
                    const auto written = std::to_chars(counter, counter + sizeof counter, caseCount);
                    progress.setText(accessfield::caseCount,
                                     std::string_view(counter, static_cast<std::size_t>(written.ptr - counter)));
                    return pollProgress(ui, progress);
                },
                error, *rawName);
            reader.close();
            if (out.failed()) {
                out.discard();
                ui.error("Cannot Write " + name + " !\n" + out.errorText());
                result.status = OutputStatus::Failed;
                return result;
            }
            if (!read) {
                out.discard();
                if (!error.empty())
                    ui.error(error);
                return result;
            }
            if (!out.close()) {
                ui.error("Cannot Write " + name + " !\n" + out.errorText());
                result.status = OutputStatus::Failed;
                return result;
            }
            result.generatedFiles.push_back(name);
            result.generatedHostFiles.push_back(host.string());
            if (!pollProgress(ui, progress))
                return result;
        }
        result.status = OutputStatus::Written;
    } catch (const std::exception& e) {
        ui.error(e.what());
        result.status = OutputStatus::Failed;
    }
    return result;
}

} // namespace qavn
