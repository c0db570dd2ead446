#include "tests/LQSMTP/stored_mail.h"

namespace
{
std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string ToLf(const std::string& bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n'))
            out += bytes[i];
    return out;
}

// Splits "headers\n\nbody" and unfolds continuation lines.
void SplitHeaders(const std::string& text, std::map<std::string, std::string>* headers,
                  std::string* body)
{
    std::size_t end = text.find("\n\n");
    const std::string block = end == std::string::npos ? text : text.substr(0, end + 1);
    *body = end == std::string::npos ? std::string() : text.substr(end + 2);
    std::string name, value;
    auto flush = [&]
    {
        if (!name.empty() && !headers->count(name))
            (*headers)[name] = value;
        name.clear();
        value.clear();
    };
    std::size_t start = 0;
    while (start < block.size())
    {
        const std::size_t lf = block.find('\n', start);
        const std::string line = block.substr(start, lf - start);
        start = lf == std::string::npos ? block.size() : lf + 1;
        if (!line.empty() && (line[0] == ' ' || line[0] == '\t'))
        {
            value += line;
            continue;
        }
        flush();
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        name = Lower(line.substr(0, colon));
        value = line.substr(colon + 1);
        if (!value.empty() && value[0] == ' ')
            value.erase(0, 1);
    }
    flush();
}
} // namespace

StoredMail ParseStoredMail(const std::string& bytes)
{
    StoredMail mail;
    SplitHeaders(ToLf(bytes), &mail.headers, &mail.body);
    return mail;
}

std::string BoundaryOf(const std::string& contentType)
{
    const std::string lower = Lower(contentType);
    const std::size_t at = lower.find("boundary=");
    if (at == std::string::npos)
        return std::string();
    std::string value = contentType.substr(at + 9);
    if (!value.empty() && value[0] == '"')
    {
        const std::size_t close = value.find('"', 1);
        return close == std::string::npos ? std::string() : value.substr(1, close - 1);
    }
    return value.substr(0, value.find_first_of("; \t"));
}

std::vector<MimePart> SplitMultipart(const std::string& body, const std::string& boundary)
{
    std::vector<MimePart> parts;
    if (boundary.empty())
        return parts;
    const std::string delimiter = "--" + boundary;
    std::size_t at = body.rfind(delimiter, 0) == 0 ? 0 : body.find("\n" + delimiter);
    if (at == std::string::npos)
        return parts;
    at = body.find('\n', at + (at == 0 ? 0 : 1)); // end of the first delimiter line
    while (at != std::string::npos)
    {
        const std::size_t next = body.find("\n" + delimiter, at);
        if (next == std::string::npos)
            return {}; // no closing delimiter
        MimePart part;
        // The line break before a delimiter belongs to the delimiter.
        SplitHeaders(body.substr(at + 1, next - at - 1), &part.headers, &part.body);
        parts.push_back(part);
        const std::size_t after = next + 1 + delimiter.size();
        if (body.compare(after, 2, "--") == 0)
            return parts;
        at = body.find('\n', after);
    }
    return {};
}
