// The readers of a DDI Codebook 2.5 document and its fixed-width data files.
#pragma once

#include "import/SourceReader.h"

namespace qavn {

// The readers of a DDI Codebook 2.5 document, one per data file it
// describes (fileDscr) that holds variables; each var belongs to the
// fileDscr its `files` attribute names (the first when it names none). The
// XML is streamed (never held whole) and read here once, with `progress`
// asked as it goes; questions and notes wait in a temporary file until
// details() asks for them. The variables come from var (name, labl,
// location, dcml, intrvl, varFormat, catgry, txt, codInstr, qstn, universe,
// notes, concept) and their sections from varGrp (one section per group;
// without groups, the source's own). The title is the study's titl (else
// the document's); each fileDscr's caseQnty is offered as its declared case
// count. A data file is `data` when given (the document must then describe
// one), else the one its fileDscr's fileTxt/fileName (or the last part of
// its URI) names, looked up by that name alone beside the XML (never
// elsewhere, nor through a link leading out of the XML's folder); it may be
// gzip-compressed. A case spans as many lines as the highest RecSegNo; a
// line longer than the longest record described (or declared as logRecL)
// by a margin is refused.
//
// The document is bounded so that a hostile one is refused quickly and in
// little memory: no declarations in its DOCTYPE (so no entities), at most
// 100 elements deep, 256 attributes an element, 1 MB a text taken and 4 MB
// for a variable's texts together, columns up to 1,000,000; the reading is
// linear in the document's size.
//
// Returns no reader with `error` naming the XML or the data file, the line
// and the reason (locations that overlap or run past a data line, numbers
// that do not read: these when a pass reads the data), or with `error`
// empty when `progress` asked to stop.
std::vector<std::unique_ptr<SourceReader>> openDdiSources(const std::filesystem::path& xml,
                                                          const std::filesystem::path& data,
                                                          const OpenProgress& progress, std::string& error);

} // namespace qavn
