// The report list's header: sections are plain header sections, except the
// sort column, which is drawn here with its text and a sort arrow.
#pragma once

#include <QHeaderView>

class CSortHeaderCtrl : public QHeaderView
{
    Q_OBJECT

public:
    explicit CSortHeaderCtrl(QWidget* parent = nullptr);

    // column -1 removes the arrow.
    void SetSortArrow(int column, bool ascending);
    int GetSortColumn() const { return m_nSortColumn; }
    bool IsAscending() const { return m_bAscending; }

    // Column count, then each width, as 32-bit integers.
    QByteArray Serialize() const;
    // Applies the widths only when the stored count equals the current one.
    bool Deserialize(const QByteArray& state);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void DrawSortSection(QPainter* painter, const QRect& rect, int logicalIndex) const;

    int m_nSortColumn = -1;
    bool m_bAscending = true;
    int m_nPressed = -1; // section under a pressed left button
};
