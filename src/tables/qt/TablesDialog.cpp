// Tools > Tables...: a frequency table or crosstab counted from the raw data,
// with its bar chart, copied for a spreadsheet or saved as CSV.

#include "tables/qt/TablesDialog.h"

#include "codebook/CodebookStore.h"
#include "platform/Strings.h"
#include "platform/TextOutput.h"
#include "platform/qt/QtText.h"
#include "project/ProjectMetadata.h"
#include "tables/TableText.h"
#include "tables/qt/BarChart.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCompleter>
#include <QFormLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>

#include <filesystem>

namespace qavn {

namespace {

QString utf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The fields of one line of the table as the CSV writes them (UTF-8).
std::vector<std::vector<std::string>> tableRows(const Tabulation& table)
{
    std::vector<std::vector<std::string>> rows;
    const std::string csv = tableCsv(table);
    // The CSV is the one source of the shown figures; read it back by fields.
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < csv.size(); ++i) {
        const char c = csv[i];
        if (quoted) {
            if (c == '"' && i + 1 < csv.size() && csv[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.push_back(std::move(field));
            field.clear();
        } else if (c == '\r') {
            continue;
        } else if (c == '\n') {
            fields.push_back(std::move(field));
            field.clear();
            rows.push_back(std::move(fields));
            fields.clear();
        } else {
            field += c;
        }
    }
    return rows;
}

} // namespace

TablesDialog::TablesDialog(CodebookStore& store, const ProjectMetadata* metadata, QWidget* parent)
    : QDialog(parent), store_(store), metadata_(metadata)
{
    setObjectName(QStringLiteral("tablesDialog"));
    setWindowTitle(QStringLiteral("Tables"));
    setAccessibleName(QStringLiteral("Tables"));

    QStringList names;
    names.reserve(static_cast<qsizetype>(store.recordCount()));
    for (std::uint32_t k = 1; k <= store.recordCount(); ++k)
        names << latin1(store.recordAt(k).variableName());
    auto field = [&](const char* object, const char* accessible) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(object));
        edit->setAccessibleName(QLatin1String(accessible));
        auto* completer = new QCompleter(names, edit);
        completer->setCaseSensitivity(Qt::CaseInsensitive);
        edit->setCompleter(completer);
        return edit;
    };
    auto note = [this](const char* object) {
        auto* label = new QLabel(this);
        label->setObjectName(QLatin1String(object));
        label->setTextFormat(Qt::PlainText);
        return label;
    };
    row_ = field("rowVariable", "Row variable");
    column_ = field("columnVariable", "Column variable (optional)");
    weight_ = field("weightVariable", "Weight variable (optional)");
    rowNote_ = note("rowNote");
    columnNote_ = note("columnNote");
    weightNote_ = note("weightNote");
    for (auto [edit, label] : {std::pair{row_, rowNote_}, {column_, columnNote_}, {weight_, weightNote_}})
        connect(edit, &QLineEdit::textChanged, this, [this, edit, label] { describeField(edit, label); });
    includeMissing_ = new QCheckBox(QStringLiteral("&Include missing values"), this);
    includeMissing_->setObjectName(QStringLiteral("includeMissing"));
    projectWeight_ = new QCheckBox(QStringLiteral("Weight the &frequency view by it too (kept with the project)"), this);
    projectWeight_->setObjectName(QStringLiteral("projectWeight"));
    projectWeight_->setChecked(metadata && !metadata->weight.empty());

    auto* form = new QFormLayout;
    auto* rowLabel = new QLabel(QStringLiteral("&Row variable:"), this);
    rowLabel->setBuddy(row_);
    auto* columnLabel = new QLabel(QStringLiteral("&Column variable:"), this);
    columnLabel->setBuddy(column_);
    auto* weightLabel = new QLabel(QStringLiteral("&Weight:"), this);
    weightLabel->setBuddy(weight_);
    form->addRow(rowLabel, row_);
    form->addRow(QString(), rowNote_);
    form->addRow(columnLabel, column_);
    form->addRow(QString(), columnNote_);
    form->addRow(weightLabel, weight_);
    form->addRow(QString(), weightNote_);
    form->addRow(QString(), includeMissing_);
    form->addRow(QString(), projectWeight_);

    make_ = new QPushButton(QStringLiteral("&Make Table"), this);
    make_->setObjectName(QStringLiteral("makeTable"));
    make_->setDefault(true);
    copy_ = new QPushButton(QStringLiteral("C&opy"), this);
    copy_->setObjectName(QStringLiteral("copyTable"));
    copy_->setToolTip(QStringLiteral("Copy the table, tab-separated, for a spreadsheet"));
    save_ = new QPushButton(QStringLiteral("&Save as CSV..."), this);
    save_->setObjectName(QStringLiteral("saveTable"));
    auto* help = new QPushButton(QStringLiteral("Help"), this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    copy_->setEnabled(false);
    save_->setEnabled(false);
    connect(make_, &QPushButton::clicked, this, [this] { makeTable(); });
    connect(copy_, &QPushButton::clicked, this, [this] { copyTable(); });
    connect(save_, &QPushButton::clicked, this, [this] { saveTable(); });
    connect(help, &QPushButton::clicked, this, [this] {
        if (onHelp)
            onHelp();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {make_, copy_, save_, help, close})
        buttons->addWidget(button);
    buttons->addStretch();

    view_ = new QTableWidget(this);
    view_->setObjectName(QStringLiteral("tableView"));
    view_->setAccessibleName(QStringLiteral("Table"));
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->verticalHeader()->hide();
    // Ctrl+C in the table copies the whole table, not the current cell.
    view_->installEventFilter(this);
    chart_ = new BarChart(this);
    chart_->setAccessibleName(QStringLiteral("Bar chart of the row variable"));
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(chart_);
    scroll->setWidgetResizable(true);
    notes_ = new QLabel(this);
    notes_->setObjectName(QStringLiteral("tableNotes"));
    notes_->setTextFormat(Qt::PlainText);
    notes_->setWordWrap(true);
    // A crosstab also as a grid: the row variable's values down, the
    // column variable's across, one figure a cell with the totals.
    grid_ = new QTableWidget(this);
    grid_->setObjectName(QStringLiteral("gridView"));
    grid_->setAccessibleName(QStringLiteral("Crosstab grid"));
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->installEventFilter(this);
    gridFigure_ = new QComboBox(this);
    gridFigure_->setObjectName(QStringLiteral("gridFigure"));
    gridFigure_->setAccessibleName(QStringLiteral("Figure in each cell"));
    connect(gridFigure_, &QComboBox::currentIndexChanged, this, [this] { fillGrid(); });
    auto* gridPage = new QWidget(this);
    auto* gridLayout = new QVBoxLayout(gridPage);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    auto* figureRow = new QHBoxLayout;
    auto* figureLabel = new QLabel(QStringLiteral("C&ells show:"), gridPage);
    figureLabel->setBuddy(gridFigure_);
    figureRow->addWidget(figureLabel);
    figureRow->addWidget(gridFigure_);
    figureRow->addStretch();
    gridLayout->addLayout(figureRow);
    gridLayout->addWidget(grid_, 1);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("tableTabs"));
    tabs_->addTab(view_, QStringLiteral("Cells"));
    tabs_->addTab(gridPage, QStringLiteral("Grid"));
    tabs_->setTabEnabled(1, false);

    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(tabs_);
    splitter->addWidget(scroll);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);

    auto* top = new QHBoxLayout;
    top->addLayout(form, 1);
    top->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(splitter, 1);
    layout->addWidget(notes_);
    resize(760, 620);
}

void TablesDialog::setRowVariable(std::uint32_t variable)
{
    if (variable >= 1 && variable <= store_.recordCount())
        row_->setText(latin1(store_.recordAt(variable).variableName()));
}

void TablesDialog::setWeightName(const std::string& name)
{
    weight_->setText(latin1(name));
}

void TablesDialog::describeField(QLineEdit* edit, QLabel* note)
{
    const std::string typed = latin1Bytes(edit->text());
    const std::uint32_t found = findVariable(typed, store_, metadata_);
    if (trimmed(typed).empty()) {
        note->clear();
    } else if (found == 0) {
        note->setText(QStringLiteral("No variable of that name or number"));
    } else {
        const VariableRecord record = store_.recordAt(found);
        note->setText(latin1(record.variableName()) + QStringLiteral("  ") +
                      latin1(trimmed(store_.readLine(record.labelRef))));
    }
}

std::optional<std::uint32_t> TablesDialog::fieldVariable(QLineEdit* edit, QLabel* note, bool required)
{
    const std::string typed = latin1Bytes(edit->text());
    if (trimmed(typed).empty()) {
        if (!required)
            return 0u;
        note->setText(QStringLiteral("Name the variable to tabulate"));
        return std::nullopt;
    }
    const std::uint32_t found = findVariable(typed, store_, metadata_);
    if (found == 0) {
        note->setText(QStringLiteral("No variable of that name or number"));
        return std::nullopt;
    }
    return found;
}

bool TablesDialog::makeTable()
{
    const auto row = fieldVariable(row_, rowNote_, true);
    const auto column = fieldVariable(column_, columnNote_, false);
    const auto weight = fieldVariable(weight_, weightNote_, false);
    if (!row || !column || !weight) {
        (row ? (column ? weight_ : column_) : row_)->setFocus();
        return false;
    }
    if (*weight != 0 && store_.recordAt(*weight).typeCode == 'A') {
        weightNote_->setText(QStringLiteral("An alphanumeric variable cannot weigh cases"));
        weight_->setFocus();
        return false;
    }
    TableRequest request;
    request.row = *row;
    request.column = *column;
    request.weight = *weight;
    request.missing = includeMissing_->isChecked() ? MissingValues::Include : MissingValues::Exclude;
    std::optional<Tabulation> table = compute ? compute(request) : std::nullopt;
    if (!table)
        return false;
    if (onProjectWeight)
        onProjectWeight(projectWeight_->isChecked() && *weight != 0 ? std::string(store_.recordAt(*weight).variableName())
                                                                    : std::string());
    table_ = std::move(table);
    showTable(*table_);
    return true;
}

void TablesDialog::showTable(const Tabulation& table)
{
    const std::vector<std::vector<std::string>> rows = tableRows(table);
    view_->clear();
    view_->setRowCount(rows.empty() ? 0 : static_cast<int>(rows.size()) - 1);
    view_->setColumnCount(rows.empty() ? 0 : static_cast<int>(rows.front().size()));
    QStringList headings;
    for (const std::string& name : tableCsvHeader(table))
        headings << utf8(name);
    view_->setHorizontalHeaderLabels(headings);
    // Label columns left-aligned, figures right-aligned.
    const std::size_t figuresFrom = table.crosstab() ? 4 : 2;
    for (std::size_t r = 1; r < rows.size(); ++r)
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            auto* item = new QTableWidgetItem(utf8(rows[r][c]));
            if (c >= figuresFrom || c % 2 == 0)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            view_->setItem(static_cast<int>(r) - 1, static_cast<int>(c), item);
        }
    view_->resizeColumnsToContents();

    {
        const QSignalBlocker blocker(gridFigure_);
        const int kept = gridFigure_->currentIndex();
        gridFigure_->clear();
        gridFigure_->addItem(QStringLiteral("Count"), 0);
        if (table.weighted())
            gridFigure_->addItem(QStringLiteral("Weighted"), 1);
        gridFigure_->addItem(QStringLiteral("Row %"), 2);
        gridFigure_->addItem(QStringLiteral("Column %"), 3);
        gridFigure_->addItem(QStringLiteral("Total %"), 4);
        gridFigure_->setCurrentIndex(kept >= 0 && kept < gridFigure_->count() ? kept : 0);
    }
    tabs_->setTabEnabled(1, table.crosstab());
    if (!table.crosstab())
        tabs_->setCurrentIndex(0);

    std::vector<ChartBar> bars;
    const std::vector<double> totals = table.rowTotals();
    const double total = table.total();
    for (std::size_t i = 0; i < table.rows.categories.size(); ++i) {
        const TableCategory& category = table.rows.categories[i];
        ChartBar bar;
        const std::string value = category.value.empty() ? std::string(category.numeric || !category.label.empty()
                                                                           ? "."
                                                                           : "(blank)")
                                                         : category.value;
        bar.label = latin1(value) + (category.label.empty() ? QString() : QStringLiteral("  ") + latin1(category.label));
        bar.amount = totals[i];
        bar.figure = utf8(tableNumber(totals[i])) + QStringLiteral(" (") +
                     QString::number(total > 0 ? 100 * totals[i] / total : 0.0, 'f', 1) + QStringLiteral("%)");
        bar.missing = category.missing;
        bars.push_back(std::move(bar));
    }
    chart_->setBars(std::move(bars));
    chart_->setAccessibleName(QStringLiteral("Bar chart of ") + latin1(table.rows.name));

    fillGrid();

    QStringList notes;
    for (const std::string& line : tableNotes(table))
        notes << latin1(line);
    notes_->setText(notes.join(QLatin1Char('\n')));
    copy_->setEnabled(true);
    save_->setEnabled(true);
}

void TablesDialog::fillGrid()
{
    grid_->clear();
    if (!table_ || !table_->crosstab()) {
        grid_->setRowCount(0);
        grid_->setColumnCount(0);
        return;
    }
    const Tabulation& table = *table_;
    const int figure = gridFigure_->currentData().toInt();
    const std::size_t rows = table.rows.categories.size();
    const std::size_t columns = table.columns.categories.size();
    // Sums by [row][column], the totals in the last row and column.
    std::vector<std::vector<double>> sums(rows + 1, std::vector<double>(columns + 1, 0.0));
    for (const TableCell& cell : table.cells) {
        const double amount = figure == 0 ? static_cast<double>(cell.count) : table.amount(cell);
        for (const std::size_t r : {static_cast<std::size_t>(cell.row), rows})
            for (const std::size_t c : {static_cast<std::size_t>(cell.column), columns})
                sums[r][c] += amount;
    }
    auto heading = [](const TableCategory& category) {
        const QString value = category.value.empty() ? QStringLiteral(".") : latin1(category.value);
        return category.label.empty() ? value : value + QStringLiteral(" ") + latin1(category.label);
    };
    grid_->setRowCount(static_cast<int>(rows + 1));
    grid_->setColumnCount(static_cast<int>(columns + 1));
    QStringList across;
    for (const TableCategory& category : table.columns.categories)
        across << heading(category);
    across << QStringLiteral("Total");
    QStringList down;
    for (const TableCategory& category : table.rows.categories)
        down << heading(category);
    down << QStringLiteral("Total");
    grid_->setHorizontalHeaderLabels(across);
    grid_->setVerticalHeaderLabels(down);
    for (std::size_t r = 0; r <= rows; ++r)
        for (std::size_t c = 0; c <= columns; ++c) {
            const double value = sums[r][c];
            std::string text;
            switch (figure) {
            case 2: text = tablePercent(value, sums[r][columns]); break;
            case 3: text = tablePercent(value, sums[rows][c]); break;
            case 4: text = tablePercent(value, sums[rows][columns]); break;
            default: text = tableNumber(value); break;
            }
            auto* item = new QTableWidgetItem(utf8(text));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grid_->setItem(static_cast<int>(r), static_cast<int>(c), item);
        }
    grid_->resizeColumnsToContents();
}

QString TablesDialog::gridText() const
{
    if (!table_ || !table_->crosstab())
        return {};
    auto field = [](QString text) { return text.replace(QLatin1Char('\t'), QLatin1Char(' ')); };
    QString text = utf8(table_->rows.header) + QStringLiteral(" \\ ") + utf8(table_->columns.header);
    for (int c = 0; c < grid_->columnCount(); ++c)
        text += QLatin1Char('\t') + field(grid_->horizontalHeaderItem(c)->text());
    text += QLatin1Char('\n');
    for (int r = 0; r < grid_->rowCount(); ++r) {
        text += field(grid_->verticalHeaderItem(r)->text());
        for (int c = 0; c < grid_->columnCount(); ++c)
            text += QLatin1Char('\t') + grid_->item(r, c)->text();
        text += QLatin1Char('\n');
    }
    return text;
}

QString TablesDialog::notesText() const
{
    return notes_->text();
}

QString TablesDialog::tableText() const
{
    if (!table_)
        return {};
    QString text;
    for (const std::vector<std::string>& row : tableRows(*table_)) {
        QStringList fields;
        for (const std::string& field : row) {
            QString shown = utf8(field);
            shown.replace(QLatin1Char('\t'), QLatin1Char(' '));
            fields << shown;
        }
        text += fields.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}

void TablesDialog::copyTable()
{
    if (table_)
        QApplication::clipboard()->setText(tabs_->currentIndex() == 1 ? gridText() : tableText());
}

bool TablesDialog::saveTable()
{
    if (!table_ || !chooseSavePath)
        return false;
    std::optional<std::string> path = chooseSavePath();
    if (!path)
        return false;
    if (std::filesystem::path(*path).extension().empty())
        *path += ".csv";
    FileTextOutput out;
    if (!out.openHost(*path)) {
        if (showError)
            showError("Cannot Save the Table as " + *path, out.openError());
        return false;
    }
    out.writeBytes(tableCsv(*table_));
    if (!out.close()) {
        if (showError)
            showError("Cannot Write " + *path + " !", out.errorText());
        return false;
    }
    return true;
}

bool TablesDialog::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((watched == view_ || watched == grid_) && (type == QEvent::KeyPress || type == QEvent::ShortcutOverride) &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        if (type == QEvent::KeyPress)
            copyTable();
        event->accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TablesDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1) {
        if (onHelp)
            onHelp();
        return;
    }
    if (event->matches(QKeySequence::Copy) && table_) {
        copyTable();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace qavn
