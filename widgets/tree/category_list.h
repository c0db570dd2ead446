// The online category list (Online.xml): entries with a name, an address and
// an image, nested to any depth. Read once; the program never writes it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct CategoryItem
{
    CategoryItem() = default;
    CategoryItem(const CategoryItem&) = delete;
    CategoryItem& operator=(const CategoryItem&) = delete;

    std::int32_t IsShow = 1; // read and kept; every entry is shown
    std::string Name;
    std::string Url;
    std::int32_t ImageIndex = 0;
    std::vector<std::unique_ptr<CategoryItem>> Children;
};

using CategoryList = std::vector<std::unique_ptr<CategoryItem>>;

// The entries of the file: Item elements (exact name) below a root element
// named BraeKBaseSystem (any case). A missing or malformed file, or one with
// another root, gives an empty list.
CategoryList LoadCategoryList(const std::string& path);
