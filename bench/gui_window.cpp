// The window over the million-variable project, offscreen: the time from the
// end of the logo to the first paint of the grid and from a key typed in the
// query field to the count of matches shown, loading every variable into
// the list (time and memory per variable), paging and the Move commands at
// that size with the repaint they cause, a Shift+click over the whole list,
// and a million pump steps with no event waiting.

#include "BenchSupport.h"

#include "codebook/OpenProject.h"
#include "app/qt/Application.h"
#include "app/qt/Commands.h"
#include "app/qt/MainWindow.h"
#include "catalogue/Loader.h"
#include "platform/Progress.h"
#include "platform/ScriptedUi.h"
#include "platform/qt/QtUi.h"
#include "catalogue/VariableList.h"
#include "catalogue/qt/VariableListView.h"
#include "search/qt/QueryBar.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace qavn;

namespace {

// Anonymous resident memory in bytes: what the program itself holds, without
// the mapped codebook files that the page cache shares.
long statusBytes(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        long kb = 0;
        if (key == field && status >> kb)
            return kb * 1024;
        status.ignore(1 << 20, '\n');
    }
    return 0;
}

long rssAnonBytes()
{
    return statusBytes("RssAnon:");
}

constexpr double frame = 1.0 / 60.0;
constexpr double promptness = 0.3; // the most a person should wait for the window

// Notes the moment the logo window goes and the first paint of the grid
// after it.
class StartWatch : public QObject {
public:
    double logoEnd = 0;
    double gridPaint = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Hide && logoEnd == 0 && watched->objectName() == QLatin1String("logoWindow"))
            logoEnd = bench::seconds();
        if (event->type() == QEvent::Paint && logoEnd != 0 && gridPaint == 0 && watched->parent() &&
            qobject_cast<VariableListView*>(watched->parent()))
            gridPaint = bench::seconds();
        return false;
    }
};

// Pumps events until `done` or `limit` seconds pass; false on the limit.
template <typename Done>
bool pumpUntil(Done done, double limit = 60)
{
    const double start = bench::seconds();
    while (!done()) {
        if (bench::seconds() - start > limit)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// The window as a person starts it (the logo shown for no time): the time
// from the logo's end to the first paint of the grid, over a few starts;
// then, in the last window, the time from a key typed in the query field to
// the count of matches shown, once a first query has run.
void startAndQuery()
{
    ::setenv("QAVN_LOGO_MS", "0", 1);
    std::vector<double> paints;
    std::vector<double> keys;
    for (int round = 0; round < 3; ++round) {
        StartWatch watch;
        qApp->installEventFilter(&watch);
        QtUi ui;
        Application application(ui);
        if (!application.start("P=SYN"))
            std::exit(1);
        if (!pumpUntil([&] { return watch.gridPaint != 0; }))
            std::exit(1);
        qApp->removeEventFilter(&watch);
        paints.push_back(watch.gridPaint - watch.logoEnd);
        if (round < 2)
            continue;

        QueryBar* bar = application.mainWindow()->queryBar();
        QLineEdit* edit = bar->queryEdit();
        const auto counted = [bar] { return !bar->busy() && bar->countLabel()->text().contains(QLatin1String("match")); };
        edit->setFocus();
        edit->setText(QStringLiteral("convicte"));
        bar->runQuery();
        if (!pumpUntil(counted))
            std::exit(1);
        for (int k = 0; k < 6; ++k) {
            // A letter added, then taken away: a word found in every field
            // of a third of the rows, then one found nowhere.
            const int key = k % 2 == 0 ? Qt::Key_D : Qt::Key_Backspace;
            const QString text = k % 2 == 0 ? QStringLiteral("d") : QString();
            const double typed = bench::seconds();
            QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
            QApplication::sendEvent(edit, &down);
            QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
            QApplication::sendEvent(edit, &up);
            if (!pumpUntil(counted))
                std::exit(1);
            keys.push_back(bench::seconds() - typed);
        }
        std::fprintf(stderr, "query field: %s after the last key\n", qPrintable(bar->countLabel()->text()));
    }
    bench::row("window: logo's end to the first paint of the 1M-variable grid (median of 3)", bench::median(paints),
               "limit", promptness);
    bench::row("window: key typed in the query field to its count, convicted[d] in every field (median of 6)",
               bench::median(keys), "limit", promptness);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_gui_window BENCH-DATA-DIR\n");
        return 1;
    }
    const std::filesystem::path project = bench::millionProject(argv[1]);
    ::setenv("QAVN_DRIVE_C", (project / "c").c_str(), 1);
    ::setenv("QAVN_DRIVE_D", (project / "d").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (project / "config").c_str(), 1);
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (::chdir(project.c_str()) != 0)
        return 1;

    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    startAndQuery();

    // The anchor of the load: the core's own loading into a list, no window.
    double coreLoad = 0;
    {
        ScriptedUi quiet;
        OpenProject session(quiet);
        if (!session.start("P=SYN", [](Settings&) {}))
            return 1;
        coreLoad = bench::bestOf(2, [&] {
            VariableList list(VariableList::Mode::Main, &quiet);
            Progress progress;
            if (!loadVariables(session.store, session.project, list, quiet, progress))
                std::exit(1);
        });
    }

    QtUi ui;
    OpenProject session(ui);
    if (!session.start("P=SYN", [](Settings&) {}))
        return 1;
    MainWindow window(session, ui);
    window.resize(900, 700);
    window.show();
    QCoreApplication::processEvents();
    const long before = rssAnonBytes();
    const long rssBefore = statusBytes("VmRSS:");
    const double start = bench::seconds();
    if (!window.loadProject())
        return 1;
    window.listView()->viewport()->repaint();
    const double load = bench::seconds() - start;
    const long grown = rssAnonBytes() - before;
    const std::uint32_t rows = window.variableList().rowCount();
    const double perVariable = rows ? static_cast<double>(grown) / rows : 0;
    const long rssGrown = statusBytes("VmRSS:") - rssBefore;
    std::fprintf(stderr,
                 "loaded %u variables; anonymous memory grew %.1f MB, %.1f bytes per variable "
                 "(resident set with the mapped codebook pages: %.1f MB, %.1f bytes per variable)\n",
                 rows, grown / 1e6, perVariable, rssGrown / 1e6, rows ? static_cast<double>(rssGrown) / rows : 0.0);
    char name[160];
    std::snprintf(name, sizeof name, "window: load 1M variables into the list (%.0f bytes/variable)", perVariable);
    bench::row(name, load, "core loadVariables, no window", coreLoad);

    VariableListView* view = window.listView();
    view->setFocus();
    const auto press = [view](int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent down(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(view, &down);
        QKeyEvent up(QEvent::KeyRelease, key, mods);
        QApplication::sendEvent(view, &up);
        view->viewport()->repaint();
    };

    // Paging: the mean time of one Page Down with its repaint, mid-list.
    window.variableList().goToRow(rows / 2);
    const int pages = 500;
    double t = bench::seconds();
    for (int i = 0; i < pages; ++i)
        press(Qt::Key_PageDown);
    bench::row("window: one Page Down at 1M rows, with repaint", (bench::seconds() - t) / pages,
               "one 60 Hz frame", frame);

    const int arrows = 2000;
    t = bench::seconds();
    for (int i = 0; i < arrows; ++i)
        press(Qt::Key_Down);
    bench::row("window: one Down arrow at 1M rows, with repaint", (bench::seconds() - t) / arrows, "one 60 Hz frame",
               frame);

    const auto command = [&](int id) {
        const double s = bench::seconds();
        window.trigger(id);
        view->viewport()->repaint();
        return bench::seconds() - s;
    };
    command(command::topOfList);
    bench::row("window: Bottom of List at 1M rows", command(command::bottomOfList), "one 60 Hz frame", frame);
    bench::row("window: Top of List at 1M rows", command(command::topOfList), "one 60 Hz frame", frame);
    bench::row("window: Next File at 1M rows", command(command::nextFile), "one 60 Hz frame", frame);
    bench::row("window: Next Section at 1M rows", command(command::nextSection), "one 60 Hz frame", frame);
    window.variableList().tagRow(1);
    command(command::bottomOfList);
    bench::row("window: Prev Tag across 1M untagged rows", command(command::prevTag), "one 60 Hz frame", frame);

    // Shift+click over the whole list, then Clear All Tag.
    command(command::topOfList);
    window.variableList().goToRow(rows);
    t = bench::seconds();
    window.variableList().tagRange(rows);
    view->viewport()->repaint();
    const double range = bench::seconds() - t;
    bench::row("window: Shift+click tag range over 1M rows", range, "one 60 Hz frame", frame);
    bench::row("window: Clear All Tag of 1M tagged rows", command(command::clearAllTag), "one 60 Hz frame", frame);
    if (window.variableList().tagCount() != 0)
        return 1;

    // A million pump steps with nothing waiting, against a million plain
    // processEvents calls.
    QCoreApplication::processEvents();
    t = bench::seconds();
    for (int i = 0; i < 1'000'000; ++i)
        ui.pumpStep();
    const double pump = bench::seconds() - t;
    t = bench::seconds();
    for (int i = 0; i < 1'000'000; ++i)
        QCoreApplication::processEvents();
    const double raw = bench::seconds() - t;
    bench::row("Qt pump step x 1,000,000, no events waiting", pump, "QCoreApplication::processEvents x 1,000,000",
               raw);
    return 0;
}
