#include "Extract.h"

#include <cstdio>

namespace qavn::extract {

int runAccess(Context& context, const Options& options)
{
    (void)context;
    (void)options;
    std::fprintf(stderr, "qavn-extract: --access is not available in this build\n");
    return exitFailure;
}

} // namespace qavn::extract
