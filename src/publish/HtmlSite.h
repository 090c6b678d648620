#pragma once

// The codebook of the tagged variables as a static HTML site: a folder with
// index.html and the files it loads, which works opened from the disk and
// from any web server, with no network access.

#include "writers/WriterDriver.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace qavn {

class Progress;

// How the site splits its data: variables per list file and per description
// file, sections per outline file, and the size of an index file.
inline constexpr std::uint32_t siteListSize = 500;
inline constexpr std::uint32_t siteVarSize = 200;
inline constexpr std::uint32_t siteOutlineSize = 500;
inline constexpr std::size_t siteShardBytes = 100'000;

struct SiteRequest {
    // The folder, as the user gave it (a DOS path is mapped as every output
    // path is, chosenHostPath); made when it does not exist.
    std::string path;
    // Test seam: the n-th file written and all after it fail as on a full
    // disk; 0 switches it off.
    std::size_t failFromWrite = 0;
};

// Writes the site of the tagged variables into the folder:
//
//   index.html           the title, the sections as an outline, the search
//                        box and the list of variables
//   qavn/site.js, .css   the page's script and style sheet
//   qavn/list/K.js       names, labels, sections and places of 500 variables each
//   qavn/var/K.js        the whole entries of 200 variables each: description,
//                        location, type, missing values, category lines
//   qavn/outline/K.js    500 sections each: title, first variable, count
//   qavn/index/K.js      the words of every field and the variables they occur in
//   qavn/keys.js         the first word of each index file
//   qavn/files.js        the variables of each data file
//
// Every file of the site goes into a new temporary folder inside the chosen
// one; only when all are written and on the disk do `qavn` and index.html
// take their names (the earlier `qavn` folder is then removed). A Cancel, a
// failed write (a full disk) or a refusal leaves the folder as it was. The
// folder is refused when it names a file, holds a control character, or
// holds a project file where the site goes; an index.html or `qavn` folder
// that no site wrote is replaced only when the user agrees (default No).
//
// Progress: a bar of 300 steps, polled every 256 variables. Status: Written,
// Stopped (Cancel, an unreadable record, a replacement declined), Failed (a
// file or folder that could not be made or written, a refused folder; the
// message names it). fileName and generatedHostFiles name index.html.
OutputResult writeHtmlSite(const WriterServices& services, const SiteRequest& request, Progress& progress);

} // namespace qavn
