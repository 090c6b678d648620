#pragma once

// The writers of the one-file outputs, each run by the writer driver.

namespace qavn {

class WriterContext;

// The writers of the one-file outputs. Each is handed the context by the
// driver with the tagged list collected and the output file open, writes the
// whole file (or stops at an abort, leaving what it wrote) and shows no
// message of its own; an unreadable codebook record has been reported by the
// codebook store. Every program writer sets the context's cancel flag when it
// stops early.

// A SAS program. Per data file with tagged variables a DATA step,
// LABEL, PROC FORMAT, PROC FREQ and PROC UNIVARIATE; then, when more than
// one data file with identifier columns was productive, a MERGE by ID; the
// file ends in "RUN;" without a line end. Returns false when it stopped
// early.
bool writeSasProgram(WriterContext& context);

// An SPSS command file, in the DOS or the WIN dialect. Per data file DATA LIST,
// VARIABLE LABELS, VALUE LABELS, SAVE OUTFILE, FREQUENCIES, DESCRIPTIVES;
// then MATCH FILES over the saved files, and FINISH. in the DOS dialect.
// Returns false when it stopped early.
bool writeSpssProgram(WriterContext& context, bool dosDialect);
bool writeSpssWinProgram(WriterContext& context);
bool writeSpssDosProgram(WriterContext& context);

// The codebook text of the tagged variables. Returns false when it
// stopped early (cancel, or a record or section that could not be read).
bool writeCodebookText(WriterContext& context);

// The tag file, one line "%6ld" per tagged variable in ascending
// order. Cancel does not stop it. Always returns true.
bool writeTagFile(WriterContext& context);

} // namespace qavn
