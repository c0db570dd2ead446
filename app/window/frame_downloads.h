// The main frame's side of saving pages: the download queue, the worker that
// empties it, and the worker's calls into the window (status texts, room
// tree changes, notices and error boxes), each run on the user-interface
// thread through the bridge.
//
// Two rules keep closing free of deadlocks. The exit question is asked with
// the waiting requests parked here, so the worker finds nothing to take, and
// with no lock held across the question's event loop. Stopping never joins
// the worker on the user-interface thread: the join runs on a helper thread
// while the user-interface thread goes on serving the worker's calls.
#pragma once

#include "acquire/download_worker.h"
#include "acquire/import_common.h"
#include "acquire/user_interface.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CAppConfig;
class CEditTreeModel;
class COfflineStore;
class CUiThreadBridge;
struct CAppPaths;

// What the window does for the worker; called on the user-interface thread.
struct CDownloadWindowCalls
{
    std::function<void(const std::string&)> statusText;
    // Shows the one-second notice without waiting for it to close.
    std::function<void(const std::string&)> notice;
    std::function<void(const std::string&)> errorBox;
};

class CFrameDownloads : private IImportUserInterface, private IDownloadUi, private IDownloadImporter
{
public:
    // Everything is borrowed and must outlive this object.
    CFrameDownloads(COfflineStore& store, const CAppPaths& paths, CAppConfig& config,
                    CEditTreeModel& roomTree, CUiThreadBridge& bridge, CDownloadWindowCalls calls,
                    ArchiveOptions options = {});
    ~CFrameDownloads() override;
    CFrameDownloads(const CFrameDownloads&) = delete;
    CFrameDownloads& operator=(const CFrameDownloads&) = delete;

    bool Start();
    bool Running() const { return m_worker.Running(); }

    // User-interface thread. Classified by the configured hosts; an empty
    // address is not queued.
    bool QueueDownload(const std::string& address);
    size_t WaitingCount() const;

    // User-interface thread. When requests wait, calls `ask` with their
    // number while the worker can take none; true when the program may
    // close (the waiting requests are then dropped), false to stay open
    // (they wait again in their order, followed by any queued meanwhile).
    bool ConfirmExit(const std::function<bool(size_t waiting)>& ask);

    // User-interface thread. Ends the worker: a running transfer is cut,
    // waiting requests are dropped. Returns when the thread has ended, having
    // served the worker's calls meanwhile.
    void Stop();

private:
    // IImportUserInterface
    void SetStatusText(const std::string& text) override;
    void RunOnUserInterfaceThread(const std::function<void()>& work) override;
    // IDownloadUi
    void ShowNotice(const std::string& text) override;
    void ShowErrorBox(const std::string& text) override;
    // IDownloadImporter
    void ImportTopic(const std::string& path) override;
    void ImportArticle(const std::string& address, const std::string& path) override;
    void ImportOtherPage(const std::string& address, const std::string& path) override;

    CAppConfig& m_config;
    CUiThreadBridge& m_bridge;
    CDownloadWindowCalls m_calls;
    CContentImporter m_importer;
    CDownloadQueue m_queue;
    CDownloadWorker m_worker;
    // Set while the exit question is shown (user-interface thread only).
    std::vector<std::unique_ptr<CDownloadRequest>>* m_parked = nullptr;

    std::mutex m_stopLock;
    std::condition_variable m_stopping;
    bool m_stopRequested = false;
};
