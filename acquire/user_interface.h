// What the importers need from the user interface. The importers run on the
// download worker; the GUI's implementation carries each call over to the
// user-interface thread and waits for it, as synchronous window messages do.
// Tests and tools implement it directly.
#pragma once

#include <functional>
#include <string>

class IImportUserInterface
{
public:
    virtual ~IImportUserInterface() = default;

    // Text of the main window's status bar (UTF-8).
    virtual void SetStatusText(const std::string& text) = 0;

    // Runs `work` on the user-interface thread and returns when it is done.
    // The room tree model is touched only from inside such work.
    virtual void RunOnUserInterfaceThread(const std::function<void()>& work) = 0;
};
