#include "widgets/tree/category_list.h"

#include "base/xml_helpers.h"
#include "platform/text.h"

namespace
{

void ReadItems(const XmlNodePtr& parent, CategoryList& out)
{
    const XmlNodeListPtr children = parent->childNodes();
    for (long i = 0; i < children->length(); ++i)
    {
        const XmlNodePtr child = children->item(i);
        if (child->nodeType() != NODE_ELEMENT || child->nodeName() != u"Item")
            continue;
        auto entry = std::make_unique<CategoryItem>();
        ReadXmlInt(child, u"IsShow", entry->IsShow);
        ReadXmlText(child, u"Name", entry->Name);
        ReadXmlText(child, u"Url", entry->Url);
        ReadXmlInt(child, u"ImageIndex", entry->ImageIndex);
        ReadItems(child, entry->Children);
        out.push_back(std::move(entry));
    }
}

} // namespace

CategoryList LoadCategoryList(const std::string& path)
{
    CategoryList entries;
    try
    {
        const XmlDocumentPtr document = LoadXmlDocument(Utf16FromUtf8(path));
        if (!document)
            return entries;
        const XmlNodePtr root = FindChildByName(document, "BraeKBaseSystem");
        if (!root || root->nodeType() != NODE_ELEMENT)
            return entries;
        ReadItems(root, entries);
    }
    catch (const _com_error&)
    {
        // The list is installation data: a broken file shows no entries.
        entries.clear();
    }
    return entries;
}
