#include "platform/net/mhtml_reader.h"

#include "platform/net/content_type.h"
#include "platform/net/mime_codec.h"
#include "platform/text.h"

#include <algorithm>
#include <map>

namespace
{
using Headers = std::map<std::string, std::string>; // lower-case name -> value

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

// One line without its line end (CR LF or LF); `pos` moves past the line end.
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

bool IsHeaderLine(std::string_view line)
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

// Header lines from `pos` up to the blank line, continuations unfolded.
// nullopt when the text opens with neither a header line nor the blank
// line of an empty header block. Stray lines are skipped; of a repeated
// header the first counts.
std::optional<Headers> ReadHeaders(std::string_view text, size_t& pos)
{
    Headers headers;
    size_t afterFirst = pos;
    const std::string_view first = NextLine(text, afterFirst);
    if (first.empty() && afterFirst > pos)
    {
        pos = afterFirst;
        return headers;
    }
    if (!IsHeaderLine(first))
        return std::nullopt;
    std::string* last = nullptr;
    while (pos < text.size())
    {
        const std::string_view line = NextLine(text, pos);
        if (line.empty())
            break;
        if (line.front() == ' ' || line.front() == '\t')
        {
            if (last)
            {
                if (!last->empty())
                    *last += ' ';
                *last += TrimBlanks(line);
            }
            continue;
        }
        last = nullptr;
        if (!IsHeaderLine(line))
            continue;
        const size_t colon = line.find(':');
        auto [it, inserted] = headers.try_emplace(ToLowerAscii(line.substr(0, colon)),
                                                  TrimBlanks(line.substr(colon + 1)));
        if (inserted)
            last = &it->second;
    }
    return headers;
}

std::string Get(const Headers& h, const char* name)
{
    auto it = h.find(name);
    return it == h.end() ? std::string{} : it->second;
}

// Texts of the parts between "--boundary" lines, without the line break
// that belongs to each delimiter. A delimiter line holds nothing after the
// boundary but blanks (or "--" when closing), so a longer boundary that
// merely starts alike does not split.
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
        if (!line.starts_with(delimiter))
            continue;
        const std::string_view rest = TrimBlanks(line.substr(delimiter.size()));
        const bool closing = rest.starts_with("--");
        if (!rest.empty() && !closing)
            continue;
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

std::optional<MhtmlPart> ReadPart(const Headers& headers, std::string_view body,
                                  MhtmlDecoding decoding)
{
    MhtmlPart part;
    part.location = Get(headers, "content-location");
    part.contentType = Get(headers, "content-type");
    part.contentId = Get(headers, "content-id");
    part.transferEncoding = ToLowerAscii(Get(headers, "content-transfer-encoding"));
    if (part.transferEncoding == "quoted-printable")
        part.bytes = DecodeQuotedPrintable(body);
    else if (part.transferEncoding == "base64")
    {
        auto decoded = DecodeBase64(body);
        if (decoded)
            part.bytes = std::move(*decoded);
        else if (decoding == MhtmlDecoding::Lenient)
            part.bytes = DecodeBase64Lenient(body);
        else
            return std::nullopt;
    }
    else
        part.bytes = std::string(body);
    return part;
}
} // namespace

std::string HeaderParameter(std::string_view value, std::string_view name)
{
    size_t pos = value.find(';');
    while (pos != std::string_view::npos && pos < value.size())
    {
        ++pos;
        const size_t keyEnd = value.find_first_of("=;", pos);
        if (keyEnd == std::string_view::npos)
            return {};
        if (value[keyEnd] == ';')
        {
            pos = keyEnd; // a parameter without a value
            continue;
        }
        // Raw header text may still hold the line breaks of folding.
        std::string_view key = value.substr(pos, keyEnd - pos);
        key.remove_prefix(std::min(key.find_first_not_of(" \t\r\n"), key.size()));
        key = TrimBlanks(key);
        size_t cursor = keyEnd + 1;
        while (cursor < value.size() && (value[cursor] == ' ' || value[cursor] == '\t'))
            ++cursor;
        std::string parsed;
        if (cursor < value.size() && value[cursor] == '"')
        {
            // A quoted value may hold ';' and backslash-quoted characters.
            for (++cursor; cursor < value.size() && value[cursor] != '"'; ++cursor)
            {
                if (value[cursor] == '\\' && cursor + 1 < value.size())
                    ++cursor;
                parsed += value[cursor];
            }
            pos = value.find(';', cursor);
        }
        else
        {
            pos = value.find(';', cursor);
            parsed = std::string(TrimBlanks(
                value.substr(cursor, pos == std::string_view::npos ? pos : pos - cursor)));
        }
        if (EqualsIgnoreCaseAscii(key, name))
            return parsed;
    }
    return {};
}

namespace
{
std::string_view StripAngles(std::string_view id)
{
    while (!id.empty() && (id.front() == ' ' || id.front() == '\t'))
        id.remove_prefix(1);
    while (!id.empty() && (id.back() == ' ' || id.back() == '\t'))
        id.remove_suffix(1);
    if (id.size() >= 2 && id.front() == '<' && id.back() == '>')
        id = id.substr(1, id.size() - 2);
    return id;
}
} // namespace

const MhtmlPart* MhtmlArchive::MainPart() const
{
    if (parts.empty())
        return nullptr;
    const std::string start = HeaderParameter(contentType, "start");
    if (const std::string_view id = StripAngles(start); !id.empty())
        for (const MhtmlPart& part : parts)
            if (StripAngles(part.contentId) == id)
                return &part;
    if (!snapshotLocation.empty())
        for (const MhtmlPart& part : parts)
            if (part.location == snapshotLocation)
                return &part;
    for (const MhtmlPart& part : parts)
        if (ParseContentType(part.contentType).mimeType == "text/html")
            return &part;
    return &parts.front();
}

std::optional<MhtmlArchive> ParseMhtml(std::string_view text, MhtmlDecoding decoding)
{
    size_t pos = 0;
    const std::optional<Headers> headers = ReadHeaders(text, pos);
    if (!headers)
        return std::nullopt;
    const Headers& top = *headers;
    MhtmlArchive archive;
    archive.contentType = Get(top, "content-type");
    archive.snapshotLocation = Get(top, "snapshot-content-location");
    if (archive.contentType.empty())
        return std::nullopt;
    if (!ToLowerAscii(archive.contentType).starts_with("multipart/"))
    {
        // A single-part message: the page without resources.
        std::optional<MhtmlPart> part = ReadPart(top, text.substr(pos), decoding);
        if (!part)
            return std::nullopt;
        archive.parts.push_back(std::move(*part));
        return archive;
    }
    const std::string boundary = HeaderParameter(archive.contentType, "boundary");
    if (boundary.empty())
        return std::nullopt;
    for (const std::string_view partText : SplitParts(text.substr(pos), boundary))
    {
        size_t bodyStart = 0;
        const std::optional<Headers> partHeaders = ReadHeaders(partText, bodyStart);
        if (!partHeaders)
            continue; // not a part but damage, such as an archive cut inside a header
        std::optional<MhtmlPart> part =
            ReadPart(*partHeaders, partText.substr(bodyStart), decoding);
        if (!part)
            return std::nullopt;
        archive.parts.push_back(std::move(*part));
    }
    return archive;
}
