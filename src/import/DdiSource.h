// The readers of a DDI Codebook 2.5 document and its fixed-width data files.
#pragma once

#include "import/SourceReader.h"

namespace qavn {

// The readers of a DDI Codebook 2.5 document, one per data file it
// describes (fileDscr) that holds variables; each var belongs to the
// fileDscr its `files` attribute names (the first when it names none). The
// XML is streamed (never held whole) and read here once; questions and notes
// wait in a temporary file until details() asks for them. The variables come
// from var (name, labl, location, dcml, intrvl, varFormat, catgry, txt,
// codInstr, qstn, universe, notes, concept) and their sections from varGrp
// (one section per group; without groups, the source's own). The title is
// the study's titl (else the document's); each fileDscr's caseQnty is
// offered as its declared case count. A data file is `data` when given
// (the document must then describe one), else its fileDscr's
// fileTxt/fileName (or the last part of its URI), resolved beside the XML; it
// may be gzip-compressed. A case spans as many lines as the highest
// RecSegNo. Returns no reader with `error` naming the XML or the data file,
// the line and the reason: locations that overlap or run past a data line,
// numbers that do not read (these when a pass reads the data).
std::vector<std::unique_ptr<SourceReader>> openDdiSources(const std::filesystem::path& xml,
                                                          const std::filesystem::path& data, std::string& error);

} // namespace qavn
