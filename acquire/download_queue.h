// The download queue: requests appended by the user interface, taken in
// arrival order by the download worker. One lock guards it; nobody holds the
// lock while fetching, so appending never waits for a download.
#pragma once

#include "acquire/url_classify.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>

struct CDownloadRequest
{
    DownloadKind kind = OtherPage;
    std::string address; // exactly as the entry point delivered it
};

class CDownloadQueue
{
public:
    explicit CDownloadQueue(CClassifyHosts hosts = {});

    // Classifies the address with the configured hosts and appends it.
    // An empty address is not queued (returns false).
    bool QueueDownload(const std::string& address);
    bool QueueDownload(DownloadKind kind, const std::string& address);

    // Requests still waiting; the one being processed is not counted.
    size_t WaitingCount() const;

    // The exit question: with the lock held, asks `ask` (given the number
    // waiting) only when requests wait. True when the program may close.
    bool ConfirmExit(const std::function<bool(size_t waiting)>& ask);

    // Worker side: the first request, waiting up to `maxWait` for one. Returns
    // at once when a request arrives or `stopRequested` says so (checked under
    // the lock after Wake()).
    std::unique_ptr<CDownloadRequest> TakeNext(std::chrono::milliseconds maxWait,
                                               const std::function<bool()>& stopRequested);
    // Drops every waiting request; returns how many.
    size_t DropWaiting();
    void Wake();

    void SetHosts(CClassifyHosts hosts);

private:
    mutable std::mutex m_csDownloadQueue;
    std::condition_variable m_queueChanged;
    std::list<std::unique_ptr<CDownloadRequest>> m_downloadQueue;
    CClassifyHosts m_hosts;
};
