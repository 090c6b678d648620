#include "catalogue/qt/DescriptionWindow.h"

#include "project/ProjectSpec.h"
#include "codebook/CodebookStore.h"
#include "codebook/DescriptionText.h"
#include "platform/qt/QtText.h"
#include "catalogue/VariableList.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStringListModel>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>
#include <QCursor>
#include <QMouseEvent>

namespace qavn {

namespace {

// The pin pictures: a pin standing up (not pinned) or pushed in (pinned).
QPixmap pinPicture(bool down)
{
    QPixmap pixmap(23, 18);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    if (down) {
        p.setBrush(QColor(200, 0, 0));
        p.drawEllipse(QRectF(3.5, 4.5, 9, 9));
        p.drawLine(QPointF(12, 9), QPointF(20, 9));
    } else {
        p.setBrush(QColor(200, 0, 0));
        p.drawEllipse(QRectF(7.5, 1.5, 8, 8));
        p.drawLine(QPointF(11.5, 9.5), QPointF(11.5, 16.5));
    }
    return pixmap;
}

// Code, Freq and % right-aligned ending at 51, 90 and 124 pixels, the
// category label left-aligned from 132, all at the item's top.
constexpr int codeRight = 51;
constexpr int freqRight = 90;
constexpr int percentRight = 124;
constexpr int labelLeft = 132;
constexpr int itemHeight = 13;

void drawFields(QPainter* painter, const QRect& rect, const QString& code, const QString& freq,
                const QString& percent, const QString& label)
{
    const int top = rect.top();
    const int h = rect.height();
    const int left = rect.left();
    const auto right = Qt::AlignRight | Qt::AlignTop;
    painter->drawText(QRect(left, top, codeRight, h), right, code);
    painter->drawText(QRect(left, top, freqRight, h), right, freq);
    painter->drawText(QRect(left, top, percentRight, h), right, percent);
    painter->drawText(QRect(left + labelLeft, top, std::max(0, rect.width() - labelLeft), h),
                      Qt::AlignLeft | Qt::AlignTop, label);
}

class CategoryDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        painter->save();
        if (option.state & QStyle::State_Selected) {
            painter->fillRect(option.rect, option.palette.highlight());
            painter->setPen(option.palette.highlightedText().color());
        }
        const std::string bytes = latin1Bytes(index.data().toString());
        const CategoryItem item = splitCategoryItem(bytes);
        drawFields(painter, option.rect, latin1(item.code), latin1(item.frequency), latin1(item.percent),
                   latin1(item.label));
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(itemHeight, option.fontMetrics.height()));
        return size;
    }
};

class Headings : public QWidget {
public:
    using QWidget::QWidget;
    QSize sizeHint() const override { return {labelLeft + 100, fontMetrics().height() + 2}; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        drawFields(&p, rect().adjusted(2, 1, 0, 0), QStringLiteral("Code"), QStringLiteral("Freq"), QStringLiteral("%"),
                   QStringLiteral("Category Label"));
    }
};

} // namespace

DescriptionWindow::DescriptionWindow(int slot, VariableList& list, CodebookStore& store, const ProjectSpec& project,
                                     QWidget* owner)
    : QWidget(owner, Qt::Window), slot_(slot), list_(list), store_(store), project_(project)
{
    setObjectName(QStringLiteral("descriptionWindow%1").arg(slot));
    setWindowTitle(QStringLiteral("Description/Frequency"));
    setMinimumSize(270, 130);
    resize(406, 228);

    pinUp_ = new QToolButton(this);
    pinUp_->setObjectName(QStringLiteral("pinUp"));
    pinUp_->setIcon(pinPicture(false));
    pinUp_->setIconSize(QSize(23, 18));
    pinUp_->setAutoRaise(true);
    pinUp_->setToolTip(QStringLiteral("Keep this window on its variable"));
    pinDown_ = new QToolButton(this);
    pinDown_->setObjectName(QStringLiteral("pinDown"));
    pinDown_->setIcon(pinPicture(true));
    pinDown_->setIconSize(QSize(23, 18));
    pinDown_->setAutoRaise(true);
    pinDown_->setToolTip(QStringLiteral("Let this window follow the list"));
    pinDown_->hide();
    connect(pinUp_, &QToolButton::clicked, this, [this] { setPinned(true); });
    connect(pinDown_, &QToolButton::clicked, this, [this] { setPinned(false); });

    descriptionButton_ = new QRadioButton(QStringLiteral("View Description"), this);
    descriptionButton_->setObjectName(QStringLiteral("viewDescription"));
    frequencyButton_ = new QRadioButton(QStringLiteral("View Frequency"), this);
    frequencyButton_->setObjectName(QStringLiteral("viewFrequency"));
    descriptionButton_->setChecked(true);
    connect(descriptionButton_, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            setView(View::Description);
    });
    connect(frequencyButton_, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            setView(View::Frequency);
    });

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    info_ = new QLabel(this);
    info_->setObjectName(QStringLiteral("info"));
    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("description"));
    text_->setReadOnly(true);
    // Long lines wrap at the window's edge.
    text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    headings_ = new Headings(this);
    categories_ = new QListView(this);
    categories_->setObjectName(QStringLiteral("categories"));
    categoryModel_ = new QStringListModel(this);
    categories_->setModel(categoryModel_);
    categories_->setItemDelegate(new CategoryDelegate(categories_));
    categories_->setUniformItemSizes(true);
    categories_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    categories_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    figures_ = new QPlainTextEdit(this);
    figures_->setObjectName(QStringLiteral("figures"));
    figures_->setReadOnly(true);

    auto* top = new QHBoxLayout;
    top->setContentsMargins(2, 2, 2, 0);
    top->addWidget(pinUp_);
    top->addWidget(pinDown_);
    top->addWidget(descriptionButton_);
    top->addWidget(frequencyButton_);
    top->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(top);
    layout->addWidget(line);
    layout->addWidget(info_);
    layout->addWidget(headings_);
    layout->addWidget(text_, 1);
    layout->addWidget(categories_, 1);
    layout->addWidget(figures_, 1);
    applyView();

    activation_ = new QTimer(this);
    activation_->setSingleShot(true);
    activation_->setInterval(activationDelayMs);
    connect(activation_, &QTimer::timeout, this, [this] {
        qApp->removeEventFilter(this);
        setPinned(false);
        refresh();
    });
}

void DescriptionWindow::setView(View view)
{
    view_ = view;
    const QSignalBlocker a(descriptionButton_);
    const QSignalBlocker b(frequencyButton_);
    descriptionButton_->setChecked(view == View::Description);
    frequencyButton_->setChecked(view == View::Frequency);
    applyView();
}

void DescriptionWindow::applyView()
{
    const bool description = view_ == View::Description;
    // A variable without category lines shows its figures from the data,
    // asked for the first time the frequency view shows it.
    if (!description && !hasCategories_ && !figuresShown_ && figuresFor && !computingFigures_ && row_ != 0) {
        computingFigures_ = true;
        const std::uint32_t row = row_;
        const std::optional<QStringList> lines = figuresFor(row);
        computingFigures_ = false;
        if (lines && row == row_) {
            figures_->setPlainText(lines->join(QLatin1Char('\n')));
            figuresShown_ = true;
        }
    }
    const bool figures = !description && figuresShown_;
    info_->setVisible(description);
    text_->setVisible(description);
    headings_->setVisible(!description && !figures);
    categories_->setVisible(!description && !figures);
    figures_->setVisible(figures);
}

void DescriptionWindow::setPinned(bool pinned)
{
    if (pinned_ == pinned)
        return;
    pinned_ = pinned;
    pinUp_->setVisible(!pinned);
    pinDown_->setVisible(pinned);
    if (onPinChanged)
        onPinChanged(slot_, pinned);
}

void DescriptionWindow::refresh()
{
    const std::uint32_t r = list_.activeRow();
    if (r == row_)
        return;
    row_ = r;
    if (onRowShown)
        onRowShown(slot_, r);
    if (!store_.readRecord(r))
        return;
    const VariableRecord record = store_.record();
    setWindowTitle(latin1(descriptionCaption(list_.rowName(r))));
    info_->setText(latin1(descriptionInfoLine(record, project_)));

    QString text = latin1(qavn::descriptionText(store_, record));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text_->setPlainText(text);

    QStringList items;
    items.reserve(record.categoryLineCount);
    store_.readLines(record.categoryRef, record.categoryLineCount, LineVariant::ListLines, [&](std::string_view line) {
        items.append(latin1(line));
        return true;
    });
    categoryModel_->setStringList(items);
    hasCategories_ = record.categoryLineCount > 0;
    figuresShown_ = false;
    figures_->clear();
    applyView();
}

QString DescriptionWindow::infoText() const
{
    return info_->text();
}

QString DescriptionWindow::descriptionText() const
{
    return text_->toPlainText();
}

QStringList DescriptionWindow::categoryLines() const
{
    return categoryModel_->stringList();
}

QString DescriptionWindow::figuresText() const
{
    return figuresShown_ ? figures_->toPlainText() : QString();
}

bool DescriptionWindow::activationPending() const
{
    return activation_->isActive();
}

void DescriptionWindow::activated()
{
    if (QGuiApplication::mouseButtons().toInt() != 0)
        return; // the press came first: a click into the window
    // A click on the title bar or the frame goes to the window manager
    // alone; the pointer is still there when the activation arrives.
    const QPoint pointer = QCursor::pos();
    if (frameGeometry().contains(pointer) && !geometry().contains(pointer))
        return;
    // Activated from the keyboard, by the window manager or by the program,
    // unless a press into the window follows at once: the window follows
    // the list again.
    qApp->installEventFilter(this);
    activation_->start();
}

void DescriptionWindow::cancelActivation()
{
    activation_->stop();
    qApp->removeEventFilter(this);
}

bool DescriptionWindow::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        activated();
    else if (event->type() == QEvent::WindowDeactivate || event->type() == QEvent::Hide)
        cancelActivation();
    return QWidget::event(event);
}

bool DescriptionWindow::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (activation_->isActive() &&
        (type == QEvent::MouseButtonPress || type == QEvent::NonClientAreaMouseButtonPress ||
         type == QEvent::MouseButtonDblClick)) {
        // The press that activated this window.
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == this)
            cancelActivation();
    }
    return QWidget::eventFilter(watched, event);
}

void DescriptionWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    hide();
    if (onHidden)
        onHidden(slot_);
}

void DescriptionWindow::keyPressEvent(QKeyEvent* event)
{
    if (!handleWindowKey(event, onHelp, [this] { close(); }))
        QWidget::keyPressEvent(event);
}

DescriptionWindows::DescriptionWindows(VariableList& list, CodebookStore& store, const ProjectSpec& project,
                                       QWidget* owner)
    : list_(list), store_(store), project_(project), owner_(owner)
{
}

DescriptionWindows::~DescriptionWindows()
{
    destroyAll();
}

DescriptionWindow* DescriptionWindows::make(int slot)
{
    auto* w = new DescriptionWindow(slot, list_, store_, project_, owner_);
    w->onPinChanged = [this](int s, bool pinned) {
        if (pinned) {
            slots_.pin(s);
            if (DescriptionWindow* other = windows_[1 - s].data())
                other->setPinned(false);
        } else {
            slots_.unpin(s);
        }
    };
    w->onRowShown = [this](int s, std::uint32_t row) { slots_.showing(s, row); };
    w->onHidden = [this](int s) {
        slots_.setVisible(s, false);
        if (onWindowHidden)
            onWindowHidden();
    };
    w->onHelp = [this] {
        if (onHelp)
            onHelp();
    };
    w->figuresFor = [this](std::uint32_t row) {
        return figuresFor ? figuresFor(row) : std::optional<QStringList>();
    };
    windows_[slot] = w;
    slots_.created(slot);
    return w;
}

void DescriptionWindows::showDescription(Request request)
{
    const int slot = slots_.choose(list_.activeRow());
    if (slot == DescriptionSlots::none)
        return;
    DescriptionWindow* w = windows_[slot] ? windows_[slot].data() : make(slot);
    slots_.setVisible(slot, true);
    w->showNormal();
    w->raise();
    w->activateWindow();
    // Activation unpins and refreshes; where the platform delivers no
    // activation (offscreen), do the same here.
    w->setPinned(false);
    w->refresh();
    if (request == Request::Frequency)
        w->setView(DescriptionWindow::View::Frequency);
}

void DescriptionWindows::destroyAll()
{
    for (int slot = 0; slot < 2; ++slot) {
        delete windows_[slot];
        windows_[slot] = nullptr;
        slots_.destroyed(slot);
    }
}

} // namespace qavn
