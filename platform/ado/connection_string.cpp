#include "connection_string.h"

#include "text.h"

namespace ado
{

namespace
{
std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}
} // namespace

ConnectionString::ConnectionString(std::string_view text)
{
    while (!text.empty())
    {
        size_t end = text.find(';');
        std::string_view item = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        size_t eq = item.find('=');
        if (eq == std::string_view::npos)
            continue;
        std::string_view key = Trim(item.substr(0, eq));
        if (key.empty())
            continue;
        m_items.emplace_back(std::string(key), std::string(Trim(item.substr(eq + 1))));
    }
}

std::optional<std::string> ConnectionString::Get(std::string_view key) const
{
    for (auto it = m_items.rbegin(); it != m_items.rend(); ++it)
        if (EqualsIgnoreCaseAscii(it->first, key))
            return it->second;
    return std::nullopt;
}

} // namespace ado
