#include "platform/net/parallel_fetch.h"

#include "platform/net/curl_transfer.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <map>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

// How long a host's transfers may go unanswered before it gets another
// connection; far above a fast answer, far below a slow one.
constexpr std::chrono::microseconds kRamp{2000};
// How often the abort flag is looked at while nothing happens.
constexpr std::chrono::milliseconds kAbortPoll{100};

enum class State
{
    Queued,
    Running,
    Done,
};

struct Host
{
    std::deque<size_t> queued; // entries waiting, oldest first
    unsigned running = 0;
    unsigned opened = 0; // most transfers it has had at once (its connections)
    Clock::time_point lastStart;
    unsigned passLimit = 0; // LimitFor, once per pass
};

struct Entry
{
    size_t id = 0;
    std::string url;
    Host* host = nullptr;
    FetchOptions options;
    std::unique_ptr<CCurlTransfer> transfer;
    State state = State::Queued;
    FetchResult result;
};

FetchResult Failed(const std::string& why)
{
    FetchResult r;
    r.error = why;
    return r;
}
} // namespace

std::string HostKeyOf(const std::string& url)
{
    const size_t scheme = url.find("://");
    if (scheme == std::string::npos)
        return {};
    const size_t start = scheme + 3;
    size_t end = url.find_first_of("/?#", start);
    if (end == std::string::npos)
        end = url.size();
    std::string authority = url.substr(start, end - start);
    if (size_t at = authority.rfind('@'); at != std::string::npos)
        authority.erase(0, at + 1);
    std::string key = url.substr(0, start) + authority;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return key;
}

struct CParallelFetch::Impl
{
    CParallelFetch& owner;
    CURLM* multi = nullptr;
    unsigned total = 1;
    unsigned perHost = 1;
    const std::atomic<bool>* abort = nullptr;
    // Entries stay where they are while callbacks add more.
    std::vector<std::unique_ptr<Entry>> entries;
    std::map<std::string, Host> hosts; // by HostKeyOf; entries point into it
    size_t queued = 0;
    unsigned running = 0;

    explicit Impl(CParallelFetch& o) : owner(o) {}

    void Finish(Id id, FetchResult result)
    {
        Entry& e = *entries[id];
        if (e.state == State::Running)
        {
            curl_multi_remove_handle(multi, e.transfer->Handle());
            --running;
            --e.host->running;
        }
        e.transfer.reset(); // a cookie file it should write is written now
        e.result = std::move(result);
        e.state = State::Done;
    }

    void Start(Id id)
    {
        Entry& e = *entries[id];
        if (owner.onStart)
            owner.onStart(id, e.options);
        e.transfer = std::make_unique<CCurlTransfer>(e.url, e.options);
        CURL* easy = e.transfer->Handle();
        if (!easy)
        {
            Finish(id, Failed("cannot start a transfer"));
            return;
        }
        curl_easy_setopt(easy, CURLOPT_PRIVATE, &e);
        if (curl_multi_add_handle(multi, easy) != CURLM_OK)
        {
            Finish(id, Failed("cannot start a transfer: " + e.url));
            return;
        }
        e.state = State::Running;
        ++running;
        Host& h = *e.host;
        ++h.running;
        h.opened = std::max(h.opened, h.running);
    }

    // How many transfers the host may have running now. It starts with one
    // connection and doubles them, up to the limit, each time all of them
    // have gone kRamp without an answer: a host that answers at once is
    // served on the connections it has (new ones would cost it more than
    // they gain), a slow one has the limit within a few ms. `wake` is
    // lowered to when a host held back may get more.
    unsigned LimitFor(const Host& h, Clock::time_point now, std::chrono::milliseconds& wake) const
    {
        unsigned limit = std::max(h.opened, 1u);
        if (h.running >= limit)
        {
            const auto waited = now - h.lastStart;
            if (waited >= kRamp)
                limit *= 2;
            else
                wake = std::min(wake, std::chrono::ceil<std::chrono::milliseconds>(kRamp - waited));
        }
        return std::min(limit, perHost);
    }

    // Starts what the limits allow, oldest first.
    bool StartQueued(std::chrono::milliseconds& wake)
    {
        if (queued == 0)
            return false;
        const Clock::time_point now = Clock::now();
        for (auto& [key, h] : hosts)
            h.passLimit = h.queued.empty() ? 0 : LimitFor(h, now, wake);
        bool started = false;
        while (running < total)
        {
            Host* next = nullptr;
            for (auto& [key, h] : hosts)
                if (!h.queued.empty() && h.running < h.passLimit &&
                    (!next || h.queued.front() < next->queued.front()))
                    next = &h;
            if (!next)
                break;
            const Id id = next->queued.front();
            next->queued.pop_front();
            --queued;
            next->lastStart = now;
            Start(id);
            started = true;
        }
        return started;
    }

    // Collects finished transfers; true when any finished.
    bool CollectFinished()
    {
        bool any = false;
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &left))
        {
            if (msg->msg != CURLMSG_DONE)
                continue;
            void* tag = nullptr;
            curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, &tag);
            const Id id = static_cast<const Entry*>(tag)->id;
            const CURLcode code = msg->data.result; // msg is gone once the handle is removed
            Finish(id, entries[id]->transfer->Finish(code));
            any = true;
            if (owner.onFinished)
                owner.onFinished(id);
        }
        return any;
    }

    void FailUnfinished(const std::string& why)
    {
        for (auto& [key, h] : hosts)
            h.queued.clear();
        queued = 0;
        for (Id id = 0; id < entries.size(); ++id)
            if (entries[id]->state != State::Done)
                Finish(id, Failed(why));
    }
};

CParallelFetch::CParallelFetch(unsigned total, unsigned perHost, const std::atomic<bool>* abort)
    : m_impl(std::make_unique<Impl>(*this))
{
    EnsureCurlGlobal();
    m_impl->total = std::max(1u, total);
    m_impl->perHost = std::max(1u, std::min(perHost, m_impl->total));
    m_impl->abort = abort;
    m_impl->multi = curl_multi_init();
    if (m_impl->multi)
    {
        // Our own queue keeps to the limits; libcurl's are the same, for
        // transfers that a redirect takes to another host.
        curl_multi_setopt(m_impl->multi, CURLMOPT_MAX_HOST_CONNECTIONS,
                          static_cast<long>(m_impl->perHost));
        curl_multi_setopt(m_impl->multi, CURLMOPT_MAXCONNECTS, static_cast<long>(m_impl->total));
    }
}

CParallelFetch::~CParallelFetch()
{
    onFinished = nullptr;
    onStart = nullptr;
    if (!m_impl->multi)
        return;
    m_impl->FailUnfinished("download cancelled");
    curl_multi_cleanup(m_impl->multi);
}

CParallelFetch::Id CParallelFetch::Add(const std::string& url, const FetchOptions& options)
{
    auto e = std::make_unique<Entry>();
    const Id id = m_impl->entries.size();
    e->id = id;
    e->url = url;
    e->host = &m_impl->hosts[HostKeyOf(url)];
    e->options = options;
    e->options.abort = m_impl->abort;
    Host& host = *e->host;
    m_impl->entries.push_back(std::move(e));
    if (!m_impl->multi)
    {
        m_impl->Finish(id, Failed("cannot start a transfer"));
        return id;
    }
    host.queued.push_back(id);
    ++m_impl->queued;
    return id;
}

bool CParallelFetch::Wait(Id id)
{
    Impl& m = *m_impl;
    if (id >= m.entries.size())
        return false;
    for (;;)
    {
        if (m.abort && m.abort->load())
        {
            m.FailUnfinished("download aborted");
            return false;
        }
        if (Finished(id))
            return true;
        std::chrono::milliseconds wake = kAbortPoll;
        const bool started = m.StartQueued(wake);
        int stillRunning = 0;
        curl_multi_perform(m.multi, &stillRunning); // also sends what just started
        const bool finished = m.CollectFinished();
        if (Finished(id))
            return true;
        // A freed slot, or a transfer queued by a callback, starts at once;
        // one just started is driven once more before waiting.
        if (finished || started)
            continue;
        curl_multi_poll(m.multi, nullptr, 0, static_cast<int>(wake.count()), nullptr);
    }
}

bool CParallelFetch::Finished(Id id) const
{
    return id < m_impl->entries.size() && m_impl->entries[id]->state == State::Done;
}

FetchResult& CParallelFetch::Result(Id id)
{
    return m_impl->entries[id]->result;
}
