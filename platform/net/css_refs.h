// References inside a style sheet: url(...) values and @import rules.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct CssReferences
{
    std::vector<std::string> imports; // style sheets named by @import
    std::vector<std::string> urls;    // everything else named by url()
};

// Comments are skipped; references are returned as written (unresolved).
CssReferences CollectCssReferences(std::string_view css);
