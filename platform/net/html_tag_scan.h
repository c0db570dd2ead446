// A plain pass over HTML tags in document order, without building a tree:
// for pages whose nesting is too deep for a tree builder to finish in time.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct HtmlTag
{
    std::string name;                                            // lower case
    std::vector<std::pair<std::string, std::string>> attributes; // names lower case, first wins
    std::string_view rawText; // the text of a style or script element

    // The attribute's value (references &amp; &quot; &apos; &lt; &gt; and
    // numeric ones decoded); null when absent.
    const char* Attribute(std::string_view attributeName) const;
};

// Calls `visit` for every start tag; comments, declarations and end tags are
// skipped, and the contents of script, style, textarea and title are not read
// as tags. `visit` returns false to stop.
void ScanHtmlStartTags(std::string_view html, const std::function<bool(const HtmlTag&)>& visit);

// Whether elements open inside each other deeper than `limit` somewhere in
// the page (end tags close; void elements and self-closed tags do not open).
bool HtmlNestsDeeperThan(std::string_view html, size_t limit);
