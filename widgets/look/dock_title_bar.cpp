#include "widgets/look/dock_title_bar.h"

#include <QDockWidget>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <QToolButton>

namespace
{

constexpr int kGripperWidth = 8;

} // namespace

CDockTitleBar::CDockTitleBar(QDockWidget* dock)
    : QWidget(dock), m_dock(dock), m_title(new QLabel(this)), m_close(new QToolButton(this))
{
    auto* layout = new QHBoxLayout(this);
    // The gripper is painted in the left margin.
    layout->setContentsMargins(kGripperWidth + 4, 1, 2, 1);
    layout->setSpacing(2);
    layout->addWidget(m_title, 1);
    layout->addWidget(m_close);

    m_close->setObjectName(QStringLiteral("closeButton"));
    m_close->setAutoRaise(true);
    m_close->setFocusPolicy(Qt::NoFocus);
    m_close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton, nullptr, this));
    m_close->setIconSize(QSize(10, 10));
    m_close->setToolTip(tr("关闭"));
    connect(m_close, &QToolButton::clicked, m_dock, &QDockWidget::close);

    connect(m_dock, &QDockWidget::windowTitleChanged, this, &CDockTitleBar::SyncWithDock);
    connect(m_dock, &QDockWidget::featuresChanged, this, &CDockTitleBar::SyncWithDock);
    SyncWithDock();
}

void CDockTitleBar::SyncWithDock()
{
    m_title->setText(m_dock->windowTitle());
    m_close->setVisible(m_dock->features().testFlag(QDockWidget::DockWidgetClosable));
}

QSize CDockTitleBar::sizeHint() const
{
    const int height = qMax(fontMetrics().height(), 16) + 4;
    return {QWidget::sizeHint().width(), height};
}

QSize CDockTitleBar::minimumSizeHint() const
{
    return {kGripperWidth + 24, sizeHint().height()};
}

void CDockTitleBar::paintEvent(QPaintEvent*)
{
    // Two raised bars, the classic gripper of a control bar.
    QPainter painter(this);
    const QPalette& p = palette();
    const int top = 3;
    const int bottom = height() - 4;
    for (int x : {3, 6})
    {
        painter.setPen(p.color(QPalette::Light));
        painter.drawLine(x, top, x, bottom);
        painter.drawLine(x, top, x + 1, top);
        painter.setPen(p.color(QPalette::Dark));
        painter.drawLine(x + 1, top + 1, x + 1, bottom);
        painter.drawLine(x, bottom, x + 1, bottom);
    }
}

void InstallDockTitleBar(QDockWidget* dock)
{
    if (dock && !qobject_cast<CDockTitleBar*>(dock->titleBarWidget()))
        dock->setTitleBarWidget(new CDockTitleBar(dock));
}
