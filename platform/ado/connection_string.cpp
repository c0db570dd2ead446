#include "platform/ado/connection_string.h"

#include "platform/text.h"

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
        size_t eq = text.find('=');
        size_t semi = text.find(';');
        if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq))
        {
            // An item without a value.
            text = semi == std::string_view::npos ? std::string_view{} : text.substr(semi + 1);
            continue;
        }
        std::string_view key = Trim(text.substr(0, eq));
        text = text.substr(eq + 1);
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
            text.remove_prefix(1);
        std::string value;
        if (!text.empty() && (text.front() == '"' || text.front() == '\''))
        {
            // A quoted value may hold ';'; its quote doubled stands for itself.
            const char quote = text.front();
            size_t i = 1;
            for (; i < text.size(); ++i)
            {
                if (text[i] != quote)
                    value += text[i];
                else if (i + 1 < text.size() && text[i + 1] == quote)
                    value += text[i++];
                else
                    break;
            }
            text = i < text.size() ? text.substr(i + 1) : std::string_view{};
            size_t end = text.find(';');
            text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        }
        else
        {
            size_t end = text.find(';');
            value = std::string(Trim(text.substr(0, end)));
            text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        }
        if (!key.empty())
            m_items.emplace_back(std::string(key), std::move(value));
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
