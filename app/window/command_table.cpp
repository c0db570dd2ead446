#include "app/window/command_table.h"

#include "config/app_config.h"

const MenuEntry kMainMenu[] = {
    {0, "系统(&S)", 0},
    {1, "配置(&C)", kCmdSettings},
    {1, "签名设置(&S)", kCmdSignature},
    {1, "清空临时目录(&T)", kCmdClearTempFolder},
    {1, nullptr, 0},
    {1, "退出(&X)", kCmdAppExit},
    {0, "查看(&V)", 0},
    {1, "后退(&B)", kCmdBack},
    {1, "前进(&F)", kCmdForward},
    {1, "刷新(&R)", kCmdRefresh},
    {1, "停止(&S)", kCmdStop},
    {1, nullptr, 0},
    {1, "工具栏(&T)", 0},
    {2, "显示(&S)", kCmdToolBarShow},
    {2, nullptr, 0},
    {2, "大图标(&B)", kCmdToolBarBigIcons},
    {2, "小图标", kCmdToolBarSmallIcons},
    {1, "状态栏(&S)", kCmdStatusBar},
    {1, "视图栏(&C)", kCmdLeftBar},
    {0, "离线(&O)", 0},
    {1, "搜索社区数据(&C)", kCmdSearchCommunity},
    {1, "搜索文档数据(&D)", kCmdSearchDevelop},
    {0, "在线(&L)", 0},
    {1, "回复(&R)", kCmdReply},
    {0, "链接(&L)", 0},
    {1, "论坛搜索(&O)", kCmdForumSearch},
    {1, "全文搜索(&L)", kCmdFullTextSearch},
    {1, nullptr, 0},
    {1, "ZELK论坛(&C)", kCmdCommunitySite},
    {1, "ZELK文档(&D)", kCmdDevelopSite},
    {1, nullptr, 0},
    {1, "指定链接(&S)", kCmdOpenGivenLink},
    {0, "下载(&D)", 0},
    {1, "指定下载(&S)", kCmdGivenDownload},
    {0, "其他(&O)", 0},
    {1, "帮助(&H)", kCmdHelp},
    {1, nullptr, 0},
    {1, "赞助(&S)", kCmdSponsor},
    {1, nullptr, 0},
    {1, "查看更新(&U)", kCmdCheckUpdate},
    {1, "官方主页(&O)", kCmdHomePage},
    {1, "意见反馈(&F)", kCmdFeedback},
};
const size_t kMainMenuCount = sizeof(kMainMenu) / sizeof(kMainMenu[0]);

const ToolBarButton kToolBarButtons[kToolBarButtonCount] = {
    {kCmdSettings, "系统设置"},
    {0, nullptr},
    {kCmdSearchCommunity, "离线社区数据搜索"},
    {kCmdSearchDevelop, "离线文档数据搜索"},
    {0, nullptr},
    {kCmdBack, "后退"},
    {kCmdForward, "前进"},
    {kCmdStop, "停止"},
    {kCmdRefresh, "刷新"},
    {0, nullptr},
    {kCmdReply, "回复"},
    {0, nullptr},
    {kCmdForumSearch, "论坛搜索"},
    {kCmdCommunitySite, "ZELK社区"},
    {kCmdDevelopSite, "ZELK文档"},
    {0, nullptr},
    {kCmdHelp, "帮助"},
    {kCmdSponsor, "赞助"},
    {kCmdCheckUpdate, "查看更新"},
    {kCmdHomePage, "官方主页"},
};

const char* ToolBarTooltip(unsigned command)
{
    for (const ToolBarButton& button : kToolBarButtons)
        if (button.command != 0 && button.command == command)
            return button.tooltip;
    return nullptr;
}

std::string LinkCommandAddress(unsigned command, const CAppConfig& config)
{
    switch (command)
    {
    case kCmdForumSearch:
        return config.GetHostForCommunity() + "/expert/search.asp?bigclassid=0";
    case kCmdFullTextSearch:
        return config.GetHostForFullSearchCommunity() + "/lt/";
    case kCmdCommunitySite:
        return config.GetHostForCommunity() + "/expert/deeptree/welcome.asp?zelkstyle=0";
    case kCmdDevelopSite:
        return config.GetHostForDevelop();
    default:
        return {};
    }
}

bool SelectsOnlineTab(unsigned command)
{
    return command == kCmdCommunitySite || command == kCmdDevelopSite ||
           command == kCmdFullTextSearch;
}
