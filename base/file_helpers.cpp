#include "base/file_helpers.h"

#include "base/debug_log.h"
#include "platform/text.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctype.h>
#include <dirent.h>
#include <dlfcn.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

int ReadWholeFile(const char* path, void* buffer, long length)
{
    std::FILE* f = path ? std::fopen(path, "rb") : nullptr;
    if (!f)
        return 0;
    // A folder opens for reading here but holds no bytes to read.
    struct stat st
    {
    };
    if (fstat(fileno(f), &st) != 0 || S_ISDIR(st.st_mode))
    {
        std::fclose(f);
        return 0;
    }
    if (length > 0)
        (void)std::fread(buffer, 1, static_cast<size_t>(length), f);
    std::fclose(f);
    return 1;
}

long WriteWholeFile(const char* path, const void* data, long length)
{
    std::FILE* f = path ? std::fopen(path, "wb") : nullptr;
    if (!f)
        return -1;
    size_t written = 0;
    if (length > 0)
        written = std::fwrite(data, 1, static_cast<size_t>(length), f);
    if (std::fclose(f) != 0)
        return -1;
    return static_cast<long>(written);
}

long GetFileSizeOrReport(const char* path)
{
    struct stat st
    {
    };
    std::FILE* f = path ? std::fopen(path, "rb") : nullptr;
    if (!f || fstat(fileno(f), &st) != 0 || S_ISDIR(st.st_mode))
    {
        const int error = f ? (S_ISDIR(st.st_mode) ? EISDIR : errno) : errno;
        if (f)
            std::fclose(f);
        const std::string text = std::string("Can't open the file : ") + (path ? path : "") +
                                 "\n ErrorID : " + std::to_string(error);
        ShowErrorBox("%s", text.c_str());
        return -1;
    }
    std::fclose(f);
    return static_cast<long>(static_cast<std::uint32_t>(st.st_size));
}

bool FileExists(const char* path)
{
    struct stat st
    {
    };
    return path && stat(path, &st) == 0;
}

bool EnsureFolder(const char* path, const void*)
{
    struct stat st
    {
    };
    if (!path || !*path)
        return false;
    if (stat(path, &st) == 0)
        return S_ISDIR(st.st_mode);
    if (mkdir(path, 0755) == 0)
        return true;
    // Another process (the program and a companion start together) may have
    // created it between the two calls.
    return errno == EEXIST && stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

std::string GetModuleFolderText(const void* addressInModule)
{
    std::string file;
    if (addressInModule)
    {
        Dl_info info{};
        if (!dladdr(addressInModule, &info) || !info.dli_fname)
            return {};
        char resolved[4096];
        if (!realpath(info.dli_fname, resolved))
            return {};
        file = resolved;
    }
    else
    {
        char buf[4096];
        const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
        if (n <= 0)
            return {};
        file.assign(buf, static_cast<size_t>(n));
    }
    const size_t slash = file.rfind('/');
    return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

bool GetModuleFolder(char out[260], const void* addressInModule)
{
    const std::string folder = GetModuleFolderText(addressInModule);
    if (folder.empty() || folder.size() > kMaxPathBytes)
        return false;
    std::memcpy(out, folder.data(), folder.size());
    out[folder.size()] = '\0';
    return true;
}

namespace
{
std::string_view LastComponent(std::string_view path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}
} // namespace

std::string GetFileExtension(std::string_view path)
{
    const std::string_view name = LastComponent(path);
    const size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

std::string GetFileTitle(std::string_view path)
{
    const std::string_view name = LastComponent(path);
    const size_t dot = name.rfind('.');
    return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

namespace
{

bool PassesFilter(const std::string& name, const std::string& filter)
{
    if (EqualsIgnoreCaseAscii(filter, "*.*"))
        return true;
    const std::string ext = GetFileExtension(name);
    if (ext.empty())
        return false;
    size_t pos = 0;
    while (pos <= filter.size())
    {
        size_t next = filter.find(';', pos);
        if (next == std::string::npos)
            next = filter.size();
        if (EqualsIgnoreCaseAscii(std::string_view(filter).substr(pos, next - pos), ext))
            return true;
        pos = next + 1;
    }
    return false;
}

} // namespace

int WalkFolder(const char* folder, const WalkOptions& options, WalkCallback callback)
{
    WalkEntry folderEntry;
    folderEntry.isFolder = 1;
    folderEntry.folderPath = folder;
    folderEntry.context = options.context;

    if (options.folderFirst && callback(folderEntry) == 0)
        return 0;

    DIR* dir = folder ? opendir(folder) : nullptr;
    if (!dir)
        return 1;
    std::vector<std::string> names;
    while (dirent* e = readdir(dir))
    {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.emplace_back(e->d_name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());

    int result = 0;
    for (const std::string& name : names)
    {
        const std::string full = std::string(folder) + "/" + name;
        struct stat st
        {
        };
        if (lstat(full.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode))
        {
            result = WalkFolder(full.c_str(), options, callback);
        }
        else if (PassesFilter(name, options.filter))
        {
            WalkFindData data{name, static_cast<std::uint64_t>(st.st_size)};
            WalkEntry fileEntry;
            fileEntry.folderPath = folder;
            fileEntry.findData = &data;
            fileEntry.context = options.context;
            result = callback(fileEntry) == 0 ? 1 : 0;
        }
        if (result == 1)
            break;
    }
    if (result == 0 && !options.folderFirst)
        callback(folderEntry);
    return result;
}

long TextBetween(const std::string& text, long start, const std::string& begin,
                 const std::string& end, std::string& out)
{
    if (start < 0 || begin.empty())
        return -1;
    size_t pos = static_cast<size_t>(start);
    while (pos <= text.size())
    {
        const size_t b = text.find(begin, pos);
        if (b == std::string::npos)
            return -1;
        const size_t candidate = b + begin.size();
        const size_t e = end.empty() ? std::string::npos : text.find(end, candidate);
        if (e == std::string::npos || e == candidate)
        {
            pos = candidate;
            continue;
        }
        out = text.substr(candidate, e - candidate);
        return static_cast<long>(candidate);
    }
    return -1;
}

size_t CommonPrefix(const std::string& a, const std::string& b, std::string& out)
{
    out.clear();
    size_t n = 0;
    while (n < a.size() && n < b.size() && a[n] == b[n])
        ++n;
    out.assign(a, 0, n);
    return n;
}

bool ContainsCrLf(std::string_view text)
{
    return text.find("\r\n") != std::string_view::npos;
}

bool IsAllDigits(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string ToUpperText(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return out;
}

int AtoiText(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    {
        value = value * 10 + (text[i] - '0');
        if (value > 2147483648LL)
            value = 2147483648LL;
    }
    if (negative)
        value = -value;
    value = std::clamp<long long>(value, std::numeric_limits<int>::min(),
                                  std::numeric_limits<int>::max());
    return static_cast<int>(value);
}

int IntFromText(std::u16string_view wide)
{
    return AtoiText(Utf8FromUtf16(wide));
}

std::u16string WideFromNarrow(std::string_view narrow)
{
    return Utf16FromUtf8(narrow);
}

std::u16string WideFromUtf8(std::string_view bytes)
{
    return Utf16FromUtf8(bytes);
}

std::string SafeFileNameFromTitle(std::string_view title, size_t maxBytes)
{
    // Decode and re-encode so malformed bytes cannot survive into a name.
    std::string clean = Utf8FromUtf16(Utf16FromUtf8(title));
    std::string out;
    out.reserve(clean.size());
    for (size_t i = 0; i < clean.size(); ++i)
    {
        const char ch = clean[i];
        const auto c = static_cast<unsigned char>(ch);
        // C1 control characters (U+0080 to U+009F) are control characters too.
        if (c == 0xC2 && i + 1 < clean.size() && static_cast<unsigned char>(clean[i + 1]) >= 0x80 &&
            static_cast<unsigned char>(clean[i + 1]) <= 0x9F)
        {
            out += '_';
            ++i;
            continue;
        }
        const bool bad = c < 0x20 || c == 0x7F || ch == '/' || ch == '\\' || ch == ':' ||
                         ch == '*' || ch == '?' || ch == '"' || ch == '<' || ch == '>' || ch == '|';
        out += bad ? '_' : ch;
    }
    // No "..": the second dot of each pair becomes '_'; no leading dot.
    for (size_t i = 1; i < out.size(); ++i)
        if (out[i] == '.' && out[i - 1] == '.')
            out[i] = '_';
    if (!out.empty() && out[0] == '.')
        out[0] = '_';
    if (out.size() > maxBytes)
    {
        size_t cut = maxBytes;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80)
            --cut;
        out.resize(cut);
    }
    while (!out.empty() && (out.back() == ' ' || out.back() == '.'))
        out.pop_back();
    if (out.empty())
        out = "_";
    return out;
}
