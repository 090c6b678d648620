// The import's DDI reader over a fuzzed document and data file (cut at the
// cut mark; the data file is "data.dat" beside the document): whatever the
// document names, no file outside its folder is read; two passes deliver the
// same variables and cases, a value per variable in order, numbers finite; a
// refusal names the document or its data file. Then the whole import: a
// project, or an error and nothing left behind.

#include "SourceChecks.h"

#include <filesystem>

using namespace qavn;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::string> parts = fuzz::splitInput(data, size, 2);
    const auto dir = fuzz::freshDir("ddi");
    const std::filesystem::path xml = dir / "in.xml";
    fuzz::writeBytes(xml, parts[0]);
    fuzz::writeBytes(dir / "data.dat", parts[1]);
    auto named = [&](const std::string& error) {
        return error.starts_with(xml.string() + ": ") || error.starts_with((dir / "data.dat").string() + ": ");
    };

    std::string error;
    auto readers = openSources(xml.string(), error);
    fuzz::require(!readers.empty() || named(error), "a refused document names itself or its data file");
    for (auto& reader : readers) {
        for (const std::filesystem::path& file : reader->files())
            fuzz::require(file.parent_path() == dir, "only files beside the document are read");
        if (!fuzz::checkTwoPasses<fuzz::SourceChecker>(*reader, error))
            fuzz::require(named(error), "a refused pass names the document or its data file");
    }
    if (!readers.empty())
        fuzz::checkImport(xml, "ddi-out");
    return 0;
}
