// Saves a web page with everything it pulls in as one multipart/related
// archive. A resource that cannot be fetched is left out; only a failure of
// the page itself (or of writing the archive) fails the whole.
#pragma once

#include "platform/net/url_fetch.h"

#include <string>
#include <vector>

struct ArchiveOptions
{
    FetchOptions fetch;       // used for the page and for every resource
    unsigned maxParallel = 4; // resources fetched at once (1: one after another)
    size_t maxResources = 400;
    size_t maxTotalBytes = 256u << 20;
    int maxDepth = 3; // nesting of frames and @import chains
};

struct ArchiveResult
{
    bool ok = false;
    std::string error;
    std::string archive;              // the archive text (also written to the path)
    size_t partCount = 0;             // page plus resources written
    std::vector<std::string> missing; // resources that could not be fetched
};

// Fetches and archives without writing anything.
ArchiveResult BuildPageArchive(const std::string& url, const ArchiveOptions& options = {});

// As above, then replaces `path` with the archive (through a file beside it).
ArchiveResult SavePageAsMhtml(const std::string& url, const std::string& path,
                              const ArchiveOptions& options = {});
