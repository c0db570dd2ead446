#include "acquire/url_classify.h"

#include "base/file_helpers.h"
#include "config/app_config.h"
#include "platform/text.h"

#include <exception>

namespace
{

bool StartsWithHostPrefix(const std::string& address, const std::string& host)
{
    const std::string prefix = "http://" + host;
    std::string common;
    if (CommonPrefix(prefix, address, common) < prefix.size())
        return false;
    // The host must end where the configured one does: "host.other.example"
    // only begins with the name.
    if (address.size() == prefix.size() || prefix.back() == '/')
        return true;
    const char next = address[prefix.size()];
    return next == '/' || next == ':';
}

// The part of a "folder/number" text after its first "/", or all of it.
std::string AfterFirstSlash(const std::string& text)
{
    const size_t slash = text.find('/');
    return slash == std::string::npos ? text : text.substr(slash + 1);
}

int IdFromText(const std::string& idText)
{
    if (idText.empty() || !IsAllDigits(idText))
        return -2;
    return AtoiText(idText);
}

} // namespace

int ParseTopicId(const std::string& address, const std::string& host)
{
    try
    {
        if (!StartsWithHostPrefix(address, host))
            return -1;

        std::string idText;
        std::string page;
        const long afterExpert = TextBetween(address, 0, "Expert/", "=", page);
        if (afterExpert >= 0 && !page.empty() &&
            (EqualsIgnoreCaseAscii(page, "TopicView1.asp?id") ||
             EqualsIgnoreCaseAscii(page, "TopicView.asp?id")))
        {
            idText = address.substr(static_cast<size_t>(afterExpert) + page.size() + 1);
        }

        if (idText.empty())
        {
            std::string xmlPath;
            if (TextBetween(address, 0, "Expert/topic/", ".xml", xmlPath) >= 0 && !xmlPath.empty())
                idText = AfterFirstSlash(xmlPath);
        }
        return IdFromText(idText);
    }
    catch (const std::exception&)
    {
        return 0;
    }
}

int ParseArticleId(const std::string& address, const std::string& developHost)
{
    try
    {
        if (!StartsWithHostPrefix(address, developHost))
            return -1;

        std::string articlePath;
        std::string idText;
        if (TextBetween(address, 0, "article/", ".shtm", articlePath) >= 0 && !articlePath.empty())
            idText = AfterFirstSlash(articlePath);
        return IdFromText(idText);
    }
    catch (const std::exception&)
    {
        return 0;
    }
}

DownloadKind ClassifyDownload(const std::string& address, const CClassifyHosts& hosts)
{
    if (ParseTopicId(address, hosts.community) > 0 || ParseTopicId(address, hosts.fullSearch) > 0)
        return CommunityTopic;
    if (ParseArticleId(address, hosts.develop) > 0)
        return DevelopArticle;
    return OtherPage;
}

CClassifyHosts ClassifyHostsFromConfig(const CAppConfig& config)
{
    return {config.GetHostForCommunity(), config.GetHostForDevelop(),
            config.GetHostForFullSearchCommunity()};
}

int ParseArticleId(const std::string& address, const CAppConfig& config)
{
    return ParseArticleId(address, config.GetHostForDevelop());
}

DownloadKind ClassifyDownload(const std::string& address, const CAppConfig& config)
{
    return ClassifyDownload(address, ClassifyHostsFromConfig(config));
}
