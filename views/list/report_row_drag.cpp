#include "views/list/report_row_drag.h"

#include "views/list/report_list_ctrl.h"

#include <QDropEvent>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

#include <algorithm>

namespace
{
constexpr QRgb kTransparentKey = 0xFF00FF00;

bool IsOurDrag(const QMimeData* data, const CReportListCtrl* list)
{
    const auto* rows = qobject_cast<const CReportRowsMimeData*>(data);
    return rows && rows->Source() == list;
}
} // namespace

QImage ComposeRowsDragImage(QWidget* viewport, const std::vector<QRect>& rowRects, QRect* bounds)
{
    const QRect client(0, 0, viewport->width(), viewport->height());
    QRect all;
    for (const QRect& row : rowRects)
        all |= QRect(0, row.y(), client.width(), row.height()) & client;
    if (bounds)
        *bounds = all;
    if (all.isEmpty())
        return {};

    const QPixmap shot = viewport->grab(all);
    QImage image(all.size(), QImage::Format_ARGB32);
    image.fill(kTransparentKey);
    {
        QPainter painter(&image);
        for (const QRect& row : rowRects)
        {
            const QRect part = QRect(0, row.y(), client.width(), row.height()) & all;
            if (part.isEmpty())
                continue;
            const QRect inImage = part.translated(-all.topLeft());
            // grab() may scale by the device pixel ratio; draw by logical size.
            painter.drawPixmap(inImage, shot,
                               QRectF(QPointF(inImage.topLeft()) * shot.devicePixelRatio(),
                                      QSizeF(inImage.size()) * shot.devicePixelRatio())
                                   .toRect());
        }
    }
    for (int y = 0; y < image.height(); ++y)
    {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::replace(line, line + image.width(), kTransparentKey, QRgb(0));
    }
    return image;
}

const char* const CReportRowsMimeData::kFormat = "application/x-myzelk-report-rows";

CReportRowsMimeData::CReportRowsMimeData(CReportListCtrl* source) : m_source(source)
{
    setData(kFormat, QByteArray());
}

CReportRowsDropFilter::CReportRowsDropFilter(CReportListCtrl* list) : QObject(list), m_pList(list)
{
}

void CReportRowsDropFilter::Attach(QWidget* target)
{
    if (!target->acceptDrops())
    {
        target->setAcceptDrops(true);
        m_switchedOn.emplace_back(target);
    }
    target->installEventFilter(this);
}

void CReportRowsDropFilter::Detach(QWidget* target)
{
    target->removeEventFilter(this);
    const auto it = std::find(m_switchedOn.begin(), m_switchedOn.end(), target);
    if (it != m_switchedOn.end())
    {
        target->setAcceptDrops(false);
        m_switchedOn.erase(it);
    }
}

bool CReportRowsDropFilter::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type())
    {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!IsOurDrag(drag->mimeData(), m_pList))
            break;
        drag->setDropAction(Qt::MoveAction);
        drag->accept();
        return true;
    }
    case QEvent::Drop:
    {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!IsOurDrag(drop->mimeData(), m_pList))
            break;
        drop->setDropAction(Qt::MoveAction);
        drop->accept();
        m_pList->DeleteSelectedRows();
        return true;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
