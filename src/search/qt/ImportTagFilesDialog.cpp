// The Import Tag Files dialog: two files and how to combine them.

#include "search/qt/ImportTagFilesDialog.h"

#include "platform/Ui.h"
#include "search/TagImport.h"
#include "catalogue/VariableList.h"
#include "selections/TagSet.h"

#include <QBoxLayout>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace qavn {

namespace {
bool fieldEmpty(const QString& text)
{
    return !text.isEmpty() && text.front() == QLatin1Char(' ');
}
} // namespace

ImportTagFilesDialog::ImportTagFilesDialog(VariableList& list, Ui& ui, std::string outputDir, QWidget* parent)
    : QDialog(parent), list_(list), ui_(ui), outputDir_(std::move(outputDir))
{
    setObjectName(QStringLiteral("importTagFilesDialog"));
    setWindowTitle(QStringLiteral("Import Tag Files"));
    file1_ = new QLineEdit(QStringLiteral(" "), this);
    file1_->setObjectName(QStringLiteral("1038"));
    file1_->setMaxLength(259);
    file2_ = new QLineEdit(QStringLiteral(" "), this);
    file2_->setObjectName(QStringLiteral("1039"));
    file2_->setMaxLength(259);
    auto* browse1 = new QPushButton(QStringLiteral("Browse"), this);
    browse1->setObjectName(QStringLiteral("1040"));
    browse1->setAutoDefault(false);
    auto* browse2 = new QPushButton(QStringLiteral("Browse"), this);
    browse2->setObjectName(QStringLiteral("1041"));
    browse2->setAutoDefault(false);
    and_ = new QRadioButton(QStringLiteral("AND"), this);
    and_->setObjectName(QStringLiteral("1017"));
    or_ = new QRadioButton(QStringLiteral("OR"), this);
    or_->setObjectName(QStringLiteral("1018"));
    not_ = new QRadioButton(QStringLiteral("NOT"), this);
    not_->setObjectName(QStringLiteral("notButton"));
    not_->setToolTip(QStringLiteral("Tag every variable that neither file lists"));
    minus_ = new QRadioButton(QStringLiteral("MINUS"), this);
    minus_->setObjectName(QStringLiteral("minusButton"));
    minus_->setToolTip(QStringLiteral("Tag what File #1 lists and File #2 does not"));
    and_->setChecked(true);
    auto* importButton = new QPushButton(QStringLiteral("Import"), this);
    importButton->setObjectName(QStringLiteral("1"));
    importButton->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("2"));
    cancel->setAutoDefault(false);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("File #1:"), this), 0, 0);
    grid->addWidget(file1_, 0, 1);
    grid->addWidget(browse1, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("File #2:"), this), 1, 0);
    grid->addWidget(file2_, 1, 1);
    grid->addWidget(browse2, 1, 2);
    grid->setColumnMinimumWidth(1, 280);
    auto* combine = new QGroupBox(QStringLiteral("Combine Files With"), this);
    auto* combineLayout = new QHBoxLayout(combine);
    combineLayout->addWidget(and_);
    combineLayout->addWidget(or_);
    combineLayout->addWidget(not_);
    combineLayout->addWidget(minus_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(importButton);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(combine);
    layout->addLayout(buttons);

    connect(browse1, &QPushButton::clicked, this, [this] { browse(file1_); });
    connect(browse2, &QPushButton::clicked, this, [this] { browse(file2_); });
    connect(importButton, &QPushButton::clicked, this, &ImportTagFilesDialog::import);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void ImportTagFilesDialog::browse(QLineEdit* field)
{
    if (auto chosen = ui_.chooseFile(Ui::FileDialog::Open, "Tag|*.tag|", outputDir_))
        field->setText(QFile::decodeName(QByteArray::fromStdString(*chosen)));
}

void ImportTagFilesDialog::import()
{
    const QString one = file1_->text();
    const QString two = file2_->text();
    const bool emptyOne = fieldEmpty(one);
    const bool emptyTwo = fieldEmpty(two);
    if (emptyOne && emptyTwo)
        return;
    if (not_->isChecked() || (minus_->isChecked() && !emptyOne && !emptyTwo)) {
        importBySets(QFile::encodeName(emptyOne ? two : one).toStdString(),
                     emptyOne || emptyTwo ? std::string() : QFile::encodeName(two).toStdString());
    } else if (emptyOne || emptyTwo) {
        importTagFile(QFile::encodeName(emptyOne ? two : one).toStdString(), list_, ui_);
    } else {
        importTagFiles(QFile::encodeName(one).toStdString(), QFile::encodeName(two).toStdString(),
                       and_->isChecked() ? TagCombine::And : TagCombine::Or,
                       list_, ui_);
    }
    accept();
}

void ImportTagFilesDialog::importBySets(const std::string& one, const std::string& two)
{
    // Read as Import Tag Files reads one file; the messages are those of the
    // two-file merge.
    const std::uint32_t rows = list_.rowCount();
    TagSet first(rows);
    TagSet second(rows);
    for (const auto& [path, set] : {std::pair<const std::string&, TagSet&>{one, first}, {two, second}}) {
        if (path.empty())
            continue;
        if (const auto read = addTagFile(path, set); !read) {
            ui_.error("Cannot Open " + read.error().file + " !");
            ui_.error("No Tagged Item !");
            return;
        }
    }
    if (not_->isChecked()) {
        combine(first, second, SetOperation::Or);
        combine(first, first, SetOperation::Not);
    } else {
        combine(first, second, SetOperation::Minus);
    }
    if (first.empty()) {
        ui_.error("No Tagged Item !");
        return;
    }
    combine(first, TagSet::of(list_), SetOperation::Or);
    first.applyTo(list_);
}

void ImportTagFilesDialog::run(VariableList& list, Ui& ui, const std::string& outputDir, QWidget* parent,
                               const std::function<void(ImportTagFilesDialog&)>& exec)
{
    if (list.tagCount() >= 1) {
        if (!ui.askYesNoDefaultNo("You Already Have Tagged Item(s) !\nWant to Clear Them and Import Tag File(s) ?"))
            return;
        list.clearAllTags();
    }
    ImportTagFilesDialog dialog(list, ui, outputDir, parent);
    if (exec)
        exec(dialog);
    else
        dialog.exec();
}

} // namespace qavn
