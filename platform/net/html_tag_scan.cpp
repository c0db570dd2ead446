#include "platform/net/html_tag_scan.h"

#include "platform/text.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace
{
bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsVoid(std::string_view name)
{
    static const char* const kVoid[] = {"area",  "base", "br",   "col",   "embed",  "hr",    "img",
                                        "input", "link", "meta", "param", "source", "track", "wbr"};
    return std::any_of(std::begin(kVoid), std::end(kVoid),
                       [&](const char* v) { return name == v; });
}

bool IsRawText(std::string_view name)
{
    return name == "script" || name == "style" || name == "textarea" || name == "title";
}

std::string DecodeAttribute(std::string_view value)
{
    std::string out;
    for (size_t i = 0; i < value.size(); ++i)
    {
        if (value[i] == '&')
        {
            const size_t semicolon = value.find(';', i);
            if (semicolon != std::string_view::npos && semicolon - i <= 8)
            {
                const std::string body(value.substr(i + 1, semicolon - i - 1));
                char32_t code = 0;
                if (body == "amp")
                    code = '&';
                else if (body == "quot")
                    code = '"';
                else if (body == "apos")
                    code = '\'';
                else if (body == "lt")
                    code = '<';
                else if (body == "gt")
                    code = '>';
                else if (body.size() > 1 && body[0] == '#')
                {
                    const bool hex = body[1] == 'x' || body[1] == 'X';
                    char* end = nullptr;
                    const unsigned long n =
                        std::strtoul(body.c_str() + (hex ? 2 : 1), &end, hex ? 16 : 10);
                    if (end && *end == '\0' && n >= 0x20 && n <= 0x10FFFF)
                        code = static_cast<char32_t>(n);
                }
                if (code)
                {
                    AppendUtf8(out, code);
                    i = semicolon;
                    continue;
                }
            }
        }
        out += value[i];
    }
    return out;
}

// Token at `at` (a "<"): fills `tag` for a start tag, `end` for an end tag's
// name; returns the index after the token.
enum class Token
{
    Start,
    End,
    Other
};

size_t ReadToken(std::string_view html, size_t at, Token& kind, HtmlTag& tag, bool& selfClosed)
{
    kind = Token::Other;
    selfClosed = false;
    if (html.compare(at, 4, "<!--") == 0)
    {
        const size_t close = html.find("-->", at + 4);
        return close == std::string_view::npos ? html.size() : close + 3;
    }
    size_t i = at + 1;
    const bool endTag = i < html.size() && html[i] == '/';
    if (endTag)
        ++i;
    if (i >= html.size() || !std::isalpha(static_cast<unsigned char>(html[i])))
    {
        if (endTag || (i < html.size() && (html[i] == '!' || html[i] == '?')))
        {
            const size_t close = html.find('>', i);
            return close == std::string_view::npos ? html.size() : close + 1;
        }
        return at + 1; // a lone "<" is text
    }
    const size_t nameStart = i;
    while (i < html.size() && !IsSpace(html[i]) && html[i] != '/' && html[i] != '>')
        ++i;
    tag.name = ToLowerAscii(html.substr(nameStart, i - nameStart));
    tag.attributes.clear();
    tag.rawText = {};
    kind = endTag ? Token::End : Token::Start;
    while (i < html.size())
    {
        while (i < html.size() && (IsSpace(html[i]) || html[i] == '/'))
        {
            selfClosed = html[i] == '/';
            ++i;
        }
        if (i >= html.size())
            break;
        if (html[i] == '>')
            return i + 1;
        selfClosed = false;
        const size_t attrStart = i;
        while (i < html.size() && !IsSpace(html[i]) && html[i] != '=' && html[i] != '>' &&
               !(html[i] == '/' && i > attrStart))
            ++i;
        std::string name = ToLowerAscii(html.substr(attrStart, i - attrStart));
        while (i < html.size() && IsSpace(html[i]))
            ++i;
        std::string value;
        if (i < html.size() && html[i] == '=')
        {
            ++i;
            while (i < html.size() && IsSpace(html[i]))
                ++i;
            size_t valueEnd;
            if (i < html.size() && (html[i] == '"' || html[i] == '\''))
            {
                const char quote = html[i++];
                valueEnd = std::min(html.find(quote, i), html.size());
                value = DecodeAttribute(html.substr(i, valueEnd - i));
                i = std::min(valueEnd + 1, html.size());
            }
            else
            {
                valueEnd = i;
                while (valueEnd < html.size() && !IsSpace(html[valueEnd]) && html[valueEnd] != '>')
                    ++valueEnd;
                value = DecodeAttribute(html.substr(i, valueEnd - i));
                i = valueEnd;
            }
        }
        if (!endTag && !name.empty() && !tag.Attribute(name))
            tag.attributes.emplace_back(std::move(name), std::move(value));
    }
    return html.size();
}

// Just after a raw-text element's contents (before its end tag).
size_t EndOfRawText(std::string_view html, size_t from, const std::string& name)
{
    for (size_t at = html.find("</", from); at != std::string_view::npos;
         at = html.find("</", at + 2))
    {
        if (EqualsIgnoreCaseAscii(html.substr(at + 2, name.size()), name))
            return at;
    }
    return html.size();
}

// Walks the page's tokens; `onStart` gets start tags, `onEnd` end tags.
template <typename OnStart, typename OnEnd>
void Walk(std::string_view html, OnStart&& onStart, OnEnd&& onEnd)
{
    HtmlTag tag;
    for (size_t at = html.find('<'); at != std::string_view::npos && at < html.size();
         at = html.find('<', at))
    {
        Token kind;
        bool selfClosed;
        at = ReadToken(html, at, kind, tag, selfClosed);
        if (kind == Token::End)
        {
            if (!onEnd(tag.name))
                return;
            continue;
        }
        if (kind != Token::Start)
            continue;
        if (IsRawText(tag.name))
        {
            const size_t end = EndOfRawText(html, at, tag.name);
            tag.rawText = html.substr(at, end - at);
            at = end;
        }
        if (!onStart(tag, selfClosed))
            return;
    }
}
} // namespace

const char* HtmlTag::Attribute(std::string_view attributeName) const
{
    for (const auto& [name, value] : attributes)
        if (name == attributeName)
            return value.c_str();
    return nullptr;
}

void ScanHtmlStartTags(std::string_view html, const std::function<bool(const HtmlTag&)>& visit)
{
    Walk(
        html, [&](const HtmlTag& tag, bool) { return visit(tag); },
        [](const std::string&) { return true; });
}

bool HtmlNestsDeeperThan(std::string_view html, size_t limit)
{
    size_t depth = 0;
    bool deeper = false;
    Walk(
        html,
        [&](const HtmlTag& tag, bool selfClosed)
        {
            if (!selfClosed && !IsVoid(tag.name) && !IsRawText(tag.name))
                deeper = ++depth > limit;
            return !deeper;
        },
        [&](const std::string&)
        {
            if (depth > 0)
                --depth;
            return true;
        });
    return deeper;
}
