#include "mhtml_decode.h"

#include "text.h"

#include <optional>
#include <vector>

namespace
{

struct Header
{
    std::string name;
    std::string value;
};

struct MimeEntity
{
    std::vector<Header> headers;
    std::string_view body;
};

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() &&
           (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

// One line without its line end; `pos` moves past the line end.
std::string_view NextLine(std::string_view text, size_t& pos)
{
    const size_t start = pos;
    const size_t lf = text.find('\n', pos);
    size_t end = lf == std::string_view::npos ? text.size() : lf;
    pos = lf == std::string_view::npos ? text.size() : lf + 1;
    if (end > start && text[end - 1] == '\r')
        --end;
    return text.substr(start, end - start);
}

bool LooksLikeHeaderLine(std::string_view line)
{
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return false;
    for (size_t i = 0; i < colon; ++i)
    {
        const char c = line[i];
        const bool token = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_';
        if (!token)
            return false;
    }
    return true;
}

// Headers up to the first empty line (continuation lines unfolded), then the
// body. Nullopt when the text does not start with a header line.
std::optional<MimeEntity> ParseEntity(std::string_view text)
{
    MimeEntity entity;
    size_t pos = 0;
    bool first = true;
    while (pos < text.size())
    {
        const std::string_view line = NextLine(text, pos);
        if (line.empty())
            break;
        if ((line.front() == ' ' || line.front() == '\t') && !entity.headers.empty())
        {
            entity.headers.back().value += ' ';
            entity.headers.back().value += TrimBlanks(line);
            continue;
        }
        if (!LooksLikeHeaderLine(line))
        {
            if (first)
                return std::nullopt;
            continue; // tolerate a stray line rather than lose the part
        }
        const size_t colon = line.find(':');
        entity.headers.push_back({std::string(line.substr(0, colon)),
                                  std::string(TrimBlanks(line.substr(colon + 1)))});
        first = false;
    }
    if (entity.headers.empty())
        return std::nullopt;
    entity.body = text.substr(pos);
    return entity;
}

const std::string* FindHeader(const MimeEntity& entity, std::string_view name)
{
    for (const Header& header : entity.headers)
        if (EqualsIgnoreCaseAscii(header.name, name))
            return &header.value;
    return nullptr;
}

// "type/subtype; a=b; c=\"d\"" -> the lower-case media type.
std::string MediaType(const std::string& value)
{
    return ToLowerAscii(TrimBlanks(std::string_view(value).substr(0, value.find(';'))));
}

std::string Parameter(const std::string& value, std::string_view name)
{
    size_t pos = value.find(';');
    while (pos != std::string::npos && pos < value.size())
    {
        ++pos;
        while (pos < value.size() && (value[pos] == ' ' || value[pos] == '\t'))
            ++pos;
        const size_t eq = value.find('=', pos);
        if (eq == std::string::npos)
            return {};
        const std::string_view key = TrimBlanks(std::string_view(value).substr(pos, eq - pos));
        size_t cursor = eq + 1;
        while (cursor < value.size() && (value[cursor] == ' ' || value[cursor] == '\t'))
            ++cursor;
        std::string parsed;
        if (cursor < value.size() && value[cursor] == '"')
        {
            ++cursor;
            while (cursor < value.size() && value[cursor] != '"')
            {
                if (value[cursor] == '\\' && cursor + 1 < value.size())
                    ++cursor;
                parsed += value[cursor++];
            }
            pos = value.find(';', cursor);
        }
        else
        {
            const size_t end = value.find(';', cursor);
            parsed = std::string(TrimBlanks(std::string_view(value).substr(
                cursor, end == std::string::npos ? std::string::npos : end - cursor)));
            pos = end;
        }
        if (EqualsIgnoreCaseAscii(key, name))
            return parsed;
    }
    return {};
}

std::string StripAngles(std::string_view id)
{
    id = TrimBlanks(id);
    if (id.size() >= 2 && id.front() == '<' && id.back() == '>')
        id = id.substr(1, id.size() - 2);
    return std::string(id);
}

// Bodies of the parts between "--boundary" lines, without the line end that
// belongs to the delimiter.
std::vector<std::string_view> SplitParts(std::string_view body, const std::string& boundary)
{
    std::vector<std::string_view> parts;
    const std::string delimiter = "--" + boundary;
    size_t pos = 0;
    std::optional<size_t> partStart;
    while (pos < body.size())
    {
        const size_t lineStart = pos;
        const std::string_view line = NextLine(body, pos);
        if (line.substr(0, delimiter.size()) != delimiter)
            continue;
        const std::string_view rest = TrimBlanks(line.substr(delimiter.size()));
        const bool closing = rest.substr(0, 2) == "--";
        if (!rest.empty() && !closing)
            continue; // a longer boundary that merely starts alike
        if (partStart)
        {
            size_t end = lineStart;
            if (end > *partStart && body[end - 1] == '\n')
                --end;
            if (end > *partStart && body[end - 1] == '\r')
                --end;
            parts.push_back(body.substr(*partStart, end - *partStart));
        }
        if (closing)
            return parts;
        partStart = pos;
    }
    if (partStart && *partStart < body.size())
        parts.push_back(body.substr(*partStart)); // archive cut short: keep what is there
    return parts;
}

std::string DecodeBody(const MimeEntity& entity)
{
    const std::string* encoding = FindHeader(entity, "Content-Transfer-Encoding");
    const std::string name = encoding ? ToLowerAscii(TrimBlanks(*encoding)) : std::string();
    if (name == "quoted-printable")
        return DecodeArchiveQuotedPrintable(entity.body);
    if (name == "base64")
        return DecodeArchiveBase64(entity.body);
    return std::string(entity.body);
}

CArchiveMainPart FromEntity(const MimeEntity& entity)
{
    CArchiveMainPart part;
    part.isArchive = true;
    if (const std::string* type = FindHeader(entity, "Content-Type"))
    {
        part.contentType = MediaType(*type);
        part.charset = Parameter(*type, "charset");
    }
    part.body = DecodeBody(entity);
    return part;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

int Base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

std::string DecodeArchiveQuotedPrintable(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
    {
        const char c = text[i];
        if (c != '=')
        {
            out += c;
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '\n')
        {
            i += 1;
            continue;
        }
        if (i + 2 < text.size() && text[i + 1] == '\r' && text[i + 2] == '\n')
        {
            i += 2;
            continue;
        }
        if (i + 2 < text.size())
        {
            const int high = HexValue(text[i + 1]);
            const int low = HexValue(text[i + 2]);
            if (high >= 0 && low >= 0)
            {
                out += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        out += c;
    }
    return out;
}

std::string DecodeArchiveBase64(std::string_view text)
{
    std::string out;
    out.reserve(text.size() / 4 * 3);
    unsigned int buffer = 0;
    int bits = 0;
    for (const char c : text)
    {
        if (c == '=')
            break;
        const int value = Base64Value(c);
        if (value < 0)
            continue;
        buffer = (buffer << 6) | static_cast<unsigned int>(value);
        bits += 6;
        if (bits >= 8)
        {
            bits -= 8;
            out += static_cast<char>((buffer >> bits) & 0xFF);
        }
    }
    return out;
}

CArchiveMainPart DecodeArchiveMainPart(std::string_view archive)
{
    CArchiveMainPart plain;
    plain.body = std::string(archive);

    const std::optional<MimeEntity> message = ParseEntity(archive);
    if (!message)
        return plain;
    const std::string* contentType = FindHeader(*message, "Content-Type");
    if (!contentType)
        return plain;

    const std::string media = MediaType(*contentType);
    if (media.rfind("multipart/", 0) != 0)
        return FromEntity(*message); // a single-part archive

    const std::string boundary = Parameter(*contentType, "boundary");
    if (boundary.empty())
        return plain;

    std::vector<MimeEntity> parts;
    for (const std::string_view body : SplitParts(message->body, boundary))
        if (std::optional<MimeEntity> part = ParseEntity(body))
            parts.push_back(*part);
    if (parts.empty())
        return plain;

    const std::string start = StripAngles(Parameter(*contentType, "start"));
    if (!start.empty())
        for (const MimeEntity& part : parts)
            if (const std::string* id = FindHeader(part, "Content-ID"); id && StripAngles(*id) == start)
                return FromEntity(part);
    if (const std::string* snapshot = FindHeader(*message, "Snapshot-Content-Location"))
        for (const MimeEntity& part : parts)
            if (const std::string* location = FindHeader(part, "Content-Location"); location && *location == *snapshot)
                return FromEntity(part);
    for (const MimeEntity& part : parts)
        if (const std::string* type = FindHeader(part, "Content-Type"); type && MediaType(*type) == "text/html")
            return FromEntity(part);
    return FromEntity(parts.front());
}
