// The cookies of the embedded browser, for the parts of the program that make
// HTTP requests of their own (downloads, the reply poster) and for the
// command-line companion, which has no browser. The browser panel mirrors
// every cookie it holds into a store and saves it, atomically, to a file in
// its profile folder (Netscape cookie-file format, which libcurl also reads);
// other processes and modules read that file. All operations are
// thread-safe.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct CStoredCookie
{
    std::string name;
    std::string value;
    // As the browser gives it: a host-only cookie names its host
    // ("127.0.0.1"), a domain cookie starts with a dot (".zelk.example") and
    // also goes to every host below that domain.
    std::string domain;
    std::string path = "/";
    int64_t expires = 0; // seconds since 1970 (UTC); 0 for a session cookie
    bool secure = false;
    bool httpOnly = false;
};

class CCookieStore
{
public:
    CCookieStore();
    // A store that follows a file: before each answer the file is read again
    // when it has changed on disk (a missing file is an empty store).
    explicit CCookieStore(std::string followedFile);
    ~CCookieStore();
    CCookieStore(const CCookieStore&) = delete;
    CCookieStore& operator=(const CCookieStore&) = delete;

    // Adds the cookie or replaces the one with the same name, domain and
    // path; an expired cookie removes that one instead. Refuses (false) a
    // cookie without domain, or with characters that cannot travel in a
    // Cookie header or a cookie-file line.
    bool SetCookie(const CStoredCookie& cookie);
    // True when a cookie with that name, domain and path was there.
    bool RemoveCookie(const std::string& name, const std::string& domain, const std::string& path);
    void Clear();

    // The unexpired cookies, oldest first.
    std::vector<CStoredCookie> Cookies() const;

    // What a browser sends to `url` ("http://HOST[:PORT][/PATH]"): the
    // name=value pairs of the matching unexpired cookies joined by "; ",
    // longer paths first; empty when none match. Secure cookies go only to
    // https addresses.
    std::string CookieTextFor(const std::string& url) const;

    // The cookie-file text of the unexpired cookies.
    std::string Serialize() const;
    // Replaces `path` through a file beside it, so readers never see half.
    bool Save(const std::string& path, std::string* error = nullptr) const;
    // Replaces the content with the file's; a missing file gives an empty
    // store. False (content unchanged) when the file cannot be read.
    bool Load(const std::string& path);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// One line of a Netscape cookie file for `cookie` (no line break).
std::string CookieFileLine(const CStoredCookie& cookie);

// The folder of the browser panel's persistent profile inside the
// application folder, and the file where the panel keeps its cookies for the
// rest of the program. `appDir` ends with "/".
constexpr const char* kBrowserProfileFolder = "BrowserProfile";
constexpr const char* kBrowserCookieFileName = "cookies.txt";
std::string BrowserProfileDir(const std::string& appDir);
std::string BrowserCookieFile(const std::string& appDir);
