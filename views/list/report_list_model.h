// The rows and columns behind a report list. Columns have a title and an
// alignment; rows hold their own cells (ReportRow). Display, colour and
// alignment roles feed the cell delegate and the header.
#pragma once

#include "views/list/report_row.h"

#include <QAbstractTableModel>

#include <functional>
#include <string>
#include <vector>

class CReportListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    using CellCompare = std::function<int(const std::string&, const std::string&)>;

    explicit CReportListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void AppendColumn(const std::string& title, Qt::Alignment alignment);
    // Each row gets one cell per column, in the given colours.
    void AppendRow(const std::vector<std::string>& texts, const QColor& text,
                   const QColor& background);
    void AppendRows(const std::vector<std::vector<std::string>>& rows, const QColor& text,
                    const QColor& background);
    void RemoveRows(int first, int count);
    void Clear();

    const ReportCell* Cell(int row, int column) const;
    void SetCellColors(int row, int column, const QColor& text, const QColor& background);

    // Stable sort of the rows by one column's texts; persistent indexes
    // (and so the selection) follow their rows. Missing cells sort as empty.
    void SortByColumn(int column, const CellCompare& compare);

private:
    struct Column
    {
        QString title;
        Qt::Alignment alignment;
    };

    ReportRow MakeRow(const std::vector<std::string>& texts, const QColor& text,
                      const QColor& background) const;

    std::vector<Column> m_columns;
    std::vector<ReportRow> m_rows;
};
