// The title bar of a docking bar: a gripper to drag it by, its title, and a
// small flat button that closes (hides) the bar.
#pragma once

#include <QWidget>

class QDockWidget;
class QLabel;
class QToolButton;

class CDockTitleBar : public QWidget
{
    Q_OBJECT

public:
    explicit CDockTitleBar(QDockWidget* dock);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void SyncWithDock();

    QDockWidget* m_dock;
    QLabel* m_title;
    QToolButton* m_close;
};

// Replaces the dock's title bar with a CDockTitleBar. The close button's
// object name is "closeButton".
void InstallDockTitleBar(QDockWidget* dock);
