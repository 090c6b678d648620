#pragma once

// The run's configurable settings and what start-up derives from them.

#include <string>

namespace qavn {

// The run's three configurable settings and what start-up derives from them.
struct Settings {
    std::string resourceDir; // project specification and codebook files
    std::string outputDir;   // generated files and the output file dialogs
    std::string programDir;  // directory of the program file, ending in a backslash
    char cdromDrive = '\0';  // drive letter of the raw data; '\0' when none was configured
    bool dataOnCd = false;   // whether data file 1 was found on that drive at start-up
};

} // namespace qavn
