// Dragging items of the editable tree: the drag starts from a press on an
// item, follows the pointer with an image of the item, opens an item the
// pointer rests on, scrolls while the pointer is near the top or bottom edge,
// and moves the subtree through the model when the button is released.
#include "widgets/tree/edit_tree_ctrl.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>

namespace
{

constexpr QPoint kDragImageHotSpot(8, 8);
constexpr int kScrollZone = 10;        // pixels inside the edge where scrolling starts
constexpr int kScrollSpeedUpStep = 20; // pixels further out per step faster
constexpr int kSlowestScrollTicks = 6; // ticks between scrolls at the edge

// Ticks between two scrolls for a pointer `distance` pixels beyond the
// start of the scroll zone.
int ScrollInterval(int distance)
{
    const int interval = kSlowestScrollTicks - distance / kScrollSpeedUpStep;
    return interval > 0 ? interval : 1;
}

} // namespace

void CEditTreeCtrl::mousePressEvent(QMouseEvent* event)
{
    if (m_dragging) // the release was lost (another window took the mouse)
        EndDrag();
    if (event->button() == Qt::LeftButton)
    {
        m_buttonDownTick = m_clock->NowMs();
        m_pressPos = event->position().toPoint();
        m_pressIndex = indexAt(m_pressPos);
        m_holdingItem = m_dragEnabled && m_pressIndex.isValid();
        m_dragTried = false;
    }
    QTreeView::mousePressEvent(event);
}

void CEditTreeCtrl::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    m_hoverTimer->Start(kHoverExpandMs);
    m_lastMouse = pos;
    if (m_dragging)
    {
        DragTo(pos);
        return;
    }
    if (m_holdingItem && (event->buttons() & Qt::LeftButton))
    {
        // One attempt per press; the selection does not sweep along meanwhile.
        if (!m_dragTried &&
            (pos - m_pressPos).manhattanLength() >= QApplication::startDragDistance())
        {
            m_dragTried = true;
            BeginDrag(m_pressIndex, m_pressPos);
        }
        return;
    }
    QTreeView::mouseMoveEvent(event);
}

void CEditTreeCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
    {
        m_holdingItem = false;
        if (m_dragging)
            Drop();
    }
    QTreeView::mouseReleaseEvent(event);
}

void CEditTreeCtrl::BeginDrag(const QModelIndex& index, const QPoint& startPos)
{
    if (!index.isValid() || m_clock->NowMs() - m_buttonDownTick < kDragStartDelayMs)
        return;
    m_dragItem = index;
    m_dropTarget = QPersistentModelIndex();

    QRect itemRect = visualRect(index);
    itemRect.setWidth(qMin(itemRect.width(), sizeHintForIndex(index).width()));
    const QPixmap image = viewport()->grab(itemRect);
    if (image.isNull())
        return;
    m_dragImage = std::make_unique<QLabel>(viewport());
    m_dragImage->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_dragImage->setPixmap(image);
    m_dragImage->resize(image.size() / image.devicePixelRatio());
    m_dragImage->move(startPos - kDragImageHotSpot);
    m_dragImage->show();
    m_dragging = true;
    m_scrollTimer->Start(kScrollTickMs);
}

void CEditTreeCtrl::DragTo(const QPoint& pos)
{
    if (m_dragImage)
        m_dragImage->move(pos - kDragImageHotSpot);
    const QModelIndex under = indexAt(pos);
    SetDropHighlight(under);
    // Near the left edge the drop goes to the top level; the highlight stays.
    m_dropTarget = pos.x() < kTopLevelDropMargin ? QModelIndex() : under;
}

void CEditTreeCtrl::OnHoverTimer()
{
    m_hoverTimer->Stop();
    const QModelIndex under = indexAt(m_lastMouse);
    if (!under.isValid() || !m_dragging)
        return;
    m_model.SelectItem(ItemFromIndex(under));
    expand(under);
}

void CEditTreeCtrl::OnScrollTimer()
{
    ++m_scrollTicks;
    const QRect client = viewport()->rect();
    const int top = client.top();
    const int bottom = client.top() + client.height();
    const int y = m_lastMouse.y();
    const QModelIndex first = FirstVisibleIndex();

    QModelIndex highlight;
    if (y < top + kScrollZone)
    {
        if (m_scrollTicks % ScrollInterval(top + kScrollZone - y) != 0)
            return;
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        highlight = first;
    }
    else if (y > bottom - kScrollZone)
    {
        if (m_scrollTicks % ScrollInterval(y - (bottom - kScrollZone)) != 0)
            return;
        // The last fully visible item, counted before the scroll.
        highlight = first;
        for (int i = 1; i < GetVisibleCount() && highlight.isValid(); ++i)
            highlight = indexBelow(highlight);
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }
    else
    {
        return;
    }
    SetDropHighlight(highlight);
    m_dropTarget = highlight;
    // Scrolling moves the viewport's children; the image stays at the pointer.
    if (m_dragImage)
        m_dragImage->move(m_lastMouse - kDragImageHotSpot);
}

void CEditTreeCtrl::Drop()
{
    CEditTreeItem* dragged = ItemFromIndex(m_dragItem);
    const QModelIndex target = m_dropTarget;
    EndDrag();
    if (!dragged || ItemFromIndex(target) == dragged)
        return;
    if (target.isValid())
        expand(target);
    // The model refuses a target that is the item itself or lies below it.
    m_model.MoveItem(dragged, ItemFromIndex(target));
}

void CEditTreeCtrl::EndDrag()
{
    m_dragging = false;
    m_dragImage.reset();
    SetDropHighlight(QModelIndex());
    m_dragItem = QPersistentModelIndex();
    m_dropTarget = QPersistentModelIndex();
    if (m_scrollTimer)
        m_scrollTimer->Stop();
}

void CEditTreeCtrl::SetDropHighlight(const QModelIndex& index)
{
    if (m_dropHighlight == index)
        return;
    m_dropHighlight = index;
    viewport()->update();
}

QModelIndex CEditTreeCtrl::FirstVisibleIndex() const
{
    return indexAt(QPoint(0, 0));
}
