// Dragging a report list's selected rows: the composed drag image, the drag
// payload that names its list, and the event filter that turns a registered
// window into a drop target for it.
#pragma once

#include <QImage>
#include <QMimeData>
#include <QObject>
#include <QPointer>
#include <QRect>

#include <vector>

class CReportListCtrl;
class QWidget;

// One image of the given rows of a view's viewport: the union of the row
// rectangles (clipped to the viewport's width) with every row drawn at its
// place and pure green (0x00FF00) everywhere else made transparent.
// bounds receives the union in viewport coordinates; null image when empty.
QImage ComposeRowsDragImage(QWidget* viewport, const std::vector<QRect>& rowRects, QRect* bounds);

// The payload of a row drag; only the list that started it is named.
class CReportRowsMimeData : public QMimeData
{
    Q_OBJECT

public:
    static const char* const kFormat;

    explicit CReportRowsMimeData(CReportListCtrl* source);
    CReportListCtrl* Source() const { return m_source; }

private:
    QPointer<CReportListCtrl> m_source;
};

// Installed on each drop target of one list: accepts that list's row drags
// (so the pointer shows the arrow there and the no-entry sign elsewhere) and
// deletes the list's selected rows on a drop. Other drags pass through.
class CReportRowsDropFilter : public QObject
{
    Q_OBJECT

public:
    explicit CReportRowsDropFilter(CReportListCtrl* list);

    void Attach(QWidget* target);
    void Detach(QWidget* target);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CReportListCtrl* m_pList;
    // Targets that did not accept drops before, to put them back on Detach.
    std::vector<QPointer<QWidget>> m_switchedOn;
};
