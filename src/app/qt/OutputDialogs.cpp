#include "app/qt/OutputDialogs.h"

#include "platform/qt/QtText.h"

#include <QBoxLayout>
#include <QCloseEvent>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace qavn {

WritingDialog::WritingDialog(int dialogTemplate, std::function<void(WritingDialog&)> work, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint), template_(dialogTemplate), work_(std::move(work))
{
    setObjectName(QStringLiteral("writingDialog"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    if (template_ == 145) {
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(QStringLiteral("Processing the record # "), this));
        counter_ = new QLabel(QStringLiteral("0"), this);
        counter_->setObjectName(QStringLiteral("1050"));
        counter_->setMinimumWidth(80);
        row->addWidget(counter_);
        row->addStretch();
        layout->addLayout(row);
        from_ = new QLabel(QStringLiteral("from file"), this);
        from_->setObjectName(QStringLiteral("1048"));
        layout->addWidget(from_);
    } else {
        auto* text = new QLabel(QStringLiteral("Writing Data, Please Wait..."), this);
        text->setObjectName(QStringLiteral("1045"));
        layout->addWidget(text);
        bar_ = new QProgressBar(this);
        bar_->setObjectName(QStringLiteral("1022"));
        bar_->setRange(0, 300);
        bar_->setValue(0);
        bar_->setTextVisible(false);
        bar_->setMinimumWidth(260);
        layout->addWidget(bar_);
    }
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(cancel, &QPushButton::clicked, this, [this] { this->cancel = 1; });
    layout->addWidget(cancel, 0, Qt::AlignHCenter);
}

void WritingDialog::setRange(long maximum)
{
    if (bar_)
        bar_->setRange(0, static_cast<int>(std::min<long>(maximum, INT32_MAX)));
}

void WritingDialog::advance(long step)
{
    if (bar_)
        bar_->setValue(static_cast<int>(std::min<long>(bar_->maximum(), bar_->value() + step)));
}

void WritingDialog::setText(std::string_view field, std::string_view text)
{
    const QString value = latin1(text);
    if (field == "1050" && counter_)
        counter_->setText(value);
    else if (field == "1048" && from_)
        from_->setText(value);
}

QString WritingDialog::fieldText(const QString& field) const
{
    if (field == QLatin1String("1050") && counter_)
        return counter_->text();
    if (field == QLatin1String("1048") && from_)
        return from_->text();
    return {};
}

void WritingDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!started_) {
        started_ = true;
        // The work starts once the dialog is on screen.
        QTimer::singleShot(0, this, &WritingDialog::runWork);
    }
}

void WritingDialog::runWork()
{
    if (work_)
        work_(*this);
    finished_ = true;
    QDialog::accept();
}

void WritingDialog::reject()
{
    // Escape and the close box act as Cancel: the work stops at its next
    // poll and the dialog closes when it returns.
    if (finished_)
        QDialog::reject();
    else
        cancel = 1;
}

void WritingDialog::closeEvent(QCloseEvent* event)
{
    if (!finished_) {
        cancel = 1;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

int askReservedCodeChoice(QWidget* parent)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("confirmationDialog"));
    dialog.setWindowTitle(QStringLiteral("Confirmation"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("Want to Label Reserved Code ?"), &dialog), 0, Qt::AlignHCenter);
    auto* row = new QHBoxLayout;
    int choice = 0;
    auto addButton = [&](const QString& text, const char* id, int value) {
        auto* button = new QPushButton(text, &dialog);
        button->setObjectName(QLatin1String(id));
        QObject::connect(button, &QPushButton::clicked, &dialog, [&dialog, &choice, value] {
            choice = value;
            if (value == 0)
                dialog.reject();
            else
                dialog.accept();
        });
        row->addWidget(button);
        return button;
    };
    addButton(QStringLiteral("All"), "1033", 12)->setDefault(true);
    addButton(QStringLiteral("Categorical"), "3", 11);
    addButton(QStringLiteral("None"), "4", 13);
    addButton(QStringLiteral("Cancel"), "2", 0);
    layout->addLayout(row);
    return dialog.exec() == QDialog::Accepted ? choice : 0;
}

GeneratedFilesDialog::GeneratedFilesDialog(const std::vector<std::string>& lines, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("generatedFilesDialog"));
    setWindowTitle(QStringLiteral("Output"));
    auto* list = new QListWidget(this);
    list->setObjectName(QStringLiteral("1001"));
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    for (const auto& line : lines)
        list->addItem(latin1(line));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list, 1);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    resize(520, 260);
}

QStringList GeneratedFilesDialog::lines() const
{
    QStringList result;
    const auto* list = findChild<QListWidget*>(QStringLiteral("1001"));
    for (int i = 0; list && i < list->count(); ++i)
        result.append(list->item(i)->text());
    return result;
}

} // namespace qavn
