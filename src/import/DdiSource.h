#pragma once

#include "import/SourceReader.h"

namespace qavn {

// A DDI Codebook 2.5 document with the fixed-width data file it describes.
// The XML is streamed (never held whole); the variables come from var
// (name, labl, location, dcml, intrvl, varFormat, catgry, qstn, universe,
// concept, notes) and their sections from varGrp (one section per group;
// without groups, the source's own). The data file is `data` when given,
// else the first fileDscr/fileTxt/fileName, resolved beside the XML; it may
// be gzip-compressed. A case spans as many lines as the highest RecSegNo.
// Errors name the XML or the data file, the line and the reason: locations
// that overlap or run past a data line, numbers that do not read.
std::unique_ptr<SourceReader> openDdiSource(const std::filesystem::path& xml, const std::filesystem::path& data);

} // namespace qavn
