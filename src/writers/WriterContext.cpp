// What one run of a one-file output works with: the catalogue, codebook, project,
// the tagged variables and the output file.

#include "writers/WriterContext.h"

#include "platform/Progress.h"
#include "platform/Strings.h"
#include "platform/TextOutput.h"
#include "platform/Ui.h"
#include "project/ProjectSpec.h"

namespace qavn {

WriterContext::WriterContext(const VariableList& list_, CodebookStore& store_, const ProjectSpec& project_,
                             const Settings& settings_, Ui& ui_, Progress& progress_, LabelChoice labelChoice_)
    : list(list_), store(store_), project(project_), settings(settings_), ui(ui_), progressSink(progress_),
      labelChoice(labelChoice_)
{
}

void WriterContext::progress(long step)
{
    // Once a write has failed nothing more reaches the file: stop the writer
    // at its next poll; the driver reports the failure.
    if (output && output->failed())
        setCancelled();
    progressSink.advance(step);
    // The answer lands in the cancel flag, which the writers look at through
    // cancelled() at their own points.
    pollProgress(ui, progressSink);
}

bool WriterContext::cancelled() const
{
    return progressSink.cancelled();
}

void WriterContext::setCancelled()
{
    progressSink.requestCancel();
}

const std::string& WriterContext::programName(std::uint32_t f, std::uint32_t n, std::string_view codebookName)
{
    if (const auto known = programNames_.find(n); known != programNames_.end())
        return known->second;
    auto [taken, first] = takenNames_.try_emplace(f);
    if (first) {
        const DataFileEntry* file = project.dataFile(f);
        if (file && file->hasIdentifier())
            taken->second.emplace_back("ID");
    }
    std::string name = identifierFor(trimmed(codebookName), NameRules::of(language), taken->second);
    return programNames_.emplace(n, std::move(name)).first->second;
}

Classification classify(WriterContext& context, std::size_t i, std::uint32_t f, std::uint32_t first)
{
    return classifyTagged(context.tagged, i, f, first, context.store, context.cancelled());
}

std::string outputFileName(std::string_view chosenPath, std::string_view defaultExtension)
{
    std::string name(trimmed(chosenPath));
    if (name.find('.') == std::string::npos)
        name += defaultExtension;
    return name;
}

std::vector<std::string> generatedFilesLines(const std::vector<std::string>& files)
{
    const std::string rule(88, '-');
    std::vector<std::string> lines{rule, "Following output files have been generated", rule};
    lines.insert(lines.end(), files.begin(), files.end());
    return lines;
}

} // namespace qavn
