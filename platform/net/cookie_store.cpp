#include "platform/net/cookie_store.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
constexpr const char* kHttpOnlyPrefix = "#HttpOnly_";

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool HasControl(const std::string& text)
{
    return std::any_of(text.begin(), text.end(),
                       [](char c)
                       {
                           const auto u = static_cast<unsigned char>(c);
                           return u < 0x20 || u == 0x7f;
                       });
}

// Brings a cookie into the form the store keeps; false when it cannot be
// kept (it would break the Cookie header or a line of the file).
bool Normalize(CStoredCookie& c)
{
    c.domain = Lower(c.domain);
    if (c.path.empty())
        c.path = "/";
    if (c.domain.empty() || c.domain == "." || c.path[0] != '/')
        return false;
    if (HasControl(c.name) || HasControl(c.value) || HasControl(c.domain) || HasControl(c.path))
        return false;
    if (c.name.find_first_of("=;") != std::string::npos || c.value.find(';') != std::string::npos)
        return false;
    return c.domain.find_first_of(" ;,/") == std::string::npos &&
           c.path.find(';') == std::string::npos;
}

bool Expired(const CStoredCookie& c, int64_t now)
{
    return c.expires != 0 && c.expires <= now;
}

int64_t Now()
{
    return static_cast<int64_t>(std::time(nullptr));
}

bool SameKey(const CStoredCookie& a, const CStoredCookie& b)
{
    return a.name == b.name && a.domain == b.domain && a.path == b.path;
}

std::vector<std::string> SplitTabs(const std::string& line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    while (true)
    {
        const size_t tab = line.find('\t', start);
        fields.push_back(
            line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

bool ParseInt64(const std::string& text, int64_t& out)
{
    if (text.empty())
        return false;
    int64_t value = 0;
    for (char c : text)
    {
        if (c < '0' || c > '9' || value > (INT64_MAX - 9) / 10)
            return false;
        value = value * 10 + (c - '0');
    }
    out = value;
    return true;
}

// Lines that are not cookies (comments, broken lines) are skipped, as
// libcurl does.
std::vector<CStoredCookie> ParseCookieFile(const std::string& text)
{
    std::vector<CStoredCookie> cookies;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
    {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        CStoredCookie c;
        if (line.rfind(kHttpOnlyPrefix, 0) == 0)
        {
            c.httpOnly = true;
            line.erase(0, std::strlen(kHttpOnlyPrefix));
        }
        else if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> f = SplitTabs(line);
        if (f.size() == 6)
            f.emplace_back(); // an empty value
        if (f.size() != 7 || !ParseInt64(f[4], c.expires))
            continue;
        c.domain = f[0];
        if (f[1] == "TRUE" && !c.domain.empty() && c.domain[0] != '.')
            c.domain.insert(0, ".");
        c.path = f[2];
        c.secure = f[3] == "TRUE";
        c.name = f[5];
        c.value = f[6];
        if (!Normalize(c))
            continue;
        auto same = std::find_if(cookies.begin(), cookies.end(),
                                 [&](const CStoredCookie& o) { return SameKey(o, c); });
        if (same != cookies.end())
            *same = c;
        else
            cookies.push_back(std::move(c));
    }
    return cookies;
}

bool ReadWholeFile(const std::string& path, std::string& out, bool& missing)
{
    missing = false;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
    {
        missing = errno == ENOENT;
        return false;
    }
    std::string text;
    char buffer[8192];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        text.append(buffer, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    if (ok)
        out = std::move(text);
    return ok;
}

struct Url
{
    bool https = false;
    std::string host;
    std::string path = "/";
};

Url ParseUrl(const std::string& text)
{
    Url url;
    std::string rest = text;
    const size_t scheme = rest.find("://");
    if (scheme != std::string::npos)
    {
        url.https = Lower(rest.substr(0, scheme)) == "https";
        rest.erase(0, scheme + 3);
    }
    const size_t end = rest.find_first_of("/?#");
    std::string authority = rest.substr(0, end);
    const size_t at = authority.rfind('@');
    if (at != std::string::npos)
        authority.erase(0, at + 1);
    if (!authority.empty() && authority[0] == '[')
        url.host = authority.substr(0, authority.find(']') + 1);
    else
        url.host = authority.substr(0, authority.find(':'));
    url.host = Lower(url.host);
    if (!url.host.empty() && url.host.back() == '.')
        url.host.pop_back();
    if (end != std::string::npos && rest[end] == '/')
    {
        const size_t stop = rest.find_first_of("?#", end);
        url.path = rest.substr(end, stop == std::string::npos ? std::string::npos : stop - end);
    }
    return url;
}

bool DomainMatches(const std::string& domain, const std::string& host)
{
    if (domain[0] != '.')
        return host == domain;
    return host == domain.substr(1) ||
           (host.size() > domain.size() &&
            host.compare(host.size() - domain.size(), domain.size(), domain) == 0);
}

bool PathMatches(const std::string& cookiePath, const std::string& requestPath)
{
    if (requestPath.rfind(cookiePath, 0) != 0)
        return false;
    return requestPath.size() == cookiePath.size() || cookiePath.back() == '/' ||
           requestPath[cookiePath.size()] == '/';
}

struct FileStamp
{
    bool known = false;
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    int64_t mtimeNs = 0;

    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& path)
{
    FileStamp stamp;
    stamp.known = true;
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return stamp;
    stamp.exists = true;
    stamp.dev = st.st_dev;
    stamp.ino = st.st_ino;
    stamp.size = st.st_size;
    stamp.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return stamp;
}
} // namespace

struct CCookieStore::Impl
{
    mutable std::mutex lock;
    mutable std::vector<CStoredCookie> cookies;
    std::string followed;
    mutable FileStamp stamp;

    // Called with the lock held.
    void Refresh() const
    {
        if (followed.empty())
            return;
        const FileStamp now = StampOf(followed);
        if (now == stamp)
            return;
        std::string text;
        bool missing = false;
        if (now.exists && !ReadWholeFile(followed, text, missing) && !missing)
            return; // unreadable for now: keep what we had, try again next time
        cookies = ParseCookieFile(text);
        stamp = now;
    }
};

CCookieStore::CCookieStore() : m_impl(std::make_unique<Impl>()) {}

CCookieStore::CCookieStore(std::string followedFile) : CCookieStore()
{
    m_impl->followed = std::move(followedFile);
}

CCookieStore::~CCookieStore() = default;

bool CCookieStore::SetCookie(const CStoredCookie& given)
{
    CStoredCookie cookie = given;
    if (!Normalize(cookie))
        return false;
    std::lock_guard<std::mutex> guard(m_impl->lock);
    m_impl->Refresh();
    auto& list = m_impl->cookies;
    auto same = std::find_if(list.begin(), list.end(),
                             [&](const CStoredCookie& c) { return SameKey(c, cookie); });
    if (Expired(cookie, Now()))
    {
        if (same != list.end())
            list.erase(same);
    }
    else if (same != list.end())
        *same = std::move(cookie);
    else
        list.push_back(std::move(cookie));
    return true;
}

bool CCookieStore::RemoveCookie(const std::string& name, const std::string& domain,
                                const std::string& path)
{
    CStoredCookie key;
    key.name = name;
    key.domain = Lower(domain);
    key.path = path.empty() ? "/" : path;
    std::lock_guard<std::mutex> guard(m_impl->lock);
    m_impl->Refresh();
    auto& list = m_impl->cookies;
    auto same = std::find_if(list.begin(), list.end(),
                             [&](const CStoredCookie& c) { return SameKey(c, key); });
    if (same == list.end())
        return false;
    list.erase(same);
    return true;
}

void CCookieStore::Clear()
{
    std::lock_guard<std::mutex> guard(m_impl->lock);
    m_impl->Refresh();
    m_impl->cookies.clear();
}

std::vector<CStoredCookie> CCookieStore::Cookies() const
{
    std::lock_guard<std::mutex> guard(m_impl->lock);
    m_impl->Refresh();
    std::vector<CStoredCookie> out;
    const int64_t now = Now();
    for (const CStoredCookie& c : m_impl->cookies)
        if (!Expired(c, now))
            out.push_back(c);
    return out;
}

std::string CCookieStore::CookieTextFor(const std::string& address) const
{
    const Url url = ParseUrl(address);
    if (url.host.empty())
        return {};
    std::vector<CStoredCookie> matching;
    for (CStoredCookie& c : Cookies())
        if (DomainMatches(c.domain, url.host) && PathMatches(c.path, url.path) &&
            (!c.secure || url.https))
            matching.push_back(std::move(c));
    std::stable_sort(matching.begin(), matching.end(),
                     [](const CStoredCookie& a, const CStoredCookie& b)
                     { return a.path.size() > b.path.size(); });
    std::string text;
    for (const CStoredCookie& c : matching)
    {
        if (!text.empty())
            text += "; ";
        // A cookie without a name is sent as its bare value, as browsers do.
        text += c.name.empty() ? c.value : c.name + "=" + c.value;
    }
    return text;
}

std::string CCookieStore::Serialize() const
{
    std::string text =
        "# Netscape HTTP Cookie File\n"
        "# The cookies of MyZELK's browser panel, for the program's own downloads.\n\n";
    for (const CStoredCookie& c : Cookies())
        text += CookieFileLine(c) + "\n";
    return text;
}

bool CCookieStore::Save(const std::string& path, std::string* error) const
{
    auto fail = [&](const std::string& why)
    {
        if (error)
            *error = why + ": " + std::strerror(errno);
        return false;
    };
    const std::string text = Serialize();
    // mkstemp makes the file readable by its owner only, which suits what
    // is in it (sign-ins).
    std::string temp = path + ".partXXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0)
        return fail("cannot create a file beside " + path);
    size_t done = 0;
    while (done < text.size())
    {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
        {
            const int saved = errno;
            close(fd);
            unlink(temp.c_str());
            errno = saved;
            return fail("cannot write " + temp);
        }
        done += static_cast<size_t>(n);
    }
    if (close(fd) != 0 || std::rename(temp.c_str(), path.c_str()) != 0)
    {
        const int saved = errno;
        unlink(temp.c_str());
        errno = saved;
        return fail("cannot replace " + path);
    }
    return true;
}

bool CCookieStore::Load(const std::string& path)
{
    std::string text;
    bool missing = false;
    if (!ReadWholeFile(path, text, missing) && !missing)
        return false;
    std::vector<CStoredCookie> cookies = ParseCookieFile(text);
    std::lock_guard<std::mutex> guard(m_impl->lock);
    m_impl->cookies = std::move(cookies);
    return true;
}

std::string CookieFileLine(const CStoredCookie& c)
{
    const bool domainCookie = !c.domain.empty() && c.domain[0] == '.';
    return (c.httpOnly ? kHttpOnlyPrefix : "") + c.domain + "\t" +
           (domainCookie ? "TRUE" : "FALSE") + "\t" + c.path + "\t" +
           (c.secure ? "TRUE" : "FALSE") + "\t" + std::to_string(c.expires) + "\t" + c.name + "\t" +
           c.value;
}

std::string BrowserProfileDir(const std::string& appDir)
{
    return appDir + kBrowserProfileFolder;
}

std::string BrowserCookieFile(const std::string& appDir)
{
    return BrowserProfileDir(appDir) + "/" + kBrowserCookieFileName;
}
