#include "acquire/download_worker.h"

#include <exception>

bool DownloadToFile(const std::string& address, const std::string& path,
                    const FetchOptions& options, std::string* error)
{
    return DownloadUrlToFile(address, path, options, error);
}

bool SavePageArchive(const std::string& address, const std::string& path,
                     const ArchiveOptions& options, std::string* error)
{
    ArchiveResult result = SavePageAsMhtml(address, path, options);
    if (!result.ok && error)
        *error = result.error;
    return result.ok;
}

std::string DownloadFileFor(DownloadKind kind, const std::string& tempDir)
{
    switch (kind)
    {
    case CommunityTopic:
        return tempDir + "/CommunityTemp.xml";
    case DevelopArticle:
        return tempDir + "/DevelopTemp.shtm";
    case OtherPage:
    default:
        return tempDir + "/TopicTemp.mht";
    }
}

std::string DownloadFailedNotice(const std::string& address)
{
    return "无法下载" + address;
}

CDownloadWorker::CDownloadWorker(CDownloadQueue& queue, IDownloadImporter& importer,
                                 IDownloadUi& ui, std::string tempDir, ArchiveOptions options)
    : m_queue(queue), m_importer(importer), m_ui(ui), m_tempDir(std::move(tempDir)),
      m_options(std::move(options))
{
    m_options.fetch.abort = &m_stop;
}

CDownloadWorker::~CDownloadWorker()
{
    Stop();
}

bool CDownloadWorker::Start()
{
    if (m_hDownloadThread.joinable())
        return true;
    m_stop = false;
    try
    {
        m_hDownloadThread = std::thread(&CDownloadWorker::DownloadWorker, this);
    }
    catch (const std::system_error&)
    {
        return false;
    }
    return true;
}

void CDownloadWorker::Stop()
{
    if (!m_hDownloadThread.joinable())
        return;
    m_stop = true;
    m_queue.DropWaiting();
    m_queue.Wake();
    m_hDownloadThread.join();
}

void CDownloadWorker::DownloadWorker()
{
    while (!m_stop)
    {
        std::unique_ptr<CDownloadRequest> request =
            m_queue.TakeNext(kIdlePoll, [this] { return m_stop.load(); });
        if (!request)
            continue;
        try
        {
            Process(*request);
        }
        catch (const std::exception& e)
        {
            // An importer that throws must not end the worker.
            m_ui.ShowErrorBox(e.what());
        }
        catch (...)
        {
            m_ui.ShowErrorBox("unexpected failure while saving " + request->address);
        }
    }
}

void CDownloadWorker::Process(const CDownloadRequest& request)
{
    const std::string path = DownloadFileFor(request.kind, m_tempDir);
    std::string error;
    bool fetched = request.kind == CommunityTopic
                       ? DownloadToFile(request.address, path, m_options.fetch, &error)
                       : SavePageArchive(request.address, path, m_options, &error);
    if (m_stop)
        return; // stopped mid-transfer: no notice, nothing imported
    if (!fetched)
    {
        if (request.kind != CommunityTopic)
            m_ui.ShowErrorBox(error);
        m_ui.ShowNotice(DownloadFailedNotice(request.address));
        return;
    }
    switch (request.kind)
    {
    case CommunityTopic:
        m_importer.ImportTopic(path);
        break;
    case DevelopArticle:
        m_importer.ImportArticle(request.address, path);
        break;
    case OtherPage:
    default:
        m_importer.ImportOtherPage(request.address, path);
        break;
    }
}
