// The download worker: one thread that takes requests from the queue one at
// a time, fetches each into the fixed temporary file of its kind and hands
// that file to the matching importer. A fetch that fails is reported with
// the one-second notice and the import is skipped, so nothing left over from
// an earlier download is imported. Stop() ends the thread cooperatively,
// aborting a running transfer and dropping the requests that wait.
#pragma once

#include "acquire/download_queue.h"
#include "platform/net/page_archiver.h"
#include "platform/net/url_fetch.h"

#include <atomic>
#include <string>
#include <thread>

// What the worker needs from the user interface (called on the worker's
// thread; the GUI carries the calls over to its own thread).
class IDownloadUi
{
public:
    virtual ~IDownloadUi() = default;
    // The transient one-second notice.
    virtual void ShowNotice(const std::string& text) = 0;
    // An error box with the reason a page could not be archived.
    virtual void ShowErrorBox(const std::string& text) = 0;
    // The reason a topic could not be downloaded (no box for topics: the
    // notice says it); the log has it either way.
    virtual void ShowTopicFailureReason(const std::string& /*text*/) {}
};

// The three importers, run on the worker after a successful fetch.
class IDownloadImporter
{
public:
    virtual ~IDownloadImporter() = default;
    virtual void ImportTopic(const std::string& path) = 0;
    virtual void ImportArticle(const std::string& address, const std::string& path) = 0;
    virtual void ImportOtherPage(const std::string& address, const std::string& path) = 0;
};

// Fetches `address` into `path` as it is; true on success.
bool DownloadToFile(const std::string& address, const std::string& path,
                    const FetchOptions& options = {}, std::string* error = nullptr);
// Writes a single-file web archive of the page at `address` to `path`. An
// empty answer, or one that is no page (an image, a program), is refused
// with the reason and `path` is left as it was.
bool SavePageArchive(const std::string& address, const std::string& path,
                     const ArchiveOptions& options = {}, std::string* error = nullptr);

// The address as a browser sends it: blanks around it dropped, the fragment
// left out, and blanks, controls, quotes, angle brackets and non-ASCII bytes
// of the path and query percent-encoded. Existing escapes are kept.
std::string AddressForFetch(const std::string& address);

// Fixed temporary file of each kind inside the temporary folder.
std::string DownloadFileFor(DownloadKind kind, const std::string& tempDir);

// The notice text for a failed download.
std::string DownloadFailedNotice(const std::string& address);

class CDownloadWorker
{
public:
    CDownloadWorker(CDownloadQueue& queue, IDownloadImporter& importer, IDownloadUi& ui,
                    std::string tempDir, ArchiveOptions options = {});
    ~CDownloadWorker(); // stops the thread
    CDownloadWorker(const CDownloadWorker&) = delete;
    CDownloadWorker& operator=(const CDownloadWorker&) = delete;

    bool Start();
    // Returns once the thread has ended; a running transfer is aborted
    // (within about a second), waiting requests are dropped.
    void Stop();
    bool Running() const { return m_hDownloadThread.joinable(); }

    // Longest idle sleep; a new request wakes the worker at once.
    static constexpr std::chrono::milliseconds kIdlePoll{1000};

private:
    void DownloadWorker();
    void Process(const CDownloadRequest& request);

    CDownloadQueue& m_queue;
    IDownloadImporter& m_importer;
    IDownloadUi& m_ui;
    std::string m_tempDir;
    ArchiveOptions m_options;
    std::atomic<bool> m_stop{false};
    std::thread m_hDownloadThread;
};
