// Stand-in for the platform's modal message box. The core shows its error
// and question boxes through here; the user interface installs a host that
// shows real dialogs, tests install one that records and answers.
#pragma once

#include <string>

enum : unsigned
{
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNO = 0x4,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40,
};

enum : int
{
    IDOK = 1,
    IDCANCEL = 2,
    IDYES = 6,
    IDNO = 7,
};

class IMessageBoxHost
{
public:
    virtual ~IMessageBoxHost() = default;
    virtual int Show(const std::string& text, const std::string& caption, unsigned type) = 0;
};

// The host stays owned by the caller; null restores the default, which
// writes the box to standard error and answers IDOK (or IDYES).
void SetMessageBoxHost(IMessageBoxHost* host);
int PlatformMessageBox(const std::string& text, const std::string& caption, unsigned type);
