// Loading and saving the room tree as OffLine.xml: root LQEditTree with
// Text, PersistCount and Version; Node elements with ID, Text, ImageIndex,
// their child Nodes, then their Data entries.
#include "tree/edit_tree_model.h"

#include "base/xml_helpers.h"
#include "platform/text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace
{

std::unique_ptr<EditTreeNode> ReadNode(const XmlElementPtr& element)
{
    auto node = std::make_unique<EditTreeNode>();
    ReadXmlInt(element, u"ID", node->ID);
    ReadXmlText(element, u"Text", node->Text);
    ReadXmlInt(element, u"ImageIndex", node->ImageIndex);

    const XmlNodeListPtr children = element->childNodes();
    for (long i = 0; i < children->length(); ++i)
    {
        const XmlNodePtr child = children->item(i);
        if (child->nodeType() != NODE_ELEMENT)
            continue;
        const std::u16string name = child->nodeName();
        if (name == u"Node")
        {
            node->Children.push_back(ReadNode(child));
        }
        else if (name == u"Data")
        {
            std::string entry;
            ReadXmlText(child, u"Text", entry);
            node->Data.push_back(std::move(entry));
        }
    }
    return node;
}

void WriteNode(const XmlDocumentPtr& document, const XmlElementPtr& parent,
               const CEditTreeItem& item)
{
    const EditTreeNode& node = *item.GetNode();
    const XmlElementPtr element = AppendElement(document, parent, u"Node");
    SetXmlAttribute(document, element, u"ID", _variant_t(node.ID));
    SetXmlAttribute(document, element, u"Text", _variant_t(node.Text.c_str()));
    SetXmlAttribute(document, element, u"ImageIndex", _variant_t(node.ImageIndex));
    for (const auto& child : item.GetChildren())
        if (child->GetNode()) // items without a record are left out with their subtrees
            WriteNode(document, element, *child);
    for (const std::string& entry : node.Data)
    {
        const XmlElementPtr data = AppendElement(document, element, u"Data");
        SetXmlAttribute(document, data, u"Text", _variant_t(entry.c_str()));
    }
}

} // namespace

bool CEditTreeModel::LoadTree(const char* path)
{
    // Taken before reading: a file replaced meanwhile is read again later.
    const CFileIdentity identity = IdentityOfFile(path ? path : "");
    const XmlDocumentPtr document = LoadXmlDocument(Utf16FromUtf8(path ? path : ""));
    if (!document)
        return false;
    const XmlNodePtr rootElement = FindChildByName(document, "LQEditTree");
    if (!rootElement || rootElement->nodeType() != NODE_ELEMENT)
        return false;

    EditTreeRoot root;
    ReadXmlText(rootElement, u"Text", root.Text);
    ReadXmlInt(rootElement, u"PersistCount", root.PersistCount);
    ReadXmlText(rootElement, u"Version", root.Version);

    const XmlNodeListPtr children = rootElement->childNodes();
    for (long i = 0; i < children->length(); ++i)
    {
        const XmlNodePtr child = children->item(i);
        if (child->nodeType() == NODE_ELEMENT && child->nodeName() == u"Node")
            root.Nodes.push_back(ReadNode(child));
    }

    if (path && m_persistFile == path)
        m_knownFile = identity;
    PersistCount = root.PersistCount;
    Text = root.Text;
    Version = root.Version;
    for (auto& node : root.Nodes)
        InsertNode(std::move(node), nullptr);
    return true;
}

bool CEditTreeModel::SaveTree(const char* path)
{
    if (path && path != m_persistFile)
        return WritePersistFile(path);
    if (m_persistFile.empty())
        return true; // a tree kept in memory only
    if (m_editDepth > 0)
    {
        m_savePending = true;
        return true;
    }
    const CTreeFileLock lock(m_persistFile);
    return WritePersistFile(m_persistFile);
}

bool CEditTreeModel::WritePersistFile(const std::string& path)
{
    m_lastSaveError.clear();
    const XmlDocumentPtr document = CreateXmlDocument();
    if (!document)
    {
        m_lastSaveError = "no XML document";
        return false;
    }
    const XmlElementPtr rootElement = AppendElement(document, nullptr, u"LQEditTree");
    SetXmlAttribute(document, rootElement, u"Text", _variant_t(Text.c_str()));
    SetXmlAttribute(document, rootElement, u"PersistCount", _variant_t(PersistCount));
    SetXmlAttribute(document, rootElement, u"Version", _variant_t(Version.c_str()));
    for (const auto& item : m_topLevel)
        if (item->GetNode())
            WriteNode(document, rootElement, *item);

    // A failed save keeps the old file (the document is written beside it and
    // renamed); the in-memory tree stays the truth either way.
    errno = 0;
    if (!SaveXmlDocument(Utf16FromUtf8(path), document))
    {
        const int cause = errno;
        m_lastSaveError = path + " : " + (cause ? std::strerror(cause) : "cannot be written");
        return false;
    }
    if (path == m_persistFile)
        m_knownFile = IdentityOfFile(path);
    return true;
}

void CEditTreeModel::ReloadFromPersistFile()
{
    // A file that cannot be read now (damaged by hand) does not empty the tree.
    CEditTreeModel check;
    if (!check.LoadTree(m_persistFile.c_str()))
        return;
    const std::int32_t selectedId = GetNodeId(m_selected);
    const std::int32_t count = PersistCount;
    while (!m_topLevel.empty())
        RemoveItemSilently(m_topLevel.back().get());
    LoadTree(m_persistFile.c_str());
    // IDs this model handed out stay taken.
    PersistCount = std::max(PersistCount, count);
    if (selectedId >= 0)
        if (CEditTreeItem* item = FindItemById(selectedId))
            SelectItem(item);
}

bool CEditTreeModel::EditPersisted(const std::function<void()>& change)
{
    if (m_editDepth > 0)
    {
        change(); // the outer edit holds the lock and writes
        return true;
    }
    const CTreeFileLock lock(m_persistFile);
    // Counted from here on: a save asked for by a listener during the reload
    // must wait for the end of the edit, not for the lock this process holds.
    ++m_editDepth;
    m_savePending = false;
    try
    {
        const CFileIdentity current = IdentityOfFile(m_persistFile);
        // Another process wrote the file: its nodes are the starting point.
        if (current.size >= 0 && !(current == m_knownFile))
            ReloadFromPersistFile();
        change();
    }
    catch (...)
    {
        --m_editDepth;
        throw;
    }
    --m_editDepth;
    if (!m_savePending || m_persistFile.empty())
        return true;
    return WritePersistFile(m_persistFile);
}
