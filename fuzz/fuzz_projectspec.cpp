// The project specification reader over a fuzzed QAVSPEC file.

#include "FuzzSupport.h"

#include "project/ProjectSpec.h"
#include "platform/ScriptedUi.h"

using namespace qavn;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto dir = fuzz::freshDir("res");
    fuzz::writeBytes(dir / "QAVSPEC.FZ", std::string_view(reinterpret_cast<const char*>(data), size));

    const auto read = readProjectSpecFile(dir.string(), "FZ");
    if (!read) {
        const ReadError& error = read.error();
        fuzz::require(error.kind != ReadError::Kind::CannotOpen, "an existing file opens");
        fuzz::require(error.line >= 1, "a failure names its line");
        fuzz::require(!error.reason.empty() && !describe(error).empty(), "a failure says why");
    }

    ScriptedUi ui;
    ProjectSpec spec;
    spec.filePrefix = "FZ";
    const bool shown = readProjectSpec(dir.string(), spec, ui);
    fuzz::require(shown == read.ok(), "the messages follow the reader");
    fuzz::require(ui.messages().size() == (shown ? 0u : 1u), "one message for a failure");
    if (shown) {
        for (const auto& f : spec.dataFiles) {
            fuzz::require(f.idLocation.size() <= ProjectSpec::maxIdLocation, "identifier location kept short");
            fuzz::require(f.dataPath.size() <= ProjectSpec::maxDataPath, "data path kept short");
            fuzz::require(f.fileTitle == fileTitleOf(f.dataPath), "file title from the data path");
        }
        for (std::uint32_t k = 0; k <= spec.dataFiles.size() + 1; ++k)
            (void)spec.dataFile(k);
    }
    return 0;
}
