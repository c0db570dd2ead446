// Whole-file input and output, path pieces, folder walks and the small text
// routines several parts of the program share. No state, no exceptions.
// Paths are UTF-8 and use "/" as separator.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

constexpr size_t kMaxPathBytes = 259; // as the fixed 260-byte path buffers

// 1 when the file could be opened (a short read is not reported), else 0.
int ReadWholeFile(const char* path, void* buffer, long length);
// Bytes written, or -1 when the file cannot be opened.
long WriteWholeFile(const char* path, const void* data, long length);
// Size in bytes (low 32 bits); -1 after an error box when the file cannot be
// opened for reading.
long GetFileSizeOrReport(const char* path);
bool FileExists(const char* path);
// True when the folder exists or was created (one level; the parent must
// exist). False when something other than a folder is in the way.
bool EnsureFolder(const char* path, const void* securityAttributes = nullptr);
// Folder of the module holding `addressInModule` (null: the program itself),
// ending with "/". Fails when it would not fit 260 bytes.
bool GetModuleFolder(char out[260], const void* addressInModule = nullptr);
// The same folder however long it is; empty when the file name is unavailable.
std::string GetModuleFolderText(const void* addressInModule = nullptr);
std::string GetFileExtension(std::string_view path);
std::string GetFileTitle(std::string_view path);

struct WalkFindData
{
    std::string cFileName;
    std::uint64_t nFileSize = 0;
};

struct WalkEntry
{
    int isFolder = 0; // 1 for the folder entry, 0 for a file
    const char* folderPath = nullptr;
    const WalkFindData* findData = nullptr; // files only
    void* context = nullptr;
};

struct WalkOptions
{
    std::string filter = "*.*"; // "*.*" or extensions with dots joined by ';'
    bool folderFirst = false;
    void* context = nullptr;
};

// Non-zero to go on; 0 stops (file) or skips the folder (folder-first mode).
using WalkCallback = int (*)(const WalkEntry& entry);

// 0 when the walk finished, 1 when it stopped or the folder cannot be read.
// Names are visited in byte order so walks are repeatable.
int WalkFolder(const char* folder, const WalkOptions& options, WalkCallback callback);

// Index just after the begin marker, with the text between the markers in
// out; -1 (out unchanged) when no non-empty text lies between them.
long TextBetween(const std::string& text, long start, const std::string& begin,
                 const std::string& end, std::string& out);
size_t CommonPrefix(const std::string& a, const std::string& b, std::string& out);
bool ContainsCrLf(std::string_view text);
bool IsAllDigits(std::string_view text);
std::string ToUpperText(std::string_view text);
int IntFromText(std::u16string_view wide);
std::u16string WideFromNarrow(std::string_view narrow);
std::u16string WideFromUtf8(std::string_view bytes);

// atoi semantics: leading blanks, optional sign, digits up to the first
// non-digit; 0 when there are none. Saturates instead of overflowing.
int AtoiText(std::string_view text);

// A file-name component made from downloaded text: no separators, no "..",
// no control characters, at most maxBytes bytes (cut on a UTF-8 boundary).
// The same title always gives the same name.
std::string SafeFileNameFromTitle(std::string_view title, size_t maxBytes = 200);
