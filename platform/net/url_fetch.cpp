#include "platform/net/url_fetch.h"

#include "platform/net/cookie_store.h"
#include "platform/net/curl_transfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

void EnsureCurlGlobal()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

namespace
{
using Sink = CCurlTransfer::Sink;

size_t OnData(char* data, size_t size, size_t count, void* user)
{
    auto* sink = static_cast<Sink*>(user);
    size_t n = size * count;
    if (sink->written + n > sink->limit)
    {
        sink->tooLarge = true;
        return 0;
    }
    if (sink->memory)
        sink->memory->append(data, n);
    else if (std::fwrite(data, 1, n, sink->file) != n)
    {
        sink->writeFailed = true;
        return 0;
    }
    sink->written += n;
    return n;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto* sink = static_cast<Sink*>(user);
    return sink->abort && sink->abort->load() ? 1 : 0;
}

// Runs the transfer on a multi handle so the abort flag is looked at every
// 100 ms even while the peer sends nothing (libcurl's progress callback
// slows to once a second then).
CURLcode Perform(CURL* easy, const std::atomic<bool>* abort)
{
    if (!abort)
        return curl_easy_perform(easy);
    CURLM* multi = curl_multi_init();
    if (!multi || curl_multi_add_handle(multi, easy) != CURLM_OK)
    {
        if (multi)
            curl_multi_cleanup(multi);
        return curl_easy_perform(easy);
    }
    CURLcode code = CURLE_OK;
    bool finished = false;
    int running = 1;
    while (!finished)
    {
        if (curl_multi_perform(multi, &running) != CURLM_OK)
        {
            code = CURLE_SEND_ERROR;
            break;
        }
        int queued = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &queued))
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy)
            {
                code = msg->data.result;
                finished = true;
            }
        if (finished || running == 0)
            break;
        if (abort->load())
        {
            code = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        curl_multi_poll(multi, nullptr, 0, 100, nullptr);
    }
    curl_multi_remove_handle(multi, easy);
    curl_multi_cleanup(multi);
    return code;
}

FetchResult Transfer(const std::string& url, const FetchOptions& options, std::FILE* file)
{
    EnsureCurlGlobal();
    if (options.abort && options.abort->load())
    {
        FetchResult result;
        result.error = "download aborted";
        return result;
    }
    CCurlTransfer transfer(url, options, file);
    if (!transfer.Handle())
    {
        FetchResult result;
        result.error = "cannot start a transfer";
        return result;
    }
    return transfer.Finish(Perform(transfer.Handle(), options.abort));
}

// The process umask, read without changing it: umask(0) and back would give
// files that other threads create meanwhile the wrong mode.
mode_t ProcessUmask()
{
    mode_t mask = 022;
    if (std::FILE* f = std::fopen("/proc/self/status", "r"))
    {
        char line[256];
        unsigned value = 0;
        while (std::fgets(line, sizeof line, f))
            if (std::sscanf(line, "Umask: %o", &value) == 1)
            {
                mask = static_cast<mode_t>(value);
                break;
            }
        std::fclose(f);
    }
    return mask;
}

std::string TempPathBeside(const std::string& path, int* fd)
{
    std::string pattern = path + ".partXXXXXX";
    *fd = mkstemp(pattern.data());
    if (*fd >= 0)
    {
        // mkstemp makes the file private; saved pages are ordinary files.
        fchmod(*fd, 0666 & ~ProcessUmask());
    }
    return pattern;
}

// Fills a new file beside `path` through `write` and moves it over `path`,
// so readers see the old file or the whole new one, never a part. `write`
// returns false on failure, with its reason in `why` (else "cannot write").
template <typename Write>
bool ReplaceFile(const std::string& path, Write&& write, std::string* error)
{
    auto fail = [&](const std::string& text)
    {
        if (error)
            *error = text;
        return false;
    };
    int fd = -1;
    std::string temp = TempPathBeside(path, &fd);
    if (fd < 0)
        return fail("cannot create a file beside " + path + ": " + std::strerror(errno));
    FILE* file = fdopen(fd, "wb");
    if (!file)
    {
        close(fd);
        unlink(temp.c_str());
        return fail("cannot open " + temp);
    }
    std::string why;
    const bool written = write(file, &why);
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed)
    {
        unlink(temp.c_str());
        return fail(why.empty() ? "cannot write " + temp : why);
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0)
    {
        why = std::strerror(errno);
        unlink(temp.c_str());
        return fail("cannot replace " + path + ": " + why);
    }
    return true;
}
} // namespace

CCurlTransfer::CCurlTransfer(const std::string& url, const FetchOptions& options, std::FILE* file)
    : m_url(url), m_maxBytes(options.maxBytes), m_easy(curl_easy_init())
{
    m_sink.memory = file ? nullptr : &m_body;
    m_sink.file = file;
    m_sink.limit = options.maxBytes;
    m_sink.abort = options.abort;
    CURL* c = m_easy;
    if (!c)
        return;
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, m_errorBuffer);
    curl_easy_setopt(c, CURLOPT_URL, m_url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, options.maxRedirects > 0 ? 1L : 0L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, options.maxRedirects);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, options.connectTimeoutMs);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, options.totalTimeoutMs);
    if (options.stallTimeoutMs > 0)
    {
        // Fewer than 1 byte per second for the stall time counts as a stall.
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, std::max(1L, options.stallTimeoutMs / 1000));
    }
    curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.maxBytes));
    curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(c, CURLOPT_USERAGENT, options.userAgent.c_str());
    // Cookie engine on in every case, so cookies set before a redirect are sent after it.
    curl_easy_setopt(c, CURLOPT_COOKIEFILE, options.cookieFile.c_str());
    if (!options.cookieFile.empty() && options.writeCookies)
        curl_easy_setopt(c, CURLOPT_COOKIEJAR, options.cookieFile.c_str());
    // Handed to the cookie engine rather than sent as one header, so each
    // goes only to its own domain and path, redirects included.
    if (options.cookies)
        for (const CStoredCookie& cookie : options.cookies->Cookies())
            curl_easy_setopt(c, CURLOPT_COOKIELIST, CookieFileLine(cookie).c_str());
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, OnData);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &m_sink);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &m_sink);
}

CCurlTransfer::~CCurlTransfer()
{
    // Also writes the cookie file when the options asked for it.
    if (m_easy)
        curl_easy_cleanup(m_easy);
}

FetchResult CCurlTransfer::Finish(CURLcode code)
{
    FetchResult result;
    CURL* c = m_easy;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &result.status);
    char* type = nullptr;
    if (curl_easy_getinfo(c, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type)
        result.contentType = type;
    char* effective = nullptr;
    if (curl_easy_getinfo(c, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective)
        result.effectiveUrl = effective;

    if (code == CURLE_OK)
    {
        if (result.status >= 400)
            result.error = "HTTP status " + std::to_string(result.status) + " for " + m_url;
        else if (result.status < 200)
            result.error = "no HTTP answer from " + m_url;
        else
        {
            result.ok = true;
            result.body = std::move(m_body);
        }
        return result;
    }
    if (code == CURLE_ABORTED_BY_CALLBACK)
        result.error = "download aborted";
    else if (m_sink.tooLarge || code == CURLE_FILESIZE_EXCEEDED)
        result.error = "page larger than " + std::to_string(m_maxBytes) + " bytes: " + m_url;
    else if (m_sink.writeFailed)
        result.error = std::string("cannot write the download: ") + std::strerror(errno);
    else
        result.error =
            std::string(m_errorBuffer[0] ? m_errorBuffer : curl_easy_strerror(code)) + ": " + m_url;
    return result;
}

FetchResult FetchUrl(const std::string& url, const FetchOptions& options)
{
    return Transfer(url, options, nullptr);
}

bool DownloadUrlToFile(const std::string& url, const std::string& path, const FetchOptions& options,
                       std::string* error, FetchResult* info)
{
    return ReplaceFile(
        path,
        [&](FILE* file, std::string* why)
        {
            FetchResult result = Transfer(url, options, file);
            if (info)
                *info = result;
            if (!result.ok)
                *why = result.error;
            return result.ok;
        },
        error);
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string* error)
{
    return ReplaceFile(
        path,
        [&](FILE* file, std::string*)
        { return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size(); },
        error);
}
