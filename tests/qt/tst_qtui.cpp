#include "support/QtTestSupport.h"

#include "platform/qt/QtUi.h"

#include <QElapsedTimer>
#include <QTimer>

using namespace qavn;

class QtUiTest : public QObject {
    Q_OBJECT

private slots:
    void filtersBecomeQtFilters()
    {
        QCOMPARE(QtUi::qtFilter("Tag|*.tag|"), QStringLiteral("Tag (*.tag)"));
        QCOMPARE(QtUi::qtFilter("SAS|*.sas|All|*.*|"), QStringLiteral("SAS (*.sas);;All (*.*)"));
        QCOMPARE(QtUi::qtFilter("Text|*.txt;*.lst|"), QStringLiteral("Text (*.txt *.lst)"));
        QCOMPARE(QtUi::qtFilter(""), QString());
    }

    void aMillionPumpStepsCostNextToNothing()
    {
        QtUi ui;
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 1000000; ++i)
            ui.pumpStep();
        // Generous for a sanitized debug build; a release build takes a few ms.
        QVERIFY2(timer.elapsed() < 1500, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(ui.pumpsProcessed() >= 1);
    }

    void pumpDeliversEventsAndNeverReentersItself()
    {
        QtUi ui;
        int fired = 0;
        int nested = 0;
        QTimer::singleShot(0, [&] {
            ++fired;
            // A handler that pumps while the pump runs returns at once.
            const auto before = ui.pumpsProcessed();
            for (int i = 0; i < 100; ++i)
                ui.pumpStep();
            nested = static_cast<int>(ui.pumpsProcessed() - before);
        });
        QVERIFY(QTest::qWaitFor(
            [&] {
                ui.pumpStep();
                return fired == 1;
            },
            2000));
        QCOMPARE(nested, 0);
    }

    void ticksMoveForward()
    {
        QtUi ui;
        const auto start = ui.ticks();
        QVERIFY(QTest::qWaitFor([&] { return ui.ticks() >= start + 5; }, 1000));
    }

    void waitCursorNests()
    {
        QtUi ui;
        ui.setWaitCursor(true);
        ui.setWaitCursor(true);
        QVERIFY(QApplication::overrideCursor());
        ui.setWaitCursor(false);
        QVERIFY(QApplication::overrideCursor());
        ui.setWaitCursor(false);
        QVERIFY(!QApplication::overrideCursor());
    }
};

QAVN_QTEST_MAIN(QtUiTest)
#include "tst_qtui.moc"
