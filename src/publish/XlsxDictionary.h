#pragma once

// The data dictionary of the tagged variables as an xlsx workbook.

namespace qavn {

class WriterContext;

// The writer of the xlsx data dictionary, run by the writer driver
// (WriterDriver.h) like the one-file outputs of ProgramWriters.h. Two sheets,
// each with a header row, frozen below it, and an autofilter over its rows:
//
//   "Variables"     name, long name, label, section, data file, line,
//                   location, type, width, decimals, missing values,
//                   description: one row per tagged variable
//   "Value labels"  variable, code, label, frequency, percent, missing: one
//                   row per category line
//
// Numbers are number cells (line, width, decimals, frequency, percent, and a
// code that is a number); "missing" is TRUE for a reserved code. Texts are
// UTF-8. A sheet that would pass the 1,048,576 rows of a worksheet goes on in
// "Variables 2", "Value labels 2", ...; a description longer than a cell
// holds (32,767 characters) is cut and ends in a note that says so.
//
// libxlsxwriter writes the workbook into a temporary file beside the
// output (rows stream, so memory does not grow with the variables); the
// finished bytes then go through the context's output, which takes its name
// only when complete. A Cancel, or a failure of the library (reported with
// its reason), drops the output: the file under the name stays as it was.
// Returns false when it stopped early.
bool writeXlsxDictionary(WriterContext& context);

} // namespace qavn
