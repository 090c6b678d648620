// qavn-extract's outputs of several files (the data export, CSV): run and listed.

#include "Extract.h"

#include "export/AccessExport.h"
#include "outputs/OutputFormats.h"
#include "platform/ConsoleProgress.h"
#include "platform/HostPath.h"

#include <cstdio>
#include <string>

namespace qavn::extract {

namespace {

// The export dialog's two texts joined into one status line for the
// terminal's progress display; the cancel flag is the run's own (a batch run
// is stopped with Ctrl-C).
class ExportStatus : public Progress {
public:
    explicit ExportStatus(Progress& display) : display_(display) {}

    void setText(std::string_view field, std::string_view text) override
    {
        if (field == accessfield::dataFile) {
            file_ = std::string(text);
            calls_ = 0;
            display_.setText({}, file_);
        } else if (field == accessfield::caseCount) {
            // The counter moves once a case; the display redraws a few times
            // a second at most, so hand it the first and every 4096th.
            if ((calls_++ & 4095) == 0)
                display_.setText({}, "Processing the record # " + std::string(text) + " " + file_);
        }
    }

private:
    Progress& display_;
    std::string file_;
    unsigned calls_ = 0;
};

} // namespace

int runAccess(Context& context, const OutputFormat& format, const OutputJob& job)
{
    const WriterServices services{context.list,
                                  context.session.store,
                                  context.session.project,
                                  context.session.settings,
                                  context.ui,
                                  context.session.projectId,
                                  context.session.metadata ? &*context.session.metadata : nullptr};
    ExportStatus status(context.progress);
    const OutputResult result = writeOutput(format, services, job, status);
    // Clear the progress line before the list goes to the same terminal.
    if (auto* console = dynamic_cast<ConsoleProgress*>(&context.progress))
        console->finish();
    if (result.status != OutputStatus::Written) {
        std::fprintf(stderr, "qavn-extract: the data export did not complete\n");
        return exitFailure;
    }
    // The generated-files list starts with the (empty) chosen path of the
    // writing dialog; print the files as this host names them.
    for (const std::string& file : result.generatedHostFiles)
        std::printf("%s\n", file.c_str());
    if (result.generatedFiles.size() <= 1)
        std::fprintf(stderr, "qavn-extract: no data file holds a tagged variable\n");
    return exitOk;
}

} // namespace qavn::extract
