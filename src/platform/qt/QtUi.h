#pragma once

// The Ui port over Qt Widgets.

#include "platform/Ui.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

namespace qavn {

// The Ui port over Qt Widgets: message boxes captioned "Varibrow32", the
// QFileDialog choosers, a throttled pump step, the override wait cursor and
// the desktop's viewer.
class QtUi : public Ui {
public:
    QtUi();

    // Dialogs are made modal over this window when it is set.
    void setParentWindow(QWidget* parent) { parent_ = parent; }

    Answer message(std::string_view text, Buttons buttons, Icon icon) override;
    // The detail goes into the box's informative text, under the message.
    Answer detailedMessage(std::string_view text, Buttons buttons, Icon icon, std::string_view detail) override;
    // Yes and No with `defaultAnswer` as the button Enter presses.
    Answer question(std::string_view text, Icon icon, Answer defaultAnswer) override;
    // When `initialDir` names a folder that does not exist on this host, the
    // chooser starts in the working folder and its title says so.
    std::optional<std::string> chooseFile(FileDialog form, std::string_view filter,
                                          std::string_view initialDir) override;
    std::optional<std::string> chooseDirectory(std::string_view startDir) override;

    // Processes pending events at most once every pumpInterval milliseconds
    // and never from inside itself; other calls return at once. The clock is
    // looked at only every few calls, so a million calls cost a few
    // milliseconds.
    void pumpStep() override;
    void setWaitCursor(bool on) override;
    // The desktop's program for the file (through xdg-open), or, when there
    // is none or it fails, a read-only text window of the program's own.
    void openInViewer(const std::string& path) override;
    std::uint64_t ticks() override;

    static constexpr qint64 pumpInterval = 20;
    // Events actually processed, for tests and the benchmark.
    std::uint64_t pumpsProcessed() const { return processed_; }

    // "Desc|*.a|Other|*.b|" → "Desc (*.a);;Other (*.b)".
    static QString qtFilter(std::string_view filter);

private:
    Answer showBox(std::string_view text, Buttons buttons, Icon icon, std::string_view detail, Answer defaultAnswer);

    QPointer<QWidget> parent_;
    QElapsedTimer clock_;
    qint64 lastPump_ = -pumpInterval;
    unsigned calls_ = 0;
    bool pumping_ = false;
    std::uint64_t processed_ = 0;
};

} // namespace qavn
