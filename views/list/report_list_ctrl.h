// A report-style list of text rows: columns come from a layout string
// ("title,width;title,width;"), every cell keeps its own text and colours,
// a header click sorts by that column (byte-wise, see CompareCells) with an
// arrow in the header, and the selected rows can be dragged as one image onto
// registered drop targets, which removes them from the list.
//
// Texts are UTF-8. Rows are kept in a model behind the view, so filling
// thousands of rows is quick; AddRows adds a batch in one step.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QPoint>
#include <QPointer>
#include <QTableView>

#include <string>
#include <vector>

class CReportListModel;
class CReportRowsDropFilter;
class CSortHeaderCtrl;
class QWidget;

class CReportListCtrl : public QTableView
{
    Q_OBJECT

public:
    explicit CReportListCtrl(QWidget* parent = nullptr);
    ~CReportListCtrl() override;

    // Places the list in parent and names it by its control id (the object
    // name is the id in decimal). Always succeeds here.
    bool Create(QWidget* parent, int id);

    // Appends the columns of "title,width;title,width;" (widths in pixels,
    // leading digits only, anything else reads as 0), each centred. A text
    // without a comma adds nothing and succeeds.
    bool InsertColumns(const std::string& layout);

    // Appends one row; texts beyond the column count are ignored, missing
    // ones are empty. The cells take the list's current default colours.
    bool AddRow(const std::vector<std::string>& texts);
    // Appends many rows in one step (one model insertion).
    bool AddRows(const std::vector<std::vector<std::string>>& rows);

    void DeleteRow(int index);
    void DeleteSelectedRows();
    void Clear();

    // Selected row indexes in ascending order; false when none is selected.
    bool GetSelectedRows(std::vector<int>& rows) const;
    int GetItemCount() const;
    int GetColumnCount() const;
    // Empty for a row or column that does not exist.
    std::string GetItemText(int row, int column) const;
    // Colours of one cell (drawn unless the row is selected).
    void SetItemColors(int row, int column, const QColor& text, const QColor& background);

    // Sorts the rows by column and shows the arrow; the selection stays with
    // its rows. A header click calls it: ascending, unless the column is
    // already sorted ascending.
    void SortColumn(int column, bool ascending);
    int GetSortColumn() const { return m_nSortColumn; }
    bool IsSortAscending() const { return m_bAscending; }

    // Orders two cell texts for an ascending sort (a descending sort swaps
    // the arguments): -1, 0 or 1 by unsigned byte comparison.
    virtual int CompareCells(const std::string& a, const std::string& b) const;

    // Windows (and their children) that accept the dragged rows; dropping the
    // rows on one of them deletes the rows. None by default: a drag then has
    // no effect.
    void SetDropTargets(const QList<QWidget*>& targets);
    void AddDropTarget(QWidget* target);
    QList<QWidget*> GetDropTargets() const;

    // The header's widths: the column count and each width as 32-bit
    // integers. Restoring applies the widths only when the count matches the
    // current columns; false (and nothing changed) otherwise.
    QByteArray SaveHeaderState() const;
    bool RestoreHeaderState(const QByteArray& state);

    CSortHeaderCtrl* GetHeaderCtrl() const { return m_pHeader; }
    QColor GetTextColor() const { return m_crText; }
    QColor GetBackColor() const { return m_crBack; }
    QColor GetSelectedTextColor() const { return m_crSelText; }
    QColor GetSelectedBackColor() const { return m_crSelBack; }

signals:
    // A click in the list while a row is selected: the first selected row.
    void rowClicked(int firstSelectedRow);
    // Double click or Enter while a row is selected: the first selected row.
    void rowActivated(int row);
    // A context menu request anywhere in the list; the receiver decides by
    // the selection whether to show a menu.
    void contextMenuRequested(const QPoint& globalPos);
    // SortColumn ran (by a header click or a call).
    void columnSorted(int column, bool ascending);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;

private:
    void OnColumnClick(int column);
    void UpdateRowHeight();
    int FirstSelectedRow() const;
    void ClearDropTargets();

    CReportListModel* m_pModel;
    CSortHeaderCtrl* m_pHeader;
    // Read once at construction.
    QColor m_crText;
    QColor m_crBack;
    QColor m_crSelText;
    QColor m_crSelBack;
    int m_nSortColumn = -1;
    bool m_bAscending = true;
    CReportRowsDropFilter* m_pDropFilter;
    QList<QPointer<QWidget>> m_dropTargets;
};
