#include "views/list/column_layout.h"

#include <cctype>

namespace
{

// Leading integer as atoi reads it, kept within 0..kMaxWidth.
int LeadingWidth(const std::string& text)
{
    constexpr long kMaxWidth = 1 << 16;
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
    {
        value = value * 10 + (text[i] - '0');
        if (value > kMaxWidth)
            value = kMaxWidth;
    }
    return negative ? 0 : static_cast<int>(value);
}

} // namespace

std::vector<ColumnLayout> ParseColumnLayout(const std::string& layout)
{
    std::vector<ColumnLayout> columns;
    std::size_t pos = 0;
    while (pos < layout.size())
    {
        const std::size_t comma = layout.find(',', pos);
        if (comma == std::string::npos)
            break;
        const std::size_t semicolon = layout.find(';', comma + 1);
        const std::size_t widthEnd = semicolon == std::string::npos ? layout.size() : semicolon;
        columns.push_back({layout.substr(pos, comma - pos),
                           LeadingWidth(layout.substr(comma + 1, widthEnd - comma - 1))});
        // Without a ';' the last column has been read: starting over from the
        // front would repeat the columns for ever.
        if (semicolon == std::string::npos)
            break;
        pos = semicolon + 1;
    }
    return columns;
}
