// SPSS system files, Stata and SAS data sets read with ReadStat.
#pragma once

#include "import/SourceReader.h"

namespace qavn {

enum class ReadStatKind { Sav, Dta, Sas7bdat, Xport };

// A data set read with ReadStat, streamed case by case. Value labels of a
// SAS data set come from its catalogue (`catalogue`, may be empty).
std::unique_ptr<SourceReader> openReadStatSource(ReadStatKind kind, const std::filesystem::path& path,
                                                 const std::filesystem::path& catalogue);

} // namespace qavn
