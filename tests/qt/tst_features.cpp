// The window's features: setup, descriptions, search, outputs and their dialogs.

#include "support/QtTestSupport.h"

#include "app/qt/Commands.h"
#include "app/qt/Features.h"
#include "app/qt/FeaturesImpl.h"
#include "app/qt/MainWindow.h"
#include "app/qt/OutputCommands.h"
#include "app/qt/OutputDialogs.h"
#include "app/qt/SetupDialog.h"
#include "codebook/CodebookWriter.h"
#include "outputs/OutputFormats.h"
#include "search/qt/ImportTagFilesDialog.h"
#include "search/qt/QueryBar.h"
#include "search/qt/SearchDialog.h"
#include "catalogue/qt/DescriptionWindow.h"
#include "catalogue/qt/TaggedItemsDialog.h"
#include "catalogue/qt/VariableListView.h"
#include "catalogue/qt/VariableTableModel.h"

#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QHeaderView>
#include <QListView>
#include <QSettings>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QCursor>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QToolButton>

using namespace qavn;
using qavn::test::GuiProject;
using qavn::test::readFile;

namespace {

// A project whose variables have descriptions and category lines.
struct FeatureProject {
    GuiProject gui{0};
    std::unique_ptr<Features> features;

    FeatureProject()
    {
        for (int i = 1; i <= 12; ++i) {
            auto v = test::variable("V" + std::to_string(i), "Label " + std::to_string(i),
                                    i <= 6 ? "Household" : "Health", i <= 8 ? 1 : 2, 1,
                                    std::to_string(i * 2 - 1) + "-" + std::to_string(i * 2), i == 5 ? 'A' : ' ');
            v.description = {"Description of variable " + std::to_string(i), "It's the second line"};
            v.categories = {categoryLine("1", "25", "3.5", "Yes"), categoryLine("2", "75", "96.5", "No")};
            if (i == 9)
                v.description = {"AVERAGE AGE here", "AGE, also"};
            if (i == 10)
                v.categories.push_back(categoryLine("9", "0", "0.0", "AGE unknown"));
            gui.project.add(v);
        }
        gui.project.dataFiles[0].rawLines = {"0102030405060708", "1112131415161718"};
    }

    bool start()
    {
        if (!gui.start())
            return false;
        features = std::make_unique<Features>(*gui.app, gui.ui);
        features->attach();
        return true;
    }
    MainWindow* window() const { return gui.window(); }
    VariableList& list() const { return gui.window()->variableList(); }
    Features::Impl& impl() const { return features->impl(); }
};

// Runs `check` on the modal dialog of type T once it is up, then closes it.
template <typename T>
void whenModal(std::function<void(T*)> check)
{
    QTimer::singleShot(0, [check] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        check(dialog);
        dialog->done(QDialog::Rejected);
    });
}

} // namespace

class FeaturesTest : public QObject {
    Q_OBJECT

private slots:
    void descriptionWindowsShowAndReplaceTheOneNotUsedLast()
    {
        FeatureProject p;
        QVERIFY(p.start());
        MainWindow* w = p.window();
        auto& d = *p.impl().descriptions;
        QVERIFY(w->trigger(command::description));
        DescriptionWindow* first = d.window(0);
        QVERIFY(first && first->isVisible());
        QCOMPARE(first->windowTitle(), QStringLiteral("Description/Frequency - [V1]"));
        QCOMPARE(first->infoText(), QStringLiteral("In DATA\\FILE1.DAT on record 1 at 1-2"));
        QCOMPARE(first->descriptionText(),
                 QStringLiteral("Description of variable 1\nIt's the second line\n"));
        QCOMPARE(first->categoryLines(),
                 (QStringList{QStringLiteral("1\t25\t3.5\tYes"), QStringLiteral("2\t75\t96.5\tNo")}));

        p.list().goToRow(2);
        w->trigger(command::description);
        QVERIFY(d.window(1) && d.window(1)->isVisible());
        QCOMPARE(d.window(1)->row(), 2u);
        QCOMPARE(first->row(), 1u);

        p.list().goToRow(3);
        w->trigger(command::description);
        QCOMPARE(first->row(), 3u); // window 0 was not used last

        // Pinned: window 1 keeps its variable, window 0 follows.
        d.window(1)->setPinned(true);
        p.list().goToRow(4);
        d.showDescription();
        QCOMPARE(first->row(), 4u);
        // Pinning window 0 unpins window 1.
        first->setPinned(true);
        QVERIFY(!d.window(1)->pinned());

        // Closing hides; the next request reuses the hidden window.
        d.window(1)->close();
        QVERIFY(!d.window(1)->isVisible());
        p.list().goToRow(6);
        d.showDescription(DescriptionWindows::Request::Frequency);
        QVERIFY(d.window(1)->isVisible());
        QCOMPARE(d.window(1)->row(), 6u);
        QCOMPARE(d.window(1)->view(), DescriptionWindow::View::Frequency);
        QVERIFY(d.window(1)->findChild<QRadioButton*>(QStringLiteral("viewFrequency"))->isChecked());
    }

    void descriptionWindowTellsAClickFromOtherActivation()
    {
        FeatureProject p;
        QVERIFY(p.start());
        auto& d = *p.impl().descriptions;
        d.showDescription();
        DescriptionWindow* window = d.window(0);
        QTRY_VERIFY(window->isActiveWindow());
        QTRY_VERIFY(!window->activationPending());
        // The stored lines keep their breaks: no wrapping at the window's edge.
        QCOMPARE(window->findChild<QPlainTextEdit*>(QStringLiteral("description"))->lineWrapMode(),
                 QPlainTextEdit::NoWrap);
        QCursor::setPos(window->geometry().bottomRight() + QPoint(400, 400));
        window->setPinned(true);
        p.list().goToRow(5);
        // A window manager activates the window before the press that did
        // it arrives: the press keeps it pinned on its variable.
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(window, &activate);
        QWidget* text = window->findChild<QPlainTextEdit*>(QStringLiteral("description"))->viewport();
        QTest::mousePress(text, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(text, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::qWait(DescriptionWindow::activationDelayMs * 2);
        QVERIFY(window->pinned());
        QCOMPARE(window->row(), 1u);
        // The pin of a window made active by the click pins its own variable.
        window->setPinned(false);
        QCoreApplication::sendEvent(window, &activate);
        QTest::mouseClick(window->findChild<QToolButton*>(QStringLiteral("pinUp")), Qt::LeftButton);
        QTest::qWait(DescriptionWindow::activationDelayMs * 2);
        QVERIFY(window->pinned());
        QCOMPARE(window->row(), 1u);
        // Activated any other way, it unpins and follows the list; losing
        // the activation at once (passed through) changes nothing.
        QEvent deactivate(QEvent::WindowDeactivate);
        QCoreApplication::sendEvent(window, &activate);
        QCoreApplication::sendEvent(window, &deactivate);
        QTest::qWait(DescriptionWindow::activationDelayMs * 2);
        QVERIFY(window->pinned());
        QCoreApplication::sendEvent(window, &activate);
        QTRY_VERIFY(!window->pinned());
        QCOMPARE(window->row(), 5u);
    }

    void searchIsNeverGreyedAndTypingDuringAWalkIsKept()
    {
        FeatureProject p;
        p.gui.project.write();
        p.gui.app = std::make_unique<Application>(p.gui.ui);
        p.features = std::make_unique<Features>(*p.gui.app, p.gui.ui);
        bool greyedWhileLoading = false;
        p.gui.ui.onEveryPump([&] {
            if (MainWindow* w = p.window(); w && !w->action(command::search)->isEnabled())
                greyedWhileLoading = true;
        });
        QVERIFY(p.gui.app->start("P=ZEL"));
        p.gui.ui.onEveryPump({});
        MainWindow* w = p.window();
        QVERIFY(!greyedWhileLoading);
        QVERIFY(w->action(command::search)->isEnabled());
        QVERIFY(w->trigger(command::search)); // nothing to search yet: nothing happens
        QVERIFY(!p.impl().searchDialog);
        p.features->attach();

        w->trigger(command::search);
        SearchDialog* dialog = p.impl().searchDialog;
        QVERIFY(dialog);
        dialog->findWhat()->setEditText(QStringLiteral("V1"));
        QColor disabledText;
        QColor enabledText = dialog->button(3)->palette().color(QPalette::Active, QPalette::ButtonText);
        p.gui.ui.onEveryPump([&] {
            if (!dialog->button(3)->isEnabled() && !disabledText.isValid()) {
                disabledText = dialog->button(3)->palette().color(QPalette::Disabled, QPalette::ButtonText);
                dialog->findWhat()->setEditText(QStringLiteral("AGE"));
            }
        });
        dialog->button(3)->click();
        p.gui.ui.onEveryPump({});
        // Greyed buttons look greyed.
        QVERIFY(disabledText.isValid());
        QVERIFY(disabledText != enabledText);
        QCOMPARE(dialog->findWhat()->currentText(), QStringLiteral("AGE"));
        QCOMPARE(p.list().tagCount(), 4u);
    }

    void closingADescriptionWindowReturnsToTheList()
    {
        FeatureProject p;
        QVERIFY(p.start());
        MainWindow* w = p.window();
        auto& d = *p.impl().descriptions;
        d.showDescription();
        p.list().goToRow(2);
        d.showDescription();
        QTRY_VERIFY(d.window(1)->isActiveWindow());
        QTest::keyClick(d.window(1), Qt::Key_Escape);
        QVERIFY(!d.window(1)->isVisible());
        QTRY_VERIFY(w->isActiveWindow());
        QVERIFY(w->listView()->hasFocus());
        QCOMPARE(d.window(0)->row(), 1u);
    }

    void taggedItemsListsTheSelectionAndChangesNothing()
    {
        FeatureProject p;
        QVERIFY(p.start());
        MainWindow* w = p.window();
        w->trigger(command::taggedItems);
        QCOMPARE(p.gui.ui.messageTexts().back(), std::string("No Tagged Item !"));

        p.list().tagRow(7);
        p.list().tagRow(2);
        bool checked = false;
        whenModal<TaggedItemsDialog>([&](TaggedItemsDialog* dialog) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Tagged Items"));
            QCOMPARE(dialog->list().rowCount(), 2u);
            QCOMPARE(QString::fromStdString(std::string(dialog->list().rowText(1))), QStringLiteral("V2       Label 2"));
            QCOMPARE(QString::fromStdString(std::string(dialog->list().rowText(2))), QStringLiteral("V7       Label 7"));
            VariableListView* grid = dialog->view();
            QVERIFY(grid->isColumnHidden(0));
            const QPoint cell = grid->visualRect(grid->model()->index(0, 1)).center();
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell);
            QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell);
            QTest::keyClick(grid, Qt::Key_T);
            QTest::keyClick(grid, Qt::Key_Space);
            checked = true;
        });
        w->trigger(command::taggedItems);
        QVERIFY(checked);
        // Enter in the grid presses OK.
        int result = -1;
        QTimer::singleShot(0, [&result] {
            auto* dialog = qobject_cast<TaggedItemsDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QTest::keyClick(dialog->view(), Qt::Key_Return);
            result = dialog->isVisible() ? -1 : dialog->result();
            if (dialog->isVisible())
                dialog->done(QDialog::Rejected);
        });
        w->trigger(command::taggedItems);
        QCOMPARE(result, static_cast<int>(QDialog::Accepted));
        QCOMPARE(p.list().tagCount(), 2u);
        QVERIFY(p.list().isTagged(2) && p.list().isTagged(7));
        QVERIFY(!p.impl().descriptions->window(0));
    }

    void setupDialogWritesTheConfigurationInBothModes()
    {
        test::TestProject project;
        std::filesystem::remove(project.root() / "ZELQAV.CFG");
        ScriptedUi ui;
        Settings settings;
        {
            SetupDialog dialog(settings, "ZELQAV.CFG", SetupMode::Creation, ui);
            QCOMPARE(dialog.resourceField()->text(), QString());
            QCOMPARE(dialog.driveList()->currentText(), QStringLiteral("E"));
            QCOMPARE(dialog.driveList()->count(), 26);
            dialog.resourceField()->setText(QStringLiteral("D:\\RES"));
            dialog.outputField()->setText(QStringLiteral("D:\\OUT"));
            dialog.accept();
        }
        QCOMPARE(QString::fromStdString(readFile(project.root() / "ZELQAV.CFG")),
                 QStringLiteral("D:\\RES\r\nD:\\OUT\r\nE\r\n0\r\n0\r\n2"));
        QCOMPARE(settings.outputDir, std::string("D:\\OUT"));

        test::writeFile(project.root() / "ZELQAV.CFG", "D:\\RES\r\nD:\\OUT\r\nE\r\n1\r\n1\r\n3");
        settings.cdromDrive = 'G';
        {
            SetupDialog dialog(settings, "ZELQAV.CFG", SetupMode::Change, ui);
            QCOMPARE(dialog.resourceField()->text(), QStringLiteral("D:\\RES"));
            QCOMPARE(dialog.driveList()->currentText(), QStringLiteral("G"));
            // Browse starts in the value held, not the field's text, and a
            // cancelled chooser leaves the field alone.
            dialog.outputField()->setText(QStringLiteral("typed"));
            ui.queueDirectory(std::nullopt);
            dialog.findChild<QPushButton*>(QStringLiteral("1037"))->click();
            QCOMPARE(ui.directoryRequests().back(), std::string("D:\\OUT"));
            QCOMPARE(dialog.outputField()->text(), QStringLiteral("typed"));
            ui.queueDirectory(std::string("C:\\NEWOUT"));
            dialog.findChild<QPushButton*>(QStringLiteral("1037"))->click();
            QCOMPARE(dialog.outputField()->text(), QStringLiteral("C:\\NEWOUT"));
            dialog.accept();
        }
        QCOMPARE(QString::fromStdString(readFile(project.root() / "ZELQAV.CFG")),
                 QStringLiteral("D:\\RES\r\nC:\\NEWOUT\r\nG\r\n1\r\n1\r\n3"));
        QCOMPARE(settings.outputDir, std::string("C:\\NEWOUT"));
    }

    void outputCommandsRunTheirDialogsInOrder()
    {
        FeatureProject p;
        QVERIFY(p.start());
        MainWindow* w = p.window();
        auto& outputs = *p.impl().outputs;
        int asked = 0;
        outputs.askReservedCodes = [&] {
            ++asked;
            return LabelChoice::All;
        };

        w->trigger(command::outputSas);
        QCOMPARE(p.gui.ui.messageTexts().back(), std::string("No Tagged Item !\nPlease Tag Items First."));
        QCOMPARE(asked, 0);
        QVERIFY(p.gui.ui.fileRequests().empty());

        p.list().tagRow(1);
        p.list().tagRow(9);
        // Cancel in the save dialog: nothing more.
        w->trigger(command::outputSas);
        QCOMPARE(asked, 0);
        QCOMPARE(p.gui.ui.fileRequests().back().filter, std::string("SAS Code|*.sas|"));
        QCOMPARE(p.gui.ui.fileRequests().back().initialDir, std::string("C:\\OUT"));

        p.gui.ui.queueFile((p.gui.project.outputDir() / "result").string());
        w->trigger(command::outputSas);
        QCOMPARE(asked, 1);
        const std::string sas = readFile(p.gui.project.outputDir() / "result.SAS");
        QVERIFY(sas.rfind("***** You WILL need to edit this code *******; \r\n", 0) == 0);
        QVERIFY(sas.find("LABEL\r\n  V1='Label 1'") != std::string::npos);

        // The tag file asks no Confirmation question.
        p.gui.ui.queueFile((p.gui.project.outputDir() / "sel").string());
        w->trigger(command::outputTagFile);
        QCOMPARE(asked, 1);
        QCOMPARE(QString::fromStdString(readFile(p.gui.project.outputDir() / "sel.TAG")),
                 QStringLiteral("     1\r\n     9\r\n"));

        // Cancel pressed in the writing dialog: the driver stops, the file stays.
        outputs.runWritingDialog = [](WorkDialog& dialog) {
            dialog.cancel = 1;
            dialog.exec();
        };
        p.gui.ui.queueFile((p.gui.project.outputDir() / "cut.txt").string());
        w->trigger(command::outputCodebook);
        QVERIFY(std::filesystem::exists(p.gui.project.outputDir() / "cut.txt"));

        p.gui.ui.queueFile(std::string("/tmp/whatever.sas"));
        w->trigger(command::viewOutput);
        // The three filters first, then the other outputs' extensions.
        const std::string filter = p.gui.ui.fileRequests().back().filter;
        QVERIFY(filter.rfind("SAS Code|*.sas|Codebook|*.txt|SPSS|*.sps|", 0) == 0);
        for (const char* more : {"|*.csv|", "|*.db|", "|*.sav|", "|*.dta|", "|*.xml|", "|*.do|", "|*.R|", "|*.tag|"})
            QVERIFY2(filter.find(more) != std::string::npos, more);
        QVERIFY(filter.find("*.mdb") == std::string::npos);
        QCOMPARE(p.gui.ui.viewed().back(), std::string("/tmp/whatever.sas"));
    }

    void accessDbRunsWithoutFileDialogsAndListsTheFiles()
    {
        FeatureProject p;
        QVERIFY(p.start());
        MainWindow* w = p.window();
        QVERIFY(w->action(command::outputAccess)->isEnabled());
        auto& outputs = *p.impl().outputs;
        std::vector<std::string> shown;
        std::vector<std::string> hosts;
        outputs.showGeneratedFiles = [&](const std::vector<std::string>& lines, const std::vector<std::string>& files) {
            shown = lines;
            hosts = files;
        };
        QString counter;
        outputs.runWritingDialog = [&](WorkDialog& dialog) {
            QVERIFY(qobject_cast<ExportDialog*>(&dialog));
            dialog.exec();
            counter = static_cast<ExportDialog&>(dialog).fieldText(QStringLiteral("1050"));
        };
        p.list().tagRow(2);
        p.list().tagRow(3);
        QVERIFY(w->trigger(command::outputAccess));
        QVERIFY(p.gui.ui.fileRequests().empty());
        // The data file's lines are all alike: its number of cases is known.
        QCOMPARE(counter, QStringLiteral("2 of 2"));
        QCOMPARE(shown.size(), 5u);
        QCOMPARE(shown[1], std::string("Following output files have been generated"));
        QCOMPARE(shown[3], std::string());
        QCOMPARE(shown[4], std::string("C:\\OUT\\DATA_FILE1.txt"));
        // The host path beside it, and in the status note.
        const std::string host = (p.gui.project.outputDir() / "DATA_FILE1.txt").string();
        QCOMPARE(hosts, std::vector<std::string>{host});
        QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Written: ") + QString::fromStdString(host));
        GeneratedFilesDialog dialog(shown, hosts);
        QCOMPARE(dialog.lines().back(), QStringLiteral("C:\\OUT\\DATA_FILE1.txt"));
        QCOMPARE(dialog.hostPaths().back(), QString::fromStdString(host));
        QCOMPARE(dialog.hostPaths().front(), QString());
        QCOMPARE(QString::fromStdString(readFile(p.gui.project.outputDir() / "DATA_FILE1.txt")),
                 QStringLiteral("V2,V3 \r\n 02, 03 \r\n 12, 13 \r\n"));
    }

    // Every output of the format table is reachable from the window.
    void everyOutputHasAWindowCommand()
    {
        for (const OutputFormat& format : outputFormats())
            QVERIFY2(format.command.id != 0, std::string(format.name).c_str());
    }

    void outputMenuAndCommandsFollowTheFormatTable()
    {
        FeatureProject p;
        QVERIFY(p.start());
        MainWindow* w = p.window();
        QMenu* output = nullptr;
        for (QAction* item : w->menuBar()->actions())
            for (QAction* sub : item->menu() ? item->menu()->actions() : QList<QAction*>())
                if (sub->menu() && sub->text() == QStringLiteral("Output"))
                    output = sub->menu();
        QVERIFY(output);

        // One menu item per format with a window command, in table order,
        // with the table's texts.
        QList<QAction*> items;
        for (QAction* item : output->actions()) {
            // The formats of the "Other Formats" submenu follow the others.
            if (item->menu() && item->text() == QStringLiteral("Other Formats"))
                items += item->menu()->actions();
            else
                items += item;
        }
        for (const OutputFormat& format : outputFormats()) {
            if (format.command.id == 0)
                continue;
            QVERIFY2(!items.isEmpty(), format.command.menuText);
            QAction* item = items.takeFirst();
            QCOMPARE(item->data().toInt(), format.command.id);
            QCOMPARE(item->text(), QString::fromLatin1(format.command.menuText));
            QCOMPARE(item->statusTip(), QString::fromLatin1(format.command.prompt));
            QCOMPARE(item->toolTip(), QString::fromLatin1(format.command.toolTip));
            const CommandInfo* info = findCommand(format.command.id);
            QVERIFY(info);
            QCOMPARE(info->enabledBy, format.command.enabledByDataOnCd ? EnabledBy::DataOnCd : EnabledBy::CommandsEnabled);
        }
        QVERIFY(items.isEmpty());

        // Each command runs its own format: the save dialog's filter (one
        // file) or the export dialog (several files, no save dialog).
        p.list().tagRow(1);
        auto& outputs = *p.impl().outputs;
        outputs.showGeneratedFiles = [](const std::vector<std::string>&, const std::vector<std::string>&) {};
        outputs.askChoices = [](bool, bool) { return std::optional<TableChoices>(TableChoices{}); };
        QString dialogName;
        outputs.runWritingDialog = [&](WorkDialog& dialog) {
            dialogName = dialog.objectName();
            dialog.cancel = 1;
            dialog.exec();
        };
        for (const OutputFormat& format : outputFormats()) {
            if (format.command.id == 0)
                continue;
            const std::size_t requests = p.gui.ui.fileRequests().size();
            dialogName.clear();
            QVERIFY(w->trigger(format.command.id));
            if (format.files == OutputFiles::One) {
                QCOMPARE(p.gui.ui.fileRequests().size(), requests + 1);
                QCOMPARE(p.gui.ui.fileRequests().back().filter, std::string(format.filter));
                QVERIFY(dialogName.isEmpty()); // the save dialog was cancelled
            } else if (format.files == OutputFiles::Folder) {
                // The folder dialog, cancelled, in the output directory.
                QCOMPARE(p.gui.ui.fileRequests().size(), requests);
                QCOMPARE(p.gui.ui.directoryRequests().back(), p.gui.app->session().settings.outputDir);
                QVERIFY(dialogName.isEmpty());
            } else {
                QCOMPARE(p.gui.ui.fileRequests().size(), requests);
                QCOMPARE(dialogName, QStringLiteral("exportDialog"));
            }
        }
    }

    // The table outputs ask for their choices after the file: matching the
    // data files by their identifier only when every one of the selection
    // has one (checked), empty cells only where the format writes cells.
    void tableOutputsOfferTheirChoices()
    {
        FeatureProject p;
        p.gui.project.dataFiles[0].idLocation = "17-18";
        p.gui.project.dataFiles[0].rawLines = {"010203040506070801", "111213141516171802"};
        p.gui.project.dataFiles[1].idLocation = "25-26";
        p.gui.project.dataFiles[1].rawLines = {"                3132333402", "                4142434401"};
        QVERIFY(p.start());
        MainWindow* w = p.window();
        auto& outputs = *p.impl().outputs;
        outputs.showGeneratedFiles = [](const std::vector<std::string>&, const std::vector<std::string>&) {};
        std::vector<std::pair<bool, bool>> offers;
        std::optional<TableChoices> answer = TableChoices{true, false};
        outputs.askChoices = [&](bool merge, bool empty) {
            offers.emplace_back(merge, empty);
            return answer;
        };

        // One data file: nothing to match.
        p.list().tagRow(1);
        QVERIFY(w->trigger(outputFormat(OutputKind::Csv).command.id));
        QCOMPARE(offers.back(), std::make_pair(false, true));
        // Two with identifiers: matched into one table, the second file's
        // cases out of identifier order.
        p.list().tagRow(9);
        const auto csv = p.gui.project.outputDir() / "merged.csv";
        QVERIFY(w->trigger(outputFormat(OutputKind::Csv).command.id));
        QCOMPARE(offers.back(), std::make_pair(true, true));
        QCOMPARE(QString::fromStdString(readFile(csv)), QStringLiteral("ID,V1,V9\r\n01,01,41\r\n02,11,31\r\n"));
        // The SPSS data file offers no empty cells; Cancel writes nothing.
        answer.reset();
        p.gui.ui.queueFile((p.gui.project.outputDir() / "both.sav").string());
        QVERIFY(w->trigger(outputFormat(OutputKind::SpssData).command.id));
        QCOMPARE(offers.back(), std::make_pair(true, false));
        QVERIFY(!std::filesystem::exists(p.gui.project.outputDir() / "both.sav"));
    }

    void searchDialogTypesCapitalsGreysCommandsAndTagsMatches()
    {
        FeatureProject p;
        QVERIFY(p.start());
        MainWindow* w = p.window();
        QVERIFY(w->trigger(command::search));
        SearchDialog* dialog = p.impl().searchDialog;
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(dialog->fieldBox(1013)->isChecked());
        QVERIFY(dialog->findChild<QRadioButton*>(QStringLiteral("1030"))->isChecked());
        QVERIFY(dialog->button(2)->isDefault());

        QTest::keyClicks(dialog->findWhat()->lineEdit(), QStringLiteral("v1"));
        QCOMPARE(dialog->findWhat()->currentText(), QStringLiteral("V1"));

        bool greyed = false;
        p.gui.ui.onEveryPump([&] {
            if (!p.gui.app->session().commands.enabled()) {
                w->updateCommandStates();
                greyed = !w->action(command::tagItem)->isEnabled() && w->action(command::search)->isEnabled() &&
                         !dialog->button(3)->isEnabled() &&
                         dialog->status()->text() == QStringLiteral("Please Wait While Searching");
            }
        });
        dialog->button(3)->click(); // Tag All Match: V1, V10, V11, V12
        p.gui.ui.onEveryPump({});
        QVERIFY(greyed);
        QCOMPARE(p.list().tagCount(), 4u);
        QVERIFY(p.gui.app->session().commands.enabled());
        QCOMPARE(dialog->status()->text(), QStringLiteral(" "));
        QVERIFY(dialog->button(3)->isEnabled());
        QCOMPARE(dialog->findWhat()->count(), 1);

        // A match in the category lines opens the frequency view.
        dialog->findWhat()->setEditText(QStringLiteral("AGE UNKNOWN"));
        dialog->fieldBox(1013)->setChecked(false);
        dialog->fieldBox(1001)->setChecked(true);
        dialog->button(1031)->click();
        QCOMPARE(p.list().activeRow(), 10u);
        QVERIFY(p.impl().descriptions->window(0));
        QCOMPARE(p.impl().descriptions->window(0)->view(), DescriptionWindow::View::Frequency);

        // Close hides the dialog; the Search command brings it back as it was.
        dialog->button(2)->click();
        QVERIFY(!dialog->isVisible());
        w->trigger(command::search);
        QCOMPARE(p.impl().searchDialog.data(), dialog);
        QVERIFY(dialog->isVisible());
        QVERIFY(dialog->fieldBox(1001)->isChecked());
    }

    void closingTheProgramDuringASearchEndsItCleanly()
    {
        FeatureProject p;
        QVERIFY(p.start());
        MainWindow* w = p.window();
        w->trigger(command::search);
        SearchDialog* dialog = p.impl().searchDialog;
        dialog->findWhat()->setEditText(QStringLiteral("NOWHERE"));
        dialog->fieldBox(1014)->setChecked(true);
        bool closed = false;
        p.gui.ui.onEveryPump([&] {
            if (!closed) {
                closed = true;
                w->close();
            }
        });
        const SearchOutcome outcome = dialog->startSearch(SearchMode::TagAll);
        p.gui.ui.onEveryPump({});
        QVERIFY(closed);
        QVERIFY(outcome.abandoned);
        QVERIFY(!outcome.found);
        QVERIFY(p.gui.app->session().commands.enabled());
        QVERIFY(!p.impl().searchDialog);
        // No "Cannot Find" after the program began to close.
        for (const auto& text : p.gui.ui.messageTexts())
            QVERIFY(text.find("Cannot Find") == std::string::npos);
    }

    void importTagFilesAsksFirstAndCombines()
    {
        FeatureProject p;
        QVERIFY(p.start());
        VariableList& list = p.list();
        const auto dir = p.gui.project.outputDir();
        test::writeFile(dir / "a.tag", "     1\r\n     4\r\n     9\r\n");
        test::writeFile(dir / "b.tag", "     4\r\n     5\r\n     9\r\n");

        auto importWith = [&](const QString& one, const QString& two, bool useOr) {
            ImportTagFilesDialog::run(list, p.gui.ui, "C:\\OUT", p.window(), [&](ImportTagFilesDialog& d) {
                QCOMPARE(d.file1()->text(), QStringLiteral(" "));
                QVERIFY(d.andButton()->isChecked());
                d.file1()->setText(one);
                d.file2()->setText(two);
                if (useOr)
                    d.orButton()->setChecked(true);
                d.import();
            });
        };
        importWith(QString::fromStdString((dir / "a.tag").string()), QString::fromStdString((dir / "b.tag").string()),
                   false);
        QCOMPARE(list.tagCount(), 2u);
        QVERIFY(list.isTagged(4) && list.isTagged(9));

        // Tags exist: No keeps them and shows no dialog.
        bool shown = false;
        ImportTagFilesDialog::run(list, p.gui.ui, "C:\\OUT", p.window(), [&](ImportTagFilesDialog&) { shown = true; });
        QVERIFY(!shown);
        QCOMPARE(p.gui.ui.messageTexts().back(),
                 std::string("You Already Have Tagged Item(s) !\nWant to Clear Them and Import Tag File(s) ?"));
        QCOMPARE(list.tagCount(), 2u);

        // Yes clears them first; OR of the two files.
        p.gui.ui.queueAnswer(Ui::Answer::Yes);
        importWith(QString::fromStdString((dir / "a.tag").string()), QString::fromStdString((dir / "b.tag").string()),
                   true);
        QCOMPARE(list.tagCount(), 4u);

        // Yes, then Cancel: no item stays tagged.
        p.gui.ui.queueAnswer(Ui::Answer::Yes);
        ImportTagFilesDialog::run(list, p.gui.ui, "C:\\OUT", p.window(), [](ImportTagFilesDialog& d) { d.reject(); });
        QCOMPARE(list.tagCount(), 0u);

        // One field left as a blank: the other file alone.
        importWith(QStringLiteral(" "), QString::fromStdString((dir / "b.tag").string()), false);
        QCOMPARE(list.tagCount(), 3u);
    }

    void contextMenuAndCopyActOnTheRowAndTheFrequencyTable()
    {
        FeatureProject p;
        QVERIFY(p.start());
        MainWindow* w = p.window();
        const auto item = [](QMenu& menu, const char* name) {
            return menu.findChild<QAction*>(QLatin1String(name));
        };
        std::unique_ptr<QMenu> menu = w->rowMenu(3);
        QVERIFY(!item(*menu, "rowTag")->isChecked());
        item(*menu, "rowTag")->trigger();
        QVERIFY(p.list().isTagged(3));
        QVERIFY(item(*w->rowMenu(3), "rowTag")->isChecked());
        item(*menu, "rowFrequency")->trigger();
        DescriptionWindow* window = p.impl().descriptions->window(0);
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->row(), 3u);
        QCOMPARE(window->view(), DescriptionWindow::View::Frequency);
        item(*w->rowMenu(4), "rowDescription")->trigger();
        QCOMPARE(p.impl().descriptions->window(1)->view(), DescriptionWindow::View::Description);
        item(*w->rowMenu(2), "rowCopy")->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("V2\tLabel 2"));
        p.list().goToRow(7);
        QTest::keyClick(w->listView(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("V7\tLabel 7"));

        // The frequency table, tab-separated: the whole of it with its
        // headings (Ctrl+A, Ctrl+C), or the lines selected.
        auto* categories = window->findChild<QListView*>(QStringLiteral("categories"));
        QTest::keyClick(categories, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(categories, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("Code\tFreq\t%\tCategory Label\n1\t25\t3.5\tYes\n2\t75\t96.5\tNo\n"));
        categories->selectionModel()->select(categories->model()->index(1, 0), QItemSelectionModel::ClearAndSelect);
        QCOMPARE(window->categoryTableText(), QStringLiteral("2\t75\t96.5\tNo\n"));
    }

    void frequencyColumnsFitTheirWidestValue()
    {
        // Small texts keep the fixed places.
        QFont small;
        small.setPixelSize(8);
        const CategoryColumns fixed = CategoryColumns::fit(QFontMetrics(small), {QStringLiteral("1\t2\t3.5\tYes")});
        QCOMPARE(QList<int>({fixed.codeRight, fixed.freqRight, fixed.percentRight, fixed.labelLeft}),
                 QList<int>({51, 90, 124, 132}));
        // A five-digit frequency in a large font moves the places so that no
        // field runs into the one before it.
        QFont large;
        large.setPixelSize(24);
        const QFontMetrics metrics(large);
        const CategoryColumns c =
            CategoryColumns::fit(metrics, {QStringLiteral("1\t44048\t100.0\tAll"), QStringLiteral("12345\t1\t0.0\tX")});
        QVERIFY(c.codeRight >= metrics.horizontalAdvance(QStringLiteral("12345")));
        QVERIFY(c.freqRight - metrics.horizontalAdvance(QStringLiteral("44048")) > c.codeRight);
        QVERIFY(c.percentRight - metrics.horizontalAdvance(QStringLiteral("100.0")) > c.freqRight);
        QVERIFY(c.labelLeft > c.percentRight);

        // A window lays its list out for what it shows.
        GuiProject gui(0);
        auto big = test::variable("BIG", "Big count");
        big.categories = {categoryLine("1", "44048", "100.0", "All")};
        gui.project.add(big);
        QVERIFY(gui.start());
        Features features(*gui.app, gui.ui);
        features.attach();
        features.impl().descriptions->showDescription(DescriptionWindows::Request::Frequency);
        DescriptionWindow* window = features.impl().descriptions->window(0);
        const QFontMetrics shown = window->findChild<QListView*>(QStringLiteral("categories"))->fontMetrics();
        QVERIFY(window->columns().freqRight - shown.horizontalAdvance(QStringLiteral("44048")) >
                window->columns().codeRight);
    }

    void descriptionWindowsOpenBesideTheMainWindowAndKeepTheirPlace()
    {
        const QRect screen(0, 0, 1280, 1024);
        const QSize frame(420, 260);
        // Right of the owner, else left of it, else at the screen's right edge.
        QCOMPARE(DescriptionWindows::newWindowPlace(0, QRect(100, 100, 600, 400), screen, frame), QPoint(700, 100));
        QCOMPARE(DescriptionWindows::newWindowPlace(0, QRect(680, 100, 600, 400), screen, frame), QPoint(260, 100));
        QCOMPARE(DescriptionWindows::newWindowPlace(0, QRect(0, 0, 1280, 1000), screen, frame), QPoint(860, 0));
        // The second below the first, else a step down from it; on the screen.
        QCOMPARE(DescriptionWindows::newWindowPlace(1, QRect(100, 100, 600, 400), screen, frame), QPoint(700, 360));
        QCOMPARE(DescriptionWindows::newWindowPlace(1, QRect(100, 600, 600, 400), screen, frame), QPoint(732, 632));
        QCOMPARE(DescriptionWindows::newWindowPlace(1, QRect(0, 900, 1280, 124), screen, frame), QPoint(860, 764));

        FeatureProject p;
        QVERIFY(p.start());
        auto& d = *p.impl().descriptions;
        d.showDescription();
        DescriptionWindow* window = d.window(0);
        window->setGeometry(QRect(QPoint(40, 60), QSize(500, 300)));
        const QRect place = window->geometry();
        window->close();
        p.list().goToRow(2);
        d.showDescription();
        QCOMPARE(window->geometry(), place);
    }

    void projectKeepsItsRowQueryAndWindowPlaces()
    {
        FeatureProject again;
        QVERIFY(again.start());
        again.list().goToRow(7);
        again.window()->queryBar()->queryEdit()->setText(QStringLiteral("label:8"));
        again.impl().descriptions->showDescription();
        again.impl().descriptions->window(0)->setGeometry(QRect(QPoint(50, 70), QSize(480, 280)));
        const QRect place = again.impl().descriptions->window(0)->geometry();
        QVERIFY(again.window()->trigger(command::exit));
        again.features.reset();
        again.gui.app.reset();

        QVERIFY(again.start());
        QCOMPARE(again.list().activeRow(), 7u);
        QCOMPARE(again.window()->queryBar()->queryEdit()->text(), QStringLiteral("label:8"));
        QTRY_COMPARE(again.window()->queryBar()->matches().size(), std::size_t{1});
        again.impl().descriptions->showDescription();
        QCOMPARE(again.impl().descriptions->window(0)->geometry(), place);
        QSettings(QStringLiteral("QAVN"), QStringLiteral("qavn")).clear();
    }

    void everyControlHasANameAndTagsAreCheckStates()
    {
        FeatureProject p;
        QVERIFY(p.start());
        MainWindow* w = p.window();
        p.list().tagRow(2);
        p.impl().descriptions->showDescription(DescriptionWindows::Request::Frequency);
        w->trigger(command::search);

        // A tag is a check box that is checked or not, the type is told in
        // words.
        QAccessibleInterface* grid = QAccessible::queryAccessibleInterface(w->listView());
        QVERIFY(grid && grid->tableInterface());
        QAccessibleInterface* tagged = grid->tableInterface()->cellAt(1, VariableTableModel::TagColumn);
        QAccessibleInterface* untagged = grid->tableInterface()->cellAt(0, VariableTableModel::TagColumn);
        QVERIFY(tagged && untagged);
        QVERIFY(tagged->state().checkable && tagged->state().checked);
        QVERIFY(untagged->state().checkable && !untagged->state().checked);
        QAccessibleInterface* text = grid->tableInterface()->cellAt(4, VariableTableModel::TextColumn);
        QCOMPARE(text->text(QAccessible::Name), QStringLiteral("V5: Label 5"));
        QCOMPARE(text->text(QAccessible::Description), QStringLiteral("Type: alphanumeric"));
        // Checking the cell the way an assistive tool does tags the row.
        QVERIFY(w->listView()->model()->setData(w->listView()->model()->index(0, 0), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(p.list().isTagged(1));

        // Every control of the main window, a description window and the
        // Search dialog has a name.
        QStringList unnamed;
        for (QWidget* top : {static_cast<QWidget*>(w), static_cast<QWidget*>(p.impl().descriptions->window(0)),
                             static_cast<QWidget*>(p.impl().searchDialog.data())}) {
            for (QWidget* widget : top->findChildren<QWidget*>()) {
                const bool control = qobject_cast<QAbstractButton*>(widget) || qobject_cast<QLineEdit*>(widget) ||
                                     qobject_cast<QComboBox*>(widget) || qobject_cast<QAbstractItemView*>(widget) ||
                                     qobject_cast<QPlainTextEdit*>(widget) || qobject_cast<QLabel*>(widget);
                // Parts of another control (a combo box's field, a view's
                // header, a field's clear button) take that control's name.
                QWidget* parent = widget->parentWidget();
                const bool part = qobject_cast<QComboBox*>(parent) || qobject_cast<QLineEdit*>(parent) ||
                                  qobject_cast<QHeaderView*>(widget) || qobject_cast<QAbstractScrollArea*>(parent) ||
                                  (parent && qobject_cast<QAbstractScrollArea*>(parent->parentWidget()));
                if (!control || part || !widget->isVisibleTo(top))
                    continue;
                QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
                if (!accessible || accessible->text(QAccessible::Name).trimmed().isEmpty())
                    unnamed << QLatin1String(widget->metaObject()->className()) + QLatin1Char(' ') + widget->objectName();
            }
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
    }
};

QAVN_QTEST_MAIN(FeaturesTest)
#include "tst_features.moc"
