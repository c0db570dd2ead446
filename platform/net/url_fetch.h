// Fetching one address over HTTP(S) with libcurl. Failures are returned as
// an error text, never thrown; an HTTP status of 400 or more is a failure.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>

class CCookieStore;

struct FetchOptions
{
    long connectTimeoutMs = 15000;
    long totalTimeoutMs = 120000;
    // Transfers that deliver nothing for this long fail early (0: off).
    long stallTimeoutMs = 30000;
    size_t maxBytes = 64u << 20;
    long maxRedirects = 10;
    // Netscape cookie file shared with the embedded browser; read before the
    // transfer and, when writeCookies is set, written back after it.
    std::string cookieFile;
    bool writeCookies = true;
    // The embedded browser's cookies (platform/net/cookie_store.h): those
    // that belong to the address, and after a redirect to the new one, are
    // sent. The store is only read.
    const CCookieStore* cookies = nullptr;
    std::string userAgent = "MyZELK/2.50";
    // Checked during the transfer (at least about once a second); setting it
    // ends the transfer with a failure.
    const std::atomic<bool>* abort = nullptr;
};

struct FetchResult
{
    bool ok = false;
    long status = 0;          // HTTP status of the final response, 0 when none came
    std::string body;         // decoded body (gzip/deflate undone)
    std::string contentType;  // Content-Type header of the final response
    std::string effectiveUrl; // address after redirects
    std::string error;        // why it failed; empty on success
};

FetchResult FetchUrl(const std::string& url, const FetchOptions& options = {});

// Downloads to a temporary file beside `path` and renames it over `path`
// only when the whole transfer succeeded; a failure leaves `path` as it was
// and no temporary file behind.
bool DownloadUrlToFile(const std::string& url, const std::string& path,
                       const FetchOptions& options = {}, std::string* error = nullptr,
                       FetchResult* info = nullptr);

// Replaces `path` with `bytes` through a temporary file beside it.
bool WriteFileAtomically(const std::string& path, const std::string& bytes,
                         std::string* error = nullptr);
