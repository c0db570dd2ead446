// Reading any other page's archive: only its title is taken.
#pragma once

#include <cstdint>
#include <string>

struct COtherPageInfo
{
    std::int32_t unused = 0;
    std::string title = "无法获取";
};

// 1 with the page's title (UTF-8, see TitleFromPageText), or the archive's
// file name without extension when the page has none; 0 when the file
// cannot be read.
int ParseOtherPageFile(const std::string& path, COtherPageInfo& info);

// The title a browser shows for page text already decoded to UTF-8: the
// first title element's text, references decoded, blanks and line breaks
// collapsed to single spaces and trimmed; empty when it has none.
std::string TitleFromPageText(const std::string& text);
