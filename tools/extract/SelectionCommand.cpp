// qavn-extract's selections: --tags with --and, --or, --not and --minus over
// tag files and saved selections, and --save-selection.

#include "Extract.h"

#include "search/TagImport.h"
#include "selections/SelectionFile.h"

#include <cstdio>

namespace qavn::extract {

namespace {

void printReadError(const ReadError& error)
{
    std::fprintf(stderr, "qavn-extract: %s\n", describe(error).c_str());
}

// The program's messages for a tag file import, then every line that could
// not be read with its file and line. Returns whether the import succeeded.
bool reportTagImport(const ReadResult<TagImportReport>& result, bool twoFiles, ConsoleUi& ui)
{
    const bool ok = showTagImport(result, twoFiles, ui);
    if (!result)
        return ok;
    const TagImportReport& report = result.value();
    for (const ReadError& line : report.unreadableLines)
        printReadError(line);
    if (report.unreadableCount > report.unreadableLines.size())
        std::fprintf(stderr, "qavn-extract: %llu more tag file lines could not be read\n",
                     static_cast<unsigned long long>(report.unreadableCount - report.unreadableLines.size()));
    return ok;
}

bool isSelection(const std::string& operand)
{
    return operand.size() > 1 && operand[0] == '@';
}

// The set an operand names: a saved selection (@NAME) or a tag file.
// Returns exitOk or the exit status of its failure, reported.
int readOperand(Context& context, const std::string& operand, TagSet& set)
{
    if (isSelection(operand)) {
        auto loaded = loadSelection(context.session.projectId, operand.substr(1), CodebookFingerprint::of(context.list));
        if (!loaded) {
            printReadError(loaded.error());
            return exitFailure;
        }
        set = std::move(loaded).value();
        return exitOk;
    }
    set = TagSet(context.list.rowCount());
    return reportTagImport(addTagFile(operand, set), false, context.ui) ? exitOk : exitFailure;
}

} // namespace

int tagFromTerms(Context& context, const Options& options)
{
    for (std::size_t term = 0; term < options.tagFiles.size(); ++term) {
        const std::string& first = options.tagFiles[term];
        std::vector<const Options::TagStep*> steps;
        for (const Options::TagStep& step : options.tagSteps)
            if (step.term == term)
                steps.push_back(&step);
        if (steps.empty() && !isSelection(first)) {
            if (!reportTagImport(importTagFile(first, context.list), false, context.ui))
                return exitFailure;
            continue;
        }
        if (steps.size() == 1 && !isSelection(first) && !isSelection(steps[0]->operand) &&
            (steps[0]->operation == SetOperation::And || steps[0]->operation == SetOperation::Or)) {
            // As Import Tag Files: a merge that produces nothing says so and
            // the run goes on.
            reportTagImport(importTagFiles(first, steps[0]->operand,
                                           steps[0]->operation == SetOperation::And ? TagCombine::And
                                                                                    : TagCombine::Or,
                                           context.list),
                            true, context.ui);
            continue;
        }
        TagSet result;
        if (const int status = readOperand(context, first, result); status != exitOk)
            return status;
        for (const Options::TagStep* step : steps) {
            TagSet operand;
            if (const int status = readOperand(context, step->operand, operand); status != exitOk)
                return status;
            combine(result, operand, step->operation);
        }
        if (result.empty())
            context.ui.error("No Tagged Item !");
        combine(result, TagSet::of(context.list), SetOperation::Or);
        result.applyTo(context.list);
    }
    return exitOk;
}

int saveNamedSelection(Context& context, const std::string& name)
{
    const std::string error = saveSelection(context.session.projectId, name, CodebookFingerprint::of(context.list),
                                            TagSet::of(context.list));
    if (!error.empty()) {
        std::fprintf(stderr, "qavn-extract: selection %s not saved: %s\n", name.c_str(), error.c_str());
        return exitFailure;
    }
    std::fprintf(stderr, "qavn-extract: selection %s saved: %u variables\n", name.c_str(),
                 static_cast<unsigned>(context.list.tagCount()));
    return exitOk;
}

} // namespace qavn::extract
