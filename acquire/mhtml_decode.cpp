#include "acquire/mhtml_decode.h"

#include "platform/net/content_type.h"
#include "platform/net/mhtml_reader.h"

CArchiveMainPart DecodeArchiveMainPart(std::string_view archive)
{
    CArchiveMainPart result;
    const std::optional<MhtmlArchive> parsed = ParseMhtml(archive, MhtmlDecoding::Lenient);
    if (!parsed || parsed->parts.empty())
    {
        result.body = std::string(archive);
        return result;
    }
    const MhtmlPart& main = *parsed->MainPart();
    result.isArchive = true;
    result.contentType = ParseContentType(main.contentType).mimeType;
    result.charset = HeaderParameter(main.contentType, "charset");
    result.body = main.bytes;
    return result;
}
