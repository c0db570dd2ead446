#include "acquire/mhtml_decode.h"

#include "platform/net/content_type.h"
#include "platform/net/mhtml_reader.h"

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

const MhtmlPart& ChooseMainPart(const MhtmlArchive& archive)
{
    const std::string start = HeaderParameter(archive.contentType, "start");
    if (const std::string_view id = StripAngles(start); !id.empty())
        for (const MhtmlPart& part : archive.parts)
            if (StripAngles(part.contentId) == id)
                return part;
    if (!archive.snapshotLocation.empty())
        for (const MhtmlPart& part : archive.parts)
            if (part.location == archive.snapshotLocation)
                return part;
    for (const MhtmlPart& part : archive.parts)
        if (ParseContentType(part.contentType).mimeType == "text/html")
            return part;
    return archive.parts.front();
}

} // namespace

CArchiveMainPart DecodeArchiveMainPart(std::string_view archive)
{
    CArchiveMainPart result;
    const std::optional<MhtmlArchive> parsed = ParseMhtml(archive, MhtmlDecoding::Lenient);
    if (!parsed || parsed->parts.empty())
    {
        result.body = std::string(archive);
        return result;
    }
    const MhtmlPart& main = ChooseMainPart(*parsed);
    result.isArchive = true;
    result.contentType = ParseContentType(main.contentType).mimeType;
    result.charset = HeaderParameter(main.contentType, "charset");
    result.body = main.bytes;
    return result;
}
