// The table model directly over a VariableList, told of changes by the list.

#include "catalogue/qt/VariableTableModel.h"

#include "platform/qt/QtText.h"
#include "catalogue/qt/Resources.h"

#include <algorithm>
#include <limits>

namespace qavn {

namespace {

QPixmap picture(const char* path, bool checkedLook)
{
    initResources();
    QPixmap pixmap(QString::fromLatin1(path));
    if (!pixmap.isNull())
        return pixmap;
    // Without the resources (a library linked on its own) a plain box stands in.
    QImage image(15, 15, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int i = 0; i < 15; ++i) {
        image.setPixel(i, 0, qRgb(128, 128, 128));
        image.setPixel(0, i, qRgb(128, 128, 128));
        image.setPixel(i, 14, qRgb(0, 0, 0));
        image.setPixel(14, i, qRgb(0, 0, 0));
    }
    if (checkedLook)
        for (int i = 3; i < 12; ++i)
            image.setPixel(i, i, qRgb(0, 0, 0)), image.setPixel(14 - i, i, qRgb(0, 0, 0));
    return QPixmap::fromImage(image);
}

} // namespace

VariableTableModel::VariableTableModel(VariableList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list), checked_(checkedPicture()), unchecked_(uncheckedPicture())
{
    list_.setObserver(this);
}

VariableTableModel::~VariableTableModel()
{
    list_.setObserver(nullptr);
}

QPixmap VariableTableModel::checkedPicture()
{
    return picture(":/qavn/checked.png", true);
}

QPixmap VariableTableModel::uncheckedPicture()
{
    return picture(":/qavn/unchecked.png", false);
}

QPixmap VariableTableModel::titlePicture()
{
    return picture(":/qavn/Title.png", true);
}

int VariableTableModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    const std::uint32_t rows = list_.rowCount();
    return rows > static_cast<std::uint32_t>(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max()
                                                                             : static_cast<int>(rows);
}

int VariableTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QColor VariableTableModel::textColour(char typeCode)
{
    switch (typeCode) {
    case ' ':
        return QColor(0, 128, 0);
    case 'A':
        return QColor(255, 0, 0);
    default:
        return QColor(0, 0, 128);
    }
}

QVariant VariableTableModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const auto row = static_cast<std::uint32_t>(index.row()) + 1;
    if (index.column() == TagColumn) {
        switch (role) {
        case TaggedRole:
            return list_.isTagged(row);
        case Qt::CheckStateRole:
            return list_.isTagged(row) ? Qt::Checked : Qt::Unchecked;
        case Qt::DecorationRole:
            return list_.isTagged(row) ? checked_ : unchecked_;
        case Qt::BackgroundRole:
            return QColor(Qt::white);
        case Qt::AccessibleTextRole:
            return list_.isTagged(row) ? QStringLiteral("Tagged") : QStringLiteral("Not tagged");
        case Qt::ToolTipRole:
            return QStringLiteral("Click or press T to tag or untag");
        default:
            return {};
        }
    }
    switch (role) {
    case Qt::DisplayRole: {
        const std::string_view text = list_.rowText(row);
        return latin1(text);
    }
    case Qt::AccessibleTextRole:
        return latin1(list_.rowName(row)) + QStringLiteral(": ") + latin1(list_.rowLabel(row)).trimmed();
    case Qt::AccessibleDescriptionRole:
    case Qt::ToolTipRole:
        return QStringLiteral("Type: ") + typeText(list_.rowInfo(row).typeCode);
    case Qt::ForegroundRole:
        return textColour(list_.rowInfo(row).typeCode);
    case Qt::BackgroundRole:
        return QColor(Qt::white);
    case RowDataRole:
        return static_cast<quint32>(list_.rowData(row));
    case MatchRole:
        return !marked_.empty() && std::binary_search(marked_.begin(), marked_.end(), row);
    default:
        return {};
    }
}

QString VariableTableModel::typeText(char typeCode)
{
    if (typeCode == ' ')
        return QStringLiteral("categorical");
    if (typeCode == '0')
        return QStringLiteral("numeric");
    if (typeCode == '1')
        return QStringLiteral("numeric, 1 implied decimal");
    if (typeCode >= '2' && typeCode <= '9')
        return QStringLiteral("numeric, %1 implied decimals").arg(QLatin1Char(typeCode));
    if (typeCode == 'A')
        return QStringLiteral("alphanumeric");
    return QStringLiteral("type ") + latin1(std::string_view(&typeCode, 1));
}

bool VariableTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::CheckStateRole || !checkIndex(index, CheckIndexOption::IndexIsValid) ||
        index.column() != TagColumn || !list_.inputEnabled())
        return false;
    const auto row = static_cast<std::uint32_t>(index.row()) + 1;
    if (value.value<Qt::CheckState>() == Qt::Checked)
        list_.tagRow(row);
    else
        list_.untagRow(row);
    return true;
}

void VariableTableModel::setMarkedRows(std::vector<std::uint32_t> rows)
{
    marked_ = std::move(rows);
    if (rowCount() > 0)
        emit dataChanged(index(0, TextColumn), index(rowCount() - 1, TextColumn), {MatchRole});
}

QVariant VariableTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical) {
        if (role == Qt::DisplayRole)
            return section + 1;
        return {};
    }
    if (section == TagColumn && role == Qt::DecorationRole)
        return titlePicture();
    if (section == TextColumn && role == Qt::DisplayRole)
        return latin1(textHeader);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}

Qt::ItemFlags VariableTableModel::flags(const QModelIndex& index) const
{
    // The user never edits a cell; tags change through the list's own rules.
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    // Checkable for assistive tools, which then read the tag as a check
    // state; the views' own delegate never toggles it.
    if (index.column() == TagColumn && list_.inputEnabled())
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

void VariableTableModel::tagsChanged(std::uint32_t firstRow, std::uint32_t lastRow)
{
    const int rows = rowCount();
    if (firstRow < 1 || firstRow > static_cast<std::uint32_t>(rows))
        return;
    lastRow = std::min<std::uint32_t>(lastRow, static_cast<std::uint32_t>(rows));
    emit dataChanged(index(static_cast<int>(firstRow) - 1, TagColumn), index(static_cast<int>(lastRow) - 1, TagColumn),
                     {Qt::DecorationRole, TaggedRole, Qt::CheckStateRole, Qt::AccessibleTextRole});
}

void VariableTableModel::tagCountChanged(std::uint32_t tagCount)
{
    emit tagCountUpdated(static_cast<quint32>(tagCount));
}

void VariableTableModel::activeRowChanged(std::uint32_t row)
{
    emit activeRowUpdated(static_cast<quint32>(row));
}

void VariableTableModel::listReset()
{
    beginResetModel();
    endResetModel();
}

} // namespace qavn
