#include "Extract.h"

#include "writers/WriterContext.h"
#include "writers/WriterDriver.h"

#include <cstdio>
#include <optional>
#include <string>

namespace qavn::extract {

namespace {

int reservedChoiceOf(const std::string& labels)
{
    if (labels == "categorical")
        return choice::categorical;
    if (labels == "none")
        return choice::noReserved;
    return choice::all;
}

} // namespace

int runOutputs(Context& context, const Options& options)
{
    // The GUI refuses every output command on an empty selection; so does the
    // tool, also when the data export is the only output asked for.
    if (context.list.tagCount() == 0) {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(noTaggedItemMessage.size()), noTaggedItemMessage.data());
        return exitFailure;
    }

    struct Wanted {
        const std::optional<std::string>& path;
        OutputKind kind;
    };
    const Wanted wanted[] = {
        {options.sas, OutputKind::Sas},           {options.spss, OutputKind::SpssWin},
        {options.spssDos, OutputKind::SpssDos},   {options.codebook, OutputKind::CodeText},
        {options.tagFile, OutputKind::Tag},
    };

    const WriterServices services{context.list, context.session.store, context.session.project,
                                  context.session.settings, context.ui};
    const int labelChoice = reservedChoiceOf(options.labels);
    int status = exitOk;
    for (const Wanted& w : wanted) {
        if (!w.path)
            continue;
        const int kind = static_cast<int>(w.kind);
        WriterRequest request;
        request.kind = kind;
        request.reservedChoice = outputKindInfo(kind)->asksReservedCodes ? labelChoice : choice::none;
        request.chosenPath = *w.path;
        context.progress.cancel = 0;
        const OutputResult result = runWriterDriver(services, request, context.progress);
        // Open and write failures have shown their message; an unreadable
        // record has too. Either way the file is not what was asked for.
        if (result.status != OutputStatus::Written) {
            if (result.status == OutputStatus::Stopped)
                std::fprintf(stderr, "qavn-extract: %s is incomplete\n", result.fileName.c_str());
            status = exitFailure;
        }
    }
    return status;
}

} // namespace qavn::extract
