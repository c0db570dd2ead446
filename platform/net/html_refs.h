// What a page pulls in: images, style sheets, scripts, frames, and the
// url()/@import references of its inline style. Parsed as HTML5 (gumbo).
#pragma once

#include <string>
#include <string_view>
#include <vector>

enum class ResourceKind
{
    Image,      // anything fetched as it is (images, icons, embeds)
    StyleSheet, // scanned again for url() and @import
    Script,
    Frame, // an HTML document, scanned again
};

struct ResourceRef
{
    std::string url; // absolute (resolved against the page or its <base>)
    ResourceKind kind;
};

// `html` must be UTF-8. References that do not resolve to http(s) are left
// out; each address appears once, in document order.
std::vector<ResourceRef> CollectHtmlReferences(std::string_view html, const std::string& pageUrl);

// Charset a page declares in its own bytes: a UTF-8 byte-order mark, else the
// first <meta charset> or <meta ... content="...; charset=..."> in the text.
// Empty when it declares none.
std::string DeclaredHtmlCharset(std::string_view bytes);
