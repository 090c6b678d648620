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

} // namespace

std::unique_ptr<SourceReader> openSource(std::string_view argument, std::string& error)
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
    // FILE.xml:DATA names the data file a DDI codebook describes.
    if (colon != std::string::npos && catalogue.empty() && lowerExtension(fs::path(text.substr(0, colon))) == ".xml")
        return openDdiSource(text.substr(0, colon), text.substr(colon + 1));
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
    if (ext == ".xml")
        return openDdiSource(path, {});
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

} // namespace qavn
