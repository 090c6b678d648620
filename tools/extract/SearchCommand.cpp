#include "Extract.h"

#include <cstdio>

namespace qavn::extract {

bool runSearch(Context& context, const Options& options)
{
    (void)context;
    (void)options;
    std::fprintf(stderr, "qavn-extract: --search is not available in this build\n");
    return false;
}

} // namespace qavn::extract
