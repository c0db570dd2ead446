// A Qt menu made from a menu template of the resource module. Each command
// action carries its command id as its data.
#pragma once

#include "base/resource_module.h"

#include <memory>

class QMenu;
class QWidget;
class QAction;

std::unique_ptr<QMenu> BuildMenuFromTemplate(const CMenuTemplateItem& popup,
                                             QWidget* parent = nullptr);

// The command id an action carries, or 0 for none.
unsigned MenuCommandId(const QAction* action);
