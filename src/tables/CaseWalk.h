#pragma once

// The cases of a few variables read from the raw data, the fields of one case
// together even when the variables lie in different data files (matched by
// the identifier).

#include "export/TableData.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qavn {

class CodebookStore;
class Progress;
class Ui;
struct ProjectSpec;
struct Settings;

// Walks the cases of `variables` (codebook numbers, any order, repeats
// allowed): onCase gets one raw field per variable, in the order given.
// Variables of one data file come from one pass over it. Variables of
// different data files are matched by the identifier: each case of one file
// meets the case of the other with the same identifier (trimmed, whole
// numbers by value), and a case one file lacks gives blank fields for its
// variables. The first file is streamed; the fields the walk needs of the
// others are held in memory by identifier meanwhile (a few bytes a case and
// variable).
//
// Progress: the range is 1000 over the bytes of the files to read, the text
// names the file being read; polled every 4,096 cases and every megabyte.
class CaseWalk {
public:
    CaseWalk(std::span<const std::uint32_t> variables, CodebookStore& store, const ProjectSpec& project,
             const Settings& settings, Ui& ui, Progress& progress);
    ~CaseWalk();
    CaseWalk(const CaseWalk&) = delete;
    CaseWalk& operator=(const CaseWalk&) = delete;

    // Done at the end of the data; stopped after a cancel or when onCase
    // returned false; failed (naming the file, and the line where one
    // applies) when a data file cannot be opened or read, a location cannot
    // be cut, a variable belongs to no data file, a data file of a matched
    // walk has no identifier, or an identifier is blank or repeated.
    ReadOutcome run(const std::function<bool(std::span<const std::string_view>)>& onCase);

    // The cases the walk handed on.
    std::uint64_t cases() const { return cases_; }

private:
    struct Source;
    ReadOutcome prepare();
    ReadOutcome walkOne(Source& source, const std::function<bool(std::span<const std::string_view>)>& onCase);
    ReadOutcome walkMatched(const std::function<bool(std::span<const std::string_view>)>& onCase);
    static std::string identifierKey(std::string_view raw);
    // A poll point, `bytes` into the file being read.
    bool poll(std::uint64_t bytes);
    void showBytes(std::uint64_t done);
    void showDone();

    std::vector<std::uint32_t> variables_;
    CodebookStore& store_;
    const ProjectSpec& project_;
    const Settings& settings_;
    Ui& ui_;
    Progress& progress_;
    std::vector<std::unique_ptr<Source>> sources_;
    std::uint64_t totalBytes_ = 0;
    std::uint64_t bytesBefore_ = 0;
    std::uint64_t cases_ = 0;
    std::uint64_t casesAtPoll_ = 0;
    std::uint64_t bytesAtPoll_ = 0;
    long shown_ = 0;
};

} // namespace qavn
