// Icons beside menu items: each action whose command has an image in a strip
// shows that image, as the toolbar button of the same command does.
#pragma once

#include <QHash>
#include <QIcon>
#include <QList>

class QAction;

// The command id an action carries: its data() when that is a positive
// number, otherwise its objectName() read as a decimal number; 0 if neither.
unsigned int CommandIdOf(const QAction* action);

// Sets the icon of every action in `actions` and their submenus, recursively,
// whose command maps to an image of `images` in `table` (command id -> index);
// other actions keep their icons. Returns the number of icons set.
int ApplyMenuIcons(const QList<QAction*>& actions, const QHash<unsigned int, int>& table,
                   const QList<QIcon>& images);

// The same with the toolbar's table and the small toolbar strip (141).
int ApplyToolbarMenuIcons(const QList<QAction*>& actions);
