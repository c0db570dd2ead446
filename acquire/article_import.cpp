#include "acquire/article_import.h"

#include "acquire/import_common.h"
#include "acquire/url_classify.h"
#include "acquire/user_interface.h"
#include "base/debug_log.h"
#include "base/file_helpers.h"
#include "config/app_config.h"
#include "store/offline_store.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <vector>

namespace
{

constexpr const char* kClassLinkId = "ArticleTitle1_ArticleTitle1_hlClass\" href=\"";
constexpr const char* kClassPath = "/articlelist.aspx?c=";
constexpr const char* kTitleMarker = "ArticleTitle1_ArticleTitle1_lblTitle\">";
constexpr const char* kAuthorLinkId = "ArticleTitle1_ArticleTitle1_AuthorLink\" href=\"";
constexpr const char* kAuthorPath = "/user/";

// TextBetween from `start` with the first begin marker that finds something;
// -1 when none does or when an earlier search already failed.
long SearchFrom(const std::string& text, long start, const std::vector<std::string>& begins,
                const std::string& end, std::string& out)
{
    if (start < 0)
        return -1;
    for (const std::string& begin : begins)
    {
        const long found = TextBetween(text, start, begin, end, out);
        if (found >= 0)
            return found;
    }
    return -1;
}

std::vector<std::string> LinkMarkers(const char* linkId, const char* path, const std::string& host)
{
    std::vector<std::string> markers{std::string(linkId) + path};
    if (!host.empty())
        markers.push_back(std::string(linkId) + "http://" + host + path);
    return markers;
}

} // namespace

void ParseArticleText(const std::string& text, CArticleInfo& info, const std::string& developHost)
{
    std::string classNumber;
    std::string className;
    std::string title;
    std::string author;

    long position =
        SearchFrom(text, 0, LinkMarkers(kClassLinkId, kClassPath, developHost), "\"", classNumber);
    position = SearchFrom(text, position, {">"}, "<", className);
    position = SearchFrom(text, position, {kTitleMarker}, "<", title);
    SearchFrom(text, position, LinkMarkers(kAuthorLinkId, kAuthorPath, developHost), "\"", author);

    // Saturated like atoi itself: the offset must not overflow a huge number.
    const long long offsetNumber =
        static_cast<long long>(AtoiText(classNumber)) + kArticleClassIdOffset;
    info.classNumber = static_cast<std::int32_t>(
        std::min<long long>(offsetNumber, std::numeric_limits<std::int32_t>::max()));
    info.className = DecodeHtmlReferences(className);
    info.title = DecodeHtmlReferences(title);
    info.author = DecodeHtmlReferences(author);
}

int ParseArticleFile(std::int32_t id, const std::string& path, CArticleInfo& info,
                     const std::string& developHost)
{
    std::vector<unsigned char> bytes;
    if (!ReadFileWithTrailingZero(path, bytes))
        return 0;
    info.id = id;
    const std::string archive(reinterpret_cast<const char*>(bytes.data()), bytes.size() - 1);
    ParseArticleText(PageTextFromArchive(archive), info, developHost);
    return 1;
}

CImportResult CContentImporter::ImportArticleFile(const std::string& address,
                                                  const std::string& path)
{
    const std::string host = m_config.GetHostForDevelop();
    const int id = ParseArticleId(address, host);
    if (id < 1)
    {
        m_ui.SetStatusText("无法处理指定的URL链接 : " + address);
        return {};
    }

    CArticleInfo info;
    if (!ParseArticleFile(id, path, info, host))
    {
        m_ui.SetStatusText("无法正确读取文档数据");
        return {};
    }

    CDevelopTable row;
    row.SetLong(CDevelopTable::fID, info.id);
    row.SetText(CDevelopTable::fTitle, info.title);
    row.SetLong(CDevelopTable::fRoomID, info.classNumber);
    row.SetText(CDevelopTable::fRoomName, info.className);
    row.SetNow(CDevelopTable::fInDate);
    row.SetText(CDevelopTable::fAuthor, info.author);
    row.SetText(CDevelopTable::fRemark, kRemarkText);

    return StoreDownload(OfflineTable::Develop, row, CDevelopTable::fContent, path,
                         [&]
                         {
                             EnsureRoomNode(kDevelopNodeText, row.GetLong(CDevelopTable::fRoomID),
                                            row.GetText(CDevelopTable::fRoomName));
                         });
}
