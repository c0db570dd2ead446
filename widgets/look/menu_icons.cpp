#include "widgets/look/menu_icons.h"

#include "widgets/look/image_strip.h"
#include "widgets/look/toolbar_images.h"

#include <QAction>
#include <QMenu>

unsigned int CommandIdOf(const QAction* action)
{
    bool ok = false;
    const uint fromData = action->data().toUInt(&ok);
    if (ok && fromData > 0)
        return fromData;
    const uint fromName = action->objectName().toUInt(&ok);
    return ok ? fromName : 0;
}

int ApplyMenuIcons(const QList<QAction*>& actions, const QHash<unsigned int, int>& table,
                   const QList<QIcon>& images)
{
    int applied = 0;
    for (QAction* action : actions)
    {
        if (QMenu* submenu = action->menu())
            applied += ApplyMenuIcons(submenu->actions(), table, images);
        const auto found = table.constFind(CommandIdOf(action));
        if (found == table.cend() || found.value() < 0 || found.value() >= images.size())
            continue;
        action->setIcon(images.at(found.value()));
        ++applied;
    }
    return applied;
}

int ApplyToolbarMenuIcons(const QList<QAction*>& actions)
{
    QHash<unsigned int, int> table;
    for (const ToolbarImage& button : ToolbarImages())
    {
        if (button.command != 0)
            table.insert(button.command, button.index);
    }
    return ApplyMenuIcons(actions, table, LoadIconStrip(kSmallToolbarStrip, 16));
}
