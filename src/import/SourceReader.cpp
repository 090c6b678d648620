#include "import/SourceReader.h"

#include "import/CsvSource.h"
#include "import/DdiSource.h"
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

std::unique_ptr<SourceReader> openOne(std::string_view argument, std::string& error)
{
    fs::path path{std::string(argument)};
    fs::path catalogue;
    // FILE.sas7bdat:FILE.sas7bcat names the catalogue of value labels.
    const std::string text(argument);
    const std::size_t colon = text.rfind(':');
    if (colon != std::string::npos && lowerExtension(fs::path(text.substr(colon + 1))) == ".sas7bcat") {
        path = text.substr(0, colon);
        catalogue = text.substr(colon + 1);
    }
    const std::string ext = lowerExtension(path);
    if (!catalogue.empty() && ext != ".sas7bdat") {
        error = text + ": a catalogue of value labels goes only with a SAS data set (.sas7bdat)";
        return nullptr;
    }
    if (ext == ".sav" || ext == ".zsav")
        return openReadStatSource(ReadStatKind::Sav, path, {});
    if (ext == ".por")
        return openReadStatSource(ReadStatKind::Por, path, {});
    if (ext == ".dta")
        return openReadStatSource(ReadStatKind::Dta, path, {});
    if (ext == ".xpt")
        return openReadStatSource(ReadStatKind::Xport, path, {});
    if (ext == ".csv")
        return openCsvSource(path);
    if (ext == ".sas7bdat") {
        if (catalogue.empty()) {
            // A catalogue beside the data set: same name, or formats.sas7bcat.
            std::error_code ec;
            for (const fs::path& candidate :
                 {fs::path(path).replace_extension(".sas7bcat"), path.parent_path() / "formats.sas7bcat"})
                if (fs::is_regular_file(candidate, ec)) {
                    catalogue = candidate;
                    break;
                }
        }
        return openReadStatSource(ReadStatKind::Sas7bdat, path, catalogue);
    }
    error = text + ": not a kind of data set this tool reads (.sav, .zsav, .por, .dta, .sas7bdat, .xpt, .csv, DDI .xml)";
    return nullptr;
}

} // namespace

std::vector<std::unique_ptr<SourceReader>> openSources(std::string_view argument, std::string& error)
{
    const std::string text(argument);
    // FILE.xml:DATA names the data file a DDI codebook describes.
    const std::size_t colon = text.rfind(':');
    const bool withData = colon != std::string::npos && lowerExtension(fs::path(text.substr(0, colon))) == ".xml";
    std::vector<std::unique_ptr<SourceReader>> readers;
    if (withData || lowerExtension(fs::path(text)) == ".xml") {
        const fs::path xml = withData ? text.substr(0, colon) : text;
        std::error_code ec;
        if (!fs::is_regular_file(xml, ec)) {
            error = xml.string() + ": no such file";
            return readers;
        }
        return openDdiSources(xml, withData ? fs::path(text.substr(colon + 1)) : fs::path(), error);
    }
    if (auto reader = openOne(argument, error))
        readers.push_back(std::move(reader));
    return readers;
}

bool isSourceFile(const fs::path& path)
{
    const std::string ext = lowerExtension(path);
    for (const char* known : {".sav", ".zsav", ".por", ".dta", ".sas7bdat", ".xpt", ".csv", ".xml"})
        if (ext == known)
            return true;
    return false;
}

} // namespace qavn
