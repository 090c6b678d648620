#include "app/qt/LoadingDialog.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <limits>

namespace qavn {

LoadingDialog::LoadingDialog(QWidget* parent, std::function<void()> work)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), work_(std::move(work))
{
    setObjectName(QStringLiteral("loadingDialog"));
    setModal(true);
    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Box);
    frame->setLineWidth(1);
    frame->setStyleSheet(QStringLiteral("QFrame#loadingFrame { border: 1px solid black; }"));
    frame->setObjectName(QStringLiteral("loadingFrame"));

    auto* label = new QLabel(QString::fromLatin1(text), frame);
    label->setObjectName(QStringLiteral("loadingText"));
    label->setAlignment(Qt::AlignCenter);
    bar_ = new QProgressBar(frame);
    bar_->setObjectName(QStringLiteral("loadingProgress"));
    bar_->setRange(0, 0);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    cancelButton_ = new QPushButton(QStringLiteral("Cancel"), frame);
    cancelButton_->setObjectName(QStringLiteral("loadingCancel"));
    cancelButton_->setAutoDefault(false);
    connect(cancelButton_, &QPushButton::clicked, this, [this] { cancel = 1; });

    auto* inner = new QVBoxLayout(frame);
    inner->addWidget(label);
    inner->addWidget(bar_);
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

void LoadingDialog::reject()
{
    // Only the work closes the dialog.
    cancel = 1;
    if (finished_)
        QDialog::reject();
}

void LoadingDialog::closeEvent(QCloseEvent* event)
{
    if (!finished_) {
        cancel = 1;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void LoadingDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!started_) {
        started_ = true;
        QTimer::singleShot(0, this, &LoadingDialog::run);
    }
}

void LoadingDialog::run()
{
    if (work_)
        work_();
    finished_ = true;
    done(cancel ? QDialog::Rejected : QDialog::Accepted);
}

} // namespace qavn
