// The Ui of the batch tool: messages on standard error, questions answered from
// the terminal or No.

#include "platform/ConsoleUi.h"

#include <chrono>
#include <string>
#include <unistd.h>

namespace qavn {

ConsoleUi::ConsoleUi(std::FILE* err, std::FILE* in)
    : err_(err), in_(in), interactive_(in != nullptr && isatty(fileno(in)) != 0)
{
}

Ui::Answer ConsoleUi::message(std::string_view text, Buttons buttons, Icon)
{
    std::fwrite(text.data(), 1, text.size(), err_);
    if (buttons == Buttons::Ok) {
        std::fputc('\n', err_);
        std::fflush(err_);
        return Answer::Ok;
    }
    auto line = readLine(" [y/N] ");
    if (!line) {
        std::fputs(" [y/N] n\n", err_);
        std::fflush(err_);
        return Answer::No;
    }
    return (!line->empty() && (line->front() == 'y' || line->front() == 'Y')) ? Answer::Yes
                                                                             : Answer::No;
}

Ui::Answer ConsoleUi::detailedMessage(std::string_view text, Buttons buttons, Icon icon, std::string_view detail)
{
    std::string joined(text);
    if (!detail.empty()) {
        joined += '\n';
        joined += detail;
    }
    return message(joined, buttons, icon);
}

std::optional<std::string> ConsoleUi::readLine(std::string_view prompt)
{
    if (!interactive_)
        return std::nullopt;
    std::fwrite(prompt.data(), 1, prompt.size(), err_);
    std::fflush(err_);
    std::string line;
    int c;
    while ((c = std::fgetc(in_)) != EOF && c != '\n')
        line.push_back(static_cast<char>(c));
    if (c == EOF && line.empty())
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

std::optional<std::string> ConsoleUi::chooseFile(FileDialog, std::string_view, std::string_view)
{
    return std::nullopt;
}

std::optional<std::string> ConsoleUi::chooseDirectory(std::string_view startDir)
{
    auto line = readLine("Directory [" + std::string(startDir) + "]: ");
    if (!line || line->empty())
        return std::nullopt;
    return line;
}

void ConsoleUi::openInViewer(const std::string& path)
{
    std::fprintf(err_, "%s\n", path.c_str());
}

std::uint64_t ConsoleUi::ticks()
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace qavn
