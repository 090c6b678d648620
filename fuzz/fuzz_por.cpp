// The import's SPSS portable file reader over a fuzzed file: two passes
// deliver the same variables and cases, every case a value per variable in
// order, numbers finite; a refusal names the file and its line. Then the
// whole import: a project, or an error and nothing left behind.

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
        fuzz::require(count > 0, "a portable file yields at least one variable");
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
    const auto dir = fuzz::freshDir("por");
    const std::filesystem::path path = dir / "in.por";
    fuzz::writeBytes(path, std::string_view(reinterpret_cast<const char*>(data), size));

    std::string error;
    auto readers = openSources(path.string(), error);
    fuzz::require(readers.size() == 1, "a .por file opens as one source");
    Checker first;
    const bool read = readers[0]->pass(first, error);
    fuzz::require(read || error.starts_with(path.string() + ": line "), "a refusal names the file and the line");
    if (read) {
        Checker second;
        fuzz::require(readers[0]->pass(second, error), "the second pass reads as the first");
        fuzz::require(second.count == first.count && second.cases == first.cases, "both passes are the same");
    }

    const auto outDir = fuzz::freshDir("por-out");
    ImportOptions options;
    options.sources = {path.string()};
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
