// File > Save Selection and Load Selection: naming, listing, combining and
// deleting saved selections.

#include "app/qt/SelectionDialogs.h"

#include "catalogue/VariableList.h"
#include "codebook/OpenProject.h"
#include "platform/Ui.h"
#include "platform/qt/QtText.h"
#include "selections/SelectionFile.h"

#include <QBoxLayout>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace qavn {

namespace {

constexpr SetOperation operations[] = {SetOperation::Replace, SetOperation::And, SetOperation::Or,
                                       SetOperation::Not, SetOperation::Minus};

QListWidget* nameList(const std::vector<std::string>& names, QWidget* parent)
{
    auto* list = new QListWidget(parent);
    list->setObjectName(QStringLiteral("selectionNames"));
    for (const std::string& name : names)
        list->addItem(QFile::decodeName(QByteArray::fromStdString(name)));
    list->setMinimumWidth(280);
    return list;
}

QHBoxLayout* buttonRow(std::initializer_list<QPushButton*> buttons)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton* button : buttons)
        row->addWidget(button);
    return row;
}

QString plural(std::uint32_t count)
{
    return QString::number(count) + (count == 1 ? QStringLiteral(" variable") : QStringLiteral(" variables"));
}

// A selection's name as the user typed it (its file-name bytes decoded).
QString shown(const std::string& name)
{
    return QFile::decodeName(QByteArray::fromStdString(name));
}

} // namespace

SaveSelectionDialog::SaveSelectionDialog(const std::vector<std::string>& names, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("saveSelectionDialog"));
    setWindowTitle(QStringLiteral("Save Selection"));
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("selectionName"));
    name_->setMaxLength(static_cast<int>(maxSelectionName));
    names_ = nameList(names, this);
    auto* save = new QPushButton(QStringLiteral("Save"), this);
    save->setObjectName(QStringLiteral("save"));
    save->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Name of the selection:"), this));
    layout->addWidget(name_);
    layout->addWidget(new QLabel(QStringLiteral("Saved selections:"), this));
    layout->addWidget(names_);
    layout->addLayout(buttonRow({save, cancel}));

    connect(names_, &QListWidget::currentTextChanged, name_, &QLineEdit::setText);
    connect(save, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void SaveSelectionDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1 && onHelp) {
        onHelp();
        return;
    }
    QDialog::keyPressEvent(event);
}

void LoadSelectionDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1 && onHelp) {
        onHelp();
        return;
    }
    QDialog::keyPressEvent(event);
}

std::string SaveSelectionDialog::chosenName() const
{
    return QFile::encodeName(name_->text().trimmed()).toStdString();
}

LoadSelectionDialog::LoadSelectionDialog(const std::vector<std::string>& names, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("loadSelectionDialog"));
    setWindowTitle(QStringLiteral("Load Selection"));
    names_ = nameList(names, this);
    if (names_->count() > 0)
        names_->setCurrentRow(0);

    auto* combine = new QGroupBox(QStringLiteral("Combine With the Tagged Items"), this);
    auto* combineLayout = new QHBoxLayout(combine);
    const char* toolTips[] = {
        "Tag exactly the variables of the selection",
        "Keep tagged only what is also in the selection",
        "Tag the selection's variables as well",
        "Tag every variable that is not in the selection",
        "Untag the selection's variables",
    };
    for (std::size_t i = 0; i < std::size(operations); ++i) {
        const std::string_view name = operationName(operations[i]);
        const QString text = i == 0 ? QStringLiteral("Replace") : latin1(name);
        buttons_[i] = new QRadioButton(text, combine);
        buttons_[i]->setObjectName(latin1(name).toLower());
        buttons_[i]->setToolTip(latin1(toolTips[i]));
        combineLayout->addWidget(buttons_[i]);
    }
    buttons_[0]->setChecked(true);

    auto* load = new QPushButton(QStringLiteral("Load"), this);
    load->setObjectName(QStringLiteral("load"));
    load->setDefault(true);
    delete_ = new QPushButton(QStringLiteral("Delete"), this);
    delete_->setObjectName(QStringLiteral("delete"));
    delete_->setAutoDefault(false);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Saved selections:"), this));
    layout->addWidget(names_);
    layout->addWidget(combine);
    layout->addLayout(buttonRow({load, delete_, cancel}));

    connect(names_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(load, &QPushButton::clicked, this, [this] {
        if (names_->currentItem())
            accept();
    });
    connect(delete_, &QPushButton::clicked, this, [this] {
        if (names_->currentItem())
            emit deleteRequested();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QRadioButton* LoadSelectionDialog::operationButton(SetOperation operation) const
{
    for (std::size_t i = 0; i < std::size(operations); ++i)
        if (operations[i] == operation)
            return buttons_[i];
    return nullptr;
}

std::string LoadSelectionDialog::chosenName() const
{
    const QListWidgetItem* item = names_->currentItem();
    return item ? QFile::encodeName(item->text()).toStdString() : std::string();
}

SetOperation LoadSelectionDialog::chosenOperation() const
{
    for (std::size_t i = 0; i < std::size(operations); ++i)
        if (buttons_[i]->isChecked())
            return operations[i];
    return SetOperation::Replace;
}

SelectionCommands::SelectionCommands(OpenProject& session, VariableList& list, Ui& ui, QWidget* parent, Note note)
    : session_(session), list_(list), ui_(ui), parent_(parent), note_(std::move(note))
{
}

int SelectionCommands::exec(QDialog& dialog)
{
    return exec_ ? exec_(dialog) : dialog.exec();
}

void SelectionCommands::restoreKeptTags()
{
    kept_ = std::make_unique<KeptTags>(session_.projectId);
    const std::string note = kept_->restore(list_);
    if (!note.empty())
        note_(QFile::decodeName(QByteArray::fromStdString(note)));
}

void SelectionCommands::saveKeptTags()
{
    // Tags are kept only for a list that was loaded, and once.
    if (!kept_ || saved_ || !list_.shown())
        return;
    saved_ = true;
    const std::string note = kept_->save(list_);
    if (note.empty())
        return;
    // The window is closing: the note goes to the status bar for as long as
    // it lasts and to the terminal the program was started from.
    note_(QFile::decodeName(QByteArray::fromStdString(note)));
    std::fprintf(stderr, "qavn: %s\n", note.c_str());
}

void SelectionCommands::saveSelection()
{
    if (list_.tagCount() == 0) {
        ui_.error("No Tagged Item !");
        return;
    }
    SaveSelectionDialog dialog(selectionNames(session_.projectId), parent_);
    dialog.onHelp = help_;
    for (;;) {
        if (exec(dialog) != QDialog::Accepted)
            return;
        const std::string name = dialog.chosenName();
        if (const std::string problem = selectionNameProblem(name); !problem.empty()) {
            ui_.error("Invalid Selection Name !", problem);
            continue;
        }
        std::error_code ec;
        if (std::filesystem::exists(selectionPath(session_.projectId, name), ec) &&
            !ui_.askYesNoDefaultNo("Selection " + name + " Already Exists !\nWant to Replace It ?"))
            continue;
        const TagSet tags = TagSet::of(list_);
        if (const std::string error =
                qavn::saveSelection(session_.projectId, name, CodebookFingerprint::of(list_), tags);
            !error.empty()) {
            ui_.error("Cannot Save Selection " + name + " !", error);
            return;
        }
        note_(QStringLiteral("Selection ") + shown(name) + QStringLiteral(" saved: ") + plural(tags.count()));
        return;
    }
}

void SelectionCommands::loadSelection()
{
    const std::vector<std::string> names = selectionNames(session_.projectId);
    if (names.empty()) {
        ui_.error("No Saved Selection !");
        return;
    }
    LoadSelectionDialog dialog(names, parent_);
    dialog.onHelp = help_;
    QObject::connect(&dialog, &LoadSelectionDialog::deleteRequested, &dialog, [this, &dialog] {
        const std::string name = dialog.chosenName();
        if (!ui_.askYesNoDefaultNo("Delete the Selection " + name + " ?"))
            return;
        std::error_code ec;
        std::filesystem::remove(selectionPath(session_.projectId, name), ec);
        if (ec) {
            ui_.error("Cannot Delete Selection " + name + " !", ec.message());
            return;
        }
        delete dialog.names()->takeItem(dialog.names()->currentRow());
        note_(QStringLiteral("Selection ") + shown(name) + QStringLiteral(" deleted"));
    });
    if (exec(dialog) != QDialog::Accepted || dialog.chosenName().empty())
        return;
    const std::string name = dialog.chosenName();
    const CodebookFingerprint codebook = CodebookFingerprint::of(list_);
    auto loaded = qavn::loadSelection(session_.projectId, name, codebook);
    if (!loaded) {
        ui_.error("Cannot Load Selection " + name + " !", describe(loaded.error()));
        return;
    }
    const SetOperation operation = dialog.chosenOperation();
    TagSet tags = TagSet::of(list_);
    combine(tags, loaded.value(), operation);
    {
        WaitCursor wait(ui_, list_.rowCount() > VariableList::waitCursorRange);
        tags.applyTo(list_);
    }
    note_(QStringLiteral("Selection ") + shown(name) + QStringLiteral(" loaded (") + latin1(operationName(operation)) +
          QStringLiteral("): ") + plural(list_.tagCount()) + QStringLiteral(" tagged"));
}

} // namespace qavn
