#include "app/window/banner_panel.h"

#include "app/dialogs/dialog_units.h"
#include "views/html_ctrl.h"

#include <QChildEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QWebEngineSettings>

std::string DroppedAddress(const QMimeData& data)
{
    if (data.hasFormat(QStringLiteral("text/uri-list")))
    {
        // The list's own text, so the address stays exactly as dragged.
        const QByteArray list = data.data(QStringLiteral("text/uri-list"));
        for (const QByteArray& line : list.split('\n'))
        {
            const QByteArray address = line.trimmed();
            if (!address.isEmpty() && !address.startsWith('#'))
                return address.toStdString();
        }
    }
    if (data.hasText())
        return data.text().trimmed().toStdString();
    return {};
}

CLinkDropTarget::CLinkDropTarget(QObject* parent) : QObject(parent) {}

bool CLinkDropTarget::Register(QWidget* widget)
{
    if (!widget)
        return false;
    Revoke();
    m_widget = widget;
    Watch(widget);
    return true;
}

void CLinkDropTarget::Revoke()
{
    if (!m_widget)
        return;
    m_widget->setAcceptDrops(false);
    for (QWidget* child : m_widget->findChildren<QWidget*>())
        child->removeEventFilter(this);
    m_widget->removeEventFilter(this);
    m_widget = nullptr;
}

void CLinkDropTarget::Watch(QObject* object)
{
    object->installEventFilter(this);
    if (auto* widget = qobject_cast<QWidget*>(object))
        widget->setAcceptDrops(true);
    for (QObject* child : object->children())
        if (child->isWidgetType())
            Watch(child);
}

bool CLinkDropTarget::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type())
    {
    case QEvent::ChildAdded:
    {
        QObject* child = static_cast<QChildEvent*>(event)->child();
        if (child->isWidgetType())
            Watch(child);
        break;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove:
    {
        auto* drag = static_cast<QDropEvent*>(event);
        const QMimeData* data = drag->mimeData();
        if (data && !DroppedAddress(*data).empty())
        {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        }
        else
        {
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop:
    {
        auto* drop = static_cast<QDropEvent*>(event);
        const std::string address = drop->mimeData() ? DroppedAddress(*drop->mimeData()) : "";
        if (address.empty())
        {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        if (m_callback)
            m_callback(address);
        return true;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

CBannerPanel::CBannerPanel(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("133"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* placeholder = new QLabel(this);
    placeholder->setObjectName(QStringLiteral("1022"));
    layout->addWidget(placeholder);
    // The dialog's width is where the band starts, not a minimum: as one,
    // it would push the maximised frame past the right edge of the screen.
    const QSize size = DialogUnitsToPixels(font(), 694, 22);
    setMinimumHeight(size.height());
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    resize(size);
}

void CBannerPanel::OnInitDialog(const std::string& pageAddress)
{
    auto* html = new CHtmlCtrl(this);
    if (!html->CreateFromStatic(1022, this))
    {
        delete html;
        return;
    }
    m_html = html;
    m_html->SetHideContextMenu(true);
    m_html->settings()->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    m_pageAddress = QString::fromStdString(pageAddress);
}

void CBannerPanel::LoadPage()
{
    if (!m_html || m_pageAddress.isEmpty())
        return;
    m_html->load(QUrl(m_pageAddress));
    m_pageAddress.clear();
}

bool CBannerPanel::event(QEvent* event)
{
    if (event->type() == CHtmlCommandEvent::EventType())
    {
        emit commandRequested(static_cast<CHtmlCommandEvent*>(event)->CommandId());
        return true;
    }
    return QWidget::event(event);
}
