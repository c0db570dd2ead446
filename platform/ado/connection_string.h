// "Key=Value;Key=Value;" texts as the providers read them: keys compare
// without regard to ASCII case, blanks around keys and values are dropped.
// A value in double or single quotes may hold ';' and, doubled, its quote.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ado
{

class ConnectionString
{
public:
    explicit ConnectionString(std::string_view text);
    // The last value given for the key, if any.
    std::optional<std::string> Get(std::string_view key) const;

private:
    std::vector<std::pair<std::string, std::string>> m_items;
};

} // namespace ado
