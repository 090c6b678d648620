// qavn_desktop_files: writes the desktop entry and the MIME package from the
// import kinds table at build time, so that the kinds the desktop offers
// QAVN for are the kinds qavn-import reads.
//
//   qavn_desktop_files DESKTOP_TEMPLATE DESKTOP_OUT MIME_OUT
//
// The template's @MIME_TYPES@ becomes the project's type and every kind's.

#include "import/SourceReader.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

using namespace qavn;

namespace {

constexpr const char* projectType = "application/x-qavn-project";

bool write(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::fprintf(stderr, "qavn_desktop_files: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

std::string mimePackage()
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<!-- Written from the import kinds table (src/import/SourceReader.cpp). -->\n"
                      "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                      "  <mime-type type=\"" +
                      std::string(projectType) +
                      "\">\n"
                      "    <comment>QAVN project configuration</comment>\n"
                      "    <glob pattern=\"*QAV.CFG\"/>\n"
                      "  </mime-type>\n"
                      "  <!-- Data sets QAVN imports, of the kinds the shared MIME database knows\n"
                      "       without a file name pattern or not at all. -->\n";
    for (const ImportKind& kind : importKinds()) {
        if (kind.mimeType.empty() || kind.mimeComment.empty())
            continue;
        xml += "  <mime-type type=\"" + std::string(kind.mimeType) + "\">\n";
        xml += "    <comment>" + std::string(kind.mimeComment) + "</comment>\n";
        if (!kind.mimeRootXml.empty()) {
            const std::string root(kind.mimeRootXml);
            const std::size_t blank = root.find(' ');
            xml += "    <sub-class-of type=\"application/xml\"/>\n";
            xml += "    <root-XML namespaceURI=\"" + root.substr(0, blank) + "\" localName=\"" +
                   root.substr(blank + 1) + "\"/>\n";
        } else {
            for (std::string_view ext : kind.extensions)
                xml += "    <glob pattern=\"*" + std::string(ext) + "\"/>\n";
        }
        xml += "  </mime-type>\n";
    }
    return xml + "</mime-info>\n";
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fputs("Usage: qavn_desktop_files DESKTOP_TEMPLATE DESKTOP_OUT MIME_OUT\n", stderr);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::string desktop = bytes.str();
    const std::size_t at = desktop.find("@MIME_TYPES@");
    if (!in || at == std::string::npos) {
        std::fprintf(stderr, "qavn_desktop_files: %s holds no @MIME_TYPES@\n", argv[1]);
        return 1;
    }
    std::string types = std::string(projectType) + ";";
    for (const ImportKind& kind : importKinds())
        if (!kind.mimeType.empty())
            types += std::string(kind.mimeType) + ";";
    desktop.replace(at, std::string_view("@MIME_TYPES@").size(), types);
    return write(argv[2], desktop) && write(argv[3], mimePackage()) ? 0 : 1;
}
