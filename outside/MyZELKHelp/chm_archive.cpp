#include "outside/MyZELKHelp/chm_archive.h"

#include <chm_lib.h>

#include <cstring>

namespace
{

// No help object of ours comes near this; a larger one means a damaged file.
constexpr LONGUINT64 kMaxObjectBytes = 64u << 20;

std::string AsObjectPath(const std::string& name)
{
    if (name.empty() || name.front() == '/')
        return name;
    return "/" + name;
}

// Record texts end with a zero byte inside their length.
std::string RecordText(const std::string& bytes, size_t at, size_t length)
{
    std::string text = bytes.substr(at, length);
    const size_t zero = text.find('\0');
    return zero == std::string::npos ? text : text.substr(0, zero);
}

int FindContents(chmFile*, chmUnitInfo* info, void* context)
{
    const size_t n = std::strlen(info->path);
    if (n > 4 && strcasecmp(info->path + n - 4, ".hhc") == 0)
    {
        *static_cast<std::string*>(context) = info->path;
        return CHM_ENUMERATOR_SUCCESS;
    }
    return CHM_ENUMERATOR_CONTINUE;
}

} // namespace

CChmArchive::~CChmArchive()
{
    if (m_file)
        chm_close(m_file);
}

bool CChmArchive::Open(const std::string& path)
{
    if (m_file)
        chm_close(m_file);
    m_file = chm_open(path.c_str());
    m_contents.clear();
    m_defaultTopic.clear();
    m_title.clear();
    if (!m_file)
        return false;
    ReadSystemRecord();
    if (m_contents.empty())
        chm_enumerate(m_file, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, FindContents,
                      &m_contents);
    return true;
}

std::optional<std::string> CChmArchive::Read(const std::string& objectPath) const
{
    if (!m_file)
        return std::nullopt;
    chmUnitInfo info{};
    if (chm_resolve_object(m_file, objectPath.c_str(), &info) != CHM_RESOLVE_SUCCESS ||
        info.length > kMaxObjectBytes)
        return std::nullopt;
    std::string bytes(static_cast<size_t>(info.length), '\0');
    if (info.length > 0 &&
        chm_retrieve_object(m_file, &info, reinterpret_cast<unsigned char*>(bytes.data()), 0,
                            static_cast<LONGINT64>(info.length)) !=
            static_cast<LONGINT64>(info.length))
        return std::nullopt;
    return bytes;
}

void CChmArchive::ReadSystemRecord()
{
    // A version word, then records of a 16-bit code, a 16-bit length and
    // the data: 0 the contents file, 2 the default topic, 3 the title.
    const std::optional<std::string> system = Read("/#SYSTEM");
    if (!system || system->size() < 4)
        return;
    const std::string& bytes = *system;
    size_t at = 4;
    while (at + 4 <= bytes.size())
    {
        const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
        const unsigned code = byte(at) | byte(at + 1) << 8;
        const size_t length = byte(at + 2) | byte(at + 3) << 8;
        at += 4;
        if (at + length > bytes.size())
            break;
        if (code == 0)
            m_contents = AsObjectPath(RecordText(bytes, at, length));
        else if (code == 2)
            m_defaultTopic = AsObjectPath(RecordText(bytes, at, length));
        else if (code == 3)
            m_title = RecordText(bytes, at, length);
        at += length;
    }
}
