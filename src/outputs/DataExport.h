#pragma once

// The data export of the tagged variables as the window and the batch tool run it.

#include "writers/WriterDriver.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace qavn {

class Progress;

// The data export of the tagged variables, as the window's Access DB command
// and qavn-extract run it: collects the tagged rows of the list in ascending
// order and runs the export (export/AccessExport.h) on them into `outputDir`,
// or into the settings' output directory when that is empty. `progress` is
// the export dialog: its cancel flag and its two text fields; it gets no bar.
//
// The status is Written when every data file was gone through (only then
// does the window show the generated files), Stopped after a cancel, an
// abort or a failure, each of which has shown its message (a cancel none).
// generatedFiles is the export's list: an empty first entry, then each file
// written, in order; fileName stays empty.
OutputResult exportTaggedData(const WriterServices& services, std::string_view outputDir, Progress& progress);

} // namespace qavn
