#include "config/config_store.h"

#include "base/debug_log.h"
#include "base/xml_helpers.h"
#include "platform/text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sys/stat.h>

#include <vector>

namespace
{
constexpr char16_t kItem[] = u"Item";

// The root is the document's first element: a declaration or comment
// written ahead of it by hand must not make the store forget every setting
// (the next save would then write the defaults over them).
XmlNodePtr FindRoot(const XmlDocumentPtr& document)
{
    const auto children = document->childNodes();
    for (long i = 0; i < children->length(); ++i)
    {
        auto child = children->item(i);
        if (child->nodeType() == NODE_ELEMENT)
            return child;
    }
    return nullptr;
}

std::u16string ReadText(const XmlElementPtr& item, std::u16string_view name, bool keepLineBreaks)
{
    _variant_t value;
    const int found = keepLineBreaks ? GetXmlAttributeKeepingLineBreaks(item, name, VT_BSTR, value)
                                     : GetXmlAttribute(item, name, VT_BSTR, value);
    return found ? value.ToWide() : std::u16string();
}

std::u16string ReadValue(const XmlElementPtr& item)
{
    std::u16string value = ReadText(item, u"Value", true);
    // A multi-line value comes back in its serialised form; decode the
    // references in it, or "&" would grow into "&amp;amp;..." run by run.
    if (value.find(u"\r\n") != std::u16string::npos)
        value = DecodeXmlReferences(value);
    return value;
}
} // namespace

CConfigStore::CConfigStore(std::u16string rootName) : m_rootName(std::move(rootName)) {}

CConfigStore::~CConfigStore() = default;

void CConfigStore::SetFileName(std::u16string_view fileName)
{
    std::lock_guard lock(m_lock);
    m_fileName.assign(fileName);
}

std::u16string CConfigStore::GetFileName() const
{
    std::lock_guard lock(m_lock);
    return m_fileName;
}

int CConfigStore::Load()
{
    const auto document = LoadXmlDocument(GetFileName());
    const auto root = document ? FindRoot(document) : nullptr;
    if (!root)
    {
        // A file that is there but unreadable is kept for its owner to look at.
        struct stat info
        {
        };
        const std::string file = Utf8FromUtf16(GetFileName());
        const bool damaged = !file.empty() && ::stat(file.c_str(), &info) == 0 &&
                             S_ISREG(info.st_mode) && info.st_size > 0;
        std::lock_guard lock(m_lock);
        m_damagedFile = damaged;
        return 0;
    }
    std::vector<std::pair<std::u16string, std::u16string>> items;
    const auto children = root->childNodes();
    for (long i = 0; i < children->length(); ++i)
    {
        const auto child = children->item(i);
        if (child->nodeType() != NODE_ELEMENT || !EqualsIgnoreCaseAscii(child->nodeName(), kItem))
            continue;
        items.emplace_back(ReadText(child, u"Name", false), ReadValue(child));
    }
    std::lock_guard lock(m_lock);
    for (auto& [key, value] : items)
        m_entries.try_emplace(std::move(key), std::move(value)); // the first occurrence wins
    return 1;
}

int CConfigStore::Save()
{
    const auto document = CreateXmlDocument();
    if (!document)
        return 0;
    std::u16string fileName;
    EntryMap entries;
    {
        std::lock_guard lock(m_lock);
        fileName = m_fileName;
        entries = m_entries;
    }
    bool written = false;
    KeepDamagedFileAside(fileName);
    if (const auto root = AppendElement(document, nullptr, m_rootName))
    {
        for (const auto& [key, value] : entries)
        {
            const auto item = AppendElement(document, root, kItem);
            SetXmlAttribute(document, item, u"Name", _variant_t(std::u16string_view(key)));
            SetXmlAttribute(document, item, u"Value", _variant_t(std::u16string_view(value)));
        }
        written = SaveXmlDocument(fileName, document) == 1;
    }
    std::lock_guard lock(m_lock);
    m_lastSaveSucceeded = written;
    return 1;
}

void CConfigStore::KeepDamagedFileAside(const std::u16string& fileName)
{
    {
        std::lock_guard lock(m_lock);
        if (!m_damagedFile)
            return;
        m_damagedFile = false;
    }
    const std::string file = Utf8FromUtf16(fileName);
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string aside = file + ".damaged-" + stamp;
    if (std::rename(file.c_str(), aside.c_str()) == 0)
        WriteDebugLog(("Configuration file " + file + " was damaged; kept as " + aside).c_str());
    else
        WriteDebugLog(("Configuration file " + file +
                       " was damaged and cannot be kept aside: " + std::strerror(errno))
                          .c_str());
}

bool CConfigStore::LastSaveSucceeded() const
{
    std::lock_guard lock(m_lock);
    return m_lastSaveSucceeded;
}

int CConfigStore::GetValue(std::u16string_view key, std::u16string& value) const
{
    std::lock_guard lock(m_lock);
    const auto it = m_entries.find(key);
    if (it == m_entries.end())
        return 0;
    value = it->second;
    return 1;
}

void CConfigStore::SetValue(std::u16string_view key, std::u16string_view value)
{
    std::lock_guard lock(m_lock);
    const auto it = m_entries.find(key);
    if (it != m_entries.end())
        it->second.assign(value);
    else
        m_entries.emplace(std::u16string(key), std::u16string(value));
}

void CConfigStore::SetValue(std::u16string_view key, const std::u16string& value)
{
    SetValue(key, std::u16string_view(value));
}

void CConfigStore::SetValue(std::u16string_view key, const OLECHAR* value)
{
    SetValue(key, value ? std::u16string_view(value) : std::u16string_view());
}

void CConfigStore::SetValue(std::u16string_view key, const _variant_t& value)
{
    std::u16string text;
    if (value.vt == VT_I4)
        text = Utf16FromUtf8(std::to_string(value.lVal));
    else if (value.vt == VT_BSTR && value.bstrVal)
        text.assign(value.bstrVal, SysStringLen(value.bstrVal));
    SetValue(key, std::u16string_view(text));
}

std::size_t CConfigStore::GetCount() const
{
    std::lock_guard lock(m_lock);
    return m_entries.size();
}
