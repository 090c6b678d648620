// The reader of SPSS portable files (.por), as SPSS and PSPP write them.
#pragma once

#include "import/SourceReader.h"

namespace qavn {

// A portable file read by its documented layout: lines of 80 characters
// (shorter ones padded with blanks), a 200-byte splash, the 256-byte
// character translation table, "SPSSPORT", then tagged records (variables,
// missing values, labels, documents) and the cases, numbers in base 30 and
// strings with their length. A byte the table does not name is kept as it
// is; a string that is UTF-8 is taken as UTF-8, any other as Windows-1252
// (both as PSPP and SPSS write them). Errors name the file, the line and
// the record.
std::unique_ptr<SourceReader> openPorSource(const std::filesystem::path& path);

} // namespace qavn
