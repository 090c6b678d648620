// Tools > Verify Codebook Against Data in the window.

#include "support/QtTestSupport.h"

#include "app/qt/Commands.h"
#include "app/qt/Features.h"
#include "app/qt/FeaturesImpl.h"
#include "app/qt/MainWindow.h"
#include "app/qt/VerifyCommand.h"
#include "app/qt/WorkDialog.h"
#include "catalogue/qt/DescriptionWindow.h"
#include "codebook/CodebookWriter.h"

using namespace qavn;

class VerifyTest : public QObject {
    Q_OBJECT

private slots:
    // Tools > Verify Codebook Against Data... writes the report and opens it;
    // the frequency view of a variable without category lines shows its
    // figures, read from the data once a session.
    void reportAndFiguresFromTheData()
    {
        test::GuiProject gui(0);
        auto coded = test::variable("CODED", "Coded", "S", 1, 1, "1");
        coded.categories = {categoryLine("1", "1", "33.3", "One"), categoryLine("2", "1", "33.3", "Two")};
        gui.project.add(coded);
        gui.project.add(test::variable("AMOUNT", "Amount", "S", 1, 1, "2-3", '0'));
        gui.project.dataFiles[0].rawLines = {"112", "215", "1 7"};
        QVERIFY(gui.start());
        Features features(*gui.app, gui.ui);
        features.attach();
        MainWindow* window = gui.window();
        int dialogs = 0;
        window->verifyCommand().runDialog = [&](WorkDialog& dialog) {
            ++dialogs;
            dialog.exec();
        };

        QVERIFY(window->trigger(command::verifyCodebook));
        QCOMPARE(dialogs, 1);
        QCOMPARE(gui.ui.viewed().size(), std::size_t{1});
        const std::string report = test::readFile(gui.ui.viewed().front());
        QCOMPARE(gui.ui.viewed().front(), (gui.project.outputDir() / "ZELVERIFY.TXT").string());
        QVERIFY2(report.find("CODED (1) code 1: codebook 1 (33.3%), data 2 (66.7%)\r\n") != std::string::npos,
                 report.c_str());
        QVERIFY(report.find("code 2") == std::string::npos);

        window->variableList().goToRow(2);
        features.impl().descriptions->showDescription(DescriptionWindows::Request::Frequency);
        DescriptionWindow* shown = features.impl().descriptions->window(0);
        QVERIFY(shown);
        const QString figures = shown->figuresText();
        QVERIFY2(figures.contains(QStringLiteral("Numbers: 3\nMinimum: 7\nMaximum: 15\nMean: 11.33333333")),
                 qPrintable(figures));
        QCOMPARE(dialogs, 2);

        window->variableList().goToRow(1);
        shown->refresh();
        QVERIFY(shown->figuresText().isEmpty());
        QCOMPARE(shown->categoryLines().size(), 2);
        window->variableList().goToRow(2);
        shown->refresh();
        QVERIFY(shown->figuresText().contains(QStringLiteral("Maximum: 15")));
        QCOMPARE(dialogs, 2);
    }
};

QAVN_QTEST_MAIN(VerifyTest)
#include "tst_verify.moc"
