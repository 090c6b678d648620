// The modal progress dialog of loading and of the one-file outputs: a message, a
// bar and Cancel.

#include "app/qt/LoadingDialog.h"

#include "platform/qt/QtText.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace qavn {

LoadingDialog::LoadingDialog(QWidget* parent, std::function<void()> work)
    : WorkDialog(parent, Qt::Dialog | Qt::FramelessWindowHint, std::move(work))
{
    setObjectName(QStringLiteral("loadingDialog"));
    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Box);
    frame->setLineWidth(1);
    frame->setStyleSheet(QStringLiteral("QFrame#loadingFrame { border: 1px solid black; }"));
    frame->setObjectName(QStringLiteral("loadingFrame"));

    label_ = new QLabel(latin1(text), frame);
    label_->setObjectName(QStringLiteral("loadingText"));
    label_->setAlignment(Qt::AlignCenter);
    detail_ = new QLabel(frame);
    detail_->setObjectName(QStringLiteral("loadingDetail"));
    detail_->setAlignment(Qt::AlignCenter);
    detail_->hide();
    bar_ = new QProgressBar(frame);
    bar_->setObjectName(QStringLiteral("loadingProgress"));
    bar_->setRange(0, 0);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    cancelButton_ = new QPushButton(QStringLiteral("Cancel"), frame);
    cancelButton_->setObjectName(QStringLiteral("loadingCancel"));
    cancelButton_->setAutoDefault(false);
    connect(cancelButton_, &QPushButton::clicked, this, [this] { requestCancel(); });

    auto* inner = new QVBoxLayout(frame);
    inner->addWidget(label_);
    inner->addWidget(bar_);
    inner->addWidget(detail_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancelButton_);
    buttons->addStretch();
    inner->addLayout(buttons);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);
    setFixedWidth(320);
}

void LoadingDialog::showEvent(QShowEvent* event)
{
    centreOnOwner();
    if (QWidget* owner = parentWidget())
        owner->window()->installEventFilter(this);
    WorkDialog::showEvent(event);
}

void LoadingDialog::hideEvent(QHideEvent* event)
{
    if (QWidget* owner = parentWidget())
        owner->window()->removeEventFilter(this);
    WorkDialog::hideEvent(event);
}

bool LoadingDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Move || event->type() == QEvent::Resize)
        centreOnOwner();
    return WorkDialog::eventFilter(watched, event);
}

void LoadingDialog::centreOnOwner()
{
    QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    if (!owner)
        return;
    const QSize size = sizeHint().expandedTo(minimumSize()).boundedTo(maximumSize());
    const QSize now = isVisible() ? this->size() : size;
    move(owner->frameGeometry().center() - QPoint(now.width() / 2, now.height() / 2));
}

void LoadingDialog::setRange(long maximum)
{
    const long top = std::clamp<long>(maximum, 0, std::numeric_limits<int>::max());
    // A range of 0..0 would make the bar a busy indicator; one unit keeps it
    // a plain, empty bar.
    bar_->setRange(0, static_cast<int>(std::max<long>(top, 1)));
    bar_->setValue(0);
}

void LoadingDialog::advance(long step)
{
    // The bar stops at its maximum.
    const long value = std::min<long>(static_cast<long>(bar_->value()) + step, bar_->maximum());
    bar_->setValue(static_cast<int>(value));
}

void LoadingDialog::setText(std::string_view field, std::string_view text)
{
    if (!field.empty())
        return;
    const bool count = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    setDetail(count ? QStringLiteral("record ") + latin1(text) : latin1(text));
}

void LoadingDialog::setDetail(const QString& text)
{
    if (detail_->text() == text)
        return;
    detail_->setText(detail_->fontMetrics().elidedText(text, Qt::ElideMiddle, width() - 24));
    detail_->setVisible(!text.isEmpty());
}

QString LoadingDialog::detail() const
{
    return detail_->text();
}

void LoadingDialog::setMessage(const QString& message)
{
    label_->setText(message);
}

} // namespace qavn
