// The command table of the main frame: the ids that menus, toolbar and
// accelerator send, the menu and toolbar layouts, and the addresses that the
// link commands open.
#pragma once

#include <cstddef>
#include <string>

class CAppConfig;

enum CommandId : unsigned
{
    kCmdSettings = 32772,
    kCmdSearchCommunity = 32773,
    kCmdFullTextSearch = 32774,
    kCmdOpenGivenLink = 32775,
    kCmdDevelopSite = 32776,
    kCmdGivenDownload = 32777,
    kCmdRefresh = 32779,
    kCmdBack = 32780,
    kCmdForward = 32781,
    kCmdStop = 32782,
    kCmdCommunitySite = 32783,
    kCmdHelp = 32786,
    kCmdSponsor = 32789,
    kCmdCheckUpdate = 32790,
    kCmdHomePage = 32791,
    kCmdReply = 32792,
    kCmdSignature = 32794,
    kCmdSearchDevelop = 32795,
    kCmdClearTempFolder = 32796,
    kCmdToolBarShow = 32798,
    kCmdToolBarBigIcons = 32799,
    kCmdToolBarSmallIcons = 32800,
    kCmdStatusBar = 32801,
    kCmdLeftBar = 32802,
    kCmdFeedback = 32803,
    kCmdForumSearch = 32806,
    kCmdAppExit = 57665,
};

// One line of the main menu. Level 0 is a top-level menu, 1 its item, 2 an
// item of the submenu opened by the level-1 entry before it. A null text is
// a separator; a level-1 entry with command 0 opens a submenu.
struct MenuEntry
{
    int level;
    const char* text;
    unsigned command;
};
extern const MenuEntry kMainMenu[];
extern const size_t kMainMenuCount;

// Command 0 is a separator; the tooltip is the button's text. The strips of
// the toolbar images hold one image per position.
struct ToolBarButton
{
    unsigned command;
    const char* tooltip;
};
inline constexpr size_t kToolBarButtonCount = 20;
extern const ToolBarButton kToolBarButtons[kToolBarButtonCount];

// The tooltip of a toolbar command; null when it has no button.
const char* ToolBarTooltip(unsigned command);

// The address a link command opens, formed from the host names of the
// configuration (bare host names, no scheme); empty for other commands.
std::string LinkCommandAddress(unsigned command, const CAppConfig& config);

// Link commands that first bring the on-line tab of the left bar forward.
bool SelectsOnlineTab(unsigned command);
