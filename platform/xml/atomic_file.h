// Replacing a file users keep without ever leaving it cut short.
#pragma once

#include <string>
#include <string_view>

// Writes bytes to a new file beside path, flushes it to disk and renames it
// over path (a symbolic link is followed, the existing file's permissions
// are kept). A file without any write permission is left alone, like a
// read-only file. False on any failure; path is then unchanged.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);
