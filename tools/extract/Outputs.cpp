#include "Extract.h"

#include <cstdio>

namespace qavn::extract {

int runOutputs(Context& context, const Options& options)
{
    (void)context;
    if (options.sas || options.spss || options.spssDos || options.codebook || options.tagFile) {
        std::fprintf(stderr, "qavn-extract: program and codebook outputs are not available in this build\n");
        return exitFailure;
    }
    return exitOk;
}

} // namespace qavn::extract
