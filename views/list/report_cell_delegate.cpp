#include "views/list/report_cell_delegate.h"

#include <QPainter>

#include <algorithm>

namespace
{
// The part of a cell text that can show in a cell of that width: no visible
// character is narrower than half a pixel. Laying out a whole 100 KB title
// on every repaint would hold the window.
QString ShownPart(const QString& text, int width)
{
    const qsizetype most = 2 * static_cast<qsizetype>(std::max(width, 0)) + 16;
    if (text.size() <= most)
        return text;
    qsizetype cut = most;
    if (text.at(cut - 1).isHighSurrogate())
        --cut;
    return text.left(cut);
}
} // namespace

CReportCellDelegate::CReportCellDelegate(const Colors& colors, QObject* parent)
    : QStyledItemDelegate(parent), m_colors(colors)
{
}

void CReportCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const
{
    QColor text = m_colors.text;
    QColor back = m_colors.back;
    if (option.state & QStyle::State_Selected)
    {
        text = m_colors.selText;
        back = m_colors.selBack;
    }
    else
    {
        // Cells a row was added without keep the list's colours.
        const QVariant foreground = index.data(Qt::ForegroundRole);
        const QVariant background = index.data(Qt::BackgroundRole);
        if (foreground.isValid())
            text = foreground.value<QColor>();
        if (background.isValid())
            back = background.value<QColor>();
    }

    QRect rect = option.rect;
    rect.setLeft(rect.left() + 2);
    painter->save();
    painter->fillRect(rect, back);
    const QString shown = ShownPart(index.data(Qt::DisplayRole).toString(), rect.width());
    if (!shown.isEmpty())
    {
        const auto alignment = static_cast<Qt::Alignment>(
            index.model()
                ->headerData(index.column(), Qt::Horizontal, Qt::TextAlignmentRole)
                .toInt());
        Qt::Alignment horizontal = Qt::AlignLeft;
        if (alignment & Qt::AlignHCenter)
            horizontal = Qt::AlignHCenter;
        else if (alignment & Qt::AlignRight)
            horizontal = Qt::AlignRight;
        painter->setFont(option.font);
        painter->setPen(text);
        painter->drawText(
            rect, static_cast<int>(horizontal | Qt::AlignVCenter) | Qt::TextSingleLine, shown);
    }
    painter->restore();
}
