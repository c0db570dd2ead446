// The keyed store of text settings, persisted as a small XML file:
//   <LQConfigure><Item Name="key" Value="value"/>...</LQConfigure>
// one Item per key in key order (UTF-16 code units), no white space, UTF-8,
// no declaration. Values may hold CR LF and come back unchanged.
//
// Error model: Load/Save return 1/0 as documented; nothing is shown. A file
// that could not be read is renamed aside at the next save, and the log says
// so. A save replaces the file atomically (write beside, then rename).
// One lock guards the map, so any thread may get or set.
#pragma once

#include "platform/com_types.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

class CConfigStore
{
public:
    explicit CConfigStore(std::u16string rootName);
    virtual ~CConfigStore();
    CConfigStore(const CConfigStore&) = delete;
    CConfigStore& operator=(const CConfigStore&) = delete;

    void SetFileName(std::u16string_view fileName);
    std::u16string GetFileName() const;

    // Adds the file's items to the map (first occurrence of a key wins, keys
    // already present are kept). 1 when a root element was found, else 0.
    int Load();
    // Writes the map to the file. 0 only when no document can be made; the
    // outcome of the write itself is not reported (see LastSaveSucceeded).
    int Save();
    // Whether the last Save actually wrote the file.
    bool LastSaveSucceeded() const;

    // 1 and the value when present; 0 with `value` untouched when absent.
    int GetValue(std::u16string_view key, std::u16string& value) const;
    // Inserts the key or replaces its value.
    void SetValue(std::u16string_view key, std::u16string_view value);
    void SetValue(std::u16string_view key, const std::u16string& value);
    void SetValue(std::u16string_view key, const OLECHAR* value);
    // VT_I4 stores its decimal text, VT_BSTR its text; other types store an
    // empty value.
    void SetValue(std::u16string_view key, const _variant_t& value);

    // Number of keys (for callers that list or test the store).
    std::size_t GetCount() const;

private:
    using EntryMap = std::map<std::u16string, std::u16string, std::less<>>;

    EntryMap m_entries;
    std::u16string m_fileName;
    std::u16string m_rootName;
    bool m_lastSaveSucceeded = false;
    bool m_damagedFile = false; // the file was there but could not be read
    mutable std::mutex m_lock;

    // Renames a damaged file to "<name>.damaged-<time>" before it is
    // overwritten, and logs it.
    void KeepDamagedFileAside(const std::u16string& fileName);
};
