// Reading a forum topic's XML: the style-sheet instruction is pointed at the
// program's own skin, the header values of the Issue element are taken.
#pragma once

#include <string>

// Written into every saved topic; relative to the temporary folder, which is
// a sibling of the program's Resource folder.
inline constexpr const char* kTopicStyleSheetData =
    "type='text/xsl' href='../Resource/Skins/style1.xsl'";

struct CTopicInfo
{
    std::string PostUserNickName;
    std::string Rank;
    std::string Ranknum;
    std::string Credit;
    std::string TopicId;
    std::string TopicName;
    std::string PostUserId;
    std::string PostUserName;
    std::string RoomName;
    std::string ReplyNum;
    std::string PostDateTime;
    std::string Point;
    std::string ReadNum;
    std::string RoomId;
    std::string EndState;
    // The style-sheet instruction's data as downloaded.
    std::string StyleSheetData;
};

// 1 when the document had its style-sheet instruction, Topic and Issue, and
// was rewritten in place with the skin reference; 0 otherwise (the file is
// then left as it was). Values are UTF-8 whatever the file's encoding.
int LoadTopicFile(const std::string& path, CTopicInfo& info);
