#pragma once

// The codebook site's script and style sheet (src/publish/site), built into
// the program.

#include <string_view>

namespace qavn {

extern const std::string_view siteScript;
extern const std::string_view siteStyle;

} // namespace qavn
