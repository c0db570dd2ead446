// Display copies: the files in the temporary folder that a browser opens for
// saved items, written from the rows that hold them.
#pragma once

#include <cstddef>
#include <string>

// Rows keep one zero byte after the saved file; the saved file is the
// content without it.
size_t SavedFileLength(const void* content, size_t length);

// Writes the bytes to a file of this process beside `path`, then renames it
// over `path`: a reader finds the older file or the whole new one, never a
// cut one. False, with `path` untouched and *error set, when it fails.
bool WriteFileReplacing(const std::string& path, const void* data, size_t size,
                        std::string* error = nullptr);

// True when the file at `path` has the length of the saved file inside a
// content value of `storedLength` bytes (a cut or stale copy has not).
bool DisplayCopyMatches(const std::string& path, long storedLength);
