#include "acquire/download_worker.h"

#include "acquire/mhtml_decode.h"
#include "base/debug_log.h"
#include "platform/text.h"

#include <exception>

bool DownloadToFile(const std::string& address, const std::string& path,
                    const FetchOptions& options, std::string* error)
{
    return DownloadUrlToFile(address, path, options, error);
}

namespace
{
// Why a fetched page must not be saved; empty when it may.
std::string RefusedPageReason(const std::string& archive)
{
    const CArchiveMainPart page = DecodeArchiveMainPart(archive);
    if (page.body.find_first_not_of(" \t\r\n\f") == std::string::npos)
        return "the page is empty";
    const std::string type = ToLowerAscii(page.contentType);
    const bool text =
        type.empty() || type.rfind("text/", 0) == 0 || type.find("xml") != std::string::npos;
    if (!text)
        return "not a page (" + page.contentType + ")";
    return {};
}
} // namespace

bool SavePageArchive(const std::string& address, const std::string& path,
                     const ArchiveOptions& options, std::string* error)
{
    ArchiveResult result = BuildPageArchive(address, options);
    std::string reason = result.ok ? RefusedPageReason(result.archive) : result.error;
    if (!result.ok && reason.empty())
        reason = "the page could not be fetched";
    if (reason.empty() && !WriteFileAtomically(path, result.archive, &reason) && reason.empty())
        reason = "cannot write " + path;
    if (!reason.empty() && error)
        *error = reason;
    return reason.empty();
}

std::string AddressForFetch(const std::string& address)
{
    // Blanks and controls around an address are dropped, as when typed.
    const auto blank = [](unsigned char c) { return c <= 0x20; };
    size_t begin = 0;
    size_t end = address.size();
    while (begin < end && blank(static_cast<unsigned char>(address[begin])))
        ++begin;
    while (end > begin && blank(static_cast<unsigned char>(address[end - 1])))
        --end;
    std::string trimmed = address.substr(begin, end - begin);

    const size_t scheme = trimmed.find("://");
    const size_t pathStart =
        scheme == std::string::npos ? 0 : trimmed.find_first_of("/?#", scheme + 3);
    if (pathStart == std::string::npos)
        return trimmed;
    std::string out = trimmed.substr(0, pathStart);
    bool inQuery = false;
    for (size_t i = pathStart; i < trimmed.size(); ++i)
    {
        const unsigned char c = static_cast<unsigned char>(trimmed[i]);
        if (c == '#')
            break; // the fragment never goes to the server
        inQuery = inQuery || c == '?';
        const bool encode = c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' ||
                            (!inQuery && (c == '`' || c == '{' || c == '}'));
        if (encode)
        {
            static const char kHex[] = "0123456789ABCDEF";
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
        else
        {
            out += static_cast<char>(c);
        }
    }
    return out;
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
    // The kind was taken from the address as given; the fetch uses it encoded.
    const std::string address = AddressForFetch(request.address);
    bool fetched = request.kind == CommunityTopic
                       ? DownloadToFile(address, path, m_options.fetch, &error)
                       : SavePageArchive(address, path, m_options, &error);
    if (m_stop)
        return; // stopped mid-transfer: no notice, nothing imported
    if (!fetched)
    {
        if (error.empty())
            error = "the download failed";
        WriteDebugLog(("Download failed: " + request.address + " : " + error).c_str());
        if (request.kind != CommunityTopic)
            m_ui.ShowErrorBox(error);
        else
            m_ui.ShowTopicFailureReason(error);
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
