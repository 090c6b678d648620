#pragma once

#include "platform/Progress.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace qavn::extract {

// A progress bar on standard error, drawn only when that is a terminal and
// redrawn at most ten times a second.
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

} // namespace qavn::extract
