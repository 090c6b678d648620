// The import's CSV reader over a fuzzed file: two passes must deliver the
// same variables and cases, every case a value per variable in order, numbers
// finite; a refusal names the file. Then the whole import of it: a project
// with its configuration file, or an error naming the file and nothing left
// behind.

#include "SourceChecks.h"

#include <filesystem>

using namespace qavn;

namespace {

class CsvChecker final : public fuzz::SourceChecker {
    void checkVariables(const std::vector<SourceVariable>& variables) override
    {
        for (const SourceVariable& v : variables)
            fuzz::require(!v.name.empty(), "every variable has a name");
    }

    void checkValue(const SourceValue& value) override
    {
        fuzz::require(value.kind != SourceValue::Kind::TaggedMissing, "CSV has no tagged missing values");
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto dir = fuzz::freshDir("csv");
    const std::filesystem::path path = dir / "in.csv";
    fuzz::writeBytes(path, std::string_view(reinterpret_cast<const char*>(data), size));

    std::string error;
    auto readers = openSources(path.string(), error);
    fuzz::require(readers.size() == 1, "a .csv file opens as one source");
    const bool read = fuzz::checkTwoPasses<CsvChecker>(*readers[0], error);
    fuzz::require(read || error.starts_with(path.string() + ": "), "a refusal names the file");
    fuzz::checkImport(path, "csv-out", path.string());
    return 0;
}
