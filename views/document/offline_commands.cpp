#include "views/document/offline_commands.h"

#include "base/file_helpers.h"
#include "config/app_config.h"
#include "platform/message_box.h"
#include "store/offline_store.h"
#include "store/offline_tables.h"
#include "views/document/myzelk_view.h"
#include "views/list/report_list_ctrl.h"

#include <cctype>

namespace
{
constexpr const char* kCaption = "MyZELK";
constexpr const char* kCommunityRoot = "ZELK社区";
constexpr const char* kDevelopRoot = "ZELK文档";

bool SameTextIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The page of the topic list's selected row with that title; by the title
// alone (the first saved) when no selected row has it.
long TopicKeyFor(CMyZELKView& view, COfflineStore& store, const std::string& title)
{
    std::vector<int> rows;
    if (view.TopicList()->GetSelectedRows(rows))
        for (int row : rows)
            if (view.TopicList()->GetItemText(row, 0) == title)
                return view.TopicKeyOfRow(row);
    CTopicTable page;
    return store.GetTopicByTitle(title.c_str(), page) == 0 ? page.Key() : 0;
}

bool Search(CMyZELKView& view, OfflineTable table, const std::string& fragment)
{
    if (table == OfflineTable::Community)
    {
        view.ShowCommunityList();
        view.ClearCommunityList();
    }
    else
    {
        view.ShowDevelopList();
        view.ClearDevelopList();
    }
    COfflineStore* store = view.Store();
    if (!store)
        return false;
    const long result =
        store->SearchByTitle(table, fragment.c_str(),
                             table == OfflineTable::Community ? CommunityRow : DevelopRow, &view);
    if (result == kStoreRefused)
    {
        PlatformMessageBox("搜索的文字太长，请缩短后再试。", kCaption, MB_OK | MB_ICONWARNING);
        return false;
    }
    if (result != 0 && result != -5)
    {
        PlatformMessageBox("无法读取离线数据库（详见 debug.txt）。", kCaption,
                           MB_OK | MB_ICONERROR);
        return false;
    }
    return true;
}
} // namespace

int CommunityRow(void* context, CLQADOField* row)
{
    if (!context)
        return 0;
    CCommunityTable record(row);
    static_cast<CMyZELKView*>(context)->AddCommunityRow(record);
    return 1;
}

int DevelopRow(void* context, CLQADOField* row)
{
    if (!context)
        return 0;
    CDevelopTable record(row);
    static_cast<CMyZELKView*>(context)->AddDevelopRow(record);
    return 1;
}

int TopicRow(void* context, CLQADOField* row)
{
    if (!context)
        return 0;
    CTopicTable record(row);
    static_cast<CMyZELKView*>(context)->AddTopicRow(record, CTopicTable::RowKey(row));
    return 1;
}

int OpenOfflineRecord(CMyZELKView* view, int wParam, const std::string& text)
{
    if (!view)
        return 0;
    if (wParam != 1 || !view->Store())
        return 1;
    COfflineStore& store = *view->Store();

    OfflineTable table = OfflineTable::Community;
    long key = 0;
    if (view->IsCommunityListVisible())
        table = OfflineTable::Community;
    else if (view->IsDevelopListVisible())
        table = OfflineTable::Develop;
    else if (view->IsTopicListVisible())
        table = OfflineTable::Topic;
    else
        return 1;
    key = table == OfflineTable::Topic ? TopicKeyFor(*view, store, text) : AtoiText(text);

    std::string reason;
    const std::string path = store.OpenDisplayCopy(table, key, &reason);
    if (path.empty())
    {
        PlatformMessageBox("无法打开所选的记录：它已不在离线数据库中，或无法读取。\n(" + reason +
                               ")",
                           kCaption, MB_OK | MB_ICONWARNING);
        return 1;
    }
    int mode = view->Config() ? view->Config()->GetLinkOpenMode() : kLinkOpenDefault;
    // Saved copies open outside the program.
    if (mode == kLinkOpenInside)
        mode = kLinkOpenDefault;
    view->OpenAddress(path, mode);
    return 1;
}

void ShowRoomRecords(CMyZELKView& view, const std::string& /*nodeText*/,
                     const std::optional<std::string>& parentText, long nodeId)
{
    if (!parentText)
        return;
    COfflineStore* store = view.Store();
    if (SameTextIgnoringCase(*parentText, kCommunityRoot))
    {
        view.ShowCommunityList();
        view.ClearCommunityList();
        if (store)
            store->ListRoomRecords(OfflineTable::Community, nodeId, CommunityRow, &view);
    }
    else if (SameTextIgnoringCase(*parentText, kDevelopRoot))
    {
        view.ShowDevelopList();
        view.ClearDevelopList();
        if (store)
            store->ListRoomRecords(OfflineTable::Develop, nodeId, DevelopRow, &view);
    }
    else
    {
        view.ShowTopicList();
        view.ClearTopicList();
        if (store)
            store->ListAllTopics(TopicRow, &view);
    }
}

bool SearchCommunity(CMyZELKView& view, const std::string& fragment)
{
    return Search(view, OfflineTable::Community, fragment);
}

bool SearchDevelop(CMyZELKView& view, const std::string& fragment)
{
    return Search(view, OfflineTable::Develop, fragment);
}
