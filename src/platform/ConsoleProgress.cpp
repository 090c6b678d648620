// The terminal's progress bar for the batch tool.

#include "platform/ConsoleProgress.h"

#include <unistd.h>

namespace qavn {

ConsoleProgress::ConsoleProgress(std::string title, std::FILE* out)
    : title_(std::move(title)), out_(out), enabled_(out != nullptr && isatty(fileno(out)) != 0)
{
}

ConsoleProgress::~ConsoleProgress()
{
    finish();
}

void ConsoleProgress::setRange(long maximum)
{
    maximum_ = maximum;
    value_ = 0;
    draw(true);
}

void ConsoleProgress::advance(long step)
{
    value_ += step;
    if (value_ > maximum_)
        value_ = maximum_;
    draw(false);
}

void ConsoleProgress::setText(std::string_view, std::string_view text)
{
    text_ = std::string(text);
    draw(false);
}

void ConsoleProgress::draw(bool force)
{
    if (!enabled_)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - last_ < std::chrono::milliseconds(100))
        return;
    last_ = now;
    constexpr int width = 30;
    const int filled = maximum_ > 0 ? static_cast<int>(width * value_ / maximum_) : 0;
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(width - filled), '.');
    std::fprintf(out_, "\r%s [%s] %s", title_.c_str(), bar.c_str(), text_.c_str());
    std::fflush(out_);
    drawn_ = true;
}

void ConsoleProgress::finish()
{
    if (drawn_) {
        std::fputs("\r\033[K", out_);
        std::fflush(out_);
        drawn_ = false;
    }
}

} // namespace qavn
