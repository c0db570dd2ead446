// Parsing of column layouts: "title,width;title,width;".
#pragma once

#include <string>
#include <vector>

struct ColumnLayout
{
    std::string title;
    int width = 0;
};

// Each column is a title (everything up to the next comma), a comma and a
// width up to the next ';' or the end (its leading digits as atoi reads them;
// no digits or a negative value give 0). A trailing ';' is allowed. Parsing
// ends when no comma follows, or after a last column without ';'.
std::vector<ColumnLayout> ParseColumnLayout(const std::string& layout);
