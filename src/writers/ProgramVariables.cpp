// The variables of a data file collected for the Stata, R and PSPP programs.

#include "writers/PortablePrograms.h"

#include "catalogue/VariableList.h"
#include "codebook/CategoryCode.h"
#include "codebook/CodebookStore.h"
#include "platform/HostPath.h"
#include "platform/Strings.h"
#include "project/ProjectMetadata.h"
#include "project/ProjectPaths.h"
#include "project/ProjectSpec.h"
#include "project/Settings.h"
#include "writers/WriterContext.h"

#include <charconv>

namespace qavn {

namespace {

std::filesystem::path absoluteHost(std::string_view dosPath)
{
    const std::filesystem::path host = toHostPath(dosPath);
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(host, ec);
    return ec ? host : absolute.lexically_normal();
}

std::int64_t columnNumber(std::string_view text)
{
    text = trimmed(text);
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() ? value : 0;
}

} // namespace

std::pair<std::int64_t, std::int64_t> locationColumns(std::string_view location)
{
    location = trimmed(location);
    const std::size_t minus = location.find('-');
    const std::int64_t first = columnNumber(location.substr(0, minus));
    const std::int64_t last = minus == std::string_view::npos ? first : columnNumber(location.substr(minus + 1));
    if (first < 1 || last < first)
        return {0, 0};
    return {first, last};
}

bool isWholeNumber(std::string_view code)
{
    if (!code.empty() && code.front() == '-')
        code.remove_prefix(1);
    if (code.empty())
        return false;
    for (const char c : code)
        if (c < '0' || c > '9')
            return false;
    return true;
}

std::string scaledCode(std::string_view code, int decimals)
{
    if (decimals <= 0 || !isWholeNumber(code))
        return std::string(code);
    std::string sign;
    if (code.front() == '-') {
        sign = "-";
        code.remove_prefix(1);
    }
    std::string digits(code);
    const auto d = static_cast<std::size_t>(decimals);
    if (digits.size() <= d)
        digits.insert(0, d + 1 - digits.size(), '0');
    digits.insert(digits.size() - d, 1, '.');
    return sign + digits;
}

std::filesystem::path outputHostDir(const WriterContext& context)
{
    return absoluteHost(context.settings.outputDir);
}

std::optional<ProgramFile> collectProgramFile(WriterContext& context, std::uint32_t f)
{
    ProgramFile result;
    const DataFileEntry* file = context.project.dataFile(f);
    if (!file)
        return result;
    result.number = f;
    result.file = file;
    result.dataPath = absoluteHost(rawDataName(context.settings, *file));
    result.outputName = dataFileOutputNames(context.project)[f - 1];
    if (file->hasIdentifier()) {
        const auto [first, last] = locationColumns(file->idLocation);
        result.idFirst = first;
        result.idLast = last;
    }
    const bool walked = forEachMember(context, f, file->firstRow, [&](const VariableRecord& record, std::uint32_t n) {
        ProgramVariable v;
        v.number = n;
        v.name = std::string(trimmed(record.variableName()));
        if (context.metadata) {
            v.metadata = context.metadata->variable(v.name);
            v.declared = DeclaredMissing::of(v.metadata);
            if (v.metadata && context.longNames)
                v.longName = v.metadata->longName;
        }
        v.label = std::string(trimmed(context.list.rowLabel(n)));
        v.typeCode = record.typeCode;
        v.line = record.recordNumber;
        const auto [first, last] = locationColumns(record.locationText());
        v.first = first;
        v.last = last;
        if (record.categoryLineCount > 0) {
            context.store.readLines(record.categoryRef, record.categoryLineCount, LineVariant::CategoryFields,
                                    [&](std::string_view line) {
                                        const CategoryFields fields = splitCategoryLine(line);
                                        ProgramVariable::Category c;
                                        c.code = std::string(trimmed(fields.code));
                                        c.label = std::string(trimmed(fields.label));
                                        c.reserved = isReservedCategory(c.code, c.label);
                                        if (c.reserved)
                                            v.reservedCodes.push_back(c.code);
                                        v.categories.push_back(std::move(c));
                                        return true;
                                    });
        }
        result.variables.push_back(std::move(v));
    });
    if (!walked)
        return std::nullopt;
    return result;
}

bool writeEachProgramFile(WriterContext& context, FunctionRef<std::optional<bool>(const ProgramFile&)> step)
{
    for (std::uint32_t f = 1; f <= context.project.dataFiles.size(); ++f) {
        context.progress(3);
        const std::optional<ProgramFile> file = collectProgramFile(context, f);
        const std::optional<bool> written =
            !file ? std::nullopt : file->variables.empty() ? std::optional<bool>(false) : step(*file);
        if (!written || context.cancelled()) {
            context.setCancelled();
            return false;
        }
        if (*written)
            context.writtenFiles.push_back(f);
        context.progress(2);
    }
    return true;
}

int caseLines(const ProgramFile& file)
{
    return std::max<std::int32_t>(1, file.file->linesPerCase);
}

bool liesInCase(const ProgramFile& file, const ProgramVariable& v)
{
    return v.hasColumns() && static_cast<std::int64_t>(v.line) <= caseLines(file);
}

std::vector<std::string> programNames(const ProgramFile& file, ProgramLanguage language)
{
    const NameRules& rules = NameRules::of(language);
    std::vector<std::string> taken;
    if (file.idFirst > 0)
        taken.push_back("ID");
    std::vector<std::string> names;
    names.reserve(file.variables.size());
    for (const ProgramVariable& v : file.variables)
        names.push_back(identifierFor(v.longName.empty() ? v.name : v.longName, rules, taken));
    return names;
}

} // namespace qavn
