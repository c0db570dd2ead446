// The resource module LQRes.so: menu templates the program looks up by
// number at run time. The module is opened from the program's folder on
// every lookup and never closed, so a lookup after the first costs only the
// symbol search. No Qt here; the window turns a template into its own menu.
#pragma once

#include <optional>
#include <string>
#include <vector>

// The template as the module exports it (plain data behind a C function, so
// the module and the program share no C++ ABI). Entries are listed in menu
// order; the items of a popup follow it one level deeper.
extern "C"
{
    enum : unsigned
    {
        LQRES_ITEM_COMMAND = 0,
        LQRES_ITEM_SEPARATOR = 1,
        LQRES_ITEM_POPUP = 2,
    };
    struct LQResMenuEntry
    {
        unsigned depth;     // 0 for the menu's own items
        unsigned kind;      // LQRES_ITEM_*
        unsigned commandId; // commands only
        const char* text;   // UTF-8; null for separators
    };
    // Exported by the module as "LQResFindMenu": the entries of menu `id` and
    // their number, or null when the module holds no such menu.
    using LQResFindMenuFunction = const LQResMenuEntry* (*)(unsigned id, unsigned* count);
}

constexpr const char* kResourceModuleName = "LQRes.so";
constexpr unsigned kRoomTreeMenu = 13006;    // menu choice 1
constexpr unsigned kGenericTreeMenu = 13001; // any other choice

struct CMenuTemplateItem
{
    enum class Kind
    {
        Command,
        Separator,
        Popup,
    };
    Kind kind = Kind::Command;
    unsigned commandId = 0;
    std::string text;
    std::vector<CMenuTemplateItem> items; // popups only
};

struct CMenuTemplate
{
    std::vector<CMenuTemplateItem> items;
    // The n-th item when it is a popup, else null.
    const CMenuTemplateItem* SubMenu(size_t n) const;
};

// Opens the module from `folder` (ending with "/"; null: the program's own
// folder). It stays loaded. False when it cannot be opened.
bool LoadResourceModule(const char* folder = nullptr);

// Menu `id` from the module; nullopt when the module cannot be opened, holds
// no such menu or the template is malformed.
std::optional<CMenuTemplate> LoadMenuResource(unsigned id, const char* folder = nullptr);

// The room tree's context menu: the first submenu of menu 13006 (menu choice
// 1) or 13001. When there is none, "Resource Load Failed." goes to the
// diagnostic log and the result is empty.
std::optional<CMenuTemplateItem> LoadTreeContextPopup(int menuChoice, const char* folder = nullptr);

// Builds the nested template from the exported entries; nullopt when a level
// is skipped, an item below a non-popup, a text missing, or a popup empty.
std::optional<CMenuTemplate> BuildMenuTemplate(const LQResMenuEntry* entries, unsigned count);
