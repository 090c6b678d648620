#pragma once

// A Ui for tests and tools: scripted answers, recorded messages, counted pump
// steps.

#include "platform/Progress.h"
#include "platform/Ui.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <utility>
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
        std::string detail; // empty for a box without detail text
    };
    struct FileRequest {
        FileDialog form;
        std::string filter;
        std::string initialDir;
    };

    Answer message(std::string_view text, Buttons buttons, Icon icon) override;
    Answer detailedMessage(std::string_view text, Buttons buttons, Icon icon, std::string_view detail) override;
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

// A progress for tests and tools: remembers what the operation reported and
// stops it after a number of polls (keepGoing() calls): the poll that reaches
// the count, and every later one, sets the cancel flag and answers false.
class ScriptedProgress : public Progress {
public:
    static constexpr std::size_t never = std::numeric_limits<std::size_t>::max();

    explicit ScriptedProgress(std::size_t cancelAtPoll = never) : cancelAtPoll_(cancelAtPoll) {}

    void setRange(long maximum) override
    {
        ranges_.push_back(maximum);
        value_ = 0;
    }
    void advance(long step) override
    {
        ++advances_;
        value_ += step;
    }
    void setText(std::string_view field, std::string_view text) override
    {
        texts_.emplace_back(std::string(field), std::string(text));
    }
    bool keepGoing() override
    {
        if (++polls_ >= cancelAtPoll_)
            requestCancel();
        return Progress::keepGoing();
    }

    // Cancels at the poll `polls` from now on.
    void cancelAfterPolls(std::size_t polls) { cancelAtPoll_ = polls_ + polls; }

    std::size_t polls() const { return polls_; }
    const std::vector<long>& ranges() const { return ranges_; }
    // How many advances there were in all, and their sum since the last
    // setRange.
    std::size_t advances() const { return advances_; }
    long value() const { return value_; }
    const std::vector<std::pair<std::string, std::string>>& texts() const { return texts_; }

private:
    std::size_t cancelAtPoll_;
    std::size_t polls_ = 0;
    std::vector<long> ranges_;
    std::size_t advances_ = 0;
    long value_ = 0;
    std::vector<std::pair<std::string, std::string>> texts_;
};

} // namespace qavn
