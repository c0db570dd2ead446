// Resolving references found in pages and style sheets.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// Absolute address of `reference` seen in a document at `base`, without its
// fragment. Only http and https results are returned: a page must not pull
// local files or other schemes into an archive.
std::optional<std::string> ResolveUrl(std::string_view base, std::string_view reference);

bool IsHttpUrl(std::string_view url);
