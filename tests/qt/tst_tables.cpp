// Tools > Tables... and the frequency view's bars and weight in the window.

#include "support/QtTestSupport.h"

#include "app/qt/Commands.h"
#include "app/qt/Features.h"
#include "app/qt/FeaturesImpl.h"
#include "app/qt/HelpWindow.h"
#include "app/qt/MainWindow.h"
#include "app/qt/TablesCommand.h"
#include "app/qt/WorkDialog.h"
#include "catalogue/qt/DescriptionWindow.h"
#include "codebook/CodebookWriter.h"
#include "project/ProjectMetadata.h"
#include "tables/qt/BarChart.h"
#include "tables/qt/TablesDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QClipboard>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableWidget>

using namespace qavn;

class TablesTest : public QObject {
    Q_OBJECT

private slots:
    // The active variable comes in as the row variable; Make Table counts
    // the weighted table once a session; the chart, Copy and Save as CSV
    // show and write the same figures; a case without a weight is noted.
    void weightedTableChartCopyAndSave()
    {
        test::GuiProject gui(0);
        auto sex = test::variable("SEX", "Sex", "S", 1, 1, "1");
        sex.categories = {categoryLine("1", "2", "50.0", "Male"), categoryLine("2", "2", "50.0", "Female, other")};
        gui.project.add(sex);
        gui.project.add(test::variable("WT", "Weight", "S", 1, 1, "2-4", '1'));
        auto region = test::variable("REGION", "Region", "S", 1, 1, "5");
        region.categories = {categoryLine("1", "2", "50.0", "North"), categoryLine("2", "2", "50.0", "South")};
        gui.project.add(region);
        gui.project.add(test::variable("NAME", "Name", "S", 1, 1, "6", 'A'));
        // Weights 1.5, 2.0, 0.5 and a blank one (left out).
        gui.project.dataFiles[0].rawLines = {"1 151", "1 202", "2 051", "2   2"};
        QVERIFY(gui.start());
        Features features(*gui.app, gui.ui);
        features.attach();
        MainWindow* window = gui.window();
        int counted = 0;
        window->tablesCommand().runDialog = [&](WorkDialog& dialog) {
            ++counted;
            dialog.exec();
        };

        window->variableList().goToRow(1);
        QVERIFY(window->trigger(command::tables));
        TablesDialog* dialog = window->tablesCommand().dialog();
        QVERIFY(dialog && dialog->isVisible());
        auto* row = dialog->findChild<QLineEdit*>(QStringLiteral("rowVariable"));
        QCOMPARE(row->text(), QStringLiteral("SEX"));
        QVERIFY(!row->accessibleName().isEmpty());
        dialog->findChild<QLineEdit*>(QStringLiteral("weightVariable"))->setText(QStringLiteral("wt"));
        QVERIFY(dialog->makeTable());
        QCOMPARE(counted, 1);
        QCOMPARE(dialog->tableText(), QStringLiteral("SEX\tSEX_label\tcount\tweighted\tpercent\n"
                                                     "1\tMale\t2\t3.5\t87.5\n"
                                                     "2\tFemale, other\t1\t0.5\t12.5\n"));
        QCOMPARE(dialog->tableView()->rowCount(), 2);
        QCOMPARE(dialog->tableView()->item(1, 1)->text(), QStringLiteral("Female, other"));
        QVERIFY2(dialog->notesText().contains(QStringLiteral("1 case left out: the weight WT")),
                 qPrintable(dialog->notesText()));
        const auto& bars = dialog->chart()->bars();
        QCOMPARE(bars.size(), std::size_t{2});
        QCOMPARE(bars[0].amount, 3.5);
        QCOMPARE(bars[1].figure, QStringLiteral("0.5 (12.5%)"));

        QApplication::clipboard()->clear();
        dialog->tableView()->setFocus();
        dialog->tableView()->setCurrentCell(0, 0);
        QTest::keyClick(dialog->tableView(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), dialog->tableText());
        QTest::keyClick(dialog, Qt::Key_F1);
        QTRY_VERIFY(window->helpWindow() && window->helpWindow()->isVisible());
        const std::string saved = (gui.project.outputDir() / "sex").string();
        gui.ui.queueFile(saved);
        QVERIFY(dialog->saveTable());
        QCOMPARE(test::readFile(saved + ".csv"), std::string("SEX,SEX_label,count,weighted,percent\r\n"
                                                    "1,Male,2,3.5,87.5\r\n"
                                                    "2,\"Female, other\",1,0.5,12.5\r\n"));

        // The same table again comes from the cache; a crosstab is counted.
        QVERIFY(dialog->makeTable());
        QCOMPARE(counted, 1);
        dialog->findChild<QLineEdit*>(QStringLiteral("columnVariable"))->setText(QStringLiteral("3"));
        QVERIFY(dialog->makeTable());
        QCOMPARE(counted, 2);
        QVERIFY(dialog->tableText().startsWith(QStringLiteral(
            "SEX\tSEX_label\tREGION\tREGION_label\tcount\tweighted\tpercent\trow_percent\tcolumn_percent\n")));
        // The Grid tab: weighted sums with their totals, copied as shown.
        dialog->tabs()->setCurrentIndex(1);
        dialog->gridFigure()->setCurrentIndex(dialog->gridFigure()->findText(QStringLiteral("Weighted")));
        QCOMPARE(dialog->gridText(), QStringLiteral("SEX \\ REGION\t1 North\t2 South\tTotal\n"
                                                    "1 Male\t1.5\t2\t3.5\n"
                                                    "2 Female, other\t0.5\t0\t0.5\n"
                                                    "Total\t2\t2\t4\n"));
        dialog->gridFigure()->setCurrentIndex(dialog->gridFigure()->findText(QStringLiteral("Row %")));
        QCOMPARE(dialog->gridView()->item(0, 0)->text(), QStringLiteral("42.857143"));
        QTest::keyClick(dialog->gridView(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), dialog->gridText());

        // A name that is no variable, or a text as the weight, is said under
        // its field; nothing is counted.
        dialog->findChild<QLineEdit*>(QStringLiteral("columnVariable"))->setText(QStringLiteral("NOSUCH"));
        QVERIFY(!dialog->makeTable());
        QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("columnNote"))->text(),
                 QStringLiteral("No variable of that name or number"));
        dialog->findChild<QLineEdit*>(QStringLiteral("columnVariable"))->clear();
        dialog->findChild<QLineEdit*>(QStringLiteral("weightVariable"))->setText(QStringLiteral("NAME"));
        QVERIFY(!dialog->makeTable());
        QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("weightNote"))->text(),
                 QStringLiteral("An alphanumeric variable cannot weigh cases"));
        QCOMPARE(counted, 2);
    }

    // The frequency view draws a bar per category line with a summary; once
    // a weight is kept with the project (in its metadata file) the view
    // shows the weighted sums.
    void frequencyViewBarsAndProjectWeight()
    {
        test::GuiProject gui(0);
        auto sex = test::variable("SEX", "Sex", "S", 1, 1, "1-2");
        sex.categories = {categoryLine("1", "3", "75.0", "Male"), categoryLine("-9", "1", "25.0", "{Refused}")};
        gui.project.add(sex);
        gui.project.add(test::variable("WT", "Weight", "S", 1, 1, "3-5", '1'));
        gui.project.dataFiles[0].rawLines = {" 1 15", " 1 20", " 1 05", "-9 10"};
        QVERIFY(gui.start());
        Features features(*gui.app, gui.ui);
        features.attach();
        MainWindow* window = gui.window();
        window->tablesCommand().runDialog = [](WorkDialog& dialog) { dialog.exec(); };

        window->variableList().goToRow(1);
        features.impl().descriptions->showDescription(DescriptionWindows::Request::Frequency);
        DescriptionWindow* shown = features.impl().descriptions->window(0);
        QVERIFY(shown);
        QCOMPARE(shown->barAmounts(), (std::vector<double>{3, 1}));
        QCOMPARE(shown->summaryText(), QStringLiteral("Valid 3 (75.0%)   Missing 1 (25.0%)   Total 4"));
        QVERIFY(shown->columns().barWidth > 0 && shown->columns().labelLeft > shown->columns().barLeft);

        QVERIFY(window->tablesCommand().setProjectWeight("WT"));
        const auto kept = readMetadataFile(gui.project.resourceDir() / "ZELQAV.META", "ZELQAV.META");
        QVERIFY(kept);
        QCOMPARE(kept.value().weight, std::string("WT"));
        QCOMPARE(shown->categoryLines(),
                 QStringList({QStringLiteral("1\t4\t80.0\tMale"), QStringLiteral("-9\t1\t20.0\t{Refused}")}));
        QCOMPARE(shown->summaryText(),
                 QStringLiteral("Weighted by WT:   Valid 4 (80.0%)   Missing 1 (20.0%)   Total 5"));

        // A metadata file that could not be read is left as it is.
        gui.app->session().metadataProblem = ReadError{};
        QVERIFY(!window->tablesCommand().setProjectWeight(""));
        QCOMPARE(readMetadataFile(gui.project.resourceDir() / "ZELQAV.META", "ZELQAV.META").value().weight,
                 std::string("WT"));
    }
};

QAVN_QTEST_MAIN(TablesTest)
#include "tst_tables.moc"
