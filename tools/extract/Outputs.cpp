// qavn-extract's outputs: each one asked for, in the table's order.

#include "Extract.h"

#include "outputs/OutputFormats.h"
#include "platform/HostPath.h"
#include "writers/WriterContext.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace qavn::extract {

namespace {

LabelChoice labelChoiceOf(const std::string& labels)
{
    if (labels == "categorical")
        return LabelChoice::Categorical;
    if (labels == "none")
        return LabelChoice::NoReservedCodes;
    return LabelChoice::All;
}

ReservedCodes reservedCodesOf(const Options& options)
{
    return options.reserved == "empty" ? ReservedCodes::Empty : ReservedCodes::Keep;
}

int writeOneFile(Context& context, const OutputFormat& format, const OutputJob& job)
{
    const WriterServices services{context.list,
                                  context.session.store,
                                  context.session.project,
                                  context.session.settings,
                                  context.ui,
                                  context.session.projectId,
                                  context.session.metadata ? &*context.session.metadata : nullptr};
    context.progress.cancel = 0;
    const OutputResult result = writeOutput(format, services, job, context.progress);
    // Open and write failures have shown their message; an unreadable record
    // has too. Either way the file is not what was asked for.
    if (result.status == OutputStatus::Written)
        return exitOk;
    if (result.status == OutputStatus::Stopped)
        std::fprintf(stderr, "qavn-extract: %s is incomplete\n", result.fileName.c_str());
    return exitFailure;
}

// Two one-file outputs of one run that name the same file (however it is
// spelled, or through a link) would leave only the later one: refused before
// anything is written. Returns false after saying which.
bool outputNamesDistinct(const Options& options)
{
    struct Named {
        std::string given;
        std::filesystem::path host;
    };
    std::vector<Named> seen;
    for (const Options::Output& output : options.outputs) {
        if (output.format->files == OutputFiles::Several)
            continue;
        const std::string name = output.format->files == OutputFiles::One
                                     ? outputFileName(output.path, output.format->defaultExtension)
                                     : output.path;
        std::error_code ec;
        std::filesystem::path host = std::filesystem::weakly_canonical(chosenHostPath(name), ec);
        if (ec)
            host = std::filesystem::absolute(chosenHostPath(name), ec);
        for (const Named& other : seen) {
            if (other.host == host) {
                std::fprintf(stderr, "qavn-extract: %s and %s name the same file %s: give each output its own\n",
                             other.given.c_str(), name.c_str(), host.c_str());
                return false;
            }
        }
        seen.push_back({name, host});
    }
    return true;
}

} // namespace

int runOutputs(Context& context, const Options& options)
{
    if (!outputNamesDistinct(options))
        return exitUsage;
    // The GUI refuses every output command on an empty selection; so does the
    // tool, also when the data export is the only output asked for.
    if (context.list.tagCount() == 0) {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(noTaggedItemMessage.size()), noTaggedItemMessage.data());
        return exitFailure;
    }

    int status = exitOk;
    for (const OutputFiles files : {OutputFiles::One, OutputFiles::Folder, OutputFiles::Several}) {
        for (const OutputFormat& format : outputFormats()) {
            if (format.files != files)
                continue;
            for (const Options::Output& output : options.outputs) {
                if (output.format != &format)
                    continue;
                const OutputJob job{labelChoiceOf(options.labels), output.path, reservedCodesOf(options),
                                    options.merge, options.names == "long"};
                if (files != OutputFiles::Several) {
                    if (writeOneFile(context, format, job) != exitOk)
                        status = exitFailure;
                } else if (status == exitOk) {
                    status = runAccess(context, format, job);
                }
            }
        }
    }
    return status;
}

} // namespace qavn::extract
