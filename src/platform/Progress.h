#pragma once

// What a long operation shows while it runs, and how it learns to stop.

#include "platform/Ui.h"

#include <string_view>

namespace qavn {

// What a long operation (loading, a search, a writer, the data export) shows
// while it runs, and how it learns that it is to stop.
//
// The operation reports: setRange, advance, setText. At each of its poll
// points it calls pollProgress(), which makes one Ui pump step (so a click on
// Cancel is seen) and then asks keepGoing(). Between poll points it may look
// at cancelled() without asking again.
//
// The cancel flag is the one state every implementation shares: a dialog's
// Cancel button sets it, and an implementation that decides on its own to stop
// sets it too before keepGoing() returns false, so that cancelled() agrees
// with the answer for the rest of the run.
class Progress {
public:
    virtual ~Progress() = default;

    virtual void setRange(long maximum) { (void)maximum; }
    virtual void advance(long step) { (void)step; }
    // A named text field of the dialog (for example the record counter of the
    // export dialog); dialogs ignore fields they do not have.
    virtual void setText(std::string_view field, std::string_view text)
    {
        (void)field;
        (void)text;
    }

    // Asked at every poll point: whether the operation goes on. The base
    // answers from the cancel flag.
    virtual bool keepGoing() { return cancel == 0; }

    // Whether the run has been stopped, without asking again.
    bool cancelled() const { return cancel != 0; }
    // Stops the run: the operation ends at its next check.
    void requestCancel() { cancel = 1; }

    // 1 once the run is to stop (Cancel, or the operation stopping itself).
    int cancel = 0;
};

// One poll point: one pump step, then whether to go on. Every long operation
// polls through this, so the pump steps fall where they always did.
inline bool pollProgress(Ui& ui, Progress& progress)
{
    ui.pumpStep();
    return progress.keepGoing();
}

} // namespace qavn
