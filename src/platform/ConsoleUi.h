#pragma once

// The Ui of the batch tool: messages on standard error, questions answered from
// the terminal or No.

#include "platform/Ui.h"

#include <cstdio>

namespace qavn {

// The Ui of the batch tool: messages go to standard error; a Yes/No question
// is read from standard input when that is a terminal and answered No
// otherwise; file choosers are cancelled (the command line names every file).
class ConsoleUi : public Ui {
public:
    explicit ConsoleUi(std::FILE* err = stderr, std::FILE* in = stdin);

    Answer message(std::string_view text, Buttons buttons, Icon icon) override;
    // The message, then the detail on a line of its own.
    Answer detailedMessage(std::string_view text, Buttons buttons, Icon icon, std::string_view detail) override;
    std::optional<std::string> chooseFile(FileDialog form, std::string_view filter,
                                          std::string_view initialDir) override;
    std::optional<std::string> chooseDirectory(std::string_view startDir) override;
    void pumpStep() override {}
    void setWaitCursor(bool) override {}
    void openInViewer(const std::string& path) override;
    std::uint64_t ticks() override;

    // Reads one line from the input when interactive; nothing otherwise.
    std::optional<std::string> readLine(std::string_view prompt);

private:
    std::FILE* err_;
    std::FILE* in_;
    bool interactive_;
};

} // namespace qavn
