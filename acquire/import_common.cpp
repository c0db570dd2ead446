#include "acquire/import_common.h"

#include "acquire/html_entities.h"
#include "acquire/mhtml_decode.h"
#include "acquire/user_interface.h"
#include "base/debug_log.h"
#include "base/file_helpers.h"
#include "platform/text.h"
#include "store/display_copy.h"
#include "store/offline_store.h"
#include "store/offline_tables.h"
#include "tree/edit_tree_model.h"

#include <unistd.h>

CContentImporter::CContentImporter(COfflineStore& store, const CAppPaths& paths,
                                   const CAppConfig& config, CEditTreeModel& tree,
                                   IImportUserInterface& ui)
    : m_store(store), m_paths(paths), m_config(config), m_tree(tree), m_ui(ui)
{
}

namespace
{
// A downloaded name as a tree label: control characters become blanks, and a
// name that ends up empty still gives a visible node.
std::string RoomLabel(const std::string& name)
{
    std::string label = name;
    for (char& c : label)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    const size_t first = label.find_first_not_of(' ');
    if (first == std::string::npos)
        return "(NULL)";
    return label.substr(first, label.find_last_not_of(' ') - first + 1);
}
} // namespace

CImportResult CContentImporter::StoreDownload(OfflineTable table, COfflineTable& row,
                                              long contentColumn, const std::string& path,
                                              const std::function<void()>& addRoomNode)
{
    CImportResult result;
    std::vector<unsigned char> content;
    if (!ReadFileWithTrailingZero(path, content))
        return result;
    row.SetBinary(contentColumn, content.data(), static_cast<long>(content.size()));

    std::string reason;
    result.outcome = m_store.SaveRecord(row, &reason);
    if (result.outcome == StoreOutcome::Failed)
    {
        m_ui.SetStatusText("无法保存到数据库 : " + reason);
        return result;
    }
    // fID and fTitle lead the rows of tCommunity and tDevelop alike.
    const bool page = table == OfflineTable::Topic;
    result.key = page ? static_cast<CTopicTable&>(row).Key() : row.GetLong(CCommunityTable::fID);
    result.title = row.GetText(page ? long{CTopicTable::fTitle} : long{CCommunityTable::fTitle});
    result.displayPath = m_store.DisplayPath(table, result.key);

    // Written from what was stored, so the copy is the row's; an older copy
    // of the item is replaced whole.
    std::string error;
    if (!WriteFileReplacing(result.displayPath, content.data(), content.size() - 1, &error))
    {
        // Opening the item writes it again; an older copy must not stand in.
        WriteDebugLog(("Display copy not written: " + error).c_str());
        unlink(result.displayPath.c_str());
    }

    addRoomNode();
    return result;
}

void CContentImporter::EnsureRoomNode(const char* categoryText, std::int32_t roomId,
                                      const std::string& roomName)
{
    std::string label = RoomLabel(roomName);
    EditRoomTree(
        [&]
        {
            CEditTreeItem* category = m_tree.FindChildByText(m_tree.GetRootItem(), categoryText);
            if (!category)
            {
                // Without its category node the room has nowhere to go.
                WriteDebugLog((std::string("Room tree has no node ") + categoryText).c_str());
                return;
            }
            if (m_tree.FindItemById(roomId))
                return; // known room, even under another name
            // Adding returns an existing child of the same text; giving it this id
            // would take that room's node away from it, so the new room gets its
            // own label.
            if (m_tree.HasChildWithText(category, label))
                label += " (" + std::to_string(roomId) + ")";
            CEditTreeItem* room = m_tree.AddChildAndNotify(category, label);
            m_tree.SetNodeId(room, roomId);
            m_tree.SaveTree(nullptr);
        });
}

void CContentImporter::EditRoomTree(const std::function<void()>& change)
{
    m_ui.RunOnUserInterfaceThread(
        [&]
        {
            // Other processes add rooms too: the change is made to the file as it is now.
            if (!m_tree.EditPersisted(change))
            {
                const std::string reason = m_tree.LastSaveError();
                WriteDebugLog(("Room tree not saved: " + reason).c_str());
                m_ui.SetStatusText("无法保存房间树 : " + reason);
            }
        });
}

bool ReadFileWithTrailingZero(const std::string& path, std::vector<unsigned char>& bytes)
{
    const long size = GetFileSizeOrReport(path.c_str());
    if (size < 0)
        return false;
    bytes.assign(static_cast<size_t>(size) + 1, 0);
    return ReadWholeFile(path.c_str(), bytes.data(), size) == 1;
}

long ExtractCharset(const std::string& text, std::string& charset)
{
    // Pages write Charset= and CHARSET= as well; lowering keeps the offsets.
    const std::string lowered = ToLowerAscii(text);
    const std::string marker = "charset=";
    for (size_t at = lowered.find(marker); at != std::string::npos;
         at = lowered.find(marker, at + 1))
    {
        size_t begin = at + marker.size();
        size_t end;
        if (begin < text.size() && (text[begin] == '"' || text[begin] == '\''))
        {
            const char quote = text[begin++];
            end = text.find(quote, begin);
        }
        else
        {
            end = text.find_first_of("\"'; \t\r\n>/", begin);
        }
        if (end == std::string::npos)
            end = text.size();
        if (end > begin)
        {
            charset = text.substr(begin, end - begin);
            return static_cast<long>(at + marker.size());
        }
    }
    return -1;
}

namespace
{
// The character of one reference body ("amp", "#38", "#x26"); 0 when unknown.
char32_t ReferenceValue(const std::string& body)
{
    if (body.size() < 2 || body[0] != '#')
        return NamedReferenceCode(body);
    const bool hex = body[1] == 'x' || body[1] == 'X';
    const std::string digits = body.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 7)
        return 0;
    unsigned long code = 0;
    for (const char c : digits)
    {
        int value;
        if (c >= '0' && c <= '9')
            value = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            value = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            value = c - 'A' + 10;
        else
            return 0;
        code = code * (hex ? 16 : 10) + static_cast<unsigned long>(value);
    }
    return NumericReferenceCode(code);
}
} // namespace

std::string DecodeHtmlReferences(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == '&')
        {
            const size_t semicolon = text.find(';', i + 1);
            if (semicolon != std::string::npos && semicolon - i <= 10)
            {
                if (const char32_t code = ReferenceValue(text.substr(i + 1, semicolon - i - 1)))
                {
                    AppendUtf8(out, code);
                    i = semicolon;
                    continue;
                }
            }
        }
        out += text[i];
    }
    return out;
}

std::string PageTextFromArchive(const std::string& archive)
{
    CArchiveMainPart part = DecodeArchiveMainPart(archive);
    std::string& html = part.body;
    if (const size_t zero = html.find('\0'); zero != std::string::npos)
        html.resize(zero);

    std::string charset = part.charset;
    if (charset.empty())
        ExtractCharset(html, charset);
    return DecodeToUtf8(html, charset);
}
