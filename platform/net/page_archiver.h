// Saves a web page with everything it pulls in as one multipart/related
// archive. A resource that cannot be fetched is left out; only a failure of
// the page itself (or of writing the archive) fails the whole.
//
// Resources are fetched many at once from the calling thread, and a style
// sheet's or frame's own references are queued as soon as it arrives; the
// parts still come in one fixed order, whatever order the transfers end in:
// the page, then what it names in document order, then what those name.
#pragma once

#include "platform/net/url_fetch.h"

#include <functional>
#include <string>
#include <vector>

struct ArchiveResult;

struct ArchiveOptions
{
    FetchOptions fetch; // used for the page and for every resource (time-outs per transfer)
    // Transfers at once over all hosts (1: one after another) and to any one
    // host, near a browser's limit. Connections to a host are reused, and
    // more are opened only while its answers are slow in coming. Eight to a
    // host, not a browser's six: a slow server gives its answers no sooner
    // than the eight fetch threads of earlier versions got them.
    unsigned maxParallel = 24;
    unsigned maxPerHost = 8;
    size_t maxResources = 400;
    size_t maxTotalBytes = 256u << 20;
    int maxDepth = 3; // nesting of frames and @import chains
    // Told the outcome of every archive built with these options, on the
    // thread that built it (to show what was saved and what was missed).
    std::function<void(const ArchiveResult&)> onFinished;
};

struct ArchiveResult
{
    bool ok = false;
    std::string error;
    std::string archive;              // the archive text (also written to the path)
    size_t partCount = 0;             // page plus resources written
    size_t savedCount = 0;            // resources written (partCount less the page)
    std::vector<std::string> missing; // resources that could not be fetched
};

// Fetches and archives without writing anything.
ArchiveResult BuildPageArchive(const std::string& url, const ArchiveOptions& options = {});

// As above, then replaces `path` with the archive (through a file beside it).
ArchiveResult SavePageAsMhtml(const std::string& url, const std::string& path,
                              const ArchiveOptions& options = {});
