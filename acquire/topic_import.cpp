#include "acquire/topic_import.h"

#include "acquire/import_common.h"
#include "acquire/user_interface.h"
#include "base/app_paths.h"
#include "base/debug_log.h"
#include "base/file_helpers.h"
#include "base/xml_helpers.h"
#include "platform/text.h"
#include "store/offline_store.h"
#include "tree/edit_tree_model.h"

#include <vector>

namespace
{

struct HeaderSlot
{
    const char* name;
    std::string CTopicInfo::*member;
};

constexpr HeaderSlot kHeaderSlots[] = {
    {"PostUserNickName", &CTopicInfo::PostUserNickName},
    {"Rank", &CTopicInfo::Rank},
    {"Ranknum", &CTopicInfo::Ranknum},
    {"Credit", &CTopicInfo::Credit},
    {"TopicId", &CTopicInfo::TopicId},
    {"TopicName", &CTopicInfo::TopicName},
    {"PostUserId", &CTopicInfo::PostUserId},
    {"PostUserName", &CTopicInfo::PostUserName},
    {"RoomName", &CTopicInfo::RoomName},
    {"ReplyNum", &CTopicInfo::ReplyNum},
    {"PostDateTime", &CTopicInfo::PostDateTime},
    {"Point", &CTopicInfo::Point},
    {"ReadNum", &CTopicInfo::ReadNum},
    {"RoomId", &CTopicInfo::RoomId},
    {"EndState", &CTopicInfo::EndState},
};

} // namespace

int LoadTopicFile(const std::string& path, CTopicInfo& info)
{
    const std::u16string widePath = Utf16FromUtf8(path);
    const XmlDocumentPtr document = LoadXmlDocument(widePath);
    if (!document)
        return 0;

    const XmlNodePtr styleSheet = FindChildByName(document, "xml-stylesheet");
    if (!styleSheet || styleSheet->nodeType() != NODE_PROCESSING_INSTRUCTION)
        return 0;
    const XmlNodePtr topic = FindChildByName(document, "Topic");
    if (!topic || topic->nodeType() != NODE_ELEMENT)
        return 0;
    const XmlNodePtr issue = FindChildByName(topic, "Issue");
    if (!issue || issue->nodeType() != NODE_ELEMENT)
        return 0;

    info.StyleSheetData = Utf8FromUtf16(styleSheet->nodeValue());
    styleSheet->put_nodeValue(Utf16FromUtf8(kTopicStyleSheetData));

    const XmlNodeListPtr children = issue->childNodes();
    for (long i = 0; i < children->length(); ++i)
    {
        const XmlNodePtr child = children->item(i);
        if (child->nodeType() != NODE_ELEMENT)
            continue;
        const std::u16string name = child->nodeName();
        for (const HeaderSlot& slot : kHeaderSlots)
        {
            if (!EqualsIgnoreCaseAscii(name, Utf16FromUtf8(slot.name)))
                continue;
            std::string value = Utf8FromUtf16(child->text());
            if (slot.member == &CTopicInfo::PostUserNickName && value.empty())
                value = "NULL";
            info.*slot.member = std::move(value);
            break;
        }
    }

    if (!SaveXmlDocument(widePath, document))
    {
        // The downloaded text then stays, and is what gets stored.
        std::string message = "Can't rewrite the topic file : " + path;
        WriteDebugLog(message.c_str());
    }
    return 1;
}

CImportResult CContentImporter::ImportTopicFile(const std::string& path)
{
    CTopicInfo info;
    int loaded = 0;
    try
    {
        loaded = LoadTopicFile(path, info);
    }
    catch (const _com_error& error)
    {
        WriteDebugLog(DescribeComError(error));
    }
    if (!loaded)
    {
        m_ui.SetStatusText("无法正确读取论坛数据");
        return {};
    }

    CCommunityTable row;
    row.SetLong(CCommunityTable::fID, AtoiText(info.TopicId));
    row.SetText(CCommunityTable::fTitle, info.TopicName);
    row.SetText(CCommunityTable::fPostUserName, info.PostUserName);
    row.SetText(CCommunityTable::fPostUserNickName, info.PostUserNickName);
    row.SetText(CCommunityTable::fRank, info.Rank);
    row.SetLong(CCommunityTable::fCredit, AtoiText(info.Credit));
    row.SetLong(CCommunityTable::fRoomID, AtoiText(info.RoomId));
    row.SetText(CCommunityTable::fRoomName, info.RoomName);
    row.SetLong(CCommunityTable::fReplyNum, AtoiText(info.ReplyNum));
    row.SetLong(CCommunityTable::fPoint, AtoiText(info.Point));
    row.SetLong(CCommunityTable::fReadNum, AtoiText(info.ReadNum));
    row.SetNow(CCommunityTable::fInDate);
    row.SetLong(CCommunityTable::fEndState, AtoiText(info.EndState));
    row.SetText(CCommunityTable::fRemark, kRemarkText);

    return StoreDownload(OfflineTable::Community, row, CCommunityTable::fContent, path,
                         [&]
                         {
                             EnsureRoomNode(kCommunityNodeText,
                                            row.GetLong(CCommunityTable::fRoomID),
                                            row.GetText(CCommunityTable::fRoomName));
                         });
}
