// The project metadata file's reader over fuzzed text: a file it reads, it
// writes so that reading that again gives the same metadata and the same
// text; a refusal names the file and a line.

#include "FuzzSupport.h"

#include "project/ProjectMetadata.h"

using namespace qavn;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto read = parseMetadata(text, "F.META");
    if (!read) {
        fuzz::require(read.error().file == "F.META" && read.error().line >= 1, "a refusal names the file and a line");
        return 0;
    }
    const std::string written = metadataText(read.value());
    auto again = parseMetadata(written, "F.META");
    fuzz::require(static_cast<bool>(again), "what it writes, it reads");
    fuzz::require(again.value() == read.value(), "the metadata survives a rewrite");
    fuzz::require(metadataText(again.value()) == written, "a rewrite gives the same text");
    return 0;
}
