#pragma once

#include "formats/TableExports.h"

#include <cstdint>
#include <span>

namespace qavn {

class Progress;

// A DDI Codebook 2.5 document of the tagged variables at options.path (".xml"
// added by the naming rule when it has no period), in UTF-8, and beside it
// the fixed-width extract it describes: per data file with tagged variables
// one file of the raw columns of its identifier and its tagged variables,
// packed side by side into lines of at most 1,024 characters (as many lines
// per case as they need), bytes as the raw data hold them (Latin-1, lines
// ending in CR LF). The extract of a run with one such data file is
// "<name>.dat"; with several, "<name>_<data path with _>.dat".
//
// The document: the project's title; a fileDscr per extract (its file name,
// case count when read to its end, variable count, longest line, lines per
// case, character set); the codebook sections as varGrp; per variable its
// name, location in the extract (StartPos, EndPos, width, RecSegNo), dcml
// for implied decimals, intrvl, label, description as qstnLit, categories
// with frequency (the value a whole-number code stands for under implied
// decimals: "-5" with dcml 2 is -0.05), reserved codes (-1..-9, label in
// braces) marked missing="Y", and varFormat.
//
// Every file is built under a temporary name beside its own and renamed when
// complete. A write failure (a full disk: "Cannot Write <name> !" with the
// system's text, status Failed) leaves every name as it was; after a cancel
// or unreadable data the files take their names with the cases written so
// far (status Stopped). `progress` is polled after every case.
OutputResult writeDdiCodebook(const WriterServices& services, std::span<const std::uint32_t> tagged,
                              const TableExportOptions& options, Progress& progress);

} // namespace qavn
