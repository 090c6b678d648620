#pragma once

#include <string_view>

namespace qavn {

// What a long operation shows while it runs: a bar, a status text or two,
// and the cancel flag that the dialog's Cancel button sets. The operation
// reads `cancel` at its poll points; nothing else stops it.
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

    int cancel = 0;
};

} // namespace qavn
