#include "platform/net/cookie_store.h"
#include "platform/net/url_fetch.h"
#include "tests/support/sample_service_process.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace
{
CStoredCookie Cookie(const std::string& name, const std::string& value, const std::string& domain,
                     const std::string& path = "/")
{
    CStoredCookie c;
    c.name = name;
    c.value = value;
    c.domain = domain;
    c.path = path;
    return c;
}

int64_t InSeconds(int64_t seconds)
{
    return static_cast<int64_t>(std::time(nullptr)) + seconds;
}
} // namespace

TEST(CookieStoreTest, AnswersForAnAddressAsABrowserWouldSend)
{
    CCookieStore store;
    ASSERT_TRUE(store.SetCookie(Cookie("ZelkUser", "tester", "community.zelk.example")));
    ASSERT_TRUE(store.SetCookie(Cookie("Site", "all", ".zelk.example")));
    ASSERT_TRUE(store.SetCookie(Cookie("Deep", "1", "community.zelk.example", "/Expert")));
    ASSERT_TRUE(store.SetCookie(Cookie("Local", "ip", "127.0.0.1")));
    CStoredCookie secure = Cookie("Tls", "only", "community.zelk.example");
    secure.secure = true;
    ASSERT_TRUE(store.SetCookie(secure));
    CStoredCookie old = Cookie("Old", "gone", "community.zelk.example");
    old.expires = InSeconds(-60);
    ASSERT_TRUE(store.SetCookie(old));
    CStoredCookie later = Cookie("Later", "kept", "community.zelk.example");
    later.expires = InSeconds(3600);
    later.httpOnly = true; // still sent: the text goes into a request header, not to scripts
    ASSERT_TRUE(store.SetCookie(later));

    const std::pair<const char*, const char*> table[] = {
        {"http://community.zelk.example", "ZelkUser=tester; Site=all; Later=kept"},
        {"http://COMMUNITY.zelk.example:8080/", "ZelkUser=tester; Site=all; Later=kept"},
        // Longer paths first.
        {"http://community.zelk.example/Expert/reply.asp",
         "Deep=1; ZelkUser=tester; Site=all; Later=kept"},
        {"http://community.zelk.example/Expert", "Deep=1; ZelkUser=tester; Site=all; Later=kept"},
        {"http://community.zelk.example/ExpertX", "ZelkUser=tester; Site=all; Later=kept"},
        {"https://community.zelk.example/", "ZelkUser=tester; Site=all; Tls=only; Later=kept"},
        {"http://develop.zelk.example", "Site=all"},
        {"http://zelk.example", "Site=all"},
        {"http://xzelk.example", ""},
        {"http://sub.community.zelk.example", "Site=all"},
        {"http://127.0.0.1:4000", "Local=ip"},
        {"http://127.0.0.2", ""},
        {"", ""},
    };
    for (const auto& [url, expected] : table)
        EXPECT_EQ(store.CookieTextFor(url), expected) << url;
}

TEST(CookieStoreTest, SameNameDomainAndPathReplacesAndExpiryRemoves)
{
    CCookieStore store;
    ASSERT_TRUE(store.SetCookie(Cookie("A", "1", "Host.example")));
    ASSERT_TRUE(store.SetCookie(Cookie("A", "other path", "host.example", "/x")));
    ASSERT_TRUE(store.SetCookie(Cookie("A", "2", "host.example")));
    EXPECT_EQ(store.CookieTextFor("http://host.example/x/y"), "A=other path; A=2");
    CStoredCookie expired = Cookie("A", "", "host.example");
    expired.expires = 1;
    ASSERT_TRUE(store.SetCookie(expired));
    EXPECT_EQ(store.CookieTextFor("http://host.example/x"), "A=other path");
    EXPECT_TRUE(store.RemoveCookie("A", "HOST.example", "/x"));
    EXPECT_FALSE(store.RemoveCookie("A", "host.example", "/x"));
    EXPECT_TRUE(store.Cookies().empty());

    // What would break the header or a line of the file is refused.
    EXPECT_FALSE(store.SetCookie(Cookie("B", "1; C=2", "host.example")));
    EXPECT_FALSE(store.SetCookie(Cookie("B", "tab\there", "host.example")));
    EXPECT_FALSE(store.SetCookie(Cookie("B=C", "1", "host.example")));
    EXPECT_FALSE(store.SetCookie(Cookie("B", "1", "")));
    EXPECT_TRUE(store.Cookies().empty());
}

TEST(CookieStoreTest, FileKeepsEveryAttributeAndReadersFollowItsReplacement)
{
    ScratchDir dir;
    const std::string file = dir.File("cookies.txt");
    CCookieStore reader(file);
    EXPECT_EQ(reader.CookieTextFor("http://community.zelk.example"), "");

    CCookieStore writer;
    CStoredCookie a = Cookie("ZelkUser", "tester", "community.zelk.example", "/Expert");
    a.httpOnly = true;
    a.expires = InSeconds(86400);
    CStoredCookie b = Cookie("Site", "", ".zelk.example");
    b.secure = true;
    ASSERT_TRUE(writer.SetCookie(a));
    ASSERT_TRUE(writer.SetCookie(b));
    std::string error;
    ASSERT_TRUE(writer.Save(file, &error)) << error;
    EXPECT_EQ(dir.EntryCount(), 1u) << "temporary file left beside the cookie file";
    struct stat st;
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "sign-ins must not be readable by others";

    const std::vector<CStoredCookie> read = reader.Cookies();
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].name, "ZelkUser");
    EXPECT_EQ(read[0].value, "tester");
    EXPECT_EQ(read[0].domain, "community.zelk.example");
    EXPECT_EQ(read[0].path, "/Expert");
    EXPECT_EQ(read[0].expires, a.expires);
    EXPECT_TRUE(read[0].httpOnly);
    EXPECT_FALSE(read[0].secure);
    EXPECT_EQ(read[1].domain, ".zelk.example");
    EXPECT_EQ(read[1].value, "");
    EXPECT_TRUE(read[1].secure);
    EXPECT_EQ(read[1].expires, 0);

    // A replacement within the same second and of the same size is seen too.
    ASSERT_TRUE(writer.RemoveCookie("ZelkUser", "community.zelk.example", "/Expert"));
    a.value = "other!";
    ASSERT_TRUE(writer.SetCookie(a));
    ASSERT_TRUE(writer.Save(file));
    EXPECT_EQ(reader.CookieTextFor("http://community.zelk.example/Expert/x"), "ZelkUser=other!");

    std::filesystem::remove(file);
    EXPECT_TRUE(reader.Cookies().empty());

    CCookieStore loaded;
    EXPECT_TRUE(loaded.Load(file)) << "a missing file is an empty store";
    EXPECT_FALSE(loaded.Load(dir.Path())) << "a folder is no cookie file";
}

// The downloads send what the browser keeps, each cookie to its own host,
// also after a redirect.
TEST(CookieStoreTest, FetchesSendTheStoredCookiesOfTheirHost)
{
    SampleServiceProcess service;
    ASSERT_TRUE(service.Running());
    CCookieStore store;
    ASSERT_TRUE(store.SetCookie(Cookie("ZelkUser", "panel", "127.0.0.1")));
    CStoredCookie session = Cookie("Sess", "x", "127.0.0.1");
    session.httpOnly = true;
    ASSERT_TRUE(store.SetCookie(session));
    ASSERT_TRUE(store.SetCookie(Cookie("Elsewhere", "no", "community.zelk.example")));
    ASSERT_TRUE(store.SetCookie(Cookie("Deeper", "no", "127.0.0.1", "/other")));

    FetchOptions options;
    options.connectTimeoutMs = 2000;
    options.totalTimeoutMs = 5000;
    options.cookies = &store;
    FetchResult direct = FetchUrl(service.Url("/cookie/echo"), options);
    ASSERT_TRUE(direct.ok) << direct.error;
    EXPECT_EQ(direct.body, "ZelkUser=panel; Sess=x");

    FetchResult redirected = FetchUrl(service.Url("/redirect?to=/cookie/echo"), options);
    ASSERT_TRUE(redirected.ok) << redirected.error;
    EXPECT_EQ(redirected.body, "ZelkUser=panel; Sess=x");

    EXPECT_EQ(FetchUrl(service.Url("/cookie/echo"), FetchOptions{}).body, "");
}
