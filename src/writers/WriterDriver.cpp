// The writer driver of the one-file outputs: naming, the file, progress, Cancel
// and write failures.

#include "writers/WriterDriver.h"

#include "project/ProjectPaths.h"
#include "project/ProjectSpec.h"
#include "project/Settings.h"
#include "platform/HostPath.h"
#include "platform/Progress.h"
#include "platform/Strings.h"
#include "platform/TextOutput.h"
#include "platform/Ui.h"
#include "catalogue/VariableList.h"
#include "writers/WriterContext.h"

#include <filesystem>
#include <optional>

namespace qavn {

namespace {

// The tagged rows in ascending order, with the bar moving on all but every
// tenth one.
void collectTagged(WriterContext& context)
{
    context.tagged.reserve(context.list.tagCount());
    context.progress(1);
    context.list.forEachTagged([&](std::uint32_t row) {
        context.tagged.push_back(row);
        if (context.tagged.size() % 10 != 0)
            context.progress(1);
        return true;
    });
    context.progress(1);
}

} // namespace

bool checkTaggedItems(const VariableList& list, Ui& ui)
{
    if (list.tagCount() > 0)
        return true;
    ui.error(noTaggedItemMessage);
    return false;
}

bool confirmReplacement(std::string_view chosenPath, std::string_view defaultExtension, Ui& ui)
{
    const std::string name = outputFileName(chosenPath, defaultExtension);
    std::error_code ec;
    if (name == trimmed(chosenPath) || !std::filesystem::exists(chosenHostPath(name), ec))
        return true;
    return ui.askYesNoDefaultNo(name + " already exists.\nDo you want to replace it?", Ui::Icon::Question);
}

namespace {

// A name with its control characters shown as "?", for a message.
std::string printable(std::string text)
{
    for (char& c : text)
        if (hasControlCharacter(std::string_view(&c, 1)))
            c = '?';
    return text;
}

// The host file a chosen name is written to, or nothing after the refusal
// has been shown.
std::optional<std::filesystem::path> outputHostPath(const WriterServices& services, std::string_view chosenPath,
                                                    const std::string& name)
{
    const std::string_view chosen = trimmed(chosenPath);
    if (!chosen.empty() && (chosen.back() == '/' || chosen.back() == '\\')) {
        services.ui.error("Cannot Open " + name + "\n" + std::string(chosen) +
                          " names a folder; give the output a file name.");
        return std::nullopt;
    }
    if (hasControlCharacter(name)) {
        services.ui.error("Cannot Open " + printable(name) + "\nThe name holds a control character.");
        return std::nullopt;
    }
    std::filesystem::path host = chosenHostPath(name);
    std::error_code ec;
    if (std::filesystem::is_symlink(host, ec)) {
        const std::filesystem::path target = std::filesystem::canonical(host, ec);
        if (!ec)
            host = target;
    }
    const std::vector<ProtectedFile> inputs =
        projectInputs(services.project, services.settings, services.projectId);
    if (const ProtectedFile* input = protectedFileAt(host, inputs)) {
        services.ui.error(name + " is the project file " + input->name +
                          ".\nAn output never replaces a file the project reads; choose another name.");
        return std::nullopt;
    }
    return host;
}

} // namespace

OutputResult runWriterDriver(const WriterServices& services, const WriterRequest& request, Progress& progress,
                             FileTextOutput* output)
{
    OutputResult result;
    if (!request.write)
        return result;
    WriterContext context(services.list, services.store, services.project, services.settings, services.ui,
                          progress, request.labelChoice);
    context.merge = request.merge;
    context.metadata = services.metadata;
    context.longNames = request.longNames;
    progress.setRange(writingProgressRange);

    FileTextOutput ownFile;
    FileTextOutput& file = output ? *output : ownFile;
    result.fileName = outputFileName(request.chosenPath, request.defaultExtension);
    const std::optional<std::filesystem::path> host = outputHostPath(services, request.chosenPath, result.fileName);
    if (!host) {
        context.setCancelled();
        return result;
    }
    if (!file.openHost(*host)) {
        services.ui.error("Cannot Open " + result.fileName, fileDetail(*host, file.openError()));
        context.setCancelled();
        return result;
    }
    context.output = &file;

    collectTagged(context);
    const bool complete = request.write(context);
    context.progress(writingProgressRange);

    // A failed write leaves an incomplete file: it never takes the name. A
    // writer that dropped its file itself (an output that is useless in
    // part) leaves the name as it was, and lists no file.
    const bool kept = !file.temporaryPath().empty();
    if (!file.flush())
        file.discard();
    if (!file.close()) {
        services.ui.error("Cannot Write " + result.fileName + " !\n" + file.errorText());
        context.setCancelled();
        result.status = OutputStatus::Failed;
        return result;
    }
    result.status = complete ? OutputStatus::Written : OutputStatus::Stopped;
    if (kept)
        result.generatedHostFiles.push_back(file.path().string());
    return result;
}

} // namespace qavn
