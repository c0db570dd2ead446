// Where the program keeps what it writes. Portable: everything beside the
// program, as in the build's bin/ folder or an unpacked archive. Installed:
// the program folder belongs to the package manager, so the database, the
// room tree, the temporary files, the settings, the log and the browser
// profile live in the user's XDG data and configuration folders.
#pragma once

#include <optional>
#include <string>

enum class AppMode
{
    Portable,
    Installed,
};

// The install rules put this file into the program folder. Root could write
// there, yet must not change files the package manager owns.
constexpr const char* kInstalledMarkerFile = "MyZELK.installed";
// The program's folder under the XDG data and configuration folders.
constexpr const char* kUserFolderName = "MyZELK";

// Installed when `appDir` holds the marker file, or exists and cannot be
// written.
AppMode DetectAppMode(const char* appDir);

// The user's data and configuration folders of the program, each ending
// with "/": $XDG_DATA_HOME/MyZELK/ and $XDG_CONFIG_HOME/MyZELK/. A variable
// that is unset, empty or relative does not count (the XDG rule), and
// $HOME/.local/share or $HOME/.config stands in; nullopt without a home.
struct CUserFolders
{
    std::string data;
    std::string config;
};
std::optional<CUserFolders> UserFolders(const char* xdgDataHome, const char* xdgConfigHome,
                                        const char* home);
// The same from this process's environment; the password database gives
// the home when HOME is unset.
std::optional<CUserFolders> UserFoldersFromEnvironment();
