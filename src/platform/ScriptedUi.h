#pragma once

#include "platform/Ui.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qavn {

// A Ui for tests and tools: answers come from queues, every message box is
// recorded, pump steps are counted, and an action (typically pressing Cancel)
// can be scheduled after a number of pump steps.
class ScriptedUi : public Ui {
public:
    struct Message {
        std::string text;
        Buttons buttons;
        Icon icon;
    };
    struct FileRequest {
        FileDialog form;
        std::string filter;
        std::string initialDir;
    };

    Answer message(std::string_view text, Buttons buttons, Icon icon) override;
    std::optional<std::string> chooseFile(FileDialog form, std::string_view filter,
                                          std::string_view initialDir) override;
    std::optional<std::string> chooseDirectory(std::string_view startDir) override;
    void pumpStep() override;
    void setWaitCursor(bool on) override;
    void openInViewer(const std::string& path) override;
    std::uint64_t ticks() override;

    // Answers for Yes/No questions, in order; when the queue is empty a
    // question is answered No.
    void queueAnswer(Answer answer) { answers_.push_back(answer); }
    // Results of the file and directory choosers, in order; an empty optional
    // is a Cancel. When the queue is empty the chooser is cancelled.
    void queueFile(std::optional<std::string> path) { files_.push_back(std::move(path)); }
    void queueDirectory(std::optional<std::string> path) { directories_.push_back(std::move(path)); }

    // Sets `flag` to 1 once `steps` pump steps have been made from now on.
    void cancelAfter(std::size_t steps, int& flag);
    // Runs `action` at the pump step `steps` from now on.
    void atPumpStep(std::size_t steps, std::function<void()> action);
    // Runs `action` on every pump step (for tests that poll state mid-run).
    void onEveryPump(std::function<void()> action) { everyPump_ = std::move(action); }

    // How far ticks() moves at each call, in milliseconds.
    void setTickStep(std::uint64_t ms) { tickStep_ = ms; }

    const std::vector<Message>& messages() const { return messages_; }
    std::vector<std::string> messageTexts() const;
    void clearMessages() { messages_.clear(); }
    const std::vector<FileRequest>& fileRequests() const { return fileRequests_; }
    const std::vector<std::string>& directoryRequests() const { return directoryRequests_; }
    const std::vector<std::string>& viewed() const { return viewed_; }
    std::size_t pumpSteps() const { return pumpSteps_; }
    int waitCursorDepth() const { return waitDepth_; }
    std::size_t waitCursorShown() const { return waitShown_; }

private:
    struct Scheduled {
        std::size_t atStep;
        std::function<void()> action;
    };

    std::deque<Answer> answers_;
    std::deque<std::optional<std::string>> files_;
    std::deque<std::optional<std::string>> directories_;
    std::vector<Message> messages_;
    std::vector<FileRequest> fileRequests_;
    std::vector<std::string> directoryRequests_;
    std::vector<std::string> viewed_;
    std::vector<Scheduled> scheduled_;
    std::function<void()> everyPump_;
    std::size_t pumpSteps_ = 0;
    int waitDepth_ = 0;
    std::size_t waitShown_ = 0;
    std::uint64_t clock_ = 0;
    std::uint64_t tickStep_ = 1;
};

} // namespace qavn
