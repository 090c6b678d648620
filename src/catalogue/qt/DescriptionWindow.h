#pragma once

#include "catalogue/DescriptionSlots.h"

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>

class QButtonGroup;
class QFrame;
class QLabel;
class QListView;
class QPlainTextEdit;
class QRadioButton;
class QStringListModel;
class QTimer;
class QToolButton;

namespace qavn {

class CodebookStore;
class VariableList;
struct ProjectSpec;

// One description and frequency window: the variable's description in one
// view and its category lines in the other, with the pin that keeps the
// window on its variable. Closing hides it. Activation by any means but a
// mouse click into it (its title bar and frame included) unpins it and brings
// it to the list's active row.
//
// A window manager activates a window before the click that activated it
// arrives, so the window waits activationDelayMs after an activation: a mouse
// press into it meanwhile, or an activation while the pointer is on its frame,
// makes it a click; losing the activation meanwhile cancels it (the window was
// only passed through, as when a window manager hands the focus on).
class DescriptionWindow : public QWidget {
    Q_OBJECT
public:
    enum class View { Description, Frequency };

    DescriptionWindow(int slot, VariableList& list, CodebookStore& store, const ProjectSpec& project,
                      QWidget* owner);

    static constexpr int activationDelayMs = 250;

    int slot() const { return slot_; }
    std::uint32_t row() const { return row_; }
    bool pinned() const { return pinned_; }
    View view() const { return view_; }

    void setView(View view);
    void setPinned(bool pinned);
    // Brings the window to the list's active row; nothing when it shows it.
    void refresh();

    // What the owner is told.
    std::function<void(int slot, bool pinned)> onPinChanged;
    std::function<void(int slot, std::uint32_t row)> onRowShown;
    std::function<void(int slot)> onHidden;
    std::function<void()> onHelp;
    // The lines the frequency view shows for a variable without category
    // lines (its figures from the data); nothing leaves the view empty.
    std::function<std::optional<QStringList>(std::uint32_t row)> figuresFor;

    // An activation is waiting to be told from a click, for tests.
    bool activationPending() const;

    // The texts shown, for tests.
    QString infoText() const;
    QString descriptionText() const;
    QStringList categoryLines() const;
    // The figures shown instead of category lines; empty when none are.
    QString figuresText() const;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void applyView();
    void activated();
    void cancelActivation();

    int slot_;
    VariableList& list_;
    CodebookStore& store_;
    const ProjectSpec& project_;
    std::uint32_t row_ = 0;
    bool pinned_ = false;
    View view_ = View::Description;

    QToolButton* pinUp_;
    QToolButton* pinDown_;
    QRadioButton* descriptionButton_;
    QRadioButton* frequencyButton_;
    QLabel* info_;
    QPlainTextEdit* text_;
    QWidget* headings_;
    QListView* categories_;
    QStringListModel* categoryModel_;
    QPlainTextEdit* figures_;
    bool hasCategories_ = true;
    bool figuresShown_ = false; // figures_ holds the current variable's figures
    bool computingFigures_ = false;
    QTimer* activation_;
};

// The two description window slots of the application: showDescription picks
// the slot, makes or shows its window and brings it to the active row. The
// windows are children of the owner; destroying this object destroys them.
class DescriptionWindows : public QObject {
    Q_OBJECT
public:
    enum class Request { Unchanged, Frequency };

    DescriptionWindows(VariableList& list, CodebookStore& store, const ProjectSpec& project, QWidget* owner);
    ~DescriptionWindows() override;

    void showDescription(Request request = Request::Unchanged);
    DescriptionWindow* window(int slot) const { return windows_[slot]; }
    // Destroys both windows; their slots become empty.
    void destroyAll();

    std::function<void()> onHelp;
    // Handed to every window (see DescriptionWindow::figuresFor).
    std::function<std::optional<QStringList>(std::uint32_t row)> figuresFor;
    // A window was closed (hidden): the main window takes the focus back.
    std::function<void()> onWindowHidden;

private:
    DescriptionWindow* make(int slot);

    VariableList& list_;
    CodebookStore& store_;
    const ProjectSpec& project_;
    QPointer<QWidget> owner_;
    QPointer<DescriptionWindow> windows_[2];
    DescriptionSlots slots_;
};

} // namespace qavn
