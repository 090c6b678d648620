// The table model over the variable list.

#include "support/QtTestSupport.h"

#include "catalogue/VariableList.h"
#include "catalogue/qt/VariableListView.h"
#include "catalogue/qt/VariableTableModel.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QSignalSpy>

using namespace qavn;

namespace {

void fill(VariableList& list, std::uint32_t rows)
{
    list.setRowCount(rows);
    const char types[] = {' ', '0', 'A', 'N'};
    for (std::uint32_t r = 1; r <= rows; ++r) {
        std::string text = "VAR" + std::to_string(r);
        text.resize(9, ' ');
        list.appendRow(text + "Label " + std::to_string(r), rowData(types[r % 4], 1));
    }
    list.showList(rows);
    list.goToRow(1);
}

} // namespace

class VariableModelTest : public QObject {
    Q_OBJECT

private slots:
    void modelPassesTheTesterThroughLoadingAndTagging()
    {
        VariableList list;
        VariableTableModel model(list);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
        fill(list, 200);
        QCOMPARE(model.rowCount(), 200);
        QCOMPARE(model.columnCount(), 2);
        list.tagRow(5);
        list.toggleTag(6);
        list.tagRange(50);
        list.clearAllTags();
        fill(list, 20);
        QCOMPARE(model.rowCount(), 20);
    }

    void cellsShowTextColourAndTag()
    {
        VariableList list;
        VariableTableModel model(list);
        fill(list, 8);
        const QModelIndex text = model.index(3, VariableTableModel::TextColumn); // row 4: typeCode ' '
        QCOMPARE(text.data().toString(), QStringLiteral("VAR4     Label 4"));
        QCOMPARE(text.data(Qt::ForegroundRole).value<QColor>(), QColor(0, 128, 0));
        QCOMPARE(model.index(0, 1).data(Qt::ForegroundRole).value<QColor>(), QColor(0, 0, 128)); // '0'
        QCOMPARE(model.index(1, 1).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0)); // 'A'
        QCOMPARE(model.index(2, 1).data(Qt::ForegroundRole).value<QColor>(), QColor(0, 0, 128)); // other
        QCOMPARE(text.data(Qt::BackgroundRole).value<QColor>(), QColor(Qt::white));
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Variable          Label"));
        QVERIFY(!model.headerData(0, Qt::Horizontal, Qt::DecorationRole).value<QPixmap>().isNull());

        const QModelIndex tag = model.index(3, VariableTableModel::TagColumn);
        QCOMPARE(tag.data(VariableTableModel::TaggedRole).toBool(), false);
        const QPixmap off = tag.data(Qt::DecorationRole).value<QPixmap>();
        QCOMPARE(off.size(), QSize(15, 15));
        list.tagRow(4);
        QCOMPARE(tag.data(VariableTableModel::TaggedRole).toBool(), true);
        QVERIFY(tag.data(Qt::DecorationRole).value<QPixmap>().toImage() != off.toImage());
        // Nobody edits a cell; the tag is a check state as well as a picture.
        QVERIFY(!(model.flags(tag) & Qt::ItemIsEditable));
        QVERIFY(model.flags(tag) & Qt::ItemIsUserCheckable);
        QCOMPARE(tag.data(Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Checked);
        QVERIFY(!(model.flags(text) & Qt::ItemIsEditable));
    }

    void tagChangesRepaintOnlyTheirRows()
    {
        VariableList list;
        VariableTableModel model(list);
        fill(list, 1000);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QSignalSpy pane(&model, &VariableTableModel::tagCountUpdated);
        list.toggleTag(10);
        list.tagRange(700);
        QCOMPARE(changed.size(), 2);
        QCOMPARE(changed.at(1).at(0).toModelIndex().row(), 10);  // row 11
        QCOMPARE(changed.at(1).at(1).toModelIndex().row(), 699); // row 700
        QCOMPARE(changed.at(1).at(1).toModelIndex().column(), 0);
        QCOMPARE(reset.size(), 0);
        QCOMPARE(pane.size(), 2);
        QCOMPARE(pane.at(1).at(0).toUInt(), 691u);
    }

    void viewKeepsUniformRowsAndFollowsTheActiveRow()
    {
        VariableList list;
        VariableListView view(list);
        fill(list, 100000);
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
        QCOMPARE(view.verticalHeader()->sectionSize(99999), view.verticalHeader()->sectionSize(0));
        QVERIFY(view.editTriggers() == QAbstractItemView::NoEditTriggers);
        list.goToRow(80000);
        QCOMPARE(view.currentIndex().row(), 79999);
        QCOMPARE(view.currentIndex().column(), 1);
        QVERIFY(view.viewport()->rect().intersects(view.visualRect(view.currentIndex())));
        // Header text and tag column width.
        QVERIFY(view.columnWidth(0) >= 15);
    }

    void taggedItemsModeIgnoresTheListRules()
    {
        VariableList list(VariableList::Mode::TaggedItems);
        VariableListView view(list);
        fill(list, 10);
        view.resize(300, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QVERIFY(view.isColumnHidden(0));
        list.goToRow(1);
        view.setFocus();
        QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier); // moves: no list rules here
        QCOMPARE(list.activeRow(), 2u);
        QVERIFY(!view.shiftDown());
    }
};

QAVN_QTEST_MAIN(VariableModelTest)
#include "tst_variablemodel.moc"
