// Draws a report list cell in its own colours (or the selected colours):
// the cell less two pixels at the left is filled, and a non-empty text is
// drawn on one line, vertically centred, aligned as the column's header.
#pragma once

#include <QColor>
#include <QStyledItemDelegate>

class CReportCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    struct Colors
    {
        QColor text;
        QColor back;
        QColor selText;
        QColor selBack;
    };

    CReportCellDelegate(const Colors& colors, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    Colors m_colors;
};
