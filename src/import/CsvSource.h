// The reader of CSV files with a header line of names.
#pragma once

#include "import/SourceReader.h"

namespace qavn {

// A comma-separated file with a header line of names (RFC 4180: fields in
// double quotes may hold commas, line ends and doubled quotes; lines end in
// LF or CR LF). A column whose every non-empty field is a number is numeric,
// any other column is text; empty fields of numeric columns are missing.
// The first pass reads the file twice (types, then values); later passes once.
// A file that is not UTF-8 is read as Windows-1252; a byte order mark before
// the header is dropped.
std::unique_ptr<SourceReader> openCsvSource(const std::filesystem::path& path);

} // namespace qavn
