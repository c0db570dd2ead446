#include "import_common.h"

#include "edit_tree_model.h"
#include "file_helpers.h"
#include "mhtml_decode.h"
#include "text.h"
#include "user_interface.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

CContentImporter::CContentImporter(COfflineStore& store, const CAppPaths& paths,
                                   const CAppConfig& config, CEditTreeModel& tree,
                                   IImportUserInterface& ui)
    : m_store(store), m_paths(paths), m_config(config), m_tree(tree), m_ui(ui)
{
}

void CContentImporter::EnsureRoomNode(const char* categoryText, std::int32_t roomId,
                                      const std::string& roomName)
{
    m_ui.RunOnUserInterfaceThread([&] {
        CEditTreeItem* category = m_tree.FindChildByText(m_tree.GetRootItem(), categoryText);
        if (!category)
            return; // without its category node the room has nowhere to go
        if (m_tree.FindItemById(roomId))
            return; // known room, even under another name
        CEditTreeItem* room = m_tree.AddChildAndNotify(category, roomName);
        m_tree.SetNodeId(room, roomId);
        m_tree.SaveTree(nullptr);
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

bool CopyFileIfAbsent(const std::string& from, const std::string& to)
{
    if (to.empty())
        return false;
    const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0)
    {
        close(in);
        return false;
    }
    bool ok = true;
    char buffer[65536];
    for (;;)
    {
        const ssize_t got = read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
        {
            ok = got == 0;
            break;
        }
        for (ssize_t done = 0; done < got;)
        {
            const ssize_t put = write(out, buffer + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
            {
                ok = false;
                break;
            }
            done += put;
        }
        if (!ok)
            break;
    }
    close(in);
    if (close(out) != 0)
        ok = false;
    if (!ok)
        unlink(to.c_str()); // no half copy under the display name
    return ok;
}

long ExtractCharset(const std::string& text, std::string& charset)
{
    // Pages write Charset= and CHARSET= as well; lowering keeps the offsets.
    const std::string lowered = ToLowerAscii(text);
    const std::string marker = "charset=";
    for (size_t at = lowered.find(marker); at != std::string::npos; at = lowered.find(marker, at + 1))
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
