// The Ui port over Qt: message boxes, choosers and the pump step.

#include "support/QtTestSupport.h"

#include "app/qt/MainWindow.h"
#include "catalogue/qt/DescriptionWindow.h"
#include "catalogue/qt/VariableListView.h"
#include "catalogue/qt/VariableTableModel.h"
#include "codebook/OpenProject.h"
#include "platform/qt/QtText.h"
#include "platform/qt/QtUi.h"

#include <QElapsedTimer>
#include <QFileDialog>
#include <QPushButton>
#include <QMessageBox>
#include <QTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTemporaryDir>

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

    void textAbove127ReadsTheSameInTheGridTheCaptionAndAMessage()
    {
        const std::string name = "\xC4PFEL";
        const std::string bytes = name + " \xE9t\xE9";
        const QString text = latin1(bytes);
        QCOMPARE(text, QString::fromUtf16(u"\u00C4PFEL \u00E9t\u00E9"));
        QCOMPARE(latin1Bytes(text), bytes);
        // A character Latin-1 has no byte for becomes one '?', a surrogate
        // pair included.
        QCOMPARE(latin1Bytes(QString::fromUtf16(u"a\u20ACb\U0001F600c\u00FF")), std::string("a?b?c\xFF"));

        test::GuiProject p(0);
        p.project.add(test::variable(name, "\xE9t\xE9"));
        QVERIFY(p.start());
        MainWindow* w = p.window();
        const QString row = w->listView()->variableModel()->index(0, VariableTableModel::TextColumn).data().toString();
        QCOMPARE(row, latin1(w->variableList().rowText(1)));
        QCOMPARE(row.simplified(), text);

        DescriptionWindows windows(w->variableList(), p.app->session().store, p.app->session().project, w);
        windows.showDescription();
        QVERIFY(windows.window(0));
        QCOMPARE(windows.window(0)->windowTitle(),
                 QStringLiteral("Description/Frequency - [") + latin1(name) + QLatin1Char(']'));

        QtUi ui;
        QString shown;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            shown = box->text();
            box->accept();
        });
        ui.notice(bytes);
        QCOMPARE(shown, text);
    }

    void questionsThatReplaceDefaultToNoAndAMissingFolderIsNamed()
    {
        QtUi ui;
        QList<QMessageBox::StandardButton> defaults;
        const auto answer = [&] {
            QTimer::singleShot(0, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                QVERIFY(box);
                defaults << box->standardButton(box->defaultButton());
                // Enter presses the default button.
                QTest::keyClick(box, Qt::Key_Return);
            });
        };
        answer();
        QVERIFY(!ui.askYesNoDefaultNo("X already exists.\nDo you want to replace it?"));
        answer();
        QVERIFY(ui.askYesNo("Create it?"));
        QCOMPARE(defaults, (QList<QMessageBox::StandardButton>{QMessageBox::No, QMessageBox::Yes}));

        // The output directory does not exist: the chooser's title says so.
        test::TempDir root;
        test::ScopedEnv drive("QAVN_DRIVE_Q", root.path().string());
        QString title;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            title = dialog->windowTitle();
            dialog->reject();
        });
        QVERIFY(!ui.chooseFile(Ui::FileDialog::Save, "SAS Code|*.sas|", "Q:\\NOWHERE"));
        QVERIFY2(title.startsWith(QStringLiteral("Save As - the output directory Q:\\NOWHERE (")), qPrintable(title));
        QVERIFY(title.endsWith(QStringLiteral(") does not exist")));
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

    void viewOutputWithoutADesktopProgramShowsTheFileItself()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // A desktop with no program for the file: xdg-open fails.
        QFile opener(dir.filePath(QStringLiteral("xdg-open")));
        QVERIFY(opener.open(QIODevice::WriteOnly));
        opener.write("#!/bin/sh\nexit 3\n");
        opener.close();
        opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile output(dir.filePath(QStringLiteral("OUT.SAS")));
        QVERIFY(output.open(QIODevice::WriteOnly));
        output.write("DATA CAF\xC9;\r\nRUN;\r\n");
        output.close();
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(dir.path()) + ":" + path);

        QtUi ui;
        ui.openInViewer(QFile::encodeName(output.fileName()).toStdString());
        QPlainTextEdit* viewer = nullptr;
        QTRY_VERIFY((viewer = [] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == QStringLiteral("textViewer") && w->isVisible())
                    return qobject_cast<QPlainTextEdit*>(w);
            return static_cast<QPlainTextEdit*>(nullptr);
        }()) != nullptr);
        qputenv("PATH", path);
        QCOMPARE(viewer->toPlainText(), QString::fromUtf16(u"DATA CAF\u00C9;\nRUN;\n"));
        QVERIFY(viewer->isReadOnly());
        QPointer<QPlainTextEdit> alive(viewer);
        QTest::keyClick(viewer, Qt::Key_Escape);
        QTRY_VERIFY(!alive);
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
