#include "app/qt/OutputDialogs.h"

#include "platform/qt/QtText.h"
#include "writers/WriterContext.h"

#include <QBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace qavn {

ExportDialog::ExportDialog(QWidget* parent, std::function<void()> work)
    : WorkDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint, std::move(work))
{
    setObjectName(QStringLiteral("exportDialog"));
    auto* layout = new QVBoxLayout(this);
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
    auto* cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancel"));
    cancelButton->setAutoDefault(false);
    connect(cancelButton, &QPushButton::clicked, this, [this] { cancel = 1; });
    layout->addWidget(cancelButton, 0, Qt::AlignHCenter);
}

void ExportDialog::setText(std::string_view field, std::string_view text)
{
    if (field == "1050")
        counter_->setText(latin1(text));
    else if (field == "1048")
        from_->setText(latin1(text));
}

QString ExportDialog::fieldText(const QString& field) const
{
    if (field == QLatin1String("1050"))
        return counter_->text();
    if (field == QLatin1String("1048"))
        return from_->text();
    return {};
}

std::optional<LabelChoice> askReservedCodeChoice(QWidget* parent)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("confirmationDialog"));
    dialog.setWindowTitle(QStringLiteral("Confirmation"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("Want to Label Reserved Code ?"), &dialog), 0, Qt::AlignHCenter);
    auto* row = new QHBoxLayout;
    std::optional<LabelChoice> choice;
    auto addButton = [&](const QString& text, const QString& id, std::optional<LabelChoice> value) {
        auto* button = new QPushButton(text, &dialog);
        button->setObjectName(id);
        QObject::connect(button, &QPushButton::clicked, &dialog, [&dialog, &choice, value] {
            choice = value;
            if (!value)
                dialog.reject();
            else
                dialog.accept();
        });
        row->addWidget(button);
        return button;
    };
    addButton(QStringLiteral("All"), QStringLiteral("1033"), LabelChoice::All)->setDefault(true);
    addButton(QStringLiteral("Categorical"), QStringLiteral("3"), LabelChoice::Categorical);
    addButton(QStringLiteral("None"), QStringLiteral("4"), LabelChoice::NoReservedCodes);
    addButton(QStringLiteral("Cancel"), QStringLiteral("2"), std::nullopt);
    layout->addLayout(row);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return choice;
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
