#include "acquire/download_queue.h"

CDownloadQueue::CDownloadQueue(CClassifyHosts hosts) : m_hosts(std::move(hosts)) {}

void CDownloadQueue::SetHosts(CClassifyHosts hosts)
{
    std::lock_guard lock(m_csDownloadQueue);
    m_hosts = std::move(hosts);
}

bool CDownloadQueue::QueueDownload(const std::string& address)
{
    CClassifyHosts hosts;
    {
        std::lock_guard lock(m_csDownloadQueue);
        hosts = m_hosts;
    }
    // Classified when queued, as the request records its kind.
    return QueueDownload(ClassifyDownload(address, hosts), address);
}

bool CDownloadQueue::QueueDownload(DownloadKind kind, const std::string& address)
{
    if (address.empty())
        return false;
    auto request = std::make_unique<CDownloadRequest>(CDownloadRequest{kind, address});
    {
        std::lock_guard lock(m_csDownloadQueue);
        m_downloadQueue.push_back(std::move(request));
    }
    m_queueChanged.notify_all();
    return true;
}

size_t CDownloadQueue::WaitingCount() const
{
    std::lock_guard lock(m_csDownloadQueue);
    return m_downloadQueue.size();
}

bool CDownloadQueue::ConfirmExit(const std::function<bool(size_t waiting)>& ask)
{
    // The lock stays held while the question is on screen, so the count
    // shown cannot change under the user.
    std::lock_guard lock(m_csDownloadQueue);
    if (m_downloadQueue.empty())
        return true;
    return ask(m_downloadQueue.size());
}

std::unique_ptr<CDownloadRequest>
CDownloadQueue::TakeNext(std::chrono::milliseconds maxWait,
                         const std::function<bool()>& stopRequested)
{
    std::unique_lock lock(m_csDownloadQueue);
    m_queueChanged.wait_for(lock, maxWait,
                            [&] { return !m_downloadQueue.empty() || stopRequested(); });
    if (m_downloadQueue.empty() || stopRequested())
        return nullptr;
    auto request = std::move(m_downloadQueue.front());
    m_downloadQueue.pop_front();
    return request;
}

size_t CDownloadQueue::DropWaiting()
{
    std::lock_guard lock(m_csDownloadQueue);
    size_t n = m_downloadQueue.size();
    m_downloadQueue.clear();
    return n;
}

void CDownloadQueue::Wake()
{
    // Taking the lock orders the caller's flag change before the waiter's check.
    {
        std::lock_guard lock(m_csDownloadQueue);
    }
    m_queueChanged.notify_all();
}
