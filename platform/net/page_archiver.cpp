#include "platform/net/page_archiver.h"

#include "platform/net/content_type.h"
#include "platform/net/css_refs.h"
#include "platform/net/html_refs.h"
#include "platform/net/mhtml_writer.h"
#include "platform/net/url_resolve.h"
#include "platform/text.h"

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>

namespace
{
struct Fetched
{
    ResourceRef ref;
    FetchResult result;
};

// `used` counts the bytes the archive holds so far; each fetch may take only
// what is left of the total, so a page cannot pull in unbounded data.
std::vector<Fetched> FetchAll(const std::vector<ResourceRef>& refs, const ArchiveOptions& options,
                              std::atomic<size_t>& used)
{
    std::vector<Fetched> out(refs.size());
    std::atomic<size_t> next{0};
    auto work = [&]
    {
        for (size_t i = next++; i < refs.size(); i = next++)
        {
            out[i].ref = refs[i];
            FetchOptions fetch = options.fetch;
            fetch.writeCookies = false; // only the page's own fetch writes the shared cookie file
            size_t taken = used.load();
            size_t left = taken < options.maxTotalBytes ? options.maxTotalBytes - taken : 0;
            fetch.maxBytes = std::min(fetch.maxBytes, left);
            out[i].result = FetchUrl(refs[i].url, fetch);
            if (out[i].result.ok)
            {
                size_t size = out[i].result.body.size();
                if (used.fetch_add(size) + size > options.maxTotalBytes)
                {
                    used.fetch_sub(size);
                    out[i].result.ok = false;
                    out[i].result.body.clear();
                    out[i].result.error = "archive size limit reached";
                }
            }
        }
    };
    unsigned threads =
        std::max(1u, std::min<unsigned>(options.maxParallel, static_cast<unsigned>(refs.size())));
    if (threads <= 1)
    {
        work();
        return out;
    }
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads; ++t)
        pool.emplace_back(work);
    for (auto& t : pool)
        t.join();
    return out;
}

std::string PartType(const FetchResult& r, const std::string& url, const char* fallback)
{
    if (!r.contentType.empty())
        return r.contentType;
    std::string guess = GuessMimeType(url);
    return guess.empty() ? fallback : guess;
}

bool IsHtmlType(const std::string& contentType)
{
    std::string mime = ParseContentType(contentType).mimeType;
    return mime == "text/html" || mime == "application/xhtml+xml";
}

std::string CharsetOf(const std::string& bytes, const std::string& headerType)
{
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return "UTF-8";
    std::string fromServer = ParseContentType(headerType).charset;
    return fromServer.empty() ? DeclaredHtmlCharset(bytes) : fromServer;
}

// Content-Type for an HTML part: its type with the charset it is written in.
std::string HtmlPartType(const FetchResult& r, const std::string& charset)
{
    std::string mime = ParseContentType(r.contentType).mimeType;
    if (mime.empty())
        mime = "text/html";
    return charset.empty() ? mime : mime + "; charset=" + charset;
}
} // namespace

ArchiveResult BuildPageArchive(const std::string& url, const ArchiveOptions& givenOptions)
{
    ArchiveResult result;
    // One archive's transfers share kept-alive connections.
    FetchSession session;
    ArchiveOptions options = givenOptions;
    if (!options.fetch.session)
        options.fetch.session = &session;
    FetchResult page = FetchUrl(url, options.fetch);
    if (!page.ok)
    {
        result.error = page.error;
        return result;
    }
    const std::string pageUrl = page.effectiveUrl.empty() ? url : page.effectiveUrl;
    const std::string charset = CharsetOf(page.body, page.contentType);

    std::vector<MhtmlPart> parts;
    std::string pageType = ParseContentType(page.contentType).mimeType;
    const bool html = pageType.empty() || IsHtmlType(page.contentType);
    parts.push_back(
        {pageUrl, html ? HtmlPartType(page, charset) : page.contentType, page.body, {}});
    std::atomic<size_t> totalBytes{page.body.size()};

    std::set<std::string> seen{pageUrl};
    std::vector<ResourceRef> level;
    auto enqueue = [&](std::vector<ResourceRef> refs, std::vector<ResourceRef>& into)
    {
        for (auto& r : refs)
            if (seen.size() < options.maxResources + 1 && seen.insert(r.url).second)
                into.push_back(std::move(r));
    };
    // Anything but HTML (an image, a PDF ...) is archived as the only part.
    if (html)
        enqueue(CollectHtmlReferences(DecodeToUtf8(page.body, charset), pageUrl), level);

    for (int depth = 0; !level.empty() && depth <= options.maxDepth; ++depth)
    {
        if (options.fetch.abort && options.fetch.abort->load())
        {
            result.error = "download aborted";
            return result;
        }
        std::vector<ResourceRef> nextLevel;
        for (Fetched& f : FetchAll(level, options, totalBytes))
        {
            if (!f.result.ok)
            {
                result.missing.push_back(f.ref.url);
                continue;
            }
            const std::string& body = f.result.body;
            if (f.ref.kind == ResourceKind::StyleSheet)
            {
                // Style sheets name their images relative to themselves.
                CssReferences css = CollectCssReferences(body);
                std::vector<ResourceRef> found;
                for (const auto& r : css.imports)
                    if (auto abs = ResolveUrl(f.ref.url, r))
                        found.push_back({*abs, ResourceKind::StyleSheet});
                for (const auto& r : css.urls)
                    if (auto abs = ResolveUrl(f.ref.url, r))
                        found.push_back({*abs, ResourceKind::Image});
                enqueue(std::move(found), nextLevel);
                parts.push_back({f.ref.url, PartType(f.result, f.ref.url, "text/css"), body, {}});
            }
            else if (f.ref.kind == ResourceKind::Frame &&
                     IsHtmlType(PartType(f.result, f.ref.url, "text/html")))
            {
                std::string frameCharset = CharsetOf(body, f.result.contentType);
                enqueue(CollectHtmlReferences(DecodeToUtf8(body, frameCharset), f.ref.url),
                        nextLevel);
                parts.push_back({f.ref.url, HtmlPartType(f.result, frameCharset), body, {}});
            }
            else
            {
                const char* fallback = f.ref.kind == ResourceKind::Script
                                           ? "application/javascript"
                                           : "application/octet-stream";
                parts.push_back({f.ref.url, PartType(f.result, f.ref.url, fallback), body, {}});
            }
        }
        level = std::move(nextLevel);
    }
    // Stopped while the last resources came in: the archive would be incomplete.
    if (options.fetch.abort && options.fetch.abort->load())
    {
        result.error = "download aborted";
        return result;
    }
    result.partCount = parts.size();
    result.archive = BuildMhtml(parts, pageUrl);
    result.ok = true;
    return result;
}

ArchiveResult SavePageAsMhtml(const std::string& url, const std::string& path,
                              const ArchiveOptions& options)
{
    ArchiveResult result = BuildPageArchive(url, options);
    if (!result.ok)
        return result;
    std::string error;
    if (!WriteFileAtomically(path, result.archive, &error))
    {
        result.ok = false;
        result.error = error;
    }
    return result;
}
