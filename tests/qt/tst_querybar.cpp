// The query bar: typing, errors, counts and Tag Matches.

#include "support/QtTestSupport.h"

#include "app/qt/Commands.h"
#include "app/qt/MainWindow.h"
#include "catalogue/qt/VariableListView.h"
#include "catalogue/qt/VariableTableModel.h"
#include "search/qt/QueryBar.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>

using namespace qavn;

class QueryBarTest : public QObject {
    Q_OBJECT

private slots:
    void typingCountsTagMatchesTagsAndTheListCanShowOnlyMatches()
    {
        test::GuiProject gui;
        QVERIFY(gui.start());
        MainWindow* window = gui.window();
        QueryBar* bar = window->queryBar();
        QVERIFY(bar->isVisible());

        // A syntax error shows its column once the typing pauses (not while
        // a word is typed), and nothing is counted.
        QTest::keyClicks(bar->queryEdit(), QStringLiteral("label:(x"));
        QVERIFY(bar->errorLabel()->text().isEmpty());
        QVERIFY(QTest::qWaitFor([&] { return !bar->busy(); }));
        QCOMPARE(bar->errorLabel()->text(), QStringLiteral("missing ')' for this '(' at column 7"));
        QVERIFY(bar->countLabel()->text().isEmpty());
        QVERIFY(!bar->tagButton()->isEnabled());

        // Income is rows 49 to 96: ten of its labels end in 50 to 59.
        bar->queryEdit()->clear();
        QTest::keyClicks(bar->queryEdit(), QStringLiteral("section:income label:/variable 5\\d$/"));
        QVERIFY(QTest::qWaitFor([&] { return !bar->busy(); }));
        QVERIFY(bar->errorLabel()->text().isEmpty());
        QCOMPARE(bar->countLabel()->text(), QStringLiteral("10 matches"));
        QCOMPARE(bar->matches().front(), 50u);
        QCOMPARE(bar->matches().back(), 59u);

        QTest::mouseClick(bar->tagButton(), Qt::LeftButton);
        VariableList& list = window->variableList();
        QCOMPARE(list.tagCount(), 10u);
        QVERIFY(list.isTagged(50) && list.isTagged(59) && !list.isTagged(49));
        QVERIFY(window->tagPane()->text().contains(QStringLiteral("10")));

        // The matches alone: a click on a tag cell untags that variable in
        // the list.
        QTest::mouseClick(bar->onlyMatchesBox(), Qt::LeftButton);
        QTableView* matches = bar->matchesView();
        QVERIFY(matches->isVisible() && !window->listView()->isVisible());
        QCOMPARE(matches->model()->rowCount(), 10);
        const QRect cell = matches->visualRect(matches->model()->index(2, 0));
        QTest::mouseClick(matches->viewport(), Qt::LeftButton, {}, cell.center());
        QVERIFY(!list.isTagged(52));
        QCOMPARE(list.activeRow(), 52u);
        QCOMPARE(list.tagCount(), 9u);
        QTest::mouseClick(bar->onlyMatchesBox(), Qt::LeftButton);
        QVERIFY(!matches->isVisible() && window->listView()->isVisible());
    }

    void errorsKeepTheFieldInPlaceAndMatchesAreMarkedWalkedAndUntagged()
    {
        test::GuiProject gui;
        QVERIFY(gui.start());
        MainWindow* window = gui.window();
        QueryBar* bar = window->queryBar();
        VariableList& list = window->variableList();
        const QRect field = bar->queryEdit()->geometry();

        // A regular expression's error in the user's terms, below the field,
        // which neither moves nor shrinks.
        QTest::keyClicks(bar->queryEdit(), QStringLiteral("label:/(/"));
        QVERIFY(QTest::qWaitFor([&] { return !bar->busy(); }));
        QCOMPARE(bar->errorLabel()->text(), QStringLiteral("invalid regular expression: missing ): ( at column 8"));
        QVERIFY(bar->errorLabel()->isVisible());
        QCOMPARE(bar->queryEdit()->geometry(), field);
        QVERIFY(bar->errorLabel()->geometry().top() >= field.bottom());

        // The count of the text before goes as soon as the text changes.
        bar->queryEdit()->setText(QStringLiteral("section:income"));
        QVERIFY(QTest::qWaitFor([&] { return !bar->busy(); }));
        QCOMPARE(bar->countLabel()->text(), QStringLiteral("48 matches"));
        QVERIFY(!bar->errorLabel()->isVisible());
        QTest::keyClicks(bar->queryEdit(), QStringLiteral(" label:variable"));
        QVERIFY(bar->countLabel()->text().isEmpty());
        QVERIFY(!bar->tagButton()->isEnabled());
        QVERIFY(QTest::qWaitFor([&] { return !bar->busy(); }));
        QCOMPARE(bar->countLabel()->text(), QStringLiteral("48 matches"));

        // The matches are marked in the full grid.
        const auto* model = window->listView()->variableModel();
        QVERIFY(model->index(48, VariableTableModel::TextColumn).data(VariableTableModel::MatchRole).toBool());
        QVERIFY(!model->index(47, VariableTableModel::TextColumn).data(VariableTableModel::MatchRole).toBool());

        // F3 and Shift+F3 from the active row, round the ends of the list.
        list.goToRow(60);
        QTest::keyClick(window->listView(), Qt::Key_F3);
        QCOMPARE(list.activeRow(), 61u);
        list.goToRow(100);
        QTest::keyClick(window->listView(), Qt::Key_F3);
        QCOMPARE(list.activeRow(), 49u);
        QVERIFY(window->statusBar()->currentMessage().contains(QStringLiteral("first match")));
        QTest::keyClick(window->listView(), Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(list.activeRow(), 96u);

        // Tag and Untag Matches are grey while a search runs.
        gui.app->session().commands.set(false);
        QTRY_VERIFY(!bar->tagButton()->isEnabled() && !bar->untagButton()->isEnabled());
        gui.app->session().commands.set(true);
        QTRY_VERIFY(bar->tagButton()->isEnabled());
        list.tagRow(1);
        bar->tagMatches();
        QCOMPARE(list.tagCount(), 49u);
        QTest::mouseClick(bar->untagButton(), Qt::LeftButton);
        QCOMPARE(list.tagCount(), 1u);
        QVERIFY(list.isTagged(1));
    }

    void showOnlyMatchesKeepsThePlaceAndTheMoveCommandsWalkTheMatches()
    {
        test::GuiProject gui;
        QVERIFY(gui.start());
        MainWindow* window = gui.window();
        QueryBar* bar = window->queryBar();
        VariableList& list = window->variableList();
        QTableView* matches = bar->matchesView();

        // An empty query says so.
        bar->onlyMatchesBox()->setChecked(true);
        QVERIFY(bar->emptyText().startsWith(QStringLiteral("No query")));
        bar->onlyMatchesBox()->setChecked(false);

        // Rows 50-59 and 110-119 ("variable 5x", "variable 11x").
        QTest::keyClicks(bar->queryEdit(), QStringLiteral("label:/variable (5|11)\\d$/"));
        QVERIFY(QTest::qWaitFor([&] { return !bar->busy(); }));
        QCOMPARE(bar->matches().size(), 20u);

        // The active row is a match: it stays, and is the current row.
        list.goToRow(55);
        bar->onlyMatchesBox()->setChecked(true);
        QCOMPARE(list.activeRow(), 55u);
        QCOMPARE(matches->currentIndex().row(), 5);
        QVERIFY(bar->emptyText().isEmpty());
        // T tags as in the main grid.
        QTest::keyClick(matches, Qt::Key_T);
        QVERIFY(list.isTagged(55));

        // The Move commands and the toolbar act on the matches.
        QVERIFY(window->trigger(command::bottomOfList));
        QCOMPARE(list.activeRow(), 119u);
        QCOMPARE(matches->currentIndex().row(), 19);
        QVERIFY(window->trigger(command::topOfList));
        QCOMPARE(list.activeRow(), 50u);
        QVERIFY(window->trigger(command::nextFile)); // rows 61-120 are data file 2
        QCOMPARE(list.activeRow(), 110u);
        QVERIFY(window->trigger(command::prevFile));
        QCOMPARE(list.activeRow(), 50u);
        QVERIFY(window->trigger(command::nextSection)); // Income ends at 72, Health starts at 97
        QCOMPARE(list.activeRow(), 110u);
        QVERIFY(window->trigger(command::prevSection));
        QCOMPARE(list.activeRow(), 50u);
        QVERIFY(window->trigger(command::nextTag));
        QCOMPARE(list.activeRow(), 55u);

        // Turned on away from the matches: the nearest match after it.
        bar->onlyMatchesBox()->setChecked(false);
        list.goToRow(70);
        bar->onlyMatchesBox()->setChecked(true);
        QCOMPARE(list.activeRow(), 110u);

        // A query without matches says so.
        bar->queryEdit()->setText(QStringLiteral("nowhere"));
        QVERIFY(QTest::qWaitFor([&] { return !bar->busy(); }));
        QCOMPARE(bar->emptyText(), QStringLiteral("No variable matches the query."));
        QCOMPARE(list.activeRow(), 110u);
    }
};

QAVN_QTEST_MAIN(QueryBarTest)
#include "tst_querybar.moc"
