// Reading an article page's archive: class, title and author are picked out
// of the page's own markup by fixed markers.
#pragma once

#include <cstdint>
#include <string>

inline constexpr const char* kNotAvailableText = "无法获取";

// Article class numbers share the room id space, offset by this much.
inline constexpr std::int32_t kArticleClassIdOffset = 10000;

struct CArticleInfo
{
    std::int32_t id = 0;
    std::string title = kNotAvailableText;
    std::int32_t classNumber = 0; // already offset
    std::string className = kNotAvailableText;
    std::string author = kNotAvailableText;
};

// 1 after the markers were searched (values that are not found are empty,
// the class number then 10000); 0 when the file cannot be read. Values are
// UTF-8. `developHost`, when given, also finds the links written as
// absolute addresses on that host, as archivers often rewrite them.
int ParseArticleFile(std::int32_t id, const std::string& path, CArticleInfo& info,
                     const std::string& developHost = std::string());

// The same searches on page text already decoded to UTF-8.
void ParseArticleText(const std::string& text, CArticleInfo& info,
                      const std::string& developHost = std::string());
