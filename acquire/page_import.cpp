#include "acquire/page_import.h"

#include "acquire/import_common.h"
#include "acquire/user_interface.h"
#include "base/file_helpers.h"
#include "store/offline_store.h"
#include "tree/edit_tree_model.h"

#include <vector>

namespace
{
std::string TrimWhiteSpace(const std::string& text)
{
    const char* blanks = " \t\r\n\f\v";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}
} // namespace

std::string TitleFromPageText(const std::string& text)
{
    std::string title;
    for (const char* marker : {"<Title>", "<title>", "<TITLE>"})
        if (TextBetween(text, 0, marker, "<", title) >= 0)
            break;
    return TrimWhiteSpace(DecodeHtmlReferences(title));
}

int ParseOtherPageFile(const std::string& path, COtherPageInfo& info)
{
    std::vector<unsigned char> bytes;
    if (!ReadFileWithTrailingZero(path, bytes))
        return 0;
    const std::string archive(reinterpret_cast<const char*>(bytes.data()), bytes.size() - 1);
    std::string title = TitleFromPageText(PageTextFromArchive(archive));
    info.title = title.empty() ? GetFileTitle(path) : title;
    return 1;
}

CImportResult CContentImporter::ImportOtherPageFile(const std::string& address,
                                                    const std::string& path)
{
    COtherPageInfo info;
    if (!ParseOtherPageFile(path, info))
    {
        m_ui.SetStatusText("无法正确读取文档数据");
        return {};
    }

    CTopicTable row;
    row.SetText(CTopicTable::fTitle, info.title);
    row.SetNow(CTopicTable::fInDate);
    // The address tells a page saved again from one saved elsewhere.
    row.SetText(CTopicTable::fRemark, address.empty() ? kRemarkText : address);

    return StoreDownload(OfflineTable::Topic, row, CTopicTable::fContent, path,
                         [&]
                         {
                             m_ui.RunOnUserInterfaceThread(
                                 [&]
                                 {
                                     if (CEditTreeItem* top = m_tree.GetRootItem())
                                     {
                                         m_tree.AddChildAndNotify(top, kOtherArticlesNodeText);
                                         m_tree.SaveTree(nullptr);
                                     }
                                 });
                         });
}
