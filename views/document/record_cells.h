// The texts of the offline record lists: column layouts and the
// cells of one row, built from a table object's current record.
#pragma once

#include <string>
#include <vector>

class CCommunityTable;
class CDevelopTable;
class CTopicTable;

// "title,width;" per column.
inline constexpr const char* kCommunityColumns =
    "编号,52;帖子标题,350;回复数,55;发贴人,80;入库时间,135;是否结贴,65;阅读数,60";
inline constexpr const char* kDevelopColumns = "编号,52;帖子标题,500;作者,80;入库时间,140;";
inline constexpr const char* kTopicColumns = "标题,500;入库时间,140;备注,120";

// Number, title, replies, poster ("(NULL)" when not text), stored at,
// closed ("√" for a non-zero integer, else "×"), reads.
std::vector<std::string> CommunityCells(CCommunityTable& row);
// Number (0 when not an integer), title, author, stored at.
std::vector<std::string> DevelopCells(CDevelopTable& row);
// Title, stored at, remark.
std::vector<std::string> TopicCells(CTopicTable& row);
