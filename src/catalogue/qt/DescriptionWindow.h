#pragma once

// The description and frequency window of one variable, with its pin.

#include "catalogue/DescriptionSlots.h"

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QButtonGroup;
class QFontMetrics;
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

// Where the fields of a frequency list item go, in pixels from the item's
// left edge: Code, Freq and % right-aligned ending at their right edges, the
// category label left-aligned from its left edge. The fixed places (51, 90,
// 124 and 132) move right as far as the widest text of a column needs, so
// that neighbouring fields never run together.
struct CategoryColumns {
    int codeRight = 51;
    int freqRight = 90;
    int percentRight = 124;
    int labelLeft = 132;
    // The bar beside each line, between % and the label: where it starts
    // and its longest length; 0 wide when the view has no bars.
    int barLeft = 0;
    int barWidth = 0;
    // Where the widest item ends: the label's left edge plus the widest
    // label, so that the list scrolls sideways to the end of every label.
    int width = 0;

    // The places for `lines` (category lines, tab-separated) drawn in a font
    // with the metrics `metrics`; the headings count as texts too.
    static CategoryColumns fit(const QFontMetrics& metrics, const QStringList& lines);
    // Makes room for bars of `barWidth` pixels before the label.
    void addBars(int width);
};

// What the frequency view shows beside its lines: a bar for each line and a
// summary under them, and the lines themselves when they are not the
// codebook's (weighted sums from the data).
struct FrequencyBars {
    QStringList lines;           // Code, Freq, % and Category Label tab-separated; empty: the codebook's lines
    std::vector<double> amounts; // the length of each line's bar, relative to the longest
    std::vector<bool> missing;   // lines of missing values (their bars are hatched)
    QString summary;             // "Valid ... Missing ... Total ..."
};

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
    // lines (its figures from the data); nothing leaves the view empty. Any
    // dialog it shows belongs to `window`, which stays in front.
    std::function<std::optional<QStringList>(std::uint32_t row, QWidget* window)> figuresFor;
    // The bars and summary of a variable with category lines, asked for when
    // the frequency view first shows it; nothing shows the codebook's lines
    // without bars. Any dialog it shows belongs to `window`.
    std::function<std::optional<FrequencyBars>(std::uint32_t row, QWidget* window)> barsFor;
    // Asks barsFor again for the variable shown (the project's weight changed).
    void reloadFrequencies();

    // The frequency table as tab-separated lines (Code, Freq, %, Category
    // Label): the selected lines, or every line with a heading line first
    // when all or none are selected. What Copy puts on the clipboard.
    QString categoryTableText() const;
    CategoryColumns columns() const { return columns_; }

    // The place and size kept while the window is hidden (saveGeometry()).
    QByteArray place() const { return place_; }
    void setPlace(const QByteArray& place) { place_ = place; }
    // Shows the window where it was when it was hidden (or was told by
    // setPlace()), within the screen; the first time, where it was moved to.
    void showInPlace();

    // An activation is waiting to be told from a click, for tests.
    bool activationPending() const;

    // The texts shown, for tests.
    QString infoText() const;
    QString descriptionText() const;
    QStringList categoryLines() const;
    // The figures shown instead of category lines; empty when none are.
    QString figuresText() const;
    // The bars and the summary under the lines; empty when none are shown.
    const std::vector<double>& barAmounts() const { return bars_.amounts; }
    QString summaryText() const;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void applyView();
    void load(std::uint32_t row);
    void showBars();
    void activated();
    void cancelActivation();
    void copyCategories();
    void categoryMenu(const QPoint& pos);

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
    QLabel* summary_;
    FrequencyBars bars_;
    bool barsAsked_ = false; // barsFor was asked for the current variable
    bool hasCategories_ = true;
    bool figuresShown_ = false; // figures_ holds the current variable's figures
    bool computingFigures_ = false;
    // A dialog of this window has just closed: the activation that brings
    // the window back is not the user's.
    bool backFromDialog_ = false;
    QTimer* activation_ = nullptr;
    CategoryColumns columns_;
    QByteArray place_;
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

    // The place of each slot's window (DescriptionWindow::place()), empty
    // for a slot without one; setPlaces() gives the windows still to be made
    // (and hidden ones) the places kept from an earlier run.
    QByteArray place(int slot) const;
    void setPlace(int slot, const QByteArray& place);

    // Where a new window of `frameSize` (its frame included) goes: beside
    // the owner's frame on the right, else on the left, else at the right
    // edge of the screen over the owner; slot 1 below slot 0's place when
    // there is room, else cascaded from it; always wholly within `screen`.
    static QPoint newWindowPlace(int slot, const QRect& ownerFrame, const QRect& screen, const QSize& frameSize);

    std::function<void()> onHelp;
    // Handed to every window (see DescriptionWindow::figuresFor).
    std::function<std::optional<QStringList>(std::uint32_t row, QWidget* window)> figuresFor;
    std::function<std::optional<FrequencyBars>(std::uint32_t row, QWidget* window)> barsFor;
    // Every window asks barsFor again.
    void reloadFrequencies();
    // A window was closed (hidden): the main window takes the focus back.
    std::function<void()> onWindowHidden;

private:
    DescriptionWindow* make(int slot);

    VariableList& list_;
    CodebookStore& store_;
    const ProjectSpec& project_;
    QPointer<QWidget> owner_;
    QPointer<DescriptionWindow> windows_[2];
    QByteArray places_[2]; // for windows not yet made
    DescriptionSlots slots_;
};

} // namespace qavn
