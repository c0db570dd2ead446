#include "platform/net/url_resolve.h"

#include "platform/text.h"

#include <curl/curl.h>

#include <memory>

namespace
{
struct UrlDeleter
{
    void operator()(CURLU* u) const { curl_url_cleanup(u); }
};

std::string_view TrimSpaces(std::string_view s)
{
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
        s.remove_suffix(1);
    return s;
}
} // namespace

bool IsHttpUrl(std::string_view url)
{
    std::string lower = ToLowerAscii(url.substr(0, 8));
    return lower.starts_with("http://") || lower.starts_with("https://");
}

std::optional<std::string> ResolveUrl(std::string_view base, std::string_view reference)
{
    reference = TrimSpaces(reference);
    if (reference.empty() || reference.front() == '#')
        return std::nullopt;
    std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
    if (!url)
        return std::nullopt;
    std::string baseText(base);
    if (curl_url_set(url.get(), CURLUPART_URL, baseText.c_str(), 0) != CURLUE_OK)
        return std::nullopt;
    std::string ref(reference);
    // Setting a relative address on a handle that holds one resolves it.
    if (curl_url_set(url.get(), CURLUPART_URL, ref.c_str(),
                     CURLU_URLENCODE | CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
        return std::nullopt;
    curl_url_set(url.get(), CURLUPART_FRAGMENT, nullptr, 0);
    char* scheme = nullptr;
    if (curl_url_get(url.get(), CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK)
        return std::nullopt;
    std::string schemeText = ToLowerAscii(scheme);
    curl_free(scheme);
    if (schemeText != "http" && schemeText != "https")
        return std::nullopt;
    char* full = nullptr;
    if (curl_url_get(url.get(), CURLUPART_URL, &full, 0) != CURLUE_OK)
        return std::nullopt;
    std::string result(full);
    curl_free(full);
    return result;
}
