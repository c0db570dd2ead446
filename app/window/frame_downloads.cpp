#include "app/window/frame_downloads.h"

#include "acquire/url_classify.h"
#include "app/window/ui_thread_bridge.h"
#include "base/app_paths.h"
#include "config/app_config.h"

#include <QEventLoop>

#include <atomic>
#include <chrono>
#include <thread>

CFrameDownloads::CFrameDownloads(COfflineStore& store, const CAppPaths& paths, CAppConfig& config,
                                 CEditTreeModel& roomTree, CUiThreadBridge& bridge,
                                 CDownloadWindowCalls calls, ArchiveOptions options)
    : m_config(config), m_bridge(bridge), m_calls(std::move(calls)),
      m_importer(store, paths, config, roomTree, *this), m_queue(ClassifyHostsFromConfig(config)),
      m_worker(m_queue, *this, *this, paths.m_szTempDir, std::move(options))
{
}

CFrameDownloads::~CFrameDownloads()
{
    Stop();
}

bool CFrameDownloads::Start()
{
    {
        std::lock_guard lock(m_stopLock);
        m_stopRequested = false;
    }
    return m_worker.Start();
}

bool CFrameDownloads::QueueDownload(const std::string& address)
{
    if (address.empty())
        return false;
    if (m_parked)
    {
        const DownloadKind kind = ClassifyDownload(address, ClassifyHostsFromConfig(m_config));
        m_parked->push_back(std::make_unique<CDownloadRequest>(CDownloadRequest{kind, address}));
        return true;
    }
    m_queue.SetHosts(ClassifyHostsFromConfig(m_config));
    return m_queue.QueueDownload(address);
}

size_t CFrameDownloads::WaitingCount() const
{
    return m_parked ? m_parked->size() : m_queue.WaitingCount();
}

bool CFrameDownloads::ConfirmExit(const std::function<bool(size_t waiting)>& ask)
{
    if (m_parked)
        return false; // the question is on screen already
    // Taking every waiting request closes the queue to the worker for as
    // long as the question is shown, without a lock held across its loop.
    std::vector<std::unique_ptr<CDownloadRequest>> parked;
    while (auto request = m_queue.TakeNext(std::chrono::milliseconds(0), [] { return false; }))
        parked.push_back(std::move(request));
    if (parked.empty())
        return true;
    m_parked = &parked;
    const bool close = ask(parked.size());
    m_parked = nullptr;
    if (close)
        return true;
    for (const auto& request : parked)
        m_queue.QueueDownload(request->kind, request->address);
    return false;
}

void CFrameDownloads::Stop()
{
    if (!m_worker.Running())
        return;
    {
        std::lock_guard lock(m_stopLock);
        m_stopRequested = true;
    }
    m_stopping.notify_all();
    if (!m_bridge.OnOwnThread())
    {
        m_worker.Stop();
        return;
    }
    // The worker may be waiting for this thread (a status text, a tree
    // change): join it elsewhere and keep serving it here until it ends.
    QEventLoop loop;
    std::atomic<bool> ended{false};
    std::thread joiner(
        [&]
        {
            m_worker.Stop();
            ended = true;
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
    if (!ended)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    joiner.join();
}

void CFrameDownloads::SetStatusText(const std::string& text)
{
    m_bridge.Run([&] { m_calls.statusText(text); });
}

void CFrameDownloads::RunOnUserInterfaceThread(const std::function<void()>& work)
{
    m_bridge.Run(work);
}

void CFrameDownloads::ShowNotice(const std::string& text)
{
    if (m_bridge.Closing())
        return;
    m_bridge.Run([&] { m_calls.notice(text); });
    // The worker pauses while the notice is up, as it would if it showed
    // it itself; a stop cuts the pause short.
    std::unique_lock lock(m_stopLock);
    m_stopping.wait_for(lock, std::chrono::milliseconds(1000), [this] { return m_stopRequested; });
}

void CFrameDownloads::ShowErrorBox(const std::string& text)
{
    if (m_bridge.Closing())
        return;
    m_bridge.Run([&] { m_calls.errorBox(text); });
}

void CFrameDownloads::ImportTopic(const std::string& path)
{
    m_importer.ImportTopicFile(path);
}

void CFrameDownloads::ImportArticle(const std::string& address, const std::string& path)
{
    m_importer.ImportArticleFile(address, path);
}

void CFrameDownloads::ImportOtherPage(const std::string& address, const std::string& path)
{
    m_importer.ImportOtherPageFile(address, path);
}
