// The query line above the variable grid: the query worked out beside the
// window as the user types, its count and error, Tag Matches and Show Only
// Matches.

#include "search/qt/QueryBar.h"

#include "catalogue/VariableList.h"
#include "catalogue/qt/VariableListDelegate.h"
#include "catalogue/qt/VariableListView.h"
#include "catalogue/qt/VariableTableModel.h"
#include "platform/qt/QtText.h"
#include "query/Query.h"
#include "query/QueryFields.h"
#include "query/QueryIndex.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QResizeEvent>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace qavn {

// The grid's model seen through the rows of the matches: row i shows list
// row matches[i], and a change of list rows reaches the matches among them.
class QueryBar::MatchesModel : public QAbstractTableModel {
public:
    MatchesModel(VariableTableModel* source, QObject* parent) : QAbstractTableModel(parent), source_(source)
    {
        connect(source, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                    const auto first = std::lower_bound(rows_.begin(), rows_.end(),
                                                        static_cast<std::uint32_t>(topLeft.row()) + 1);
                    const auto last = std::upper_bound(first, rows_.end(),
                                                       static_cast<std::uint32_t>(bottomRight.row()) + 1);
                    if (first != last)
                        emit dataChanged(index(static_cast<int>(first - rows_.begin()), 0),
                                         index(static_cast<int>(last - rows_.begin()) - 1, columnCount() - 1));
                });
        connect(source, &QAbstractItemModel::modelReset, this, [this] { setRows({}); });
    }

    void setRows(std::vector<std::uint32_t> rows)
    {
        beginResetModel();
        rows_ = std::move(rows);
        endResetModel();
    }
    std::uint32_t listRow(int row) const { return rows_[static_cast<std::size_t>(row)]; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : VariableTableModel::ColumnCount;
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= rowCount())
            return {};
        return source_->data(source_->index(static_cast<int>(listRow(index.row())) - 1, index.column()), role);
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        return source_->headerData(section, orientation, role);
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

private:
    VariableTableModel* source_;
    std::vector<std::uint32_t> rows_;
};

// The thread that runs the queries. It takes the newest query handed to it;
// one still running stops at its next check when a newer one comes.
struct QueryBar::Worker {
    Worker(QueryBar* bar, const VariableList& list, const CodebookStore& store, const ProjectSpec& project)
        : thread([this, bar, &list, &store, &project] { run(bar, list, store, project); })
    {
    }
    ~Worker()
    {
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        wake.notify_one();
        thread.join();
    }

    void post(std::uint64_t generation, std::shared_ptr<const Query> query)
    {
        {
            // Under the lock, so that the thread never takes a query that
            // is not yet the latest.
            std::lock_guard lock(mutex);
            latest = generation;
            pending = std::move(query);
            pendingGeneration = generation;
        }
        wake.notify_one();
    }

    void run(QueryBar* bar, const VariableList& list, const CodebookStore& store, const ProjectSpec& project)
    {
        QueryIndex index;
        for (;;) {
            std::shared_ptr<const Query> query;
            std::uint64_t generation = 0;
            {
                std::unique_lock lock(mutex);
                wake.wait(lock, [this] { return stopping || pending != nullptr; });
                if (stopping)
                    return;
                query = std::move(pending);
                generation = pendingGeneration;
            }
            if (!index.built()) {
                const bool built = index.build(
                    list, store, &project, [this] { return !stopping.load(); },
                    [bar, generation](int percent) {
                        QMetaObject::invokeMethod(bar, [bar, generation, percent] {
                            if (generation == bar->generation_)
                                bar->count_->setText(QStringLiteral("Preparing %1%").arg(percent));
                        }, Qt::QueuedConnection);
                    });
                if (!built)
                    return;
            }
            QueryMatches matches;
            if (!index.evaluate(*query, matches, [&] { return latest.load() == generation && !stopping.load(); }))
                continue;
            QMetaObject::invokeMethod(
                bar, [bar, generation, rows = matches.rows()]() mutable { bar->showMatches(generation, std::move(rows)); },
                Qt::QueuedConnection);
        }
    }

    std::mutex mutex;
    std::condition_variable wake;
    std::atomic<bool> stopping{false};
    std::atomic<std::uint64_t> latest{0};
    std::shared_ptr<const Query> pending;
    std::uint64_t pendingGeneration = 0;
    std::thread thread; // last: started once the rest exists
};

QueryBar::QueryBar(VariableList& list, const CodebookStore& store, const ProjectSpec& project,
                   VariableListView* grid, QWidget* parent)
    : QWidget(parent), list_(list), grid_(grid)
{
    setObjectName(QStringLiteral("queryBar"));
    // One line high (two with an error) whatever the grid below does.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    layout_ = new QGridLayout(this);
    layout_->setContentsMargins(4, 2, 4, 2);
    layout_->setVerticalSpacing(0);
    // The bar tells its own smallest size (minimumSizeHint), that of its
    // narrow arrangement, so that a small screen can hold the window.
    layout_->setSizeConstraint(QLayout::SetNoConstraint);
    caption_ = new QLabel(QStringLiteral("&Query:"), this);
    QLabel* caption = caption_;
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("queryEdit"));
    edit_->setClearButtonEnabled(true);
    edit_->setPlaceholderText(QStringLiteral("e.g. label:income AND NOT section:3, \"a phrase\", wag*, /regex/"));
    // The fields come from the query's own table, so the help names each one.
    edit_->setToolTip(latin1("Terms match whole words in the name, label, description and category lines;\n"
                             "a field before a colon looks in that field alone:\n" +
                             queryFieldHelp() +
                             "\"phrases\", * and ? in words, /regular expressions/,\n"
                             "AND (or nothing), OR, NOT and parentheses. Case does not matter.\n"
                             "F3 and Shift+F3 go to the next and the previous match; F1 tells more."));
    caption->setBuddy(edit_);
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("queryCount"));
    count_->setAccessibleName(QStringLiteral("Matches"));
    // A fixed width, so that the field keeps its place whatever the count says.
    count_->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("1,000,000 matches")) + 8);
    error_ = new QLabel(this);
    error_->setObjectName(QStringLiteral("queryError"));
    error_->setAccessibleName(QStringLiteral("Query error"));
    error_->setStyleSheet(QStringLiteral("color: #b00000"));
    error_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    error_->hide();
    tag_ = new QPushButton(QStringLiteral("Tag M&atches"), this);
    tag_->setObjectName(QStringLiteral("tagMatches"));
    tag_->setEnabled(false);
    tag_->setAutoDefault(false);
    untag_ = new QPushButton(QStringLiteral("&Untag Matches"), this);
    untag_->setObjectName(QStringLiteral("untagMatches"));
    untag_->setEnabled(false);
    untag_->setAutoDefault(false);
    only_ = new QCheckBox(QStringLiteral("Show On&ly Matches"), this);
    only_->setObjectName(QStringLiteral("onlyMatches"));
    edit_->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 16);
    arrange(false);

    pause_ = new QTimer(this);
    pause_->setSingleShot(true);
    pause_->setInterval(pauseMs);
    connect(pause_, &QTimer::timeout, this, &QueryBar::runQuery);
    searching_ = new QTimer(this);
    searching_->setSingleShot(true);
    searching_->setInterval(pauseMs);
    connect(searching_, &QTimer::timeout, this, [this] {
        if (shown_ != generation_ && !pause_->isActive())
            count_->setText(QStringLiteral("Searching..."));
    });
    connect(edit_, &QLineEdit::textChanged, this, [this] {
        // What was shown belongs to the text before. A text that is a query
        // is worked out at once (a running query is dropped as soon as the
        // next one starts); a syntax error waits for a pause in the typing,
        // so that it does not flash up while a word is still being typed.
        count_->clear();
        if (!startQuery(false))
            pause_->start();
        updateButtons();
    });
    connect(edit_, &QLineEdit::returnPressed, this, &QueryBar::runQuery);
    connect(tag_, &QPushButton::clicked, this, &QueryBar::tagMatches);
    connect(untag_, &QPushButton::clicked, this, &QueryBar::untagMatches);
    connect(only_, &QCheckBox::toggled, this, &QueryBar::showOnlyMatches);

    matchesView_ = new QTableView(parent);
    matchesView_->setObjectName(QStringLiteral("matchesList"));
    matchesView_->setAccessibleName(QStringLiteral("Matching variables"));
    matchesModel_ = new MatchesModel(grid->variableModel(), matchesView_);
    matchesView_->setModel(matchesModel_);
    matchesView_->setFont(grid->font());
    matchesView_->setItemDelegate(new VariableListDelegate(matchesView_));
    matchesView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    matchesView_->setSelectionMode(QAbstractItemView::SingleSelection);
    matchesView_->setWordWrap(false);
    matchesView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    matchesView_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    matchesView_->verticalHeader()->setDefaultSectionSize(grid->rowHeight());
    matchesView_->verticalHeader()->hide();
    matchesView_->horizontalHeader()->setStretchLastSection(true);
    matchesView_->horizontalHeader()->setSectionsClickable(false);
    matchesView_->setColumnWidth(VariableTableModel::TagColumn, grid->columnWidth(VariableTableModel::TagColumn));
    matchesView_->hide();
    empty_ = new QLabel(matchesView_->viewport());
    empty_->setObjectName(QStringLiteral("matchesEmpty"));
    empty_->setAlignment(Qt::AlignCenter);
    empty_->setWordWrap(true);
    empty_->setAttribute(Qt::WA_TransparentForMouseEvents);
    matchesView_->viewport()->installEventFilter(this);
    connect(matchesView_, &QTableView::clicked, this, [this](const QModelIndex& index) {
        const std::uint32_t row = matchesModel_->listRow(index.row());
        list_.goToRow(row);
        if (index.column() == VariableTableModel::TagColumn)
            list_.toggleTag(row);
    });
    connect(matchesView_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid() && !following_)
                    list_.goToRow(matchesModel_->listRow(current.row()));
            });
    connect(matchesView_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (list_.goToRow(matchesModel_->listRow(index.row())) == 1 && description_)
            description_();
    });
    connect(grid->variableModel(), &VariableTableModel::activeRowUpdated, this,
            [this](quint32 row) { followActiveRow(row); });

    matchesView_->installEventFilter(this);
    edit_->installEventFilter(this);

    worker_ = std::make_unique<Worker>(this, list, store, project);
    updateEmptyText();
}

void QueryBar::arrange(bool narrow)
{
    if (arranged_ && narrow_ == narrow)
        return;
    arranged_ = true;
    narrow_ = narrow;
    for (QWidget* widget : {static_cast<QWidget*>(caption_), static_cast<QWidget*>(edit_),
                            static_cast<QWidget*>(count_), static_cast<QWidget*>(tag_),
                            static_cast<QWidget*>(untag_), static_cast<QWidget*>(only_),
                            static_cast<QWidget*>(error_)})
        layout_->removeWidget(widget);
    for (int column = 0; column < 6; ++column)
        layout_->setColumnStretch(column, 0);
    // Wide: one line, the field taking the spare width. Narrow: the buttons
    // on a line of their own below the field.
    layout_->addWidget(caption_, 0, 0);
    if (!narrow) {
        layout_->addWidget(edit_, 0, 1);
        layout_->addWidget(count_, 0, 2);
        layout_->addWidget(tag_, 0, 3);
        layout_->addWidget(untag_, 0, 4);
        layout_->addWidget(only_, 0, 5);
        layout_->addWidget(error_, 1, 1, 1, 5);
        layout_->setColumnStretch(1, 1);
    } else {
        layout_->addWidget(edit_, 0, 1, 1, 3);
        layout_->addWidget(count_, 0, 4);
        layout_->addWidget(error_, 1, 1, 1, 4);
        layout_->addWidget(tag_, 2, 1);
        layout_->addWidget(untag_, 2, 2);
        layout_->addWidget(only_, 2, 3, 1, 2);
        layout_->setColumnStretch(3, 1);
    }
    updateGeometry();
}

int QueryBar::wideWidth() const
{
    const QMargins margins = layout_->contentsMargins();
    int width = margins.left() + margins.right() + 5 * std::max(0, layout_->horizontalSpacing());
    for (const QWidget* widget : {static_cast<const QWidget*>(caption_), static_cast<const QWidget*>(edit_),
                                  static_cast<const QWidget*>(count_), static_cast<const QWidget*>(tag_),
                                  static_cast<const QWidget*>(untag_), static_cast<const QWidget*>(only_)})
        width += std::max(widget->minimumWidth(), widget->minimumSizeHint().width());
    return width;
}

QSize QueryBar::minimumSizeHint() const
{
    // The narrow arrangement's width: the widest of its lines.
    const QMargins margins = layout_->contentsMargins();
    const int spacing = std::max(0, layout_->horizontalSpacing());
    const auto least = [](const QWidget* widget) {
        return std::max(widget->minimumWidth(), widget->minimumSizeHint().width());
    };
    const int first = least(caption_) + least(edit_) + least(count_) + 2 * spacing;
    const int second = least(caption_) + least(tag_) + least(untag_) + least(only_) + 3 * spacing;
    return {margins.left() + margins.right() + std::max(first, second), layout_->minimumSize().height()};
}

QSize QueryBar::sizeHint() const
{
    return layout_->sizeHint().expandedTo(minimumSizeHint());
}

void QueryBar::resizeEvent(QResizeEvent* event)
{
    arrange(event->size().width() < wideWidth());
    QWidget::resizeEvent(event);
}

bool QueryBar::eventFilter(QObject* watched, QEvent* event)
{
    // Key presses never come while the grid is being destroyed.
    if (event->type() == QEvent::KeyPress && (watched == matchesView_ || watched == edit_) &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
        if (help_)
            help_();
        return true;
    }
    if (event->type() == QEvent::KeyPress && (watched == matchesView_ || watched == edit_) &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_F3 && match_) {
        match_(!static_cast<QKeyEvent*>(event)->modifiers().testFlag(Qt::ShiftModifier));
        return true;
    }
    if (event->type() == QEvent::KeyPress && watched == matchesView_) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const QModelIndex current = matchesView_->currentIndex();
        if (current.isValid() && (key == Qt::Key_Space || key == Qt::Key_T) &&
            static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
            list_.toggleTag(matchesModel_->listRow(current.row()));
            return true;
        }
        if (current.isValid() && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
            QGuiApplication::clipboard()->setText(
                VariableListView::clipboardText(list_, matchesModel_->listRow(current.row())));
            return true;
        }
        if (current.isValid() && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            if (list_.goToRow(matchesModel_->listRow(current.row())) == 1 && description_)
                description_();
            return true;
        }
    }
    if (event->type() == QEvent::ContextMenu && matchesView_ && watched == matchesView_->viewport()) {
        // A right click on a match, or the menu key for the current one.
        auto* menuEvent = static_cast<QContextMenuEvent*>(event);
        QModelIndex index = matchesView_->currentIndex();
        QPoint at = matchesView_->visualRect(index).center();
        if (menuEvent->reason() != QContextMenuEvent::Keyboard) {
            index = matchesView_->indexAt(menuEvent->pos());
            at = menuEvent->pos();
        }
        if (index.isValid() && contextMenu_) {
            const std::uint32_t row = matchesModel_->listRow(index.row());
            list_.goToRow(row);
            contextMenu_(row, matchesView_->viewport()->mapToGlobal(at));
        }
        return true;
    }
    if (event->type() == QEvent::Resize && matchesView_ && watched == matchesView_->viewport())
        empty_->setGeometry(matchesView_->viewport()->rect().adjusted(8, 8, -8, -8));
    return QWidget::eventFilter(watched, event);
}

QueryBar::~QueryBar()
{
    // The thread ends before anything it reads goes away.
    worker_.reset();
    grid_->variableModel()->setMarkedRows({});
    delete matchesView_;
}

bool QueryBar::busy() const
{
    return pause_->isActive() || shown_ != generation_;
}

bool QueryBar::onlyMatchesShown() const
{
    return only_->isChecked();
}

QString QueryBar::emptyText() const
{
    return matchesModel_->rowCount() == 0 ? empty_->text() : QString();
}

void QueryBar::showError(const QString& error)
{
    errorText_ = error;
    error_->setText(error);
    error_->setVisible(!error.isEmpty());
}

void QueryBar::runQuery()
{
    startQuery(true);
}

bool QueryBar::startQuery(bool showErrors)
{
    pause_->stop();
    ++generation_;
    auto query = std::make_shared<Query>();
    const std::string text = latin1Bytes(edit_->text());
    if (!query->compile(text)) {
        worker_->latest = generation_; // stops a query still running
        if (!showErrors)
            return false;
        showError(latin1(query->error().text()));
        showMatches(generation_, {});
        count_->clear();
        return true;
    }
    showError(QString());
    if (query->empty()) {
        worker_->latest = generation_;
        showMatches(generation_, {});
        count_->clear();
        return true;
    }
    // While typing, "Searching..." comes only when the count takes longer
    // than the pause in the typing.
    if (showErrors)
        count_->setText(QStringLiteral("Searching..."));
    else
        searching_->start();
    updateButtons();
    updateEmptyText();
    worker_->post(generation_, std::move(query));
    return true;
}

void QueryBar::showMatches(std::uint64_t generation, std::vector<std::uint32_t> rows)
{
    if (generation != generation_)
        return; // overtaken by newer typing
    shown_ = generation;
    matches_ = std::move(rows);
    matchesModel_->setRows(matches_);
    grid_->variableModel()->setMarkedRows(matches_);
    const auto n = static_cast<qulonglong>(matches_.size());
    count_->setText(QLocale().toString(n) + (n == 1 ? QStringLiteral(" match") : QStringLiteral(" matches")));
    updateButtons();
    updateEmptyText();
    if (only_->isChecked())
        placeOnMatch();
    emit matchesUpdated(static_cast<quint32>(matches_.size()));
}

void QueryBar::updateButtons()
{
    const bool on = commandsEnabled_ && !busy() && !matches_.empty();
    tag_->setEnabled(on);
    untag_->setEnabled(on);
}

void QueryBar::setCommandsEnabled(bool enabled)
{
    commandsEnabled_ = enabled;
    updateButtons();
}

void QueryBar::updateEmptyText()
{
    QString text;
    if (!matches_.empty() && !busy())
        text.clear();
    else if (!errorText_.isEmpty())
        text = QStringLiteral("The query has an error: ") + errorText_;
    else if (edit_->text().trimmed().isEmpty())
        text = QStringLiteral("No query: type one in the Query field above to list the variables it matches.");
    else if (busy())
        text = QStringLiteral("Searching...");
    else
        text = QStringLiteral("No variable matches the query.");
    empty_->setText(text);
    empty_->setVisible(!text.isEmpty() && matchesModel_->rowCount() == 0);
}

void QueryBar::tagMatches()
{
    if (matches_.empty() || !tag_->isEnabled())
        return;
    const bool many = matches_.size() > VariableList::waitCursorRange;
    if (many)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    for (const std::uint32_t row : matches_)
        list_.tagRow(row);
    if (many)
        QApplication::restoreOverrideCursor();
}

void QueryBar::untagMatches()
{
    if (matches_.empty() || !untag_->isEnabled())
        return;
    const bool many = matches_.size() > VariableList::waitCursorRange;
    if (many)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    for (const std::uint32_t row : matches_)
        list_.untagRow(row);
    if (many)
        QApplication::restoreOverrideCursor();
}

int QueryBar::goToMatch(bool forward)
{
    if (matches_.empty() || busy())
        return 0;
    const std::uint32_t active = list_.activeRow();
    std::uint32_t target = 0;
    bool wrapped = false;
    if (forward) {
        const auto next = std::upper_bound(matches_.begin(), matches_.end(), active);
        wrapped = next == matches_.end();
        target = wrapped ? matches_.front() : *next;
    } else {
        const auto here = std::lower_bound(matches_.begin(), matches_.end(), active);
        wrapped = here == matches_.begin();
        target = wrapped ? matches_.back() : *(here - 1);
    }
    if (list_.goToRow(target) != 1)
        return 0;
    return wrapped && target != active ? 2 : 1;
}

void QueryBar::followActiveRow(std::uint32_t row)
{
    if (!matchesView_ || !only_->isChecked())
        return;
    const auto it = std::lower_bound(matches_.begin(), matches_.end(), row);
    if (it == matches_.end() || *it != row)
        return;
    const QModelIndex index =
        matchesModel_->index(static_cast<int>(it - matches_.begin()), VariableTableModel::TextColumn);
    following_ = true;
    if (matchesView_->currentIndex() != index)
        matchesView_->setCurrentIndex(index);
    matchesView_->scrollTo(index, QAbstractItemView::EnsureVisible);
    following_ = false;
}

void QueryBar::placeOnMatch()
{
    if (matches_.empty())
        return;
    // The user's place when it is a match, else the nearest match after it
    // (the last one when none follows).
    const std::uint32_t active = list_.activeRow();
    auto it = std::lower_bound(matches_.begin(), matches_.end(), active);
    if (it == matches_.end())
        --it;
    if (*it != active)
        list_.goToRow(*it);
    followActiveRow(*it);
}

void QueryBar::showOnlyMatches(bool on)
{
    matchesView_->setVisible(on);
    grid_->setVisible(!on);
    if (on)
        placeOnMatch();
    updateEmptyText();
    (on ? static_cast<QWidget*>(matchesView_) : grid_)->setFocus(Qt::OtherFocusReason);
}

} // namespace qavn
