#pragma once

// The terminal's progress bar for the batch tool.

#include "platform/Progress.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace qavn {

// The terminal's progress bar: drawn on standard error only when that is a
// terminal, and redrawn at most ten times a second. A batch run is stopped
// with Ctrl-C, so only the cancel flag answers keepGoing().
// finish() clears the bar's line (the destructor does it too).
class ConsoleProgress : public Progress {
public:
    explicit ConsoleProgress(std::string title, std::FILE* out = stderr);
    ~ConsoleProgress() override;

    void setRange(long maximum) override;
    void advance(long step) override;
    void setText(std::string_view field, std::string_view text) override;
    void finish();

private:
    void draw(bool force);

    std::string title_;
    std::FILE* out_;
    bool enabled_;
    long maximum_ = 0;
    long value_ = 0;
    std::string text_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point last_{};
};

} // namespace qavn
