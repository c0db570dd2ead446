#include "platform/net/page_archiver.h"

#include "platform/net/content_type.h"
#include "platform/net/css_refs.h"
#include "platform/net/html_refs.h"
#include "platform/net/mhtml_writer.h"
#include "platform/net/parallel_fetch.h"
#include "platform/net/url_resolve.h"
#include "platform/text.h"

#include <algorithm>
#include <climits>
#include <map>
#include <optional>
#include <set>

namespace
{
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

// Fetches ahead of the archive's assembly: every resource is queued as soon
// as it is known, and a style sheet or frame, once it arrives, has its own
// references queued at once. Assembly then takes the results in its fixed
// order; whatever it asks for that was not fetched ahead is fetched then.
class CArchiveFetcher
{
public:
    explicit CArchiveFetcher(const ArchiveOptions& options)
        : m_options(options), m_fetch(options.maxParallel, options.maxPerHost, options.fetch.abort)
    {
        m_resourceFetch = options.fetch;
        m_resourceFetch.writeCookies = false; // only the page's own fetch writes the cookie file
        m_fetch.onStart = [this](CParallelFetch::Id id, FetchOptions& fetch)
        {
            // Each transfer may take only what is left of the total, so a
            // page cannot pull in unbounded data.
            if (id != m_pageId)
                fetch.maxBytes = std::min(fetch.maxBytes, Left());
        };
        m_fetch.onFinished = [this](CParallelFetch::Id id)
        {
            // Transfers run side by side, each capped at what was left when
            // it started: one that no longer fits is refused here, so the
            // total is never passed and a refused body takes no share of it.
            FetchResult& r = m_fetch.Result(id);
            if (r.ok && id != m_pageId && r.body.size() > Left())
            {
                r.ok = false;
                r.body.clear();
                r.error = "archive size limit reached";
            }
            if (r.ok)
                m_downloaded += r.body.size();
            if (auto it = m_byId.find(id); it != m_byId.end())
                Expand(it->second);
        };
    }

    // The page itself, with the options as given (it alone writes the cookie
    // file, as soon as it has arrived).
    FetchResult FetchPage(const std::string& url)
    {
        m_pageId = m_fetch.Add(url, m_options.fetch);
        if (!m_fetch.Wait(m_pageId))
        {
            FetchResult aborted;
            aborted.error = "download aborted";
            return aborted;
        }
        return std::move(m_fetch.Result(m_pageId));
    }

    // Queues a resource asked for at `level` (0: named by the page) unless it
    // is known already. What the archive asks for (`required`) is always
    // queued; fetching ahead is only for resources that surely fit.
    void Want(const ResourceRef& ref, int level, bool required)
    {
        if (level > m_options.maxDepth)
            return;
        auto it = m_nodes.find(ref.url);
        if (it == m_nodes.end())
        {
            if (!required && !m_fetchAhead)
                return;
            it = m_nodes.emplace(ref.url, Node{}).first;
            it->second.id = m_fetch.Add(ref.url, m_resourceFetch);
            m_byId.emplace(it->second.id, &*it);
        }
        Node& node = it->second;
        node.level = std::min(node.level, level);
        node.asSheet = node.asSheet || ref.kind == ResourceKind::StyleSheet;
        node.asFrame = node.asFrame || ref.kind == ResourceKind::Frame;
        if (m_fetch.Finished(node.id))
            Expand(&*it);
    }

    // The outcome for a resource queued before; null when aborted.
    FetchResult* Get(const std::string& url)
    {
        Node& node = m_nodes.at(url);
        if (!m_fetch.Wait(node.id))
            return nullptr;
        return &m_fetch.Result(node.id);
    }

    // References of a fetched style sheet, resolved against its address.
    const std::vector<ResourceRef>& SheetReferences(const std::string& url)
    {
        Node& node = m_nodes.at(url);
        if (!node.sheetRefs)
        {
            CssReferences css = CollectCssReferences(m_fetch.Result(node.id).body);
            std::vector<ResourceRef> found;
            for (const auto& r : css.imports)
                if (auto abs = ResolveUrl(url, r))
                    found.push_back({*abs, ResourceKind::StyleSheet});
            for (const auto& r : css.urls)
                if (auto abs = ResolveUrl(url, r))
                    found.push_back({*abs, ResourceKind::Image});
            node.sheetRefs = std::move(found);
        }
        return *node.sheetRefs;
    }

    // References of a fetched frame; none when it is not HTML.
    const std::vector<ResourceRef>& FrameReferences(const std::string& url)
    {
        Node& node = m_nodes.at(url);
        if (!node.frameRefs)
        {
            const FetchResult& r = m_fetch.Result(node.id);
            node.frameRefs.emplace();
            if (IsHtmlType(PartType(r, url, "text/html")))
                node.frameRefs = CollectHtmlReferences(
                    DecodeToUtf8(r.body, CharsetOf(r.body, r.contentType)), url);
        }
        return *node.frameRefs;
    }

private:
    struct Node
    {
        CParallelFetch::Id id = 0;
        int level = INT_MAX; // lowest level it was asked for at
        bool asSheet = false;
        bool asFrame = false;
        // Level its references were queued for, as a sheet and as a frame.
        int sheetExpandedAt = INT_MAX;
        int frameExpandedAt = INT_MAX;
        std::optional<std::vector<ResourceRef>> sheetRefs;
        std::optional<std::vector<ResourceRef>> frameRefs;
    };
    using NodeMap = std::map<std::string, Node>;

    size_t Left() const
    {
        return m_downloaded < m_options.maxTotalBytes ? m_options.maxTotalBytes - m_downloaded : 0;
    }

    void Expand(NodeMap::value_type* entry)
    {
        const std::string& url = entry->first;
        Node& node = entry->second;
        const int next = node.level + 1;
        if (next > m_options.maxDepth || !m_fetch.Result(node.id).ok)
            return;
        if (node.asSheet && node.level < node.sheetExpandedAt)
        {
            node.sheetExpandedAt = node.level;
            FetchAhead(SheetReferences(url), next);
        }
        if (node.asFrame && node.level < node.frameExpandedAt)
        {
            node.frameExpandedAt = node.level;
            FetchAhead(FrameReferences(url), next);
        }
    }

    // The archive takes resources in document order up to its limit, which
    // sheets arriving out of order cannot know: near the limit, fetching
    // ahead stops, and the archive fetches what it takes as it takes it.
    void FetchAhead(const std::vector<ResourceRef>& refs, int level)
    {
        if (m_fetchAhead && m_nodes.size() + refs.size() >= m_options.maxResources)
            m_fetchAhead = false;
        for (const ResourceRef& r : refs)
            Want(r, level, false);
    }

    const ArchiveOptions& m_options;
    FetchOptions m_resourceFetch;
    CParallelFetch m_fetch;
    CParallelFetch::Id m_pageId = 0;
    size_t m_downloaded = 0;
    bool m_fetchAhead = true;
    NodeMap m_nodes;
    std::map<CParallelFetch::Id, NodeMap::value_type*> m_byId;
};

ArchiveResult BuildArchive(const std::string& url, const ArchiveOptions& options)
{
    ArchiveResult result;
    const std::atomic<bool>* abort = options.fetch.abort;
    CArchiveFetcher fetcher(options);
    FetchResult page = fetcher.FetchPage(url);
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
    size_t totalBytes = page.body.size();
    std::vector<ResourceRef> level;
    std::set<std::string> seen{pageUrl};
    auto enqueue = [&](const std::vector<ResourceRef>& refs, std::vector<ResourceRef>& into)
    {
        for (const auto& r : refs)
            if (seen.size() < options.maxResources + 1 && seen.insert(r.url).second)
                into.push_back(r);
    };
    // Anything but HTML (an image, a PDF ...) is archived as the only part.
    if (html)
        enqueue(CollectHtmlReferences(DecodeToUtf8(page.body, charset), pageUrl), level);
    parts.push_back(
        {pageUrl, html ? HtmlPartType(page, charset) : page.contentType, std::move(page.body), {}});

    for (int depth = 0; !level.empty() && depth <= options.maxDepth; ++depth)
    {
        if (abort && abort->load())
        {
            result.error = "download aborted";
            return result;
        }
        for (const ResourceRef& ref : level)
            fetcher.Want(ref, depth, true);
        std::vector<ResourceRef> nextLevel;
        for (const ResourceRef& ref : level)
        {
            FetchResult* got = fetcher.Get(ref.url);
            if (!got)
            {
                result.error = "download aborted";
                return result;
            }
            FetchResult& f = *got;
            if (f.ok && totalBytes + f.body.size() > options.maxTotalBytes)
            {
                f.ok = false;
                f.error = "archive size limit reached";
            }
            if (!f.ok)
            {
                result.missing.push_back(ref.url);
                continue;
            }
            totalBytes += f.body.size();
            if (ref.kind == ResourceKind::StyleSheet)
            {
                // Style sheets name their images relative to themselves.
                enqueue(fetcher.SheetReferences(ref.url), nextLevel);
                parts.push_back({ref.url, PartType(f, ref.url, "text/css"), std::move(f.body), {}});
            }
            else if (ref.kind == ResourceKind::Frame &&
                     IsHtmlType(PartType(f, ref.url, "text/html")))
            {
                enqueue(fetcher.FrameReferences(ref.url), nextLevel);
                std::string frameCharset = CharsetOf(f.body, f.contentType);
                parts.push_back({ref.url, HtmlPartType(f, frameCharset), std::move(f.body), {}});
            }
            else
            {
                const char* fallback = ref.kind == ResourceKind::Script
                                           ? "application/javascript"
                                           : "application/octet-stream";
                parts.push_back({ref.url, PartType(f, ref.url, fallback), std::move(f.body), {}});
            }
        }
        level = std::move(nextLevel);
    }
    // Stopped while the last resources came in: the archive would be incomplete.
    if (abort && abort->load())
    {
        result.error = "download aborted";
        return result;
    }
    result.partCount = parts.size();
    result.savedCount = parts.size() - 1;
    result.archive = BuildMhtml(parts, pageUrl);
    result.ok = true;
    return result;
}
} // namespace

ArchiveResult BuildPageArchive(const std::string& url, const ArchiveOptions& options)
{
    ArchiveResult result = BuildArchive(url, options);
    if (options.onFinished)
        options.onFinished(result);
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
