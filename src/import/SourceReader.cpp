// The table of the kinds of data set the import reads, and opening a source
// named on the command line through it.
#include "import/SourceReader.h"

#include "import/CsvSource.h"
#include "import/DdiSource.h"
#include "import/PorSource.h"
#include "import/ReadStatSource.h"

#include <algorithm>
#include <cctype>

namespace qavn {

namespace fs = std::filesystem;

namespace {

std::string lowerExtension(const fs::path& path)
{
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

SourceReaders one(std::unique_ptr<SourceReader> reader)
{
    SourceReaders readers;
    if (reader)
        readers.push_back(std::move(reader));
    return readers;
}

template <ReadStatKind kind>
SourceReaders openReadStat(const fs::path& file, const fs::path&, const OpenProgress&, std::string&)
{
    return one(openReadStatSource(kind, file, {}));
}

SourceReaders openSas(const fs::path& file, const fs::path& companion, const OpenProgress&, std::string&)
{
    fs::path catalogue = companion;
    if (catalogue.empty()) {
        // A catalogue beside the data set: same name, or formats.sas7bcat.
        std::error_code ec;
        for (const fs::path& candidate :
             {fs::path(file).replace_extension(".sas7bcat"), file.parent_path() / "formats.sas7bcat"})
            if (fs::is_regular_file(candidate, ec)) {
                catalogue = candidate;
                break;
            }
    }
    return one(openReadStatSource(ReadStatKind::Sas7bdat, file, catalogue));
}

SourceReaders openPor(const fs::path& file, const fs::path&, const OpenProgress&, std::string&)
{
    return one(openPorSource(file));
}

SourceReaders openCsv(const fs::path& file, const fs::path&, const OpenProgress&, std::string&)
{
    return one(openCsvSource(file));
}

SourceReaders openDdi(const fs::path& file, const fs::path& companion, const OpenProgress& progress,
                      std::string& error)
{
    return openDdiSources(file, companion, progress, error);
}

} // namespace

const std::vector<ImportKind>& importKinds()
{
    static const std::vector<ImportKind> kinds = {
        {"sav", "SPSS system file", {".sav", ".zsav"}, "SPSS .sav or .zsav", "", "application/x-spss-sav", "", "",
         &openReadStat<ReadStatKind::Sav>},
        {"por", "SPSS portable file", {".por"}, "SPSS portable .por", "", "application/x-spss-por",
         "SPSS portable data file", "", &openPor},
        {"dta", "Stata data file", {".dta"}, "Stata .dta (labels and .a-.z missing values)", "",
         "application/x-stata-dta", "Stata data file", "", &openReadStat<ReadStatKind::Dta>},
        {"sas7bdat", "SAS data set", {".sas7bdat"},
         "SAS .sas7bdat (FILE.sas7bdat:FILE.sas7bcat names its catalogue of value labels; one beside it is found)",
         "catalogue of value labels (.sas7bcat)", "application/x-sas-data", "SAS data set", "", &openSas},
        {"xpt", "SAS transport file", {".xpt"}, "SAS transport .xpt", "", "application/x-sas-xport",
         "SAS transport file", "", &openReadStat<ReadStatKind::Xport>},
        {"csv", "CSV file", {".csv"}, "CSV with a header line of names (UTF-8, or Windows-1252 when not UTF-8)", "",
         "text/csv", "", "", &openCsv},
        {"ddi", "DDI Codebook 2.5", {".xml"},
         "DDI Codebook 2.5 .xml (one data file per fileDscr, found beside it; FILE.xml:DATA names the only one)",
         "data file", "application/x-ddi-codebook", "DDI codebook", "ddi:codebook:2_5 codeBook", &openDdi},
    };
    return kinds;
}

const ImportKind* importKindOf(const fs::path& path)
{
    const std::string ext = lowerExtension(path);
    for (const ImportKind& kind : importKinds())
        for (std::string_view known : kind.extensions)
            if (ext == known)
                return &kind;
    return nullptr;
}

std::string importKindList()
{
    std::string list;
    for (const ImportKind& kind : importKinds())
        for (std::string_view ext : kind.extensions)
            list += (list.empty() ? "" : ", ") + std::string(ext);
    return list;
}

namespace {

// FILE.EXT:OTHER for a kind that takes a companion, else the whole argument.
const ImportKind* split(std::string_view argument, fs::path& file, fs::path& companion)
{
    const std::string text(argument);
    const std::size_t colon = text.rfind(':');
    if (colon != std::string::npos) {
        const fs::path before = text.substr(0, colon);
        const ImportKind* kind = importKindOf(before);
        if (kind != nullptr && !kind->companion.empty()) {
            file = before;
            companion = text.substr(colon + 1);
            return kind;
        }
    }
    file = text;
    companion.clear();
    return importKindOf(file);
}

} // namespace

const ImportKind* importKindOfArgument(std::string_view argument)
{
    fs::path file;
    fs::path companion;
    return split(argument, file, companion);
}

fs::path sourceFileOfArgument(std::string_view argument)
{
    fs::path file;
    fs::path companion;
    split(argument, file, companion);
    return file;
}

SourceReaders openSources(std::string_view argument, std::string& error, const OpenProgress& progress)
{
    fs::path file;
    fs::path companion;
    const ImportKind* kind = split(argument, file, companion);
    if (kind == nullptr) {
        error = std::string(argument) + ": not a kind of data set this tool reads (" + importKindList() + ")";
        return {};
    }
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) {
        error = file.string() + ": no such file";
        return {};
    }
    return kind->open(file, companion, progress, error);
}

} // namespace qavn
