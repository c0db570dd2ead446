#include "mhtml_reader.h"

#include "mime_codec.h"
#include "text.h"

#include <map>

namespace
{
using Headers = std::map<std::string, std::string>; // lower-case name -> value

// Reads header lines from `pos` up to the blank line, unfolding continuations.
Headers ReadHeaders(std::string_view text, size_t& pos)
{
    Headers headers;
    std::string lastName;
    while (pos < text.size())
    {
        size_t eol = text.find('\n', pos);
        if (eol == std::string_view::npos)
            eol = text.size();
        std::string_view line = text.substr(pos, eol - pos);
        pos = eol < text.size() ? eol + 1 : eol;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            break;
        if ((line.front() == ' ' || line.front() == '\t') && !lastName.empty())
        {
            headers[lastName] += " ";
            size_t k = line.find_first_not_of(" \t");
            headers[lastName] += std::string(line.substr(k == std::string_view::npos ? line.size() : k));
            continue;
        }
        size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        lastName = ToLowerAscii(line.substr(0, colon));
        std::string_view value = line.substr(colon + 1);
        size_t k = value.find_first_not_of(" \t");
        headers[lastName] = std::string(k == std::string_view::npos ? std::string_view{} : value.substr(k));
    }
    return headers;
}

std::string Get(const Headers& h, const char* name)
{
    auto it = h.find(name);
    return it == h.end() ? std::string{} : it->second;
}
} // namespace

std::string HeaderParameter(std::string_view value, std::string_view name)
{
    size_t pos = value.find(';');
    while (pos != std::string_view::npos)
    {
        size_t start = pos + 1;
        // A quoted value may itself hold ';'.
        size_t i = start;
        bool inQuote = false;
        for (; i < value.size(); ++i)
        {
            if (value[i] == '"')
                inQuote = !inQuote;
            else if (value[i] == ';' && !inQuote)
                break;
        }
        std::string_view param = value.substr(start, i - start);
        size_t eq = param.find('=');
        if (eq != std::string_view::npos)
        {
            std::string_view key = param.substr(0, eq);
            while (!key.empty() && (key.front() == ' ' || key.front() == '\t' || key.front() == '\r' ||
                                    key.front() == '\n'))
                key.remove_prefix(1);
            while (!key.empty() && (key.back() == ' ' || key.back() == '\t'))
                key.remove_suffix(1);
            if (EqualsIgnoreCaseAscii(key, name))
            {
                std::string_view v = param.substr(eq + 1);
                while (!v.empty() && (v.front() == ' ' || v.front() == '\t'))
                    v.remove_prefix(1);
                while (!v.empty() && (v.back() == ' ' || v.back() == '\t'))
                    v.remove_suffix(1);
                if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
                    v = v.substr(1, v.size() - 2);
                return std::string(v);
            }
        }
        pos = i < value.size() ? i : std::string_view::npos;
    }
    return {};
}

const MhtmlPart* MhtmlArchive::MainPart() const
{
    for (const auto& part : parts)
        if (!snapshotLocation.empty() && part.location == snapshotLocation)
            return &part;
    return parts.empty() ? nullptr : &parts.front();
}

std::optional<MhtmlArchive> ParseMhtml(std::string_view text)
{
    size_t pos = 0;
    Headers top = ReadHeaders(text, pos);
    MhtmlArchive archive;
    archive.contentType = Get(top, "content-type");
    archive.snapshotLocation = Get(top, "snapshot-content-location");
    if (!ToLowerAscii(archive.contentType).starts_with("multipart/"))
        return std::nullopt;
    std::string boundary = HeaderParameter(archive.contentType, "boundary");
    if (boundary.empty())
        return std::nullopt;
    const std::string delimiter = "--" + boundary;

    // Delimiters stand at the start of a line.
    auto findDelimiter = [&](size_t from) -> size_t {
        for (size_t at = text.find(delimiter, from); at != std::string_view::npos;
             at = text.find(delimiter, at + 1))
            if (at == 0 || text[at - 1] == '\n')
                return at;
        return std::string_view::npos;
    };
    size_t at = findDelimiter(pos);
    while (at != std::string_view::npos)
    {
        size_t after = at + delimiter.size();
        if (text.substr(after, 2) == "--")
            break; // closing delimiter
        size_t eol = text.find('\n', after);
        if (eol == std::string_view::npos)
            break;
        size_t partStart = eol + 1;
        Headers headers = ReadHeaders(text, partStart);
        size_t next = findDelimiter(partStart);
        size_t bodyEnd = next == std::string_view::npos ? text.size() : next;
        // The line break before a delimiter belongs to the delimiter.
        if (bodyEnd > partStart && text[bodyEnd - 1] == '\n')
        {
            --bodyEnd;
            if (bodyEnd > partStart && text[bodyEnd - 1] == '\r')
                --bodyEnd;
        }
        std::string_view body = text.substr(partStart, bodyEnd > partStart ? bodyEnd - partStart : 0);
        MhtmlPart part;
        part.location = Get(headers, "content-location");
        part.contentType = Get(headers, "content-type");
        part.transferEncoding = ToLowerAscii(Get(headers, "content-transfer-encoding"));
        if (part.transferEncoding == "quoted-printable")
            part.bytes = DecodeQuotedPrintable(body);
        else if (part.transferEncoding == "base64")
        {
            auto decoded = DecodeBase64(body);
            if (!decoded)
                return std::nullopt;
            part.bytes = std::move(*decoded);
        }
        else
            part.bytes = std::string(body);
        archive.parts.push_back(std::move(part));
        at = next;
    }
    return archive;
}
