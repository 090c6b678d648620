#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace qavn {

struct ImportOptions {
    // The data sets, one data file of the project each, as named on the
    // command line (see openSource()).
    std::vector<std::string> sources;
    std::string id;                    // project ID: 1-8 upper-case letters, digits, underscores
    std::filesystem::path out;         // the project folder
    std::string title;                 // empty: made from the source names
    std::string idVariable;            // the identifier column of each source; empty for none
    bool force = false;                // replace an existing `out`
    // Called every tenth of a second or so with how much of the work is
    // done (0 to 1) and a line saying what is being done; returning false
    // cancels: importProject() then fails with the error "cancelled" and
    // leaves nothing behind. May be empty. Called on the importing thread.
    std::function<bool(double done, const std::string& what)> progress;
};

struct ImportSummary {
    std::size_t variables = 0;
    std::vector<std::uint64_t> cases; // per source
    std::vector<std::string> warnings;
};

// Writes a whole project into `options.out`:
//   <ID>QAV.CFG                configuration: C:\QAVN\<ID>, C:\QAVN\OUT, drive D
//   <ID>NAMES.TXT              short name, TAB, original name, TAB, source, one line per variable
//   c/QAVN/<ID>/               QAVSPEC.<ID>, <ID>01.CDC, <ID>02.CDC
//   c/QAVN/OUT/                output directory
//   d/DATA/<NAME>.DAT          the fixed-column raw data of each source
// so that the program opens it from that folder with no drive set up. Each
// source is read twice (statistics and widths, then the raw data). The
// project is built in a temporary folder beside `out` and renamed into
// place only when complete; an existing `out` is replaced only with `force`.
// Returns false with `error` naming the file, the place and the reason;
// nothing is then left behind.
bool importProject(const ImportOptions& options, ImportSummary& summary, std::string& error);

} // namespace qavn
