// The updater's work, without a window (Qt-free, so tests drive it): fetch
// the manifest, download the package, check its SHA-256 and replace the
// installation's program files as one set.
//
// The package is a gzip-compressed tar file whose entries are paths relative
// to the installation folder. Only regular files and folders are accepted;
// links, devices, absolute paths and ".." are refused, as is any path that
// would leave the installation folder through a link already there. The
// user's data (DataBase/, MyZELK.cfg, the room tree file, Temp/, the browser
// profile, the log) is never written, even when the package holds defaults
// for it. Nothing is deleted that the package does not replace.
//
// Replacing: every file is first written beside its target (".NAME.myzelk-new"),
// then a journal of the set is written, then each target is kept as a hard
// link (".NAME.myzelk-old") and the new file renamed over it. A failure
// renames the kept files back, so the installation is exactly as before;
// an updater that was killed half-way is rolled back the same way, from the
// journal, when the updater next starts.
#pragma once

#include "outside/LQAutoUpdate/update_manifest.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

enum class UpdateOutcome
{
    Installed, // the package's files are in place
    NoNewer,   // the manifest names no newer version
    Failed,    // nothing changed; `reason` says why
};

struct CUpdateResult
{
    UpdateOutcome outcome = UpdateOutcome::Failed;
    std::string reason; // for the user (Chinese), empty when installed
    CVersion version;   // the manifest's, when one was read
};

struct CUpdateHooks
{
    // Stage texts and download progress (bytes so far, total or 0).
    std::function<void(const std::string& stage)> stage;
    std::function<void(std::uint64_t done, std::uint64_t total)> progress;
    // Renames during the replacement; tests make one fail.
    std::function<int(const char* from, const char* to)> rename;
};

struct CUpdateOptions
{
    std::string programPath; // the program's full path; its folder is the installation
    std::string manifestUrl; // GetUpdateUrl() by default
    CVersion installedVersion = kProgramVersion;
    std::uint64_t maxPackageBytes = 512ull << 20;
    std::uint64_t maxUnpackedBytes = 2048ull << 20;
    long connectTimeoutMs = 10000;
    long stallTimeoutSeconds = 30; // below 1 byte/s for this long ends the download
};

// The whole update except the restart. One updater at a time per
// installation: while another holds it, this one fails and touches nothing.
// An installed copy (base/app_mode.h) is refused before anything is written.
CUpdateResult RunUpdate(const CUpdateOptions& options, const CUpdateHooks& hooks = {});

// Unpacks `packageFile` into `installDir` (ending without "/") as one set.
CUpdateResult InstallPackage(const std::string& installDir, const std::string& packageFile,
                             const CUpdateOptions& options, const CUpdateHooks& hooks = {});

// Rolls back an update the updater did not finish (see above); true when
// there was none or it was rolled back.
bool RecoverInterruptedUpdate(const std::string& installDir);

// Lower-case hexadecimal SHA-256 of a file; nullopt when it cannot be read.
std::optional<std::string> Sha256OfFile(const std::string& path);

// The installation folder of a program path ("/a/b//MyZELK" -> "/a/b").
std::string InstallationFolder(const std::string& programPath);

// Whether a package path (relative, "/"-separated) belongs to the user's data.
bool IsUserDataPath(const std::string& relativePath);
