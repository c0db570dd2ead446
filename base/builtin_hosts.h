// The three host names the program stores at every start. The real service
// is reached through fictional names under the reserved .example domain;
// MYZELK_HOSTS points the program (and the tests) at another service, e.g.
//   MYZELK_HOSTS="community=127.0.0.1:8080,develop=127.0.0.1:8080,search=127.0.0.1:8080"
// Entries that are absent keep their built-in value.
#pragma once

#include <string>

struct CBuiltInHosts
{
    std::string community = "community.zelk.example";
    std::string develop = "develop.zelk.example";
    std::string fullSearch = "search.zelk.example";
};

constexpr const char* kHostsEnvironmentVariable = "MYZELK_HOSTS";

// Parses an override text; unknown keys and malformed entries are ignored,
// values with characters that do not belong in a host[:port] are refused.
CBuiltInHosts ApplyHostsOverride(CBuiltInHosts hosts, const std::string& overrideText);
// The built-in names with the environment's override applied.
CBuiltInHosts GetBuiltInHosts();
