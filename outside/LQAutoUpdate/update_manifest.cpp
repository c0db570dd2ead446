#include "outside/LQAutoUpdate/update_manifest.h"

#include <curl/curl.h>

#include <cstdlib>
#include <map>

namespace
{

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

bool IsWebAddress(std::string_view url)
{
    const bool web = (url.starts_with("http://") && url.size() > 7) ||
                     (url.starts_with("https://") && url.size() > 8);
    if (!web)
        return false;
    // No white space or control characters: the address goes to libcurl as is.
    for (unsigned char c : url)
        if (c <= 0x20 || c == 0x7F)
            return false;
    return true;
}

struct Body
{
    std::string bytes;
    std::size_t limit;
    bool tooLarge = false;
};

size_t OnData(char* data, size_t size, size_t count, void* user)
{
    Body& body = *static_cast<Body*>(user);
    const size_t n = size * count;
    if (body.bytes.size() + n > body.limit)
    {
        body.tooLarge = true;
        return 0; // aborts the transfer
    }
    body.bytes.append(data, n);
    return n;
}

void SetError(std::string* error, std::string text)
{
    if (error)
        *error = std::move(text);
}

} // namespace

std::string CVersion::Text() const
{
    return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch);
}

std::optional<CVersion> ParseVersion(std::string_view text)
{
    unsigned parts[3] = {};
    size_t i = 0;
    for (int p = 0; p < 3; ++p)
    {
        if (p > 0)
        {
            if (i >= text.size() || text[i] != '.')
                return std::nullopt;
            ++i;
        }
        const size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 10)
            parts[p] = parts[p] * 10 + static_cast<unsigned>(text[i++] - '0');
        if (i == start || i - start > 9)
            return std::nullopt;
    }
    if (i != text.size())
        return std::nullopt;
    return CVersion{parts[0], parts[1], parts[2]};
}

std::optional<CUpdateManifest> ParseUpdateManifest(std::string_view text)
{
    std::map<std::string, std::string, std::less<>> values;
    while (!text.empty())
    {
        const size_t end = text.find('\n');
        std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line.front() == '#')
            continue;
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            return std::nullopt;
        const std::string key(Trim(line.substr(0, eq)));
        if (!values.emplace(key, std::string(Trim(line.substr(eq + 1)))).second)
            return std::nullopt; // a key twice: which one would the maker mean?
    }
    const auto version = values.find("version");
    const auto package = values.find("package");
    const auto sha = values.find("sha256");
    if (version == values.end() || package == values.end() || sha == values.end())
        return std::nullopt;
    CUpdateManifest manifest;
    const std::optional<CVersion> parsed = ParseVersion(version->second);
    if (!parsed || !IsWebAddress(package->second) || sha->second.size() != 64)
        return std::nullopt;
    manifest.version = *parsed;
    manifest.packageUrl = package->second;
    for (char c : sha->second)
    {
        if (c >= 'A' && c <= 'F')
            c = static_cast<char>(c - 'A' + 'a');
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return std::nullopt;
        manifest.sha256 += c;
    }
    return manifest;
}

std::string GetUpdateUrl()
{
    const char* value = std::getenv(kUpdateUrlEnvironmentVariable);
    if (value && *value && IsWebAddress(value))
        return value;
    return kBuiltInUpdateUrl;
}

std::optional<CUpdateManifest> FetchUpdateManifest(const std::string& url, std::string* error,
                                                   const CManifestFetchLimits& limits)
{
    CURL* curl = curl_easy_init();
    if (!curl)
    {
        SetError(error, "libcurl cannot start");
        return std::nullopt;
    }
    Body body{{}, limits.maxBytes};
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 3L);
    // The total time-out covers the name look-up too (libcurl resolves on a
    // thread of its own), so start-up is never held longer than this.
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, limits.totalTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    // Otherwise a time-out during the look-up still waits for the resolver
    // thread, as long as the name server takes to give up (10 s and more).
    curl_easy_setopt(curl, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnData);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "MyZELK update query");
    const CURLcode rc = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);

    if (body.tooLarge)
    {
        SetError(error,
                 "the manifest is larger than " + std::to_string(limits.maxBytes) + " bytes");
        return std::nullopt;
    }
    if (rc != CURLE_OK)
    {
        SetError(error, curl_easy_strerror(rc));
        return std::nullopt;
    }
    if (status != 200)
    {
        SetError(error, "HTTP status " + std::to_string(status));
        return std::nullopt;
    }
    std::optional<CUpdateManifest> manifest = ParseUpdateManifest(body.bytes);
    if (!manifest)
        SetError(error, "not a version manifest");
    return manifest;
}
