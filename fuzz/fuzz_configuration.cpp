// The configuration reader over a fuzzed configuration file, then the Setup
// dialog's rewrite in change mode, which must read back as it was written.

#include "FuzzSupport.h"

#include "project/Configuration.h"
#include "project/Settings.h"
#include "platform/ScriptedUi.h"

#include <filesystem>

using namespace qavn;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto dir = fuzz::freshDir("cfg");
    const std::string path = (dir / "FZQAV.CFG").string();
    fuzz::writeBytes(path, std::string_view(reinterpret_cast<const char*>(data), size));

    Settings settings;
    fuzz::require(readConfigurationFile(path, settings).ok(), "an existing file opens");

    ScriptedUi ui;
    fuzz::require(writeConfiguration(path, settings, SetupMode::Change, ui), "the rewrite succeeds");
    Settings again;
    fuzz::require(readConfigurationFile(path, again).ok(), "the rewritten file opens");
    fuzz::require(again.resourceDir == settings.resourceDir, "resource directory kept");
    fuzz::require(again.outputDir == settings.outputDir, "output directory kept");
    fuzz::require(again.cdromDrive == settings.cdromDrive, "drive letter kept");

    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir))
        ++entries;
    fuzz::require(entries == 1, "no temporary file left beside the configuration");
    return 0;
}
