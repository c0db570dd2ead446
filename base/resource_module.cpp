#include "base/resource_module.h"

#include "base/debug_log.h"
#include "base/file_helpers.h"

#include <dlfcn.h>

namespace
{

// Generous for any context menu; a larger count means a broken module.
constexpr unsigned kMaxEntries = 256;
constexpr unsigned kMaxDepth = 8;

void* OpenModule(const char* folder)
{
    std::string path;
    if (folder)
        path = folder;
    else
        path = GetModuleFolderText();
    if (path.empty())
        return nullptr;
    path += kResourceModuleName;
    // RTLD_NODELETE: the module is never unloaded, whoever closes it.
    return ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
}

// Appends entries[i..] of `depth` to `out`; returns the index after them.
bool Collect(const LQResMenuEntry* entries, unsigned count, unsigned& i, unsigned depth,
             std::vector<CMenuTemplateItem>& out)
{
    while (i < count && entries[i].depth == depth)
    {
        const LQResMenuEntry& e = entries[i++];
        CMenuTemplateItem item;
        switch (e.kind)
        {
        case LQRES_ITEM_SEPARATOR:
            item.kind = CMenuTemplateItem::Kind::Separator;
            break;
        case LQRES_ITEM_COMMAND:
            item.kind = CMenuTemplateItem::Kind::Command;
            item.commandId = e.commandId;
            break;
        case LQRES_ITEM_POPUP:
            item.kind = CMenuTemplateItem::Kind::Popup;
            break;
        default:
            return false;
        }
        if (item.kind != CMenuTemplateItem::Kind::Separator)
        {
            if (!e.text)
                return false;
            item.text = e.text;
        }
        if (item.kind == CMenuTemplateItem::Kind::Popup)
        {
            if (depth + 1 > kMaxDepth || i >= count || entries[i].depth != depth + 1)
                return false;
            if (!Collect(entries, count, i, depth + 1, item.items))
                return false;
        }
        out.push_back(std::move(item));
    }
    // The next entry, if any, closes this level: it must be shallower.
    return i >= count || entries[i].depth < depth;
}

} // namespace

const CMenuTemplateItem* CMenuTemplate::SubMenu(size_t n) const
{
    if (n >= items.size() || items[n].kind != CMenuTemplateItem::Kind::Popup)
        return nullptr;
    return &items[n];
}

std::optional<CMenuTemplate> BuildMenuTemplate(const LQResMenuEntry* entries, unsigned count)
{
    if (!entries || count == 0 || count > kMaxEntries)
        return std::nullopt;
    CMenuTemplate menu;
    unsigned i = 0;
    if (!Collect(entries, count, i, 0, menu.items) || i != count)
        return std::nullopt;
    return menu;
}

bool LoadResourceModule(const char* folder)
{
    return OpenModule(folder) != nullptr;
}

std::optional<CMenuTemplate> LoadMenuResource(unsigned id, const char* folder)
{
    void* module = OpenModule(folder);
    if (!module)
        return std::nullopt;
    auto find = reinterpret_cast<LQResFindMenuFunction>(::dlsym(module, "LQResFindMenu"));
    if (!find)
        return std::nullopt;
    unsigned count = 0;
    const LQResMenuEntry* entries = find(id, &count);
    return BuildMenuTemplate(entries, count);
}

std::optional<CMenuTemplateItem> LoadTreeContextPopup(int menuChoice, const char* folder)
{
    const unsigned id = menuChoice == 1 ? kRoomTreeMenu : kGenericTreeMenu;
    if (std::optional<CMenuTemplate> menu = LoadMenuResource(id, folder))
        if (const CMenuTemplateItem* popup = menu->SubMenu(0))
            return *popup;
    WriteDebugLog("Resource Load Failed.");
    return std::nullopt;
}
