#pragma once

// A project opened for browsing: the session with its two codebook files open.

#include "codebook/CodebookStore.h"
#include "project/Session.h"

namespace qavn {

// A project opened for browsing: the session's settings and project
// specification with the two codebook files open. The window and the batch
// tool both start one with the same steps.
class OpenProject : public Session {
public:
    explicit OpenProject(Ui& ui) : Session(ui), store(ui) {}

    // Start-up steps after the main window exists: command line,
    // configuration (with `setupDialog` offered when it is missing), project
    // specification, codebook files, CD-ROM check. Every failure has shown
    // its message when this returns false.
    bool start(std::string_view arguments, FunctionRef<void(Settings&)> setupDialog);

    // start() for a project ID already taken from a valid command line, with
    // the failure returned instead of shown and nothing asked (the batch
    // tool's start): a missing configuration file is returned as the error
    // of opening it.
    ReadResult<void> load(std::string_view id);

    CodebookStore store;
};

} // namespace qavn
