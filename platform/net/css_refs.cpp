#include "platform/net/css_refs.h"

#include "platform/text.h"

#include <cctype>

namespace
{
bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

// Reads a quoted string starting at s[i] (a quote); returns its content and
// moves i past the closing quote.
std::string ReadQuoted(std::string_view s, size_t& i)
{
    char quote = s[i++];
    std::string value;
    while (i < s.size() && s[i] != quote && s[i] != '\n')
    {
        if (s[i] == '\\' && i + 1 < s.size())
            ++i;
        value += s[i++];
    }
    if (i < s.size())
        ++i;
    return value;
}

// Reads url( ... ) with s[i] just after the opening parenthesis.
std::string ReadUrlBody(std::string_view s, size_t& i)
{
    while (i < s.size() && IsSpace(s[i]))
        ++i;
    std::string value;
    if (i < s.size() && (s[i] == '"' || s[i] == '\''))
        value = ReadQuoted(s, i);
    else
        while (i < s.size() && s[i] != ')' && !IsSpace(s[i]))
            value += s[i++];
    while (i < s.size() && s[i] != ')')
        ++i;
    if (i < s.size())
        ++i;
    return value;
}

bool MatchesAt(std::string_view s, size_t i, std::string_view word)
{
    return i + word.size() <= s.size() && EqualsIgnoreCaseAscii(s.substr(i, word.size()), word);
}
} // namespace

CssReferences CollectCssReferences(std::string_view css)
{
    CssReferences refs;
    size_t i = 0;
    while (i < css.size())
    {
        char c = css[i];
        if (c == '/' && i + 1 < css.size() && css[i + 1] == '*')
        {
            size_t end = css.find("*/", i + 2);
            i = end == std::string_view::npos ? css.size() : end + 2;
        }
        else if (c == '"' || c == '\'')
        {
            ReadQuoted(css, i); // a plain string, not a reference
        }
        else if (c == '@' && MatchesAt(css, i + 1, "import"))
        {
            i += 7;
            while (i < css.size() && IsSpace(css[i]))
                ++i;
            if (i < css.size() && (css[i] == '"' || css[i] == '\''))
            {
                std::string value = ReadQuoted(css, i);
                if (!value.empty())
                    refs.imports.push_back(value);
            }
            else if (MatchesAt(css, i, "url("))
            {
                i += 4;
                std::string value = ReadUrlBody(css, i);
                if (!value.empty())
                    refs.imports.push_back(value);
            }
        }
        else if ((c == 'u' || c == 'U') && MatchesAt(css, i, "url(") &&
                 (i == 0 || !(isalnum(static_cast<unsigned char>(css[i - 1])) ||
                              css[i - 1] == '-' || css[i - 1] == '_')))
        {
            i += 4;
            std::string value = ReadUrlBody(css, i);
            if (!value.empty() && !MatchesAt(value, 0, "data:"))
                refs.urls.push_back(value);
        }
        else
            ++i;
    }
    return refs;
}
