#pragma once

// The table model directly over a VariableList, told of changes by the list.

#include "catalogue/VariableList.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QPixmap>

#include <vector>

namespace qavn {

// A table model directly over a VariableList: row r of the model is row r + 1
// of the list. rowCount() and data() take constant time, so the model serves
// a million rows as fast as ten. The list tells the model what changed, and
// the model passes it on as dataChanged for those rows only.
class VariableTableModel : public QAbstractTableModel, private VariableListObserver {
    Q_OBJECT
public:
    enum Column { TagColumn = 0, TextColumn = 1, ColumnCount = 2 };
    enum Role {
        TaggedRole = Qt::UserRole + 1, // bool, tag column
        RowDataRole,                   // quint32: typeCode << 16 | fileNumber
        MatchRole,                     // bool: the row is one of the marked rows (setMarkedRows)
    };
    static constexpr const char* textHeader = "Variable          Label";

    // The model observes `list` for its whole life; the list must outlive it.
    explicit VariableTableModel(VariableList& list, QObject* parent = nullptr);
    ~VariableTableModel() override;

    VariableList& list() const { return list_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // The tag column's check state (Qt::CheckStateRole) is its tag, also
    // for assistive tools: setting it tags or untags the row as Tag Item and
    // Untag Item do. Nothing else can be set.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // The rows shown as matches of the query (ascending); they answer
    // MatchRole with true and are repainted when the set changes.
    void setMarkedRows(std::vector<std::uint32_t> rows);
    const std::vector<std::uint32_t>& markedRows() const { return marked_; }

    // The variable's type in words, for the tool tip and assistive tools:
    // blank "categorical", "0" "numeric", "1" to "9" "numeric, N implied
    // decimals", "A" "alphanumeric".
    static QString typeText(char typeCode);

    // Column 2's text colour for a typeCode: blank green, "A" red, else navy.
    static QColor textColour(char typeCode);
    static QPixmap checkedPicture();
    static QPixmap uncheckedPicture();
    static QPixmap titlePicture();

signals:
    void tagCountUpdated(quint32 count);
    void activeRowUpdated(quint32 row);

private:
    void tagsChanged(std::uint32_t firstRow, std::uint32_t lastRow) override;
    void tagCountChanged(std::uint32_t tagCount) override;
    void activeRowChanged(std::uint32_t row) override;
    void listReset() override;

    VariableList& list_;
    QPixmap checked_;
    QPixmap unchecked_;
    std::vector<std::uint32_t> marked_;
};

} // namespace qavn
