#include "support/QtTestSupport.h"

#include "app/qt/MainWindow.h"
#include "catalogue/qt/VariableListView.h"
#include "search/qt/QueryBar.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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

        // A syntax error shows its column, and nothing is counted.
        QTest::keyClicks(bar->queryEdit(), QStringLiteral("label:(x"));
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
};

QAVN_QTEST_MAIN(QueryBarTest)
#include "tst_querybar.moc"
