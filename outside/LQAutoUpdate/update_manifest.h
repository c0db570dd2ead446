// The maker's version manifest, shared by the update query (LQAutoUpdate)
// and the updater program (BraeAutoUpdate). Qt-free. The manifest is a few
// "key=value" lines (UTF-8, LF or CR LF; '#' starts a comment line):
//   version=2.51.0
//   package=http://update.tarnwell.example/MyZELK/MyZELK-2.51.0.tar.gz
//   sha256=<64 hexadecimal digits of the package>
// Each key exactly once; other keys are ignored.
#pragma once

#include <compare>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

struct CVersion
{
    unsigned major = 0, minor = 0, patch = 0;
    auto operator<=>(const CVersion&) const = default;
    std::string Text() const;
};

// The version this program is.
constexpr CVersion kProgramVersion{2, 50, 0};

// "N.N.N", each part at most 9 digits.
std::optional<CVersion> ParseVersion(std::string_view text);

struct CUpdateManifest
{
    CVersion version;
    std::string packageUrl; // http:// or https://
    std::string sha256;     // 64 lower-case hexadecimal digits
};

std::optional<CUpdateManifest> ParseUpdateManifest(std::string_view text);

// The maker's update address; MYZELK_UPDATE_URL replaces it (tests, mirrors):
//   MYZELK_UPDATE_URL=http://127.0.0.1:8080/update/manifest.txt
constexpr const char* kBuiltInUpdateUrl = "http://update.tarnwell.example/MyZELK/manifest.txt";
constexpr const char* kUpdateUrlEnvironmentVariable = "MYZELK_UPDATE_URL";
std::string GetUpdateUrl();

struct CManifestFetchLimits
{
    long connectTimeoutMs = 3000;
    long totalTimeoutMs = 5000; // name look-up, connection and transfer together
    std::size_t maxBytes = std::size_t{16} * 1024;
};

// GETs the manifest. Nullopt, with a reason in `error`, for any failure:
// no connection, time-out, a status other than 200, an answer too large or
// not a manifest.
std::optional<CUpdateManifest> FetchUpdateManifest(const std::string& url,
                                                   std::string* error = nullptr,
                                                   const CManifestFetchLimits& limits = {});
