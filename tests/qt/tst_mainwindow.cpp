// The main window: menus, toolbar, list, keys and status panes.

#include "support/QtTestSupport.h"

#include "app/qt/AboutDialog.h"
#include "app/qt/Commands.h"
#include "app/qt/HelpWindow.h"
#include "app/qt/LoadingDialog.h"
#include "app/qt/MainWindow.h"
#include "app/qt/ProjectCommands.h"
#include "catalogue/qt/VariableListDelegate.h"
#include "catalogue/qt/VariableListView.h"
#include "catalogue/qt/VariableTableModel.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStyleOptionViewItem>
#include <QStatusBar>
#include <QTextBrowser>
#include <QToolBar>

using namespace qavn;
using qavn::test::GuiProject;

namespace {

// "text" for an action, "-" for a separator, "text>" for a submenu.
QStringList describe(const QList<QAction*>& actions)
{
    QStringList out;
    for (QAction* a : actions) {
        if (a->isSeparator())
            out << QStringLiteral("-");
        else if (a->menu())
            out << a->text() + QStringLiteral(">");
        else
            out << a->text();
    }
    return out;
}

QMenu* menuNamed(MainWindow* w, const QString& title)
{
    for (QAction* a : w->menuBar()->actions())
        if (a->text() == title)
            return a->menu();
    return nullptr;
}

QPoint cellCentre(VariableListView* view, int row, int column)
{
    return view->visualRect(view->model()->index(row - 1, column)).center();
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void startShowsTheLoadedList()
    {
        GuiProject p;
        QVERIFY(p.start());
        MainWindow* w = p.window();
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("QAVN - [SAMPLE STUDY]"));
        QVERIFY(w->listView()->isVisible());
        QCOMPARE(w->variableList().rowCount(), 120u);
        QCOMPARE(w->variableList().activeRow(), 1u);
        QCOMPARE(w->tagPane()->text(), QStringLiteral("Tag      0 "));
        QCOMPARE(w->toolbarLabel()->text(), QStringLiteral("FILE1: Household"));
        QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Ready"));
        QVERIFY(p.ui.messages().empty());
    }

    void menuBarHasEveryItemInOrder()
    {
        GuiProject p(10);
        QVERIFY(p.start());
        MainWindow* w = p.window();
        const auto strings = [](std::initializer_list<const char*> texts) {
            QStringList list;
            for (const char* text : texts)
                list << QString::fromLatin1(text);
            return list;
        };
        QCOMPARE(describe(w->menuBar()->actions()), strings({"&File>", "&Move>", "&Tag>", "&View>", "&Search", "T&ools>", "&Help>"}));
        QCOMPARE(describe(menuNamed(w, QStringLiteral("&File"))->actions()),
                 strings({"Open Project...", "Import Data Set...", "Recent Projects>", "-", "Output>", "View Output", "-",
                          "Import Tag Files", "Save Selection...", "Load Selection...", "-", "Setup", "Exit"}));
        QMenu* output = menuNamed(w, QStringLiteral("&File"))->actions().at(4)->menu();
        QCOMPARE(describe(output->actions()),
                 strings({"SAS-PC", "SPSS", "SPSS-PC", "Codebook Text", "Tag File", "Access DB", "Other Formats>"}));
        QCOMPARE(describe(output->actions().back()->menu()->actions()),
                 strings({"CSV Files", "SQLite Database", "SPSS Data File", "Stata Data File", "DDI Codebook",
                          "Stata Do-File", "R Script", "SPSS for PSPP", "Parquet Files", "HTML Site",
                          "Data Dictionary (xlsx)"}));
        QCOMPARE(describe(menuNamed(w, QStringLiteral("&Move"))->actions()),
                 strings({"Top of List", "Prev Section", "Next Section", "Bottom of List", "-", "Prev File", "Next File"}));
        QCOMPARE(describe(menuNamed(w, QStringLiteral("&Tag"))->actions()),
                 strings({"Tag Item", "Untag Item", "Clear All Tag", "-", "&Prev Tag", "&Next Tag"}));
        QCOMPARE(describe(menuNamed(w, QStringLiteral("&View"))->actions()), strings({"&Description", "&Tagged Items"}));
        QCOMPARE(describe(menuNamed(w, QStringLiteral("T&ools"))->actions()),
                 strings({"Verify Codebook Against Data...", "Tables..."}));
        QCOMPARE(describe(menuNamed(w, QStringLiteral("&Help"))->actions()), strings({"Contents    F1", "About"}));
        // Every action carries its command ID.
        for (const CommandInfo& info : commandTable())
            QCOMPARE(w->action(info.id)->data().toInt(), info.id);
        QCOMPARE(w->action(command::outputSas)->statusTip(), QStringLiteral("Create File for SAS-PC Code"));
        QCOMPARE(w->action(command::outputSas)->toolTip(), QStringLiteral("SAS-PC Code"));
    }

    void toolBarHasTenButtonsAndTwoSeparators()
    {
        GuiProject p(10);
        QVERIFY(p.start());
        MainWindow* w = p.window();
        QList<int> ids;
        for (QAction* a : w->toolBar()->actions()) {
            if (a->isSeparator())
                ids << 0;
            else if (a->data().isValid())
                ids << a->data().toInt();
        }
        QCOMPARE(ids, (QList<int>{32818, 32823, 32822, 32817, 32824, 32819, 0, 32820, 32810, 0, 32795, 32779}));
        QCOMPARE(w->action(command::nextTag)->toolTip(), QStringLiteral("Next Tag"));
        QCOMPARE(w->action(command::nextTag)->statusTip(), QStringLiteral("Move to Next Tagged Item"));
        QVERIFY(!w->action(command::topOfList)->icon().isNull());
        QCOMPARE(w->toolbarLabel()->objectName(), QStringLiteral("toolbarLabel"));
    }

    void commandsGreyWhileCommandsEnabledIsZero()
    {
        GuiProject p(10);
        QVERIFY(p.start());
        MainWindow* w = p.window();
        // Handlers for the commands still to come, so that only the flags decide.
        for (const CommandInfo& info : commandTable())
            if (!w->hasCommandHandler(info.id))
                w->setCommandHandler(info.id, [] {});
        for (bool dataOnCd : {false, true}) {
            p.app->session().settings.dataOnCd = dataOnCd;
            for (int enabled : {1, 0}) {
                p.app->session().commands.set(enabled != 0);
                w->updateCommandStates();
                for (const CommandInfo& info : commandTable()) {
                    bool expected = true;
                    if (info.enabledBy == EnabledBy::CommandsEnabled)
                        expected = enabled != 0;
                    else if (info.enabledBy == EnabledBy::DataOnCd)
                        expected = dataOnCd;
                    QVERIFY2(w->action(info.id)->isEnabled() == expected, info.menuText);
                    for (QAction* item : w->menuBar()->actions())
                        if (item->data().toInt() == info.id)
                            QVERIFY(item->isEnabled() == expected);
                }
            }
        }
        // Without any call the window follows a change of the flag.
        p.app->session().commands.set(true);
        QTRY_VERIFY(w->action(command::topOfList)->isEnabled());
        p.app->session().commands.set(false);
        QTRY_VERIFY(!w->action(command::topOfList)->isEnabled());
        QVERIFY(!w->trigger(command::bottomOfList));
        QCOMPARE(w->variableList().activeRow(), 1u);
    }

    void commandsWithoutHandlerStayGreyUntilOneIsSet()
    {
        GuiProject p(10);
        p.project.write();
        p.app = std::make_unique<Application>(p.ui);
        int searches = 0;
        p.app->addMainWindowSetup([&searches](MainWindow& w) {
            w.setCommandHandler(command::search, [&searches] { ++searches; });
        });
        QVERIFY(p.app->start("P=ZEL"));
        MainWindow* w = p.window();
        QVERIFY(w->trigger(command::search));
        QCOMPARE(searches, 1);
        QVERIFY(!w->action(command::viewOutput)->isEnabled());
        int runs = 0;
        w->setCommandHandler(command::viewOutput, [&runs] { ++runs; });
        QVERIFY(w->action(command::viewOutput)->isEnabled());
        QVERIFY(w->trigger(command::viewOutput));
        QCOMPARE(runs, 1);
        QVERIFY(w->listView()->hasFocus() || !QApplication::focusWindow());
    }

    void clicksInTheTagColumnToggleAndShiftClicksTagRanges()
    {
        GuiProject p(60);
        QVERIFY(p.start());
        MainWindow* w = p.window();
        VariableListView* view = w->listView();
        VariableList& list = w->variableList();
        QWidget* cells = view->viewport();

        QTest::mouseClick(cells, Qt::LeftButton, {}, cellCentre(view, 3, 0));
        QVERIFY(list.isTagged(3));
        QCOMPARE(list.activeRow(), 3u);
        QCOMPARE(w->tagPane()->text(), QStringLiteral("Tag      1 "));
        QCOMPARE(view->model()->data(view->model()->index(2, 0), VariableTableModel::TaggedRole).toBool(), true);

        // Shift held down (the key seen by the list) and a click on row 8.
        QTest::keyPress(view, Qt::Key_Shift, Qt::ShiftModifier);
        QVERIFY(view->shiftDown());
        QTest::mouseClick(cells, Qt::LeftButton, Qt::ShiftModifier, cellCentre(view, 8, 0));
        QTest::keyRelease(view, Qt::Key_Shift);
        for (std::uint32_t r = 3; r <= 8; ++r)
            QVERIFY(list.isTagged(r));
        QCOMPARE(list.tagCount(), 6u);
        QCOMPARE(list.anchorRow(), 8u);
        QCOMPARE(w->tagPane()->text(), QStringLiteral("Tag      6 "));

        // A click on the row text moves the active row and tags nothing.
        QTest::mouseClick(cells, Qt::LeftButton, {}, cellCentre(view, 5, 1));
        QCOMPARE(list.activeRow(), 5u);
        QCOMPARE(list.tagCount(), 6u);

        // Toggling row 3 off, then Shift+click up to row 1 untags 1..3.
        QTest::mouseClick(cells, Qt::LeftButton, {}, cellCentre(view, 3, 0));
        QTest::mouseClick(cells, Qt::LeftButton, Qt::ShiftModifier, cellCentre(view, 1, 0));
        QCOMPARE(list.tagCount(), 5u);
        QVERIFY(!list.isTagged(1) && !list.isTagged(3) && list.isTagged(4));

        // Header and the space below the rows change no tag.
        QTest::mouseClick(view->horizontalHeader(), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(list.tagCount(), 5u);
    }

    void keyRules()
    {
        GuiProject p(60);
        QVERIFY(p.start());
        MainWindow* w = p.window();
        VariableListView* view = w->listView();
        VariableList& list = w->variableList();
        view->setFocus();

        QTest::keyClick(view, Qt::Key_Down);
        QCOMPARE(list.activeRow(), 2u);
        QTest::keyClick(view, Qt::Key_Down, Qt::ShiftModifier); // consumed
        QCOMPARE(list.activeRow(), 2u);
        QTest::keyClick(view, Qt::Key_Home); // consumed
        QCOMPARE(list.activeRow(), 2u);
        QTest::keyClick(view, Qt::Key_PageDown, Qt::ControlModifier); // consumed
        QCOMPARE(list.activeRow(), 2u);
        QTest::keyClick(view, Qt::Key_Right);
        QCOMPARE(view->currentIndex().column(), 1);

        QTest::keyClick(view, Qt::Key_T);
        QVERIFY(list.isTagged(2));
        QCOMPARE(w->tagPane()->text(), QStringLiteral("Tag      1 "));
        QTest::keyClick(view, Qt::Key_T);
        QVERIFY(!list.isTagged(2));

        QTest::keyClick(view, Qt::Key_Up);
        QCOMPARE(list.activeRow(), 1u);
        QTest::keyClick(view, Qt::Key_PageUp); // row 1: consumed
        QCOMPARE(list.activeRow(), 1u);
        QTest::keyClick(view, Qt::Key_PageDown);
        QVERIFY(list.activeRow() > 1u);

        QVERIFY(w->trigger(command::bottomOfList));
        QCOMPARE(list.activeRow(), 60u);
        QTest::keyClick(view, Qt::Key_PageDown); // last row: consumed
        QCOMPARE(list.activeRow(), 60u);
        // The active row is scrolled into view.
        QVERIFY(view->viewport()->rect().intersects(view->visualRect(view->currentIndex())));
        QCOMPARE(w->toolbarLabel()->text(), QStringLiteral("FILE2: Health"));

        int descriptions = 0;
        w->setDescriptionHandler([&descriptions] { ++descriptions; });
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cellCentre(view, 60, 1));
        QCOMPARE(descriptions, 1);
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(descriptions, 2);
    }

    void f1OpensTheHelpAtItsContents()
    {
        GuiProject p(5);
        QVERIFY(p.start());
        MainWindow* w = p.window();
        QTest::keyClick(w->listView(), Qt::Key_F1);
        QVERIFY(p.ui.messages().empty());
        QVERIFY(w->helpWindow());
        QTRY_VERIFY(w->helpWindow()->isVisible());
        QVERIFY(w->helpWindow()->browser()->toPlainText().contains(QStringLiteral("QAVN Help Contents")));

        qputenv("QAVN_HELP_FILE", "/nonexistent/QAVN.HLP");
        w->showHelpContents();
        qunsetenv("QAVN_HELP_FILE");
        QCOMPARE(p.ui.messageTexts(), std::vector<std::string>{"Cannot Open QAVN.HLP !"});
    }

    void moveAndTagCommands()
    {
        GuiProject p(100);
        QVERIFY(p.start());
        MainWindow* w = p.window();
        VariableList& list = w->variableList();
        QVERIFY(w->trigger(command::nextSection));
        QCOMPARE(list.activeRow(), 41u); // "Household" covers rows 1-40
        QCOMPARE(w->toolbarLabel()->text(), QStringLiteral("FILE1: Income"));
        QVERIFY(w->trigger(command::nextFile));
        QCOMPARE(list.activeRow(), 51u);
        QVERIFY(w->trigger(command::prevSection)); // from inside "Income" to the start of "Household"
        QCOMPARE(list.activeRow(), 1u);
        QVERIFY(w->trigger(command::nextSection));
        QVERIFY(w->trigger(command::tagItem));
        QVERIFY(w->trigger(command::topOfList));
        QVERIFY(w->trigger(command::nextTag));
        QCOMPARE(list.activeRow(), 41u);
        QVERIFY(w->trigger(command::untagItem));
        QCOMPARE(w->tagPane()->text(), QStringLiteral("Tag      0 "));
        list.tagRow(7);
        QVERIFY(w->trigger(command::clearAllTag));
        QCOMPARE(list.tagCount(), 0u);
    }

    void longLabelTextIsCut()
    {
        GuiProject p(0);
        const std::string longSection(150, 'S');
        p.project.add(test::variable("X", "x", longSection));
        QVERIFY(p.start());
        const QString text = p.window()->toolbarLabel()->text();
        QCOMPARE(text.size(), 99);
        QVERIFY(text.startsWith(QStringLiteral("FILE1: SSS")));
    }

    void badCommandLineEndsTheStart()
    {
        GuiProject p(5);
        QVERIFY(!p.start("ZEL"));
        QCOMPARE(p.ui.messageTexts(),
                 std::vector<std::string>{
                     "Invalid Parameter !\nStart QAVN with setup file.\nQAVN P='project ID'\nEx) QAVN P=ZEL"});
        QCOMPARE(p.ui.messages().front().icon, Ui::Icon::Stop);
        QVERIFY(!p.window());
    }

    void missingComponentsEndTheStartFirst()
    {
        GuiProject p(5);
        p.project.write();
        p.app = std::make_unique<Application>(p.ui);
        p.app->setComponentCheck([] { return false; });
        QVERIFY(!p.app->start("P=ZEL"));
        QCOMPARE(p.ui.messageTexts(), std::vector<std::string>{"Cannot load DLLs"});
        QCOMPARE(p.ui.pumpSteps(), 0u); // no logo wait
        QVERIFY(!p.app->mainWindow());
    }

    void cancelDuringLoadingEndsTheStart()
    {
        GuiProject p(400);
        bool clicked = false;
        p.ui.onEveryPump([&clicked] {
            if (clicked)
                return;
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<LoadingDialog*>(top);
                if (dialog && dialog->isVisible()) {
                    QCOMPARE(dialog->progressBar()->maximum(), 40);
                    QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
                    clicked = true;
                }
            }
        });
        QVERIFY(!p.start());
        QVERIFY(clicked);
        QCOMPARE(p.ui.messageTexts(),
                 std::vector<std::string>{"Data Loading Has Been Canceled! Please Restart Application."});
        QVERIFY(!p.window());
    }

    void windowOpensRoomyAndKeepsItsPlace()
    {
        QPoint place;
        {
            GuiProject p(5);
            QVERIFY(p.start());
            MainWindow* w = p.window();
            // Larger than it was (720 by 520), within the screen.
            QVERIFY(w->width() >= 720 && w->height() >= 520 && w->width() * w->height() > 720 * 520);
            QVERIFY(w->screen()->availableGeometry().size().expandedTo(QSize(720, 520)).width() >= w->width());
            w->setGeometry(QRect(QPoint(30, 20), QSize(760, 540)));
            place = w->pos();
            QVERIFY(p.window()->trigger(command::exit));
        }
        GuiProject again(5);
        QVERIFY(again.start());
        QCOMPARE(again.window()->size(), QSize(760, 540));
        QCOMPARE(again.window()->pos(), place);
        QSettings(QStringLiteral("QAVN"), QStringLiteral("qavn")).clear();
    }

    void cutOffLabelShowsWholeAsToolTipAndSmallWindowsKeys()
    {
        GuiProject p(0);
        p.project.add(test::variable("LONG", std::string(60, 'W') + " END"));
        p.project.add(test::variable("SHORT", "FITS"));
        QVERIFY(p.start());
        MainWindow* w = p.window();
        VariableListView* view = w->listView();
        QStyleOptionViewItem option;
        option.initFrom(view);
        option.rect = QRect(0, 0, 300, 16);
        const QModelIndex longCell = view->model()->index(0, VariableTableModel::TextColumn);
        const QModelIndex shortCell = view->model()->index(1, VariableTableModel::TextColumn);
        QCOMPARE(VariableListDelegate::cutOffLabel(option, longCell), QString(60, QLatin1Char('W')) + QStringLiteral(" END"));
        QCOMPARE(VariableListDelegate::cutOffLabel(option, shortCell), QString());
        option.rect.setWidth(2000);
        QCOMPARE(VariableListDelegate::cutOffLabel(option, longCell), QString());

        // Escape closes the help; the About box keeps its size.
        w->showHelpContents();
        QTRY_VERIFY(w->helpWindow() && w->helpWindow()->isVisible());
        QTest::keyClick(w->helpWindow()->browser(), Qt::Key_Escape);
        QVERIFY(!w->helpWindow()->isVisible());
        AboutDialog about(w);
        about.show();
        QCOMPARE(about.minimumSize(), about.maximumSize());
    }

    void loadingDialogStaysCentredOnTheWindow()
    {
        QWidget owner;
        owner.setGeometry(40, 40, 760, 540);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        LoadingDialog* dialog = nullptr;
        int offCentre = -1;
        LoadingDialog box(&owner, [&] {
            // The window manager places the main window only now.
            owner.move(200, 120);
            (void)QTest::qWaitFor([&] {
                return (dialog->frameGeometry().center() - owner.frameGeometry().center()).manhattanLength() <= 2;
            });
            offCentre = (dialog->frameGeometry().center() - owner.frameGeometry().center()).manhattanLength();
        });
        dialog = &box;
        box.exec();
        QVERIFY(offCentre >= 0 && offCentre <= 2);
    }

    void helpTellsOfEveryCommand()
    {
        QFile file(HelpWindow::findHelpFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString help = QString::fromLatin1(file.readAll()).simplified();
        QStringList missing;
        QStringList texts;
        for (const CommandInfo& info : commandTable()) {
            QString text = QString::fromLatin1(info.menuText);
            text.remove(QLatin1Char('&')).remove(QStringLiteral("...")).remove(QStringLiteral("F1"));
            texts << text.trimmed();
        }
        texts << QStringLiteral("Recent Projects") << QStringLiteral("Other Formats") << QStringLiteral("Untag Matches")
              << QStringLiteral("Tag Matches") << QStringLiteral("Show Only Matches") << QStringLiteral("F3")
              << QStringLiteral("Ctrl+C") << QStringLiteral("Frequency");
        for (const QString& text : texts)
            if (!help.contains(text))
                missing << text;
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QStringLiteral(", "))));
        // The topics the program opens.
        for (const char* topic : {"Contents", "Query", "Selections", "Import", "Tables"})
            QVERIFY2(help.contains(QStringLiteral("name=\"%1\"").arg(QLatin1String(topic))), topic);
    }

    void openProjectAndImportDataSetStartTheProgramOnTheOtherProject()
    {
        GuiProject p(5);
        QVERIFY(p.start());
        MainWindow* w = p.window();
        ProjectCommands& projects = w->projects();
        QStringList launched;
        projects.launch = [&](const QString& folder, const QString& id) {
            launched << folder + QLatin1Char('|') + id;
            return true;
        };
        projects.afterLaunch = {};
        test::TempDir other;

        // Not a configuration file, or none there: refused, nothing started.
        QVERIFY(!projects.openProjectFile(QString::fromStdString((other / "notes.txt").string())));
        QVERIFY(!projects.openProjectFile(QString::fromStdString((other / "GONEQAV.CFG").string())));
        QCOMPARE(p.ui.messages().size(), 2u);
        QVERIFY(p.ui.messageTexts().back().rfind("Cannot Open Project ", 0) == 0);
        QVERIFY(launched.isEmpty());

        // Another project's configuration file: the program starts on it in
        // its folder, and the project heads the recent list.
        test::writeFile(other / "othqav.cfg", "C:\\RES\r\nC:\\OUT\r\nD\r\n");
        const QString cfg = QString::fromStdString((other / "othqav.cfg").string());
        p.ui.queueFile(cfg.toStdString());
        QVERIFY(w->trigger(command::openProject));
        QCOMPARE(launched, QStringList{QString::fromStdString(other.path().string()) + QStringLiteral("|OTH")});
        QCOMPARE(projects.recentProjects().front(), cfg);
        QCOMPARE(projects.recentProjects().at(1), projects.currentConfigurationFile());

        // A data set: the import dialog named after it, the import, then
        // the new project starts; the same file unchanged opens at once.
        QCOMPARE(ProjectCommands::cksum("abc"), 1219131554u);
        QCOMPARE(ProjectCommands::cksum(""), 4294967295u);
        test::writeFile(other / "people.csv", "age,sex\n30,1\n41,2\n");
        const QString csv = QString::fromStdString((other / "people.csv").string());
        // A folder whose parent does not exist yet.
        const QString folder = QString::fromStdString((other / "made" / "people").string());
        bool helped = false;
        QStringList offered;
        projects.help = [&] { helped = true; };
        projects.execImportDialog = [&](ImportDataSetDialog& dialog) -> int {
            offered = dialog.sources();
            offered << dialog.idField()->text() << dialog.folderField()->text();
            QTest::keyClick(&dialog, Qt::Key_F1);
            dialog.folderField()->setText(folder);
            return QDialog::Accepted;
        };
        QVERIFY(projects.openDropped({csv}));
        QCOMPARE(offered.mid(0, 2), (QStringList{csv, QStringLiteral("PEOPLE")}));
        QVERIFY(offered.at(2).endsWith(
            QStringLiteral("/qavn/projects/people-%1").arg(ProjectCommands::cksum(QFile::encodeName(csv)))));
        QVERIFY(helped);
        QCOMPARE(launched.size(), 2);
        QCOMPARE(launched.back(), folder + QStringLiteral("|PEOPLE"));
        QVERIFY(QFileInfo::exists(folder + QStringLiteral("/PEOPLEQAV.CFG")));
        projects.importDataSet({csv});
        QCOMPARE(launched.size(), 3);
        QVERIFY(w->statusBar()->currentMessage().contains(QStringLiteral("imported before")));
        QSettings(QStringLiteral("QAVN"), QStringLiteral("qavn")).clear();
    }

    void exitClosesTheWindow()
    {
        GuiProject p(5);
        QVERIFY(p.start());
        int closing = 0;
        p.app->addClosingStep([&closing] { ++closing; });
        QVERIFY(p.window()->trigger(command::exit));
        QTRY_VERIFY(!p.window()->isVisible());
        QCOMPARE(closing, 1);
        QVERIFY(p.app->session().project.dataFiles.empty());
        p.app->exit(); // nothing left to do
        QCOMPARE(closing, 1);
    }
};

QAVN_QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
