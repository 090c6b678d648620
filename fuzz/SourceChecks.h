// What the import's reader fuzz targets ask of every source: values in
// variable order and a value of every variable in each case, numbers finite;
// a second pass that reads as the first; and a whole import that gives a
// project with its configuration or leaves nothing behind.

#pragma once

#include "FuzzSupport.h"

#include "import/ProjectImport.h"
#include "import/SourceReader.h"

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace qavn::fuzz {

class SourceChecker : public SourceVisitor {
public:
    bool variables(const std::vector<SourceVariable>& variables) override
    {
        count = variables.size();
        require(count > 0, "a source yields at least one variable");
        checkVariables(variables);
        return true;
    }

    bool value(std::size_t variable, const SourceValue& value) override
    {
        require(variable == next, "values come in variable order");
        ++next;
        if (value.kind == SourceValue::Kind::Number)
            require(std::isfinite(value.number), "numbers are finite");
        checkValue(value);
        return true;
    }

    bool endCase() override
    {
        require(next == count, "a case holds a value of every variable");
        next = 0;
        ++cases;
        return true;
    }

    std::size_t count = 0;
    std::size_t next = 0;
    std::uint64_t cases = 0;

protected:
    // What one kind of source promises beyond the rest.
    virtual void checkVariables(const std::vector<SourceVariable>&) {}
    virtual void checkValue(const SourceValue&) {}
};

// Reads `reader` twice with checkers of type C. False with `error` set when
// the first pass refuses the source.
template <class C>
bool checkTwoPasses(SourceReader& reader, std::string& error)
{
    C first;
    if (!reader.pass(first, error))
        return false;
    C second;
    require(reader.pass(second, error), "the second pass reads as the first");
    require(second.count == first.count && second.cases == first.cases, "both passes are the same");
    return true;
}

// The whole import of `source` into a fresh folder named `name`. A failed
// import leaves nothing behind and, when `prefix` is given, names that.
inline void checkImport(const std::filesystem::path& source, const std::string& name, const std::string& prefix = {})
{
    const auto outDir = freshDir(name);
    ImportOptions options;
    options.sources = {source.string()};
    options.id = "FZ";
    options.out = outDir / "project";
    ImportSummary summary;
    std::string importError;
    if (importProject(options, summary, importError)) {
        require(std::filesystem::is_regular_file(options.out / "FZQAV.CFG"), "the project has its configuration");
        return;
    }
    if (!prefix.empty())
        require(importError.starts_with(prefix), "a failed import names the file");
    require(std::filesystem::is_empty(outDir), "a failed import leaves nothing behind");
}

} // namespace qavn::fuzz
