#include "base/host_mapping.h"

#include <gtest/gtest.h>

namespace
{

CBuiltInHosts LocalService()
{
    return ApplyHostsOverride(CBuiltInHosts{}, "community=127.0.0.1:8080,develop=develop.localhost:"
                                               "8080");
}

struct MapCase
{
    const char* address;
    const char* expected; // null: not mapped
};

} // namespace

TEST(HostMappingTest, OnlyPlainHttpOnAReplacedNameAndTheDefaultPortIsMapped)
{
    const MapCase cases[] = {
        {"http://community.zelk.example/Expert/TopicView1.asp?id=4711#r2",
         "http://127.0.0.1:8080/Expert/TopicView1.asp?id=4711#r2"},
        {"HTTP://Community.ZELK.example:80/ad/banner.htm", "http://127.0.0.1:8080/ad/banner.htm"},
        {"http://develop.zelk.example?c=1", "http://develop.localhost:8080?c=1"},
        {"http://develop.zelk.example", "http://develop.localhost:8080"},
        {"http://user@community.zelk.example/x", "http://user@127.0.0.1:8080/x"},
        {"http://community.zelk.example:8081/x", nullptr},
        {"http://community.zelk.example.evil.test/x", nullptr},
        {"http://community.zelk.examples/x", nullptr},
        {"http://community.zelk.example@evil.test/x", nullptr},
        {"http://evil.test/community.zelk.example/x", nullptr},
        {"https://community.zelk.example/x", nullptr},
        {"file:///community.zelk.example/x", nullptr},
        // The search name is not replaced here.
        {"http://search.zelk.example/", nullptr},
    };
    const CBuiltInHosts hosts = LocalService();
    for (const MapCase& c : cases)
    {
        const std::optional<std::string> mapped = MapToOverrideHost(c.address, hosts);
        if (c.expected)
            EXPECT_EQ(mapped.value_or("(not mapped)"), c.expected) << c.address;
        else
            EXPECT_FALSE(mapped) << c.address << " -> " << *mapped;
    }
}

TEST(HostMappingTest, NothingIsMappedWithoutAnOverrideOrInALoop)
{
    EXPECT_FALSE(HasHostOverride(CBuiltInHosts{}));
    EXPECT_FALSE(MapToOverrideHost("http://community.zelk.example/", CBuiltInHosts{}));

    const CBuiltInHosts swapped = ApplyHostsOverride(
        CBuiltInHosts{}, "community=develop.zelk.example,develop=community.zelk.example");
    EXPECT_TRUE(HasHostOverride(swapped));
    EXPECT_FALSE(MapToOverrideHost("http://community.zelk.example/", swapped));
}

TEST(HostMappingTest, WebSchemeIsAddedOnlyWhereThereIsNone)
{
    const MapCase cases[] = {
        {"community.zelk.example/expert/search.asp?bigclassid=0",
         "http://community.zelk.example/expert/search.asp?bigclassid=0"},
        {"develop.zelk.example", "http://develop.zelk.example"},
        {"127.0.0.1:8080/lt/", "http://127.0.0.1:8080/lt/"},
        {"develop.localhost:8080", "http://develop.localhost:8080"},
        {"  www.example.org ", "http://www.example.org"},
        {"http://community.zelk.example/", "http://community.zelk.example/"},
        {"HTTPS://x.example/a:1", "HTTPS://x.example/a:1"},
        {"file:///tmp/a.htm", "file:///tmp/a.htm"},
        {"about:blank", "about:blank"},
        {"mailto:someone@example.org", "mailto:someone@example.org"},
        {"/home/user/Temp/4711.xml", "/home/user/Temp/4711.xml"},
        {"", ""},
    };
    for (const MapCase& c : cases)
        EXPECT_EQ(WithWebScheme(c.address), c.expected) << c.address;
}
