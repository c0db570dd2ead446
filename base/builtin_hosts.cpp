#include "base/builtin_hosts.h"

#include <cstdlib>

namespace
{

std::string Trim(const std::string& s)
{
    const size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    const size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

bool IsHostText(const std::string& v)
{
    if (v.empty() || v.size() > 253)
        return false;
    for (char c : v)
    {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '.' || c == '-' || c == ':' || c == '[' ||
                        c == ']';
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

CBuiltInHosts ApplyHostsOverride(CBuiltInHosts hosts, const std::string& text)
{
    size_t pos = 0;
    while (pos < text.size())
    {
        size_t next = text.find(',', pos);
        if (next == std::string::npos)
            next = text.size();
        const std::string entry = text.substr(pos, next - pos);
        pos = next + 1;
        const size_t eq = entry.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = Trim(entry.substr(0, eq));
        const std::string value = Trim(entry.substr(eq + 1));
        if (!IsHostText(value))
            continue;
        if (key == "community")
            hosts.community = value;
        else if (key == "develop")
            hosts.develop = value;
        else if (key == "search")
            hosts.fullSearch = value;
    }
    return hosts;
}

CBuiltInHosts GetBuiltInHosts()
{
    const char* env = std::getenv(kHostsEnvironmentVariable);
    return env ? ApplyHostsOverride(CBuiltInHosts{}, env) : CBuiltInHosts{};
}
