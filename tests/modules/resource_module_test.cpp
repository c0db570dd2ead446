// The resource module opened by name from a folder, the room tree's context
// menus it holds, and what happens without it.
#include "base/debug_log.h"
#include "base/resource_module.h"
#include "outside/LQRes/LQRes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace
{

std::vector<unsigned> Commands(const CMenuTemplateItem& popup)
{
    std::vector<unsigned> ids;
    for (const CMenuTemplateItem& item : popup.items)
        ids.push_back(item.kind == CMenuTemplateItem::Kind::Command ? item.commandId : 0);
    return ids;
}

TEST(ResourceModule, RoomTreeAndGenericMenusComeFromTheModule)
{
    ASSERT_TRUE(LoadResourceModule(MYZELK_BIN_DIR "/"));
    const std::optional<CMenuTemplateItem> room = LoadTreeContextPopup(1, MYZELK_BIN_DIR "/");
    ASSERT_TRUE(room);
    EXPECT_EQ(Commands(*room), (std::vector<unsigned>{ID_TREE_LIST_RECORDS, 0, ID_TREE_EXPAND_ITEM,
                                                      ID_TREE_COLLAPSE_ITEM, 0, ID_TREE_EXPAND_ALL,
                                                      ID_TREE_COLLAPSE_ALL}));
    EXPECT_EQ(room->items[0].text, "列出本版离线帖子(&L)");
    EXPECT_EQ(room->items[1].kind, CMenuTemplateItem::Kind::Separator);

    for (int choice : {0, 2, -1})
    {
        const std::optional<CMenuTemplateItem> other =
            LoadTreeContextPopup(choice, MYZELK_BIN_DIR "/");
        ASSERT_TRUE(other) << choice;
        EXPECT_EQ(Commands(*other).front(), ID_TREE_EXPAND_ITEM) << "menu 13001";
    }
    EXPECT_FALSE(LoadMenuResource(13002, MYZELK_BIN_DIR "/"));
}

TEST(ResourceModule, MissingModuleGivesNoMenuAndLogsResourceLoadFailed)
{
    TempDir dir;
    const std::string folder = dir.path() + "/";
    SetDebugLogPathForTesting((dir / "debug.txt").c_str());
    EXPECT_FALSE(LoadResourceModule(folder.c_str()));
    EXPECT_FALSE(LoadTreeContextPopup(1, folder.c_str()));
    SetDebugLogPathForTesting(nullptr);
    std::ifstream log(dir / "debug.txt", std::ios::binary);
    std::stringstream text;
    text << log.rdbuf();
    EXPECT_EQ(text.str().rfind("Resource Load Failed.\r\n(", 0), 0u) << text.str();
}

TEST(ResourceModule, MalformedTemplatesAreRefused)
{
    const LQResMenuEntry good[] = {
        {0, LQRES_ITEM_POPUP, 0, "P"},         {1, LQRES_ITEM_COMMAND, 7, "a"},
        {1, LQRES_ITEM_POPUP, 0, "Q"},         {2, LQRES_ITEM_COMMAND, 8, "b"},
        {1, LQRES_ITEM_SEPARATOR, 0, nullptr}, {0, LQRES_ITEM_COMMAND, 9, "c"}};
    const std::optional<CMenuTemplate> menu = BuildMenuTemplate(good, 6);
    ASSERT_TRUE(menu);
    ASSERT_NE(menu->SubMenu(0), nullptr);
    EXPECT_EQ(menu->SubMenu(0)->items[1].items[0].commandId, 8u);
    EXPECT_EQ(menu->SubMenu(1), nullptr);

    const LQResMenuEntry skipsALevel[] = {{0, LQRES_ITEM_POPUP, 0, "P"},
                                          {2, LQRES_ITEM_COMMAND, 1, "a"}};
    const LQResMenuEntry belowACommand[] = {{0, LQRES_ITEM_COMMAND, 1, "a"},
                                            {1, LQRES_ITEM_COMMAND, 2, "b"}};
    const LQResMenuEntry emptyPopup[] = {{0, LQRES_ITEM_POPUP, 0, "P"},
                                         {0, LQRES_ITEM_COMMAND, 1, "a"}};
    const LQResMenuEntry noText[] = {{0, LQRES_ITEM_POPUP, 0, "P"},
                                     {1, LQRES_ITEM_COMMAND, 1, nullptr}};
    const LQResMenuEntry unknownKind[] = {{0, 9, 0, "P"}};
    EXPECT_FALSE(BuildMenuTemplate(skipsALevel, 2));
    EXPECT_FALSE(BuildMenuTemplate(belowACommand, 2));
    EXPECT_FALSE(BuildMenuTemplate(emptyPopup, 2));
    EXPECT_FALSE(BuildMenuTemplate(noText, 2));
    EXPECT_FALSE(BuildMenuTemplate(unknownKind, 1));
    EXPECT_FALSE(BuildMenuTemplate(good, 0));
    EXPECT_FALSE(BuildMenuTemplate(nullptr, 3));
}

} // namespace
