#include "views/list/report_list_model.h"

#include <algorithm>
#include <numeric>

namespace
{
const std::string kNoText;
}

CReportListModel::CReportListModel(QObject* parent) : QAbstractTableModel(parent) {}

int CReportListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CReportListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant CReportListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const ReportCell* cell = Cell(index.row(), index.column());
    switch (role)
    {
    case Qt::DisplayRole:
        return cell
                   ? QString::fromUtf8(cell->text.data(), static_cast<qsizetype>(cell->text.size()))
                   : QString();
    case Qt::ForegroundRole:
        return cell ? QVariant(cell->textColor) : QVariant();
    case Qt::BackgroundRole:
        return cell ? QVariant(cell->backColor) : QVariant();
    case Qt::TextAlignmentRole:
        return static_cast<int>(m_columns[static_cast<std::size_t>(index.column())].alignment |
                                Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant CReportListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    const Column& column = m_columns[static_cast<std::size_t>(section)];
    if (role == Qt::DisplayRole)
        return column.title;
    if (role == Qt::TextAlignmentRole)
        return static_cast<int>(column.alignment | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags CReportListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

void CReportListModel::AppendColumn(const std::string& title, Qt::Alignment alignment)
{
    const int column = columnCount();
    beginInsertColumns(QModelIndex(), column, column);
    m_columns.push_back(
        {QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())), alignment});
    endInsertColumns();
}

ReportRow CReportListModel::MakeRow(const std::vector<std::string>& texts, const QColor& text,
                                    const QColor& background) const
{
    ReportRow row;
    row.cells.resize(m_columns.size(), ReportCell{std::string(), text, background});
    for (std::size_t i = 0; i < row.cells.size() && i < texts.size(); ++i)
        row.cells[i].text = texts[i];
    return row;
}

void CReportListModel::AppendRow(const std::vector<std::string>& texts, const QColor& text,
                                 const QColor& background)
{
    const int row = rowCount();
    beginInsertRows(QModelIndex(), row, row);
    m_rows.push_back(MakeRow(texts, text, background));
    endInsertRows();
}

void CReportListModel::AppendRows(const std::vector<std::vector<std::string>>& rows,
                                  const QColor& text, const QColor& background)
{
    if (rows.empty())
        return;
    const int first = rowCount();
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(rows.size()) - 1);
    m_rows.reserve(m_rows.size() + rows.size());
    for (const std::vector<std::string>& texts : rows)
        m_rows.push_back(MakeRow(texts, text, background));
    endInsertRows();
}

void CReportListModel::RemoveRows(int first, int count)
{
    if (first < 0 || count <= 0 || first + count > rowCount())
        return;
    beginRemoveRows(QModelIndex(), first, first + count - 1);
    m_rows.erase(m_rows.begin() + first, m_rows.begin() + first + count);
    endRemoveRows();
}

void CReportListModel::Clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

const ReportCell* CReportListModel::Cell(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0)
        return nullptr;
    const std::vector<ReportCell>& cells = m_rows[static_cast<std::size_t>(row)].cells;
    return static_cast<std::size_t>(column) < cells.size()
               ? &cells[static_cast<std::size_t>(column)]
               : nullptr;
}

void CReportListModel::SetCellColors(int row, int column, const QColor& text,
                                     const QColor& background)
{
    if (!Cell(row, column))
        return;
    ReportCell& cell =
        m_rows[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
    cell.textColor = text;
    cell.backColor = background;
    const QModelIndex changed = index(row, column);
    emit dataChanged(changed, changed, {Qt::ForegroundRole, Qt::BackgroundRole});
}

void CReportListModel::SortByColumn(int column, const CellCompare& compare)
{
    const auto textOf = [this, column](int row) -> const std::string&
    {
        const ReportCell* cell = Cell(row, column);
        return cell ? cell->text : kNoText;
    };
    std::vector<int> order(m_rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return compare(textOf(a), textOf(b)) < 0; });

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRowOf(order.size());
    std::vector<ReportRow> sorted;
    sorted.reserve(m_rows.size());
    for (std::size_t i = 0; i < order.size(); ++i)
    {
        newRowOf[static_cast<std::size_t>(order[i])] = static_cast<int>(i);
        sorted.push_back(std::move(m_rows[static_cast<std::size_t>(order[i])]));
    }
    m_rows = std::move(sorted);

    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before)
        after.append(index(newRowOf[static_cast<std::size_t>(old.row())], old.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
