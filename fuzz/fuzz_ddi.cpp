// The import's DDI reader over a fuzzed document and data file (cut at the
// cut mark; the data file is "data.dat" beside the document): whatever the
// document names, no file outside its folder is read; two passes deliver the
// same variables and cases, a value per variable in order, numbers finite; a
// refusal names the document or its data file. Then the whole import: a
// project, or an error and nothing left behind.

#include "FuzzSupport.h"

#include "import/ProjectImport.h"
#include "import/SourceReader.h"

#include <cmath>
#include <filesystem>

using namespace qavn;

namespace {

class Checker final : public SourceVisitor {
public:
    bool variables(const std::vector<SourceVariable>& variables) override
    {
        count = variables.size();
        fuzz::require(count > 0, "a data file of the document has variables");
        return true;
    }

    bool value(std::size_t variable, const SourceValue& value) override
    {
        fuzz::require(variable == next, "values come in variable order");
        ++next;
        if (value.kind == SourceValue::Kind::Number)
            fuzz::require(std::isfinite(value.number), "numbers are finite");
        return true;
    }

    bool endCase() override
    {
        fuzz::require(next == count, "a case holds a value of every variable");
        next = 0;
        ++cases;
        return true;
    }

    std::size_t count = 0;
    std::size_t next = 0;
    std::uint64_t cases = 0;
};

} // namespace

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
        Checker first;
        if (!reader->pass(first, error)) {
            fuzz::require(named(error), "a refused pass names the document or its data file");
            continue;
        }
        Checker second;
        fuzz::require(reader->pass(second, error), "the second pass reads as the first");
        fuzz::require(second.count == first.count && second.cases == first.cases, "both passes are the same");
    }
    if (readers.empty())
        return 0;

    const auto outDir = fuzz::freshDir("ddi-out");
    ImportOptions options;
    options.sources = {xml.string()};
    options.id = "FZ";
    options.out = outDir / "project";
    ImportSummary summary;
    std::string importError;
    if (importProject(options, summary, importError))
        fuzz::require(std::filesystem::is_regular_file(options.out / "FZQAV.CFG"), "the project has its configuration");
    else
        fuzz::require(std::filesystem::is_empty(outDir), "a failed import leaves nothing behind");
    return 0;
}
