#pragma once

// The Tagged Items dialog: the tagged variables on their own list.

#include "catalogue/VariableList.h"

#include <QDialog>

namespace qavn {

class Ui;
class VariableListView;

// "Tagged Items": the tagged variables of the main list on their own, in list
// order, drawn as the main list draws them. Nothing done in it changes a tag.
// Enter, also in the grid, presses OK.
class TaggedItemsDialog : public QDialog {
    Q_OBJECT
public:
    TaggedItemsDialog(const VariableList& main, QWidget* parent = nullptr);

    VariableList& list() { return list_; }
    VariableListView* view() const { return view_; }

    // The View > Tagged Items command: "No Tagged Item !" when nothing is
    // tagged, otherwise the dialog, modally.
    static void run(const VariableList& main, Ui& ui, QWidget* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    VariableList list_{VariableList::Mode::TaggedItems};
    VariableListView* view_;
};

} // namespace qavn
