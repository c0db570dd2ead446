#include "views/list/report_list_ctrl.h"

#include "views/list/column_layout.h"
#include "views/list/report_cell_delegate.h"
#include "views/list/report_list_model.h"
#include "views/list/report_row_drag.h"
#include "views/list/sort_header_ctrl.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDrag>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>

#include <algorithm>

CReportListCtrl::CReportListCtrl(QWidget* parent)
    : QTableView(parent), m_pModel(new CReportListModel(this)),
      m_pHeader(new CSortHeaderCtrl(this)), m_pDropFilter(new CReportRowsDropFilter(this))
{
    const QPalette system = QApplication::palette(this);
    m_crText = system.color(QPalette::Active, QPalette::Text);
    m_crBack = system.color(QPalette::Active, QPalette::Base);
    m_crSelText = system.color(QPalette::Active, QPalette::HighlightedText);
    m_crSelBack = system.color(QPalette::Active, QPalette::Highlight);

    setHorizontalHeader(m_pHeader);
    setModel(m_pModel);
    m_pHeader->setMinimumSectionSize(0);
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(0);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setItemDelegate(new CReportCellDelegate({m_crText, m_crBack, m_crSelText, m_crSelBack}, this));

    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setTabKeyNavigation(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    UpdateRowHeight();

    connect(m_pHeader, &QHeaderView::sectionClicked, this, &CReportListCtrl::OnColumnClick);
}

CReportListCtrl::~CReportListCtrl()
{
    ClearDropTargets();
}

bool CReportListCtrl::Create(QWidget* parent, int id)
{
    if (parent && parentWidget() != parent)
        setParent(parent);
    setObjectName(QString::number(id));
    if (parentWidget())
        show();
    return true;
}

bool CReportListCtrl::InsertColumns(const std::string& layout)
{
    for (const ColumnLayout& column : ParseColumnLayout(layout))
    {
        m_pModel->AppendColumn(column.title, Qt::AlignHCenter);
        m_pHeader->resizeSection(m_pModel->columnCount() - 1, column.width);
    }
    return true;
}

bool CReportListCtrl::AddRow(const std::vector<std::string>& texts)
{
    m_pModel->AppendRow(texts, m_crText, m_crBack);
    return true;
}

bool CReportListCtrl::AddRows(const std::vector<std::vector<std::string>>& rows)
{
    m_pModel->AppendRows(rows, m_crText, m_crBack);
    return true;
}

void CReportListCtrl::DeleteRow(int index)
{
    m_pModel->RemoveRows(index, 1);
}

void CReportListCtrl::DeleteSelectedRows()
{
    std::vector<int> rows;
    if (!GetSelectedRows(rows))
        return;
    // From the last run of adjacent rows to the first, so that the indexes
    // still to go stay valid.
    auto end = rows.end();
    while (end != rows.begin())
    {
        auto first = end - 1;
        while (first != rows.begin() && *(first - 1) == *first - 1)
            --first;
        m_pModel->RemoveRows(*first, static_cast<int>(end - first));
        end = first;
    }
}

void CReportListCtrl::Clear()
{
    m_pModel->Clear();
    viewport()->update();
}

bool CReportListCtrl::GetSelectedRows(std::vector<int>& rows) const
{
    rows.clear();
    if (!selectionModel())
        return false;
    for (const QItemSelectionRange& range : selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return !rows.empty();
}

int CReportListCtrl::GetItemCount() const
{
    return m_pModel->rowCount();
}

int CReportListCtrl::GetColumnCount() const
{
    return m_pModel->columnCount();
}

std::string CReportListCtrl::GetItemText(int row, int column) const
{
    const ReportCell* cell = m_pModel->Cell(row, column);
    return cell ? cell->text : std::string();
}

void CReportListCtrl::SetItemColors(int row, int column, const QColor& text,
                                    const QColor& background)
{
    m_pModel->SetCellColors(row, column, text, background);
}

void CReportListCtrl::SortColumn(int column, bool ascending)
{
    m_nSortColumn = column;
    m_bAscending = ascending;
    m_pHeader->SetSortArrow(column, ascending);
    if (column >= 0 && column < GetColumnCount())
    {
        m_pModel->SortByColumn(column, [this, ascending](const std::string& a, const std::string& b)
                               { return ascending ? CompareCells(a, b) : CompareCells(b, a); });
    }
    viewport()->update();
    emit columnSorted(column, ascending);
}

int CReportListCtrl::CompareCells(const std::string& a, const std::string& b) const
{
    // std::string compares its characters as unsigned char.
    const int result = a.compare(b);
    return (result > 0) - (result < 0);
}

void CReportListCtrl::SetDropTargets(const QList<QWidget*>& targets)
{
    ClearDropTargets();
    for (QWidget* target : targets)
        AddDropTarget(target);
}

void CReportListCtrl::AddDropTarget(QWidget* target)
{
    if (!target || GetDropTargets().contains(target))
        return;
    m_pDropFilter->Attach(target);
    m_dropTargets.append(target);
}

QList<QWidget*> CReportListCtrl::GetDropTargets() const
{
    QList<QWidget*> targets;
    for (const QPointer<QWidget>& target : m_dropTargets)
        if (target)
            targets.append(target);
    return targets;
}

void CReportListCtrl::ClearDropTargets()
{
    for (QWidget* target : GetDropTargets())
        m_pDropFilter->Detach(target);
    m_dropTargets.clear();
}

QByteArray CReportListCtrl::SaveHeaderState() const
{
    return m_pHeader->Serialize();
}

bool CReportListCtrl::RestoreHeaderState(const QByteArray& state)
{
    return m_pHeader->Deserialize(state);
}

void CReportListCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    QTableView::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    const int first = FirstSelectedRow();
    if (first >= 0)
        emit rowClicked(first);
}

void CReportListCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTableView::mouseDoubleClickEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    const int first = FirstSelectedRow();
    if (first >= 0)
        emit rowActivated(first);
}

void CReportListCtrl::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
    {
        const int first = FirstSelectedRow();
        if (first >= 0)
            emit rowActivated(first);
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void CReportListCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    emit contextMenuRequested(event->globalPos());
    event->accept();
}

void CReportListCtrl::changeEvent(QEvent* event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        UpdateRowHeight();
}

void CReportListCtrl::startDrag(Qt::DropActions /*supportedActions*/)
{
    std::vector<int> rows;
    if (!GetSelectedRows(rows))
        return;
    std::vector<QRect> rects;
    for (int row : rows)
    {
        const int y = rowViewportPosition(row);
        const int height = rowHeight(row);
        if (y + height > 0 && y < viewport()->height())
            rects.emplace_back(0, y, viewport()->width(), height);
    }
    QRect bounds;
    const QImage image = ComposeRowsDragImage(viewport(), rects, &bounds);

    auto* drag = new QDrag(this);
    drag->setMimeData(new CReportRowsMimeData(this));
    if (!image.isNull())
    {
        drag->setPixmap(QPixmap::fromImage(image));
        drag->setHotSpot(viewport()->mapFromGlobal(QCursor::pos()) - bounds.topLeft());
    }
    // A registered target deletes the rows itself when they are dropped on it.
    drag->exec(Qt::MoveAction);
}

void CReportListCtrl::OnColumnClick(int column)
{
    const bool ascending = !(column == m_nSortColumn && m_bAscending);
    SortColumn(column, ascending);
}

void CReportListCtrl::UpdateRowHeight()
{
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
}

int CReportListCtrl::FirstSelectedRow() const
{
    if (!selectionModel())
        return -1;
    int first = -1;
    for (const QItemSelectionRange& range : selectionModel()->selection())
        if (first < 0 || range.top() < first)
            first = range.top();
    return first;
}
