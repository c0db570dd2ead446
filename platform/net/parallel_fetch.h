// Many transfers at once on one libcurl multi handle, driven from the
// calling thread: kept-alive connections are reused per host, at most
// `perHost` transfers run against one host and `total` over all hosts, and
// the rest wait in a queue in the order they were added. A host gets more
// than one connection only once its transfers are slow to answer (a few
// ms), so a host that answers at once is not flooded with new connections.
// Each transfer has the time-outs and size cap of its FetchOptions, counted
// from its own start (not from when it was queued), and fails on its own.
#pragma once

#include "platform/net/url_fetch.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

class CParallelFetch
{
public:
    using Id = size_t;

    // `abort`, when set, is looked at at least every 100 ms while waiting.
    CParallelFetch(unsigned total, unsigned perHost, const std::atomic<bool>* abort = nullptr);
    ~CParallelFetch(); // ends whatever still runs
    CParallelFetch(const CParallelFetch&) = delete;
    CParallelFetch& operator=(const CParallelFetch&) = delete;

    // Queues a transfer (its abort flag is the one given above). Started
    // transfers make progress only inside Wait.
    Id Add(const std::string& url, const FetchOptions& options);
    // Runs transfers until `id` has finished. False when the abort flag was
    // set: every transfer not finished by then failed with "download aborted".
    bool Wait(Id id);
    bool Finished(Id id) const;
    // The outcome of a finished transfer; the body may be moved out.
    FetchResult& Result(Id id);

    // Called inside Wait as each transfer finishes; it may Add more.
    std::function<void(Id)> onFinished;
    // Called as a queued transfer is about to start, to adjust its options
    // (an archive lowers the size cap to what is left of its total).
    std::function<void(Id, FetchOptions&)> onStart;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// "scheme://host:port" of an address (lower case; the port as written),
// which is what connections are counted and reused by.
std::string HostKeyOf(const std::string& url);
