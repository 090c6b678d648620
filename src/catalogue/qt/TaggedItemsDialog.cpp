// The Tagged Items dialog: the tagged variables on their own list.

#include "catalogue/qt/TaggedItemsDialog.h"

#include "platform/Ui.h"
#include "catalogue/TaggedItems.h"
#include "catalogue/qt/VariableListView.h"

#include <QBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>

namespace qavn {

TaggedItemsDialog::TaggedItemsDialog(const VariableList& main, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Tagged Items"));
    setObjectName(QStringLiteral("taggedItemsDialog"));
    fillTaggedItems(main, list_);

    view_ = new VariableListView(list_, this);
    view_->setObjectName(QStringLiteral("taggedItemsGrid"));
    view_->setColumnHidden(VariableTableModel::TagColumn, true);
    view_->horizontalHeader()->setStretchLastSection(true);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("taggedItemsOk"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    // The grid takes Enter for itself; here it presses OK.
    view_->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(3, 3, 3, 8);
    layout->addWidget(view_, 1);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    resize(420, 265);
}

bool TaggedItemsDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            accept();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TaggedItemsDialog::run(const VariableList& main, Ui& ui, QWidget* parent)
{
    if (main.tagCount() < 1) {
        ui.message("No Tagged Item !", Ui::Buttons::Ok, Ui::Icon::Stop);
        return;
    }
    TaggedItemsDialog dialog(main, parent);
    dialog.exec();
}

} // namespace qavn
