// What a web address is to the program: a forum topic (and its id), an
// article of the article site (and its id), or any other page. The hosts are
// bare names from the configuration; the rules put "http://" in front.
#pragma once

#include <cstdint>
#include <string>

class CAppConfig;

// Kind of a queued download, stored as a 32-bit integer in each request.
enum DownloadKind : std::int32_t
{
    CommunityTopic = 0, // forum topic, saved as XML
    DevelopArticle = 1, // article page, saved as a web archive
    OtherPage = 2,      // any other page, saved as a web archive
};

// The host names the rules compare with.
struct CClassifyHosts
{
    std::string community;  // HostForCommunity
    std::string develop;    // HostForDevelop
    std::string fullSearch; // HostForFullSearchCommunity
};

CClassifyHosts ClassifyHostsFromConfig(const CAppConfig& config);

// Positive: the id. -1: the address does not start with "http://" + host.
// -2: the prefix matches but no id could be taken. 0: parsing failed (or the
// id was 0). Callers treat every value below 1 as not recognised.
int ParseTopicId(const std::string& address, const std::string& host);
int ParseArticleId(const std::string& address, const std::string& developHost);
int ParseArticleId(const std::string& address, const CAppConfig& config);

DownloadKind ClassifyDownload(const std::string& address, const CClassifyHosts& hosts);
DownloadKind ClassifyDownload(const std::string& address, const CAppConfig& config);
