#include "writers/WriterContext.h"

#include "platform/Progress.h"
#include "platform/Strings.h"
#include "platform/TextOutput.h"
#include "platform/Ui.h"

namespace qavn {

namespace {

constexpr OutputKindInfo kinds[] = {
    {OutputKind::Sas, "SAS", "SAS Code|*.sas|", ".SAS", true, writingTemplate},
    {OutputKind::SpssDos, "SPSS DOS", "SPSS DOS|*.sps|", ".SPS", true, writingTemplate},
    {OutputKind::SpssWin, "SPSS WIN", "SPSS WIN|*.sps|", ".SPS", true, writingTemplate},
    {OutputKind::Tag, "Tag", "Tag|*.tag|", ".TAG", false, writingTemplate},
    {OutputKind::CodeText, "Code Text", "Code Text|*.txt|", ".TXT", false, writingTemplate},
    {OutputKind::AccessDb, "Access DB", "Access DB|*.mdb|", "", false, exportTemplate},
};

} // namespace

const OutputKindInfo* outputKindInfo(int kind)
{
    if (kind < 1 || kind > 6)
        return nullptr;
    return &kinds[kind - 1];
}

WriterContext::WriterContext(const VariableList& list_, CodebookStore& store_, const ProjectSpec& project_,
                             const Settings& settings_, Ui& ui_, Progress& progress_, int kind_,
                             int reservedChoice_)
    : list(list_), store(store_), project(project_), settings(settings_), ui(ui_), progressSink(progress_),
      kind(kind_), reservedChoice(reservedChoice_),
      dialogTemplate(kind_ == static_cast<int>(OutputKind::AccessDb) ? exportTemplate : writingTemplate)
{
}

void WriterContext::progress(long step)
{
    if (dialogTemplate == exportTemplate)
        return;
    // Once a write has failed nothing more reaches the file: stop the writer
    // at its next poll; the driver reports the failure.
    if (output && output->failed())
        setCancelled();
    progressSink.advance(step);
    ui.pumpStep();
}

bool WriterContext::cancelled() const
{
    return progressSink.cancel != 0;
}

void WriterContext::setCancelled()
{
    progressSink.cancel = 1;
}

Classification classify(WriterContext& context, std::size_t i, std::uint32_t f, std::uint32_t first)
{
    return classifyTagged(context.tagged, i, f, first, context.store, context.cancelled());
}

std::string outputFileName(std::string_view chosenPath, int kind)
{
    std::string name(trimmed(chosenPath));
    if (name.find('.') != std::string::npos)
        return name;
    if (const OutputKindInfo* info = outputKindInfo(kind))
        name += info->defaultExtension;
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
