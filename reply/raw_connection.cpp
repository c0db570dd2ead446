#include "reply/raw_connection.h"

#include <curl/curl.h>

#include <cerrno>
#include <mutex>
#include <poll.h>

namespace
{

void EnsureCurlGlobal()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

void SetError(std::string* error, const std::string& text)
{
    if (error)
        *error = text;
}

} // namespace

struct CRawConnection::Impl
{
    CURL* easy = nullptr;
    curl_socket_t socket = CURL_SOCKET_BAD;
    std::string address;
};

CRawConnection::CRawConnection() : m_impl(std::make_unique<Impl>()) {}

CRawConnection::~CRawConnection()
{
    if (m_impl->easy)
        curl_easy_cleanup(m_impl->easy);
}

bool CRawConnection::Open(const std::string& host, int port, long connectTimeoutMs,
                          std::string* error)
{
    EnsureCurlGlobal();
    m_impl->address = host + ":" + std::to_string(port);
    m_impl->easy = curl_easy_init();
    if (!m_impl->easy)
    {
        SetError(error, "cannot start a connection");
        return false;
    }
    CURL* c = m_impl->easy;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    const std::string url = "http://" + m_impl->address + "/";
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECT_ONLY, 1L);
    // A proxy would need the request in its own form; go straight to the host.
    curl_easy_setopt(c, CURLOPT_PROXY, "");
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, connectTimeoutMs);
    const CURLcode code = curl_easy_perform(c);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, nullptr);
    if (code != CURLE_OK)
    {
        SetError(error, "cannot connect to " + m_impl->address + ": " +
                            (errorBuffer[0] ? errorBuffer : curl_easy_strerror(code)));
        return false;
    }
    if (curl_easy_getinfo(c, CURLINFO_ACTIVESOCKET, &m_impl->socket) != CURLE_OK ||
        m_impl->socket == CURL_SOCKET_BAD)
    {
        SetError(error, "no connection to " + m_impl->address);
        return false;
    }
    return true;
}

bool CRawConnection::Wait(bool forWriting, Deadline deadline, std::string* error)
{
    for (;;)
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
        {
            SetError(error, "time-out talking to " + m_impl->address);
            return false;
        }
        pollfd entry{m_impl->socket, static_cast<short>(forWriting ? POLLOUT : POLLIN), 0};
        const int ready = poll(&entry, 1, static_cast<int>(left.count()));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
        {
            SetError(error, "connection to " + m_impl->address + " failed");
            return false;
        }
    }
}

bool CRawConnection::SendAll(std::string_view bytes, Deadline deadline, std::string* error)
{
    while (!bytes.empty())
    {
        size_t sent = 0;
        const CURLcode code = curl_easy_send(m_impl->easy, bytes.data(), bytes.size(), &sent);
        if (code == CURLE_AGAIN)
        {
            if (!Wait(true, deadline, error))
                return false;
            continue;
        }
        if (code != CURLE_OK)
        {
            SetError(error, "cannot send to " + m_impl->address + ": " + curl_easy_strerror(code));
            return false;
        }
        bytes.remove_prefix(sent);
    }
    return true;
}

long CRawConnection::Receive(char* buffer, size_t size, Deadline deadline, std::string* error)
{
    for (;;)
    {
        // Also when bytes keep coming: a server that never pauses must not
        // hold the reader past its time.
        if (std::chrono::steady_clock::now() >= deadline)
        {
            SetError(error, "time-out talking to " + m_impl->address);
            return -1;
        }
        size_t received = 0;
        const CURLcode code = curl_easy_recv(m_impl->easy, buffer, size, &received);
        if (code == CURLE_AGAIN)
        {
            if (!Wait(false, deadline, error))
                return -1;
            continue;
        }
        if (code != CURLE_OK)
        {
            SetError(error,
                     "cannot read from " + m_impl->address + ": " + curl_easy_strerror(code));
            return -1;
        }
        return static_cast<long>(received);
    }
}
