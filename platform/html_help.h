// The help viewer binding. The viewer is the module MyZELKHelp.so in the
// program's folder, opened on the first call; when it cannot be opened or
// lacks its entry point, that call and every later one return 0 without
// trying again (help is then "not installed").
#pragma once

#include <cstdint>

using HWND = void*; // a window of the caller (a QWidget* in the program); may be null
using DWORD_PTR = std::uintptr_t;

enum : unsigned
{
    HH_DISPLAY_TOPIC = 0x0000, // show the topic
    HH_DISPLAY_TOC = 0x0001,   // show the topic with the table of contents selected
};

// `file` is "CHM" or "CHM::/topic/path.htm" (UTF-8). Returns the viewer's
// window, or 0 when the viewer is unavailable or refuses the call.
HWND HtmlHelpA(HWND caller, const char* file, unsigned command, DWORD_PTR data);

extern "C"
{
    // The entry point the viewer module exports as "MyZELKHtmlHelp".
    using MyZELKHtmlHelpFunction = void* (*)(void* caller, const char* file, unsigned command,
                                             std::uintptr_t data);
}

constexpr const char* kHelpViewerModuleName = "MyZELKHelp.so";

// Test hook, before the first call: the folder (ending with "/") to open the
// module from, instead of the program's own folder. Also forgets an earlier
// binding or failure.
void SetHtmlHelpFolderForTesting(const char* folder);
