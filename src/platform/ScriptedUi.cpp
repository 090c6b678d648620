// A Ui for tests and tools: scripted answers, recorded messages, counted pump
// steps.

#include "platform/ScriptedUi.h"

#include <algorithm>

namespace qavn {

Ui::Answer ScriptedUi::message(std::string_view text, Buttons buttons, Icon icon)
{
    messages_.push_back({std::string(text), buttons, icon, {}});
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    if (answers_.empty())
        return Answer::No;
    Answer answer = answers_.front();
    answers_.pop_front();
    return answer;
}

Ui::Answer ScriptedUi::detailedMessage(std::string_view text, Buttons buttons, Icon icon, std::string_view detail)
{
    const Answer answer = message(text, buttons, icon);
    messages_.back().detail = std::string(detail);
    return answer;
}

std::optional<std::string> ScriptedUi::chooseFile(FileDialog form, std::string_view filter,
                                                  std::string_view initialDir)
{
    fileRequests_.push_back({form, std::string(filter), std::string(initialDir)});
    if (files_.empty())
        return std::nullopt;
    auto result = std::move(files_.front());
    files_.pop_front();
    return result;
}

std::optional<std::string> ScriptedUi::chooseDirectory(std::string_view startDir)
{
    directoryRequests_.emplace_back(startDir);
    if (directories_.empty())
        return std::nullopt;
    auto result = std::move(directories_.front());
    directories_.pop_front();
    return result;
}

void ScriptedUi::pumpStep()
{
    ++pumpSteps_;
    if (everyPump_)
        everyPump_();
    if (scheduled_.empty())
        return;
    // Actions may schedule further actions; collect the due ones first.
    std::vector<std::function<void()>> due;
    auto it = std::remove_if(scheduled_.begin(), scheduled_.end(), [&](Scheduled& s) {
        if (s.atStep > pumpSteps_)
            return false;
        due.push_back(std::move(s.action));
        return true;
    });
    scheduled_.erase(it, scheduled_.end());
    for (auto& action : due)
        action();
}

void ScriptedUi::cancelAfter(std::size_t steps, int& flag)
{
    int* target = &flag;
    atPumpStep(steps, [target] { *target = 1; });
}

void ScriptedUi::atPumpStep(std::size_t steps, std::function<void()> action)
{
    scheduled_.push_back({pumpSteps_ + steps, std::move(action)});
}

void ScriptedUi::setWaitCursor(bool on)
{
    if (on) {
        ++waitDepth_;
        ++waitShown_;
    } else if (waitDepth_ > 0) {
        --waitDepth_;
    }
}

void ScriptedUi::openInViewer(const std::string& path)
{
    viewed_.push_back(path);
}

std::uint64_t ScriptedUi::ticks()
{
    clock_ += tickStep_;
    return clock_;
}

std::vector<std::string> ScriptedUi::messageTexts() const
{
    std::vector<std::string> texts;
    texts.reserve(messages_.size());
    for (const auto& m : messages_)
        texts.push_back(m.text);
    return texts;
}

} // namespace qavn
