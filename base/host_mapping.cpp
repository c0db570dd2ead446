#include "base/host_mapping.h"

#include <algorithm>
#include <cctype>

namespace
{

constexpr std::string_view kHttp = "http://";

char Lower(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char a, char b) { return Lower(a) == Lower(b); });
}

bool IsDigits(std::string_view text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

// The replacement of a built-in name, or nothing when `host` is none or is
// not replaced.
std::optional<std::string> ReplacementOf(std::string_view host, const CBuiltInHosts& hosts)
{
    std::string lower(host);
    std::transform(lower.begin(), lower.end(), lower.begin(), Lower);
    const CBuiltInHosts builtIn;
    const std::pair<const std::string&, const std::string&> pairs[] = {
        {builtIn.community, hosts.community},
        {builtIn.develop, hosts.develop},
        {builtIn.fullSearch, hosts.fullSearch},
    };
    for (const auto& [name, value] : pairs)
        if (lower == name)
            return value == name ? std::nullopt : std::optional<std::string>(value);
    return std::nullopt;
}

std::optional<std::string> MapOnce(std::string_view address, const CBuiltInHosts& hosts)
{
    if (!StartsWithNoCase(address, kHttp))
        return std::nullopt;
    const std::string_view rest = address.substr(kHttp.size());
    const size_t authorityEnd = std::min(rest.find_first_of("/?#"), rest.size());
    const std::string_view authority = rest.substr(0, authorityEnd);
    const size_t at = authority.rfind('@');
    const size_t hostStart = at == std::string_view::npos ? 0 : at + 1;
    const std::string_view hostPort = authority.substr(hostStart);
    const size_t colon = hostPort.find(':');
    const std::string_view host = hostPort.substr(0, colon);
    if (colon != std::string_view::npos)
    {
        // An empty port is the default one; "080" is port 80 too.
        std::string_view port = hostPort.substr(colon + 1);
        if (!IsDigits(port))
            return std::nullopt;
        port.remove_prefix(std::min(port.find_first_not_of('0'), port.size()));
        if (!port.empty() && port != "80")
            return std::nullopt;
    }
    const std::optional<std::string> target = ReplacementOf(host, hosts);
    if (!target)
        return std::nullopt;
    return std::string(kHttp) + std::string(authority.substr(0, hostStart)) + *target +
           std::string(rest.substr(authorityEnd));
}

} // namespace

bool HasHostOverride(const CBuiltInHosts& hosts)
{
    const CBuiltInHosts builtIn;
    return hosts.community != builtIn.community || hosts.develop != builtIn.develop ||
           hosts.fullSearch != builtIn.fullSearch;
}

std::optional<std::string> MapToOverrideHost(std::string_view address, const CBuiltInHosts& hosts)
{
    std::optional<std::string> mapped = MapOnce(address, hosts);
    // Names replaced by each other would send the browser round for ever.
    if (mapped && MapOnce(*mapped, hosts))
        return std::nullopt;
    return mapped;
}

std::string WithWebScheme(std::string_view address)
{
    const size_t first = address.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    address = address.substr(first, address.find_last_not_of(" \t") - first + 1);
    if (address.front() == '/')
        return std::string(address);
    const size_t colon = address.find(':');
    const bool schemeLike =
        colon != std::string_view::npos && colon > 0 &&
        std::isalpha(static_cast<unsigned char>(address.front())) != 0 &&
        std::all_of(address.begin(), address.begin() + static_cast<std::ptrdiff_t>(colon),
                    [](char c) {
                        return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '+' ||
                               c == '-' || c == '.';
                    });
    if (schemeLike)
    {
        // "localhost:8080/x" is a host and port, "about:blank" a scheme.
        const std::string_view after = address.substr(colon + 1);
        const std::string_view port = after.substr(0, after.find_first_of("/?#"));
        if (port.empty() || !IsDigits(port))
            return std::string(address);
    }
    return std::string(kHttp) + std::string(address);
}
