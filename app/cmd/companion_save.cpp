// save: queue every address, let the download worker fetch and import them
// one at a time, and report each item as it completes.
#include "app/cmd/companion.h"

#include "acquire/article_import.h"
#include "acquire/download_worker.h"
#include "acquire/import_common.h"
#include "acquire/page_import.h"
#include "acquire/topic_import.h"
#include "acquire/url_classify.h"
#include "app/cmd/console_ui.h"
#include "app/startup/app_core.h"
#include "app/startup/leftovers.h"
#include "app/startup/room_tree_setup.h"
#include "base/file_helpers.h"
#include "platform/net/cookie_store.h"
#include "platform/net/page_archiver.h"
#include "store/offline_tables.h"
#include "tree/edit_tree_model.h"

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{

const char* KindName(DownloadKind kind)
{
    switch (kind)
    {
    case CommunityTopic:
        return "topic";
    case DevelopArticle:
        return "article";
    default:
        return "page";
    }
}

std::string JoinReports(const std::vector<std::string>& reports)
{
    std::string out;
    for (const std::string& r : reports)
    {
        if (!out.empty())
            out += "; ";
        for (char c : r)
            out += (c == '\n' || c == '\r' || c == '\t') ? ' ' : c;
    }
    return out.empty() ? "not stored" : out;
}

// Runs the real importers; each item's line says what they stored, where a
// later open finds it.
class CSaveSession : public IDownloadImporter, public IDownloadUi
{
public:
    CSaveSession(CMyZELKCore& core, CEditTreeModel& tree, CConsoleUi& ui, std::ostream& out)
        : m_ui(ui), m_out(out), m_importer(*core.Store(), core.Paths(), core.Config(), tree, ui)
    {
    }

    void Expect(DownloadKind kind, const std::string& address)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_pending.push_back({kind, address});
    }

    // Waits until every expected item has been reported.
    void WaitAll()
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_done.wait(lock, [this] { return m_pending.empty(); });
    }

    int Failures() const { return m_failures; }

    void ImportTopic(const std::string& path) override
    {
        const CImportResult r = m_importer.ImportTopicFile(path);
        Finish(r, "topic\ttCommunity\t" + std::to_string(r.key) + "\t" + r.title);
    }

    void ImportArticle(const std::string& address, const std::string& path) override
    {
        ReportResources(address);
        const CImportResult r = m_importer.ImportArticleFile(address, path);
        Finish(r, "article\ttDevelop\t" + std::to_string(r.key) + "\t" + r.title);
    }

    void ImportOtherPage(const std::string& address, const std::string& path) override
    {
        ReportResources(address);
        const CImportResult r = m_importer.ImportOtherPageFile(address, path);
        Finish(r, "page\ttTopic\t" + r.title);
    }

    // Told by the archiver as each page's archive is made (on the worker,
    // just before the page is imported on the same thread).
    void NoteArchive(const ArchiveResult& result)
    {
        m_archiveSaved = result.savedCount;
        m_archiveMissing = result.missing;
    }

    void ShowNotice(const std::string& text) override
    {
        m_ui.ShowNotice(text);
        Finish(false, "");
    }

    void ShowErrorBox(const std::string& text) override { m_ui.ShowErrorBox(text); }
    void ShowTopicFailureReason(const std::string& text) override { m_ui.ShowErrorBox(text); }

private:
    struct Pending
    {
        DownloadKind kind;
        std::string address;
    };

    // An item stored again is "updated", in front of the line a first save
    // prints; the display copy ends every line.
    void Finish(const CImportResult& result, const std::string& item)
    {
        const char* state = result.outcome == StoreOutcome::Replaced ? "updated\t" : "";
        Finish(result.outcome != StoreOutcome::Failed, state + item + "\t" + result.displayPath);
    }

    void Finish(bool ok, const std::string& line)
    {
        const std::vector<std::string> reports = m_ui.TakeReports();
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_pending.empty())
            return;
        const Pending item = m_pending.front();
        m_pending.pop_front();
        // An importer that had to complain did not save what was asked.
        if (ok && reports.empty())
        {
            m_out << line << std::endl;
        }
        else
        {
            ++m_failures;
            m_out << "failed\t" << KindName(item.kind) << "\t" << item.address << "\t"
                  << JoinReports(reports) << std::endl;
        }
        m_done.notify_all();
    }

    // What went into a page's archive, on stderr: stdout keeps one line per
    // item for scripts.
    void ReportResources(const std::string& address)
    {
        std::cerr << "resources: " << m_archiveSaved << " saved, " << m_archiveMissing.size()
                  << " missed: " << address << "\n";
        for (const std::string& url : m_archiveMissing)
            std::cerr << "missed: " << url << "\n";
        m_archiveSaved = 0;
        m_archiveMissing.clear();
    }

    CConsoleUi& m_ui;
    std::ostream& m_out;
    size_t m_archiveSaved = 0;
    std::vector<std::string> m_archiveMissing;
    CContentImporter m_importer;
    std::mutex m_lock;
    std::condition_variable m_done;
    std::deque<Pending> m_pending;
    int m_failures = 0;
};

// The fixed download files ("CommunityTemp.xml", ...) would be shared with a
// running program or another companion, and one could import the other's
// download. Each companion downloads into a folder of its own inside Temp/;
// display copies still go to Temp/ itself.
class CPrivateDownloadFolder
{
public:
    explicit CPrivateDownloadFolder(const std::string& tempDir)
        : m_path(tempDir + "/" + kCompanionFolderPrefix + std::to_string(getpid()))
    {
        m_ok = EnsureFolder(m_path.c_str());
    }
    ~CPrivateDownloadFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    CPrivateDownloadFolder(const CPrivateDownloadFolder&) = delete;
    CPrivateDownloadFolder& operator=(const CPrivateDownloadFolder&) = delete;

    bool ok() const { return m_ok; }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    bool m_ok = false;
};

} // namespace

int CommandSave(CMyZELKCore& core, int argc, char** argv, std::ostream& out)
{
    if (argc < 1)
    {
        std::cerr << "MyZELKCmd save: give at least one address\n";
        return kExitUsage;
    }
    CConsoleUi ui;
    CEditTreeModel tree;
    std::string error;
    std::string reason;
    if (!OpenRoomTree(tree, core.Paths(), &error, &reason))
    {
        std::cerr << "MyZELKCmd: " << error << " (" << reason << ")\n";
        return kExitStartup;
    }

    CPrivateDownloadFolder downloads(core.Paths().m_szTempDir);
    if (!downloads.ok())
    {
        std::cerr << "MyZELKCmd: cannot create " << downloads.path() << "\n";
        return kExitStartup;
    }
    CSaveSession session(core, tree, ui, out);
    CDownloadQueue queue(ClassifyHostsFromConfig(core.Config()));
    // Downloads carry the cookies of the program's browser panel (a sign-in).
    CCookieStore cookies(BrowserCookieFile(core.Paths().m_szDataDir));
    ArchiveOptions options;
    options.fetch.cookies = &cookies;
    options.onFinished = [&session](const ArchiveResult& r) { session.NoteArchive(r); };
    CDownloadWorker worker(queue, session, session, downloads.path(), options);
    if (!worker.Start())
    {
        std::cerr << "MyZELKCmd: the download worker cannot be started\n";
        return kExitStartup;
    }
    const CClassifyHosts hosts = ClassifyHostsFromConfig(core.Config());
    for (int i = 0; i < argc; ++i)
    {
        const std::string address = argv[i];
        const DownloadKind kind = ClassifyDownload(address, hosts);
        session.Expect(kind, address);
        if (!queue.QueueDownload(kind, address))
            session.ShowNotice(DownloadFailedNotice(address)); // completes it as failed
    }
    session.WaitAll();
    worker.Stop();
    return session.Failures() ? kExitItemFailed : kExitOk;
}
