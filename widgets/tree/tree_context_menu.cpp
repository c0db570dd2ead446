#include "widgets/tree/tree_context_menu.h"

#include <QAction>
#include <QMenu>

namespace
{

void AddItems(QMenu& menu, const std::vector<CMenuTemplateItem>& items)
{
    for (const CMenuTemplateItem& item : items)
    {
        switch (item.kind)
        {
        case CMenuTemplateItem::Kind::Separator:
            menu.addSeparator();
            break;
        case CMenuTemplateItem::Kind::Command:
            menu.addAction(QString::fromStdString(item.text))->setData(item.commandId);
            break;
        case CMenuTemplateItem::Kind::Popup:
            AddItems(*menu.addMenu(QString::fromStdString(item.text)), item.items);
            break;
        }
    }
}

} // namespace

std::unique_ptr<QMenu> BuildMenuFromTemplate(const CMenuTemplateItem& popup, QWidget* parent)
{
    auto menu = std::make_unique<QMenu>(QString::fromStdString(popup.text), parent);
    AddItems(*menu, popup.items);
    return menu;
}

unsigned MenuCommandId(const QAction* action)
{
    return action ? action->data().toUInt() : 0;
}
