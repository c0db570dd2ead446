#include "widgets/look/flat_style.h"

#include <QApplication>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>

namespace
{

// A one-pixel outline inside `rect`.
void DrawOutline(QPainter* painter, const QRect& rect, const QColor& colour)
{
    painter->save();
    painter->setPen(colour);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(rect.adjusted(0, 0, -1, -1));
    painter->restore();
}

// The fill of a button by its state: hovered buttons take a tint of the
// highlight, pressed or checked ones a stronger one.
QColor ButtonFill(const QStyleOption& option)
{
    const QPalette& palette = option.palette;
    const bool enabled = option.state & QStyle::State_Enabled;
    const bool down = option.state & (QStyle::State_Sunken | QStyle::State_On);
    const bool hover = option.state & QStyle::State_MouseOver;
    QColor fill = palette.color(QPalette::Button);
    if (!enabled)
        return fill;
    QColor highlight = palette.color(QPalette::Highlight);
    if (down)
        highlight.setAlpha(110);
    else if (hover)
        highlight.setAlpha(50);
    else
        return fill;
    QColor mixed = fill;
    const qreal a = highlight.alphaF();
    mixed.setRgbF(fill.redF() * (1 - a) + highlight.redF() * a,
                  fill.greenF() * (1 - a) + highlight.greenF() * a,
                  fill.blueF() * (1 - a) + highlight.blueF() * a);
    return mixed;
}

} // namespace

CFlatStyle::CFlatStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
{
    setObjectName(QStringLiteral("myzelk-flat"));
}

void CFlatStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                               QPainter* painter, const QWidget* widget) const
{
    const QPalette& palette = option->palette;
    const QColor line = palette.color(QPalette::Mid);
    switch (element)
    {
    case PE_PanelButtonCommand:
    case PE_PanelButtonBevel:
        painter->fillRect(option->rect, ButtonFill(*option));
        DrawOutline(painter, option->rect,
                    option->state & State_HasFocus ? palette.color(QPalette::Highlight) : line);
        return;
    case PE_PanelButtonTool:
        // Tool buttons stay flat until the pointer is over them.
        if (option->state & (State_MouseOver | State_Sunken | State_On))
        {
            painter->fillRect(option->rect, ButtonFill(*option));
            DrawOutline(painter, option->rect, palette.color(QPalette::Highlight));
        }
        return;
    case PE_FrameLineEdit:
        DrawOutline(painter, option->rect,
                    option->state & State_HasFocus ? palette.color(QPalette::Highlight) : line);
        return;
    case PE_Frame:
    case PE_FrameTabWidget:
    case PE_FrameDockWidget:
    case PE_FrameMenu:
        DrawOutline(painter, option->rect, line);
        return;
    case PE_FrameTabBarBase:
    {
        painter->save();
        painter->setPen(line);
        const QRect r = option->rect;
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        painter->restore();
        return;
    }
    default:
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
}

void CFlatStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                             const QWidget* widget) const
{
    if (element == CE_TabBarTabShape)
    {
        // A flat tab: the chosen one in the base colour with a highlight
        // line on its outer edge, the others blend into the window.
        const auto* tab = qstyleoption_cast<const QStyleOptionTab*>(option);
        if (tab)
        {
            const QPalette& palette = tab->palette;
            const bool selected = tab->state & State_Selected;
            const QRect r = tab->rect;
            painter->fillRect(r, selected ? palette.color(QPalette::Base)
                                          : palette.color(QPalette::Window));
            if (selected)
            {
                const bool south =
                    tab->shape == QTabBar::RoundedSouth || tab->shape == QTabBar::TriangularSouth;
                const QRect mark = south ? QRect(r.left(), r.bottom() - 1, r.width(), 2)
                                         : QRect(r.left(), r.top(), r.width(), 2);
                painter->fillRect(mark, palette.color(QPalette::Highlight));
                DrawOutline(painter, r, palette.color(QPalette::Mid));
            }
            return;
        }
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

int CFlatStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                            const QWidget* widget) const
{
    switch (metric)
    {
    case PM_DefaultFrameWidth:
    case PM_DockWidgetFrameWidth:
    case PM_MenuPanelWidth:
        return 1;
    case PM_TabBarTabShiftVertical:
    case PM_TabBarTabShiftHorizontal:
    case PM_ButtonShiftHorizontal:
    case PM_ButtonShiftVertical:
        return 0;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

int CFlatStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                          QStyleHintReturn* returnData) const
{
    if (hint == SH_TabBar_Alignment)
        return Qt::AlignLeft;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

void InstallFlatLook(QApplication& app)
{
    // The application takes ownership of the style.
    app.setStyle(new CFlatStyle);
}
