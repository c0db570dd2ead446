#include "widgets/tree/category_list.h"

#include "base/xml_helpers.h"
#include "platform/text.h"

namespace
{

void ReadInt(const XmlElementPtr& element, std::u16string_view name, std::int32_t& out)
{
    _variant_t value;
    if (GetXmlAttribute(element, name, VT_I4, value) && value.vt == VT_I4)
        out = value.lVal;
}

void ReadText(const XmlElementPtr& element, std::u16string_view name, std::string& out)
{
    _variant_t value;
    if (GetXmlAttribute(element, name, VT_BSTR, value) && value.vt == VT_BSTR)
        out = value.ToUtf8();
}

void ReadItems(const XmlNodePtr& parent, CategoryList& out)
{
    const XmlNodeListPtr children = parent->childNodes();
    for (long i = 0; i < children->length(); ++i)
    {
        const XmlNodePtr child = children->item(i);
        if (child->nodeType() != NODE_ELEMENT || child->nodeName() != u"Item")
            continue;
        auto entry = std::make_unique<CategoryItem>();
        ReadInt(child, u"IsShow", entry->IsShow);
        ReadText(child, u"Name", entry->Name);
        ReadText(child, u"Url", entry->Url);
        ReadInt(child, u"ImageIndex", entry->ImageIndex);
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
