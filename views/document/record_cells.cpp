#include "views/document/record_cells.h"

#include "store/offline_tables.h"

std::vector<std::string> CommunityCells(CCommunityTable& row)
{
    using T = CCommunityTable;
    return {std::to_string(row.GetLong(T::fID)),
            row.GetText(T::fTitle),
            std::to_string(row.GetLong(T::fReplyNum)),
            row.GetText(T::fPostUserName),
            row.GetDateText(T::fInDate),
            row.GetLong(T::fEndState) != 0 ? "√" : "×",
            std::to_string(row.GetLong(T::fReadNum))};
}

std::vector<std::string> DevelopCells(CDevelopTable& row)
{
    using T = CDevelopTable;
    return {std::to_string(row.GetLong(T::fID)), row.GetText(T::fTitle), row.GetText(T::fAuthor),
            row.GetDateText(T::fInDate)};
}

std::vector<std::string> TopicCells(CTopicTable& row)
{
    using T = CTopicTable;
    return {row.GetText(T::fTitle), row.GetDateText(T::fInDate), row.GetText(T::fRemark)};
}
