// The import's SPSS portable file reader over a fuzzed file: two passes
// deliver the same variables and cases, every case a value per variable in
// order, numbers finite; a refusal names the file and its line. Then the
// whole import: a project, or an error and nothing left behind.

#include "SourceChecks.h"

#include <filesystem>

using namespace qavn;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto dir = fuzz::freshDir("por");
    const std::filesystem::path path = dir / "in.por";
    fuzz::writeBytes(path, std::string_view(reinterpret_cast<const char*>(data), size));

    std::string error;
    auto readers = openSources(path.string(), error);
    fuzz::require(readers.size() == 1, "a .por file opens as one source");
    const bool read = fuzz::checkTwoPasses<fuzz::SourceChecker>(*readers[0], error);
    fuzz::require(read || error.starts_with(path.string() + ": line "), "a refusal names the file and the line");
    fuzz::checkImport(path, "por-out");
    return 0;
}
