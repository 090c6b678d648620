// The modeless Search dialog over the search engine.

#include "search/qt/SearchDialog.h"

#include "platform/qt/QtText.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace qavn {

SearchDialog::SearchDialog(Search& engine, QWidget* owner) : QDialog(owner), engine_(engine)
{
    setObjectName(QStringLiteral("searchDialog"));
    setWindowTitle(QStringLiteral("Search"));
    setModal(false);

    findWhat_ = new QComboBox(this);
    findWhat_->setObjectName(QStringLiteral("1020"));
    findWhat_->setEditable(true);
    findWhat_->setInsertPolicy(QComboBox::NoInsert);
    findWhat_->setMinimumWidth(220);
    findWhat_->lineEdit()->setMaxLength(static_cast<int>(Search::maxTextLength));
    // Every lower-case letter typed becomes its capital.
    connect(findWhat_->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
        const QString upper = latin1(typedSearchText(latin1Bytes(text)));
        if (upper != text) {
            QLineEdit* edit = findWhat_->lineEdit();
            const int cursor = edit->cursorPosition();
            edit->setText(upper);
            edit->setCursorPosition(cursor);
        }
    });

    auto box = [this](const char* text, const char* id) {
        auto* b = new QCheckBox(latin1(text), this);
        b->setObjectName(QLatin1String(id));
        return b;
    };
    variable_ = box("Variable", "1013");
    label_ = box("Label", "1014");
    description_ = box("Description", "1005");
    category_ = box("Category Label", "1001");
    wholeWords_ = box("Whole Words", "1015");
    variable_->setChecked(true);

    forward_ = new QRadioButton(QStringLiteral("Forward"), this);
    forward_->setObjectName(QStringLiteral("1030"));
    backward_ = new QRadioButton(QStringLiteral("Backward"), this);
    backward_->setObjectName(QStringLiteral("1018"));
    forward_->setChecked(true);

    auto button = [this](const char* text, const char* id) {
        auto* b = new QPushButton(latin1(text), this);
        b->setObjectName(QLatin1String(id));
        b->setAutoDefault(false);
        return b;
    };
    searchNext_ = button("Search Next", "1031");
    tagAll_ = button("Tag All Match", "3");
    cancelSearch_ = button("Cancel Search", "4");
    close_ = button("Close", "2");
    close_->setDefault(true);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("1022"));
    status_->setAccessibleName(QStringLiteral("Search status"));

    auto* fields = new QGroupBox(QStringLiteral("Search From"), this);
    auto* fieldsLayout = new QVBoxLayout(fields);
    for (QCheckBox* b : {variable_, label_, description_, category_})
        fieldsLayout->addWidget(b);
    auto* direction = new QGroupBox(QStringLiteral("Direction"), this);
    auto* directionLayout = new QVBoxLayout(direction);
    directionLayout->addWidget(forward_);
    directionLayout->addWidget(backward_);

    auto* findRow = new QHBoxLayout;
    auto* findLabel = new QLabel(QStringLiteral("Find What:"), this);
    findLabel->setBuddy(findWhat_);
    findRow->addWidget(findLabel);
    findRow->addWidget(findWhat_, 1);
    auto* options = new QHBoxLayout;
    options->addWidget(fields);
    auto* right = new QVBoxLayout;
    right->addWidget(direction);
    right->addWidget(wholeWords_);
    right->addStretch();
    options->addLayout(right);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {searchNext_, tagAll_, cancelSearch_, close_})
        buttons->addWidget(b);
    buttons->addStretch();

    auto* left = new QVBoxLayout;
    left->addLayout(findRow);
    left->addLayout(options);
    left->addWidget(status_);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);

    connect(searchNext_, &QPushButton::clicked, this, [this] { startSearch(SearchMode::NextMatch); });
    connect(tagAll_, &QPushButton::clicked, this, [this] { startSearch(SearchMode::TagAll); });
    connect(cancelSearch_, &QPushButton::clicked, this, [this] { engine_.cancelSearch(); });
    connect(close_, &QPushButton::clicked, this, &SearchDialog::closeSearch);

    engine_.setObserver(this);
    refreshHistory();
}

SearchDialog::~SearchDialog()
{
    engine_.setObserver(nullptr);
    engine_.dialogDestroyed();
}

QCheckBox* SearchDialog::fieldBox(int id) const
{
    switch (id) {
    case 1013: return variable_;
    case 1014: return label_;
    case 1005: return description_;
    case 1001: return category_;
    case 1015: return wholeWords_;
    default: return nullptr;
    }
}

QPushButton* SearchDialog::button(int id) const
{
    switch (id) {
    case 1031: return searchNext_;
    case 3: return tagAll_;
    case 4: return cancelSearch_;
    case 2: return close_;
    default: return nullptr;
    }
}

SearchRequest SearchDialog::request() const
{
    SearchRequest r;
    r.text = latin1Bytes(findWhat_->currentText());
    r.direction = backward_->isChecked() ? SearchDirection::Backward : SearchDirection::Forward;
    r.fields.variable = variable_->isChecked();
    r.fields.label = label_->isChecked();
    r.fields.description = description_->isChecked();
    r.fields.category = category_->isChecked();
    r.wholeWords = wholeWords_->isChecked();
    return r;
}

SearchOutcome SearchDialog::startSearch(SearchMode mode)
{
    const SearchRequest r = request();
    const SearchOutcome outcome = engine_.start(r, mode);
    if (outcome.abandoned)
        return outcome; // this dialog is on its way out
    // Find What keeps what it holds now: the text searched for, or what was
    // typed into it during the walk.
    refreshHistory();
    return outcome;
}

void SearchDialog::refreshHistory()
{
    const QString current = findWhat_->currentText();
    findWhat_->clear();
    for (const auto& entry : engine_.history())
        findWhat_->addItem(latin1(entry));
    findWhat_->setEditText(current);
}

void SearchDialog::closeSearch()
{
    engine_.close();
    hide();
    if (onClosed)
        onClosed();
}

void SearchDialog::setSearchButtonsEnabled(bool enabled)
{
    searchNext_->setEnabled(enabled);
    tagAll_->setEnabled(enabled);
}

void SearchDialog::setSearchStatus(std::string_view text)
{
    status_->setText(latin1(text));
}

void SearchDialog::showMatch(bool frequencyView)
{
    if (onShowMatch)
        onShowMatch(frequencyView);
}

void SearchDialog::keyPressEvent(QKeyEvent* event)
{
    if (!handleWindowKey(event, onHelp, [this] { closeSearch(); }))
        QDialog::keyPressEvent(event);
}

void SearchDialog::closeEvent(QCloseEvent* event)
{
    event->ignore();
    closeSearch();
}

} // namespace qavn
