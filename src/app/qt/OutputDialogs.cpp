// The dialogs of the outputs: the data export's record counter, the
// Confirmation dialog and the generated-files list.

#include "app/qt/OutputDialogs.h"

#include "platform/qt/QtText.h"
#include "export/AccessExport.h"
#include "writers/WriterContext.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QLabel>
#include <QFile>
#include <QTreeWidget>
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
    if (field == accessfield::caseTotal) {
        total_ = text;
        return;
    }
    if (field == "1050") {
        // "n of N" until n passes N (the count was only the file's shape).
        const bool within = !total_.empty() && (text.size() < total_.size() ||
                                                (text.size() == total_.size() && text <= total_));
        counter_->setText(within ? latin1(text) + QStringLiteral(" of ") + latin1(total_) : latin1(text));
    } else if (field == "1048") {
        from_->setText(latin1(text));
    }
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

std::optional<TableChoices> askTableChoices(QWidget* parent, bool offerMerge, bool offerEmptyCells)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("tableChoicesDialog"));
    dialog.setWindowTitle(QStringLiteral("Confirmation"));
    auto* layout = new QVBoxLayout(&dialog);
    QCheckBox* merge = nullptr;
    QCheckBox* empty = nullptr;
    if (offerMerge) {
        merge = new QCheckBox(QStringLiteral("&Match the data files' cases by their identifier into one table"),
                              &dialog);
        merge->setObjectName(QStringLiteral("merge"));
        merge->setChecked(true);
        layout->addWidget(merge);
    }
    if (offerEmptyCells) {
        empty = new QCheckBox(QStringLiteral("Leave reserved codes and missing values &empty"), &dialog);
        empty->setObjectName(QStringLiteral("emptyCells"));
        layout->addWidget(empty);
    }
    auto* row = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), &dialog);
    cancel->setObjectName(QStringLiteral("2"));
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    row->addStretch();
    layout->addLayout(row);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    TableChoices choices;
    choices.merge = merge && merge->isChecked();
    choices.emptyCells = empty && empty->isChecked();
    return choices;
}

GeneratedFilesDialog::GeneratedFilesDialog(const std::vector<std::string>& lines,
                                           const std::vector<std::string>& hostFiles, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("generatedFilesDialog"));
    setWindowTitle(QStringLiteral("Output"));
    auto* list = new QTreeWidget(this);
    list->setObjectName(QStringLiteral("1001"));
    list->setAccessibleName(QStringLiteral("Generated files"));
    list->setRootIsDecorated(false);
    list->setColumnCount(2);
    list->setHeaderLabels({QStringLiteral("File"), QStringLiteral("On this computer")});
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    const std::size_t firstHost = lines.size() >= hostFiles.size() ? lines.size() - hostFiles.size() : 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        auto* item = new QTreeWidgetItem(list);
        item->setText(0, latin1(lines[i]));
        if (i >= firstHost && i - firstHost < hostFiles.size())
            item->setText(1, QFile::decodeName(QByteArray::fromStdString(hostFiles[i - firstHost])));
    }
    list->resizeColumnToContents(0);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list, 1);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    resize(720, 280);
}

QStringList GeneratedFilesDialog::lines() const
{
    QStringList result;
    const auto* list = findChild<QTreeWidget*>(QStringLiteral("1001"));
    for (int i = 0; list && i < list->topLevelItemCount(); ++i)
        result.append(list->topLevelItem(i)->text(0));
    return result;
}

QStringList GeneratedFilesDialog::hostPaths() const
{
    QStringList result;
    const auto* list = findChild<QTreeWidget*>(QStringLiteral("1001"));
    for (int i = 0; list && i < list->topLevelItemCount(); ++i)
        result.append(list->topLevelItem(i)->text(1));
    return result;
}

} // namespace qavn
