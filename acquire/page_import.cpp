#include "acquire/page_import.h"

#include "acquire/import_common.h"
#include "acquire/user_interface.h"
#include "base/file_helpers.h"
#include "platform/text.h"
#include "store/offline_store.h"
#include "tree/edit_tree_model.h"

#include <cstring>
#include <string_view>
#include <vector>

namespace
{
constexpr const char* kSpaces = " \t\n\f\r";

bool IsTagNameEnd(char c)
{
    return c == '>' || c == '/' || (c != '\0' && std::strchr(kSpaces, c) != nullptr);
}

// Whether a tag of `name` (lowered, with its "<") starts at `at`.
bool TagStartsAt(const std::string& lowered, size_t at, std::string_view name)
{
    return lowered.compare(at, name.size(), name) == 0 &&
           (at + name.size() == lowered.size() || IsTagNameEnd(lowered[at + name.size()]));
}

// Just after the ">" that ends the start tag whose attributes begin at
// `from`; quoted attribute values may hold a ">". npos when it never ends.
size_t EndOfStartTag(const std::string& text, size_t from)
{
    for (size_t i = from; i < text.size(); ++i)
    {
        if (text[i] == '>')
            return i + 1;
        if ((text[i] == '"' || text[i] == '\'') && i > from && text[i - 1] == '=')
        {
            i = text.find(text[i], i + 1);
            if (i == std::string::npos)
                return std::string::npos;
        }
    }
    return std::string::npos;
}

// Runs of blanks and line breaks become one space; none at either end.
std::string CollapseWhiteSpace(const std::string& text)
{
    std::string out;
    bool pending = false;
    for (const char c : text)
    {
        if (std::strchr(kSpaces, c) && c != '\0')
        {
            pending = !out.empty();
            continue;
        }
        if (pending)
            out += ' ';
        pending = false;
        out += c;
    }
    return out;
}
} // namespace

std::string TitleFromPageText(const std::string& text)
{
    // The first title element in the document, outside comments and the
    // raw text of scripts and styles, with any spelling and attributes.
    const std::string lowered = ToLowerAscii(text);
    for (size_t at = lowered.find('<'); at != std::string::npos; at = lowered.find('<', at + 1))
    {
        if (lowered.compare(at, 4, "<!--") == 0)
        {
            at = lowered.find("-->", at + 4);
            if (at == std::string::npos)
                return {};
            continue;
        }
        for (const std::string_view raw : {"script", "style"})
        {
            if (TagStartsAt(lowered, at, "<" + std::string(raw)))
            {
                at = lowered.find("</" + std::string(raw), at + 1);
                if (at == std::string::npos)
                    return {};
            }
        }
        if (!TagStartsAt(lowered, at, "<title"))
            continue;
        const size_t begin = EndOfStartTag(text, at + 6);
        if (begin == std::string::npos)
            return {};
        // The title's text runs to its end tag, or to the end of the page.
        size_t end = lowered.find("</title", begin);
        if (end == std::string::npos)
            end = text.size();
        return CollapseWhiteSpace(DecodeHtmlReferences(text.substr(begin, end - begin)));
    }
    return {};
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
                             EditRoomTree(
                                 [&]
                                 {
                                     if (CEditTreeItem* top = m_tree.GetRootItem())
                                         m_tree.AddChildAndNotify(top, kOtherArticlesNodeText);
                                 });
                         });
}
