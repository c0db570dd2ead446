#include "views/list/sort_header_ctrl.h"

#include <QDataStream>
#include <QFontMetrics>
#include <QIODevice>
#include <QMouseEvent>
#include <QPainter>

#include <vector>

namespace
{
constexpr int kMaxHeaderText = 255;

QDataStream& Prepare(QDataStream& stream)
{
    stream.setByteOrder(QDataStream::LittleEndian);
    return stream;
}
} // namespace

CSortHeaderCtrl::CSortHeaderCtrl(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsClickable(true);
    setHighlightSections(false);
    setSortIndicatorShown(false);
    setDefaultAlignment(Qt::AlignCenter);
    setStretchLastSection(false);
}

void CSortHeaderCtrl::SetSortArrow(int column, bool ascending)
{
    m_nSortColumn = column;
    m_bAscending = ascending;
    viewport()->update();
}

QByteArray CSortHeaderCtrl::Serialize() const
{
    QByteArray state;
    QDataStream out(&state, QIODevice::WriteOnly);
    Prepare(out) << static_cast<qint32>(count());
    for (int i = 0; i < count(); ++i)
        out << static_cast<qint32>(sectionSize(i));
    return state;
}

bool CSortHeaderCtrl::Deserialize(const QByteArray& state)
{
    QDataStream in(state);
    qint32 stored = 0;
    Prepare(in) >> stored;
    if (in.status() != QDataStream::Ok || stored != count())
        return false;
    // Read everything first, so a cut archive changes nothing.
    std::vector<qint32> widths(static_cast<std::size_t>(stored));
    for (qint32& width : widths)
        in >> width;
    if (in.status() != QDataStream::Ok)
        return false;
    for (int i = 0; i < stored; ++i)
        resizeSection(i, std::max<qint32>(0, widths[static_cast<std::size_t>(i)]));
    return true;
}

void CSortHeaderCtrl::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    if (logicalIndex == m_nSortColumn)
        DrawSortSection(painter, rect, logicalIndex);
    else
        QHeaderView::paintSection(painter, rect, logicalIndex);
}

void CSortHeaderCtrl::DrawSortSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    painter->save();
    painter->setClipRect(rect);
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->fillRect(rect, palette().color(QPalette::Button));
    // The divider the other sections get from the style.
    painter->setPen(palette().color(QPalette::Mid));
    painter->drawLine(rect.topRight(), rect.bottomRight());

    const QString text =
        model()->headerData(logicalIndex, orientation()).toString().left(kMaxHeaderText);
    const auto alignment = static_cast<Qt::Alignment>(
        model()->headerData(logicalIndex, orientation(), Qt::TextAlignmentRole).toInt());
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (alignment & Qt::AlignHCenter)
        horizontal = Qt::AlignHCenter;
    else if (alignment & Qt::AlignRight)
        horizontal = Qt::AlignRight;

    // Edges as a window rectangle (right and bottom exclusive); a pressed
    // section moves right by one and down by two.
    int left = rect.x();
    int top = rect.y();
    int right = rect.x() + rect.width();
    const int bottom = rect.y() + rect.height();
    if (logicalIndex == m_nPressed)
    {
        ++left;
        ++right;
        top += 2;
    }
    const int m = rect.height() / 4;

    // Room for the arrow, then m pixels of indent on both sides.
    const int textLeft = left + m;
    const int textRight = right - 3 * m - m;
    const QRect textRect(textLeft, top, textRight - textLeft, bottom - top);
    if (textRect.width() > 0 && !text.isEmpty())
    {
        painter->setPen(palette().color(QPalette::ButtonText));
        const QString shown =
            painter->fontMetrics().elidedText(text, Qt::ElideRight, textRect.width());
        painter->drawText(
            textRect, static_cast<int>(horizontal | Qt::AlignVCenter) | Qt::TextSingleLine, shown);
    }

    // One-pixel lines that leave out their end point, as line drawing on the
    // window system did, so the two colours meet without overlapping.
    QPen highlight(palette().color(QPalette::Light), 0, Qt::SolidLine, Qt::FlatCap);
    QPen shadow(palette().color(QPalette::Dark), 0, Qt::SolidLine, Qt::FlatCap);
    const int R = right;
    const int B = bottom;
    if (m_bAscending)
    {
        painter->setPen(highlight);
        painter->drawLine(R - 2 * m, m, R - m, B - m - 1);
        painter->drawLine(R - m, B - m - 1, R - 3 * m - 2, B - m - 1);
        painter->setPen(shadow);
        painter->drawLine(R - 3 * m - 1, B - m - 1, R - 2 * m, m - 1);
    }
    else
    {
        painter->setPen(highlight);
        painter->drawLine(R - m - 1, m, R - 2 * m - 1, B - m);
        painter->setPen(shadow);
        painter->drawLine(R - 2 * m - 2, B - m, R - 3 * m - 1, m);
        painter->drawLine(R - 3 * m - 1, m, R - m - 1, m);
    }
    painter->restore();
}

void CSortHeaderCtrl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
    {
        m_nPressed = logicalIndexAt(event->position().toPoint());
        viewport()->update();
    }
    QHeaderView::mousePressEvent(event);
}

void CSortHeaderCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    QHeaderView::mouseReleaseEvent(event);
    if (m_nPressed != -1)
    {
        m_nPressed = -1;
        viewport()->update();
    }
}
