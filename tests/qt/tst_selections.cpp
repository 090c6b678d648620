// The Save Selection and Load Selection dialogs.

#include "support/QtTestSupport.h"

#include "app/qt/Commands.h"
#include "app/qt/MainWindow.h"
#include "app/qt/SelectionDialogs.h"
#include "search/qt/ImportTagFilesDialog.h"
#include "selections/TagSet.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QStatusBar>

#include <filesystem>

using namespace qavn;
using qavn::test::GuiProject;

namespace {

std::vector<std::uint32_t> tagged(const VariableList& list)
{
    return TagSet::of(list).numbers();
}

} // namespace

class SelectionsTest : public QObject {
    Q_OBJECT

private slots:
    void tagsComeBackWhenTheProjectOpensAgain()
    {
        GuiProject p(20);
        QVERIFY(p.start());
        for (std::uint32_t r : {3u, 7u, 20u})
            p.window()->variableList().tagRow(r);
        QVERIFY(p.window()->trigger(command::exit));
        QTRY_VERIFY(!p.window()->isVisible());
        p.app.reset();
        QVERIFY(std::filesystem::exists(p.project.root() / "ZELQAV.TAGS"));

        QVERIFY(p.start());
        QCOMPARE(tagged(p.window()->variableList()), (std::vector<std::uint32_t>{3, 7, 20}));
        QCOMPARE(p.window()->tagPane()->text(), QStringLiteral("Tag      3 "));
        QCOMPARE(p.window()->statusBar()->currentMessage(),
                 QStringLiteral("Tags of the last session restored: 3 variables"));

        // A place the file cannot go (a folder under its name): a note in
        // the status bar and on standard error, no message box.
        std::filesystem::remove(p.project.root() / "ZELQAV.TAGS");
        std::filesystem::create_directory(p.project.root() / "ZELQAV.TAGS");
        QVERIFY(p.window()->trigger(command::exit));
        QTRY_VERIFY(!p.window()->isVisible());
        QVERIFY(p.window()->statusBar()->currentMessage().startsWith(QStringLiteral("Tags not saved: cannot write ")));
        QVERIFY(p.ui.messages().empty());
    }

    void savedSelectionsLoadCombined()
    {
        GuiProject p(10);
        QVERIFY(p.start());
        MainWindow* w = p.window();
        VariableList& list = w->variableList();

        // Nothing tagged: nothing to save.
        QVERIFY(w->trigger(command::saveSelection));
        QCOMPARE(p.ui.messageTexts().back(), std::string("No Tagged Item !"));

        list.tagRow(2);
        list.tagRow(4);
        w->selections().setExec([](QDialog& d) {
            static_cast<SaveSelectionDialog&>(d).nameField()->setText(QStringLiteral("  pair "));
            return int(QDialog::Accepted);
        });
        QVERIFY(w->trigger(command::saveSelection));
        QVERIFY(std::filesystem::exists(p.project.root() / "ZELQAV.SEL" / "pair.sel"));
        QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Selection pair saved: 2 variables"));
        // The note names a selection as it was typed.
        w->selections().setExec([](QDialog& d) {
            static_cast<SaveSelectionDialog&>(d).nameField()->setText(QString::fromUtf16(u"\u00E9t\u00E9"));
            return int(QDialog::Accepted);
        });
        QVERIFY(w->trigger(command::saveSelection));
        QCOMPARE(w->statusBar()->currentMessage(), QString::fromUtf16(u"Selection \u00E9t\u00E9 saved: 2 variables"));
        std::filesystem::remove(p.project.root() / "ZELQAV.SEL" / QFile::encodeName(QString::fromUtf16(u"\u00E9t\u00E9.sel")).toStdString());

        const auto load = [&](SetOperation operation) {
            w->selections().setExec([operation](QDialog& d) {
                auto& dialog = static_cast<LoadSelectionDialog&>(d);
                if (dialog.names()->count() != 1 || dialog.names()->item(0)->text() != QStringLiteral("pair"))
                    return int(QDialog::Rejected);
                dialog.operationButton(operation)->setChecked(true);
                return int(QDialog::Accepted);
            });
            QVERIFY(w->trigger(command::loadSelection));
        };
        const struct {
            SetOperation operation;
            std::vector<std::uint32_t> before, after;
        } cases[] = {
            {SetOperation::Replace, {1, 9}, {2, 4}},
            {SetOperation::And, {1, 4}, {4}},
            {SetOperation::Or, {1, 4}, {1, 2, 4}},
            {SetOperation::Not, {1}, {1, 3, 5, 6, 7, 8, 9, 10}},
            {SetOperation::Minus, {1, 2, 3}, {1, 3}},
        };
        for (const auto& c : cases) {
            TagSet before(10);
            for (std::uint32_t r : c.before)
                before.add(r);
            before.applyTo(list);
            load(c.operation);
            QCOMPARE(tagged(list), c.after);
        }
        QVERIFY(p.ui.messages().size() == 1);

        // Import Tag Files: NOT and MINUS after AND and OR.
        const auto dir = p.project.outputDir();
        test::writeFile(dir / "a.tag", "     1\r\n     4\r\n     9\r\n");
        test::writeFile(dir / "b.tag", "     4\r\n     5\r\n");
        const QString a = QString::fromStdString((dir / "a.tag").string());
        const QString b = QString::fromStdString((dir / "b.tag").string());
        const auto import = [&](QRadioButton* (ImportTagFilesDialog::*button)() const, const QString& two) {
            list.clearAllTags();
            ImportTagFilesDialog::run(list, p.ui, "C:\\OUT", w, [&](ImportTagFilesDialog& d) {
                d.file1()->setText(a);
                d.file2()->setText(two);
                (d.*button)()->setChecked(true);
                d.import();
            });
        };
        import(&ImportTagFilesDialog::minusButton, b);
        QCOMPARE(tagged(list), (std::vector<std::uint32_t>{1, 9}));
        import(&ImportTagFilesDialog::notButton, b);
        QCOMPARE(tagged(list), (std::vector<std::uint32_t>{2, 3, 6, 7, 8, 10}));
        import(&ImportTagFilesDialog::notButton, QStringLiteral(" "));
        QCOMPARE(tagged(list), (std::vector<std::uint32_t>{2, 3, 5, 6, 7, 8, 10}));
        import(&ImportTagFilesDialog::minusButton, a);
        QCOMPARE(p.ui.messageTexts().back(), std::string("No Tagged Item !"));
        QVERIFY(tagged(list).empty());
    }
};

QAVN_QTEST_MAIN(SelectionsTest)
#include "tst_selections.moc"
