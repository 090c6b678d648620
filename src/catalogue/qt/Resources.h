#pragma once

// Registers the program's pictures and icons from the static library's resources.

namespace qavn {

// Registers the program's pictures and icons (":/qavn/..."). The resources
// live in a static library, so they are registered explicitly; calling this
// more than once is harmless.
void initResources();

} // namespace qavn
