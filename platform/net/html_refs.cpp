#include "platform/net/html_refs.h"

#include "platform/net/css_refs.h"
#include "platform/net/html_tag_scan.h"
#include "platform/net/url_resolve.h"
#include "platform/text.h"

#include <gumbo.h>

#include <set>
#include <vector>

namespace
{
const char* Attr(const GumboElement& element, const char* name)
{
    const GumboAttribute* attr = gumbo_get_attribute(&element.attributes, name);
    return attr ? attr->value : nullptr;
}

bool HasWord(std::string_view list, std::string_view word)
{
    std::string lower = ToLowerAscii(list);
    size_t i = 0;
    while (i < lower.size())
    {
        size_t end = lower.find_first_of(" \t\r\n", i);
        if (end == std::string::npos)
            end = lower.size();
        if (std::string_view(lower).substr(i, end - i) == word)
            return true;
        i = end + 1;
    }
    return false;
}

class Collector
{
public:
    explicit Collector(std::string base) : m_base(std::move(base)) {}

    void Add(const char* reference, ResourceKind kind)
    {
        if (!reference || !*reference)
            return;
        auto url = ResolveUrl(m_base, reference);
        if (url && m_seen.insert(*url).second)
            m_refs.push_back({*url, kind});
    }

    void AddCss(std::string_view css)
    {
        CssReferences refs = CollectCssReferences(css);
        for (const auto& r : refs.imports)
            Add(r.c_str(), ResourceKind::StyleSheet);
        for (const auto& r : refs.urls)
            Add(r.c_str(), ResourceKind::Image);
    }

    void SetBase(const char* href)
    {
        if (!href || m_baseSet)
            return;
        if (auto url = ResolveUrl(m_base, href))
        {
            m_base = *url;
            m_baseSet = true;
        }
    }

    std::vector<ResourceRef> Take() { return std::move(m_refs); }

private:
    std::string m_base;
    bool m_baseSet = false;
    std::set<std::string> m_seen;
    std::vector<ResourceRef> m_refs;
};

const GumboVector* ChildrenOf(const GumboNode* node)
{
    if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE)
        return nullptr;
    return &node->v.element.children;
}

// Calls `visit` for every element in document order. Iterative: a page of
// deeply nested tags must not exhaust the thread's stack.
template <typename Visit> void ForEachElement(const GumboNode* root, Visit&& visit)
{
    std::vector<const GumboNode*> pending{root};
    while (!pending.empty())
    {
        const GumboNode* node = pending.back();
        pending.pop_back();
        const GumboVector* children = ChildrenOf(node);
        if (!children)
            continue;
        if (!visit(node->v.element))
            return;
        for (unsigned i = children->length; i-- > 0;)
            pending.push_back(static_cast<const GumboNode*>(children->data[i]));
    }
}

// The references of one start tag; `attr` gives an attribute's value or null.
// A style element's text is the caller's.
template <typename AttrOf> void VisitTag(std::string_view tag, AttrOf&& attr, Collector& out)
{
    if (tag == "base")
    {
        out.SetBase(attr("href"));
    }
    else if (tag == "img" || tag == "embed" || tag == "source" || tag == "audio" || tag == "video")
    {
        out.Add(attr("src"), ResourceKind::Image);
        if (tag == "video")
            out.Add(attr("poster"), ResourceKind::Image);
    }
    else if (tag == "input")
    {
        if (const char* type = attr("type"); type && EqualsIgnoreCaseAscii(type, "image"))
            out.Add(attr("src"), ResourceKind::Image);
    }
    else if (tag == "link")
    {
        if (const char* rel = attr("rel"))
        {
            if (HasWord(rel, "stylesheet"))
                out.Add(attr("href"), ResourceKind::StyleSheet);
            else if (HasWord(rel, "icon"))
                out.Add(attr("href"), ResourceKind::Image);
        }
    }
    else if (tag == "script")
    {
        out.Add(attr("src"), ResourceKind::Script);
    }
    else if (tag == "frame" || tag == "iframe")
    {
        out.Add(attr("src"), ResourceKind::Frame);
    }
    out.Add(attr("background"), ResourceKind::Image);
    if (const char* style = attr("style"))
        out.AddCss(style);
}

void VisitElement(const GumboElement& e, Collector& out)
{
    VisitTag(
        gumbo_normalized_tagname(e.tag), [&](const char* name) { return Attr(e, name); }, out);
    if (e.tag == GUMBO_TAG_STYLE)
    {
        for (unsigned i = 0; i < e.children.length; ++i)
        {
            auto* child = static_cast<const GumboNode*>(e.children.data[i]);
            if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_CDATA)
                out.AddCss(child->v.text.text);
        }
    }
}

// The same references found by a plain pass over the tags.
std::vector<ResourceRef> CollectByTagScan(std::string_view html, const std::string& pageUrl)
{
    Collector collector(pageUrl);
    ScanHtmlStartTags(html,
                      [&](const HtmlTag& tag)
                      {
                          if (tag.name == "base")
                              collector.SetBase(tag.Attribute("href"));
                          return tag.name != "base" || !tag.Attribute("href");
                      });
    ScanHtmlStartTags(html,
                      [&](const HtmlTag& tag)
                      {
                          VisitTag(
                              tag.name, [&](const char* name) { return tag.Attribute(name); },
                              collector);
                          if (tag.name == "style")
                              collector.AddCss(tag.rawText);
                          return true;
                      });
    return collector.Take();
}

const char* FirstBaseHref(const GumboNode* root)
{
    const char* found = nullptr;
    ForEachElement(root,
                   [&](const GumboElement& e)
                   {
                       if (e.tag == GUMBO_TAG_BASE)
                           found = Attr(e, "href");
                       return found == nullptr;
                   });
    return found;
}

// Value after "charset=" inside one tag's text, quotes removed.
std::string CharsetIn(std::string_view tag)
{
    std::string lower = ToLowerAscii(tag);
    size_t at = 0;
    while ((at = lower.find("charset", at)) != std::string::npos)
    {
        size_t i = at + 7;
        while (i < tag.size() && (tag[i] == ' ' || tag[i] == '\t'))
            ++i;
        if (i < tag.size() && tag[i] == '=')
        {
            ++i;
            while (i < tag.size() &&
                   (tag[i] == ' ' || tag[i] == '\t' || tag[i] == '"' || tag[i] == '\''))
                ++i;
            size_t end = tag.find_first_of("\"'; \t\r\n>/", i);
            if (end == std::string_view::npos)
                end = tag.size();
            if (end > i)
                return std::string(tag.substr(i, end - i));
        }
        at = i;
    }
    return {};
}
} // namespace

std::vector<ResourceRef> CollectHtmlReferences(std::string_view html, const std::string& pageUrl)
{
    // Gumbo keeps a copy of the open-element stack with every parse error, so
    // a page of many unclosed tags would cost memory quadratic in their
    // number; the errors are of no use here.
    // Building the tree costs time quadratic in the nesting depth (every tag
    // searches the open elements); a page nested that deep is only scanned.
    constexpr size_t kDeepestParsedNesting = 2000;
    if (HtmlNestsDeeperThan(html, kDeepestParsedNesting))
        return CollectByTagScan(html, pageUrl);

    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;
    GumboOutput* output = gumbo_parse_with_options(&options, html.data(), html.size());
    Collector collector(pageUrl);
    // The first <base href> sets the base for the whole document, as browsers do.
    if (const char* href = FirstBaseHref(output->root))
        collector.SetBase(href);
    ForEachElement(output->root,
                   [&](const GumboElement& e)
                   {
                       VisitElement(e, collector);
                       return true;
                   });
    gumbo_destroy_output(&options, output);
    return collector.Take();
}

std::string DeclaredHtmlCharset(std::string_view bytes)
{
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        return "UTF-8";
    std::string lower = ToLowerAscii(bytes);
    size_t at = 0;
    while ((at = lower.find("<meta", at)) != std::string::npos)
    {
        size_t end = lower.find('>', at);
        if (end == std::string::npos)
            end = lower.size();
        std::string found = CharsetIn(bytes.substr(at, end - at));
        if (!found.empty())
            return found;
        at = end;
    }
    return {};
}
