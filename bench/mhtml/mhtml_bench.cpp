// Archiving the 40-resource sample page against the raw libcurl transfers
// underneath and headless Chromium's own MHTML snapshot:
//  - resources at once: the archiver against the same 41 transfers one after
//    another on one reused libcurl handle;
//  - 20 ms per resource: against the critical path the per-host limit
//    allows (the page, then the resources in rounds of the limit; the
//    sample's style sheets name nothing further);
//  - 20 ms per resource on four hosts: the figure and its critical path;
//    with 20 ms resources, raw libcurl on a multi handle with the same
//    per-host limit shows what is left to the server and the machine.
// Figures are medians of several runs, ratios from the same run.
#include "bench/mhtml/devtools_pipe.h"
#include "platform/net/mhtml_reader.h"
#include "platform/net/page_archiver.h"
#include "platform/net/parallel_fetch.h"
#include "tests/support/sample_service_process.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// Median timings of the bodies after a warm-up, run in turn so that each
// sees the same load on the machine; other work shows up as outliers,
// which the median leaves out.
std::vector<double> Medians(int runs, const std::vector<std::function<void()>>& bodies)
{
    std::vector<std::vector<double>> times(bodies.size());
    for (const auto& body : bodies)
        body();
    for (int i = 0; i < runs; ++i)
        for (size_t k = 0; k < bodies.size(); ++k)
        {
            auto start = Clock::now();
            bodies[k]();
            times[k].push_back(Ms(Clock::now() - start));
        }
    std::vector<double> out;
    for (auto& t : times)
    {
        std::sort(t.begin(), t.end());
        out.push_back(t[t.size() / 2]);
    }
    return out;
}

double Median(int runs, const std::function<void()>& body)
{
    return Medians(runs, {body}).front();
}

size_t Discard(char*, size_t size, size_t count, void*)
{
    return size * count;
}

// The same transfers one after another on one reused libcurl handle, with
// no parsing or encoding.
void RawFetch(CURL* c, const std::vector<std::string>& urls)
{
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Discard);
    for (const auto& u : urls)
    {
        curl_easy_setopt(c, CURLOPT_URL, u.c_str());
        curl_easy_perform(c);
    }
}

void RawFetch(const std::vector<std::string>& urls)
{
    CURL* c = curl_easy_init();
    RawFetch(c, urls);
    curl_easy_cleanup(c);
}

// The page, then the resources all at once on one libcurl multi handle with
// its own per-host limit: what libcurl does with no parsing or encoding.
void RawMulti(const std::string& page, const std::vector<std::string>& resources, long perHost)
{
    CURLM* multi = curl_multi_init();
    curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, perHost);
    auto run = [multi](const std::vector<std::string>& urls)
    {
        std::vector<CURL*> handles;
        for (const auto& u : urls)
        {
            CURL* c = curl_easy_init();
            curl_easy_setopt(c, CURLOPT_URL, u.c_str());
            curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Discard);
            curl_multi_add_handle(multi, c);
            handles.push_back(c);
        }
        for (int running = 1; running;)
        {
            curl_multi_perform(multi, &running);
            if (running)
                curl_multi_poll(multi, nullptr, 0, 100, nullptr);
        }
        for (CURL* c : handles)
        {
            curl_multi_remove_handle(multi, c);
            curl_easy_cleanup(c);
        }
    };
    run({page});
    run(resources);
    curl_multi_cleanup(multi);
}

// One transfer on a handle whose connection is already open.
double RawWarm(int runs, const std::string& url)
{
    CURL* c = curl_easy_init();
    double ms = Median(runs, [&] { RawFetch(c, {url}); });
    curl_easy_cleanup(c);
    return ms;
}

// Rounds the limits allow: the busiest host's resources in groups of the
// per-host limit, and all of them in groups of the total limit.
size_t Rounds(const std::vector<std::string>& resources, unsigned perHost, unsigned total)
{
    std::map<std::string, size_t> perHostCount;
    for (const auto& u : resources)
        ++perHostCount[HostKeyOf(u)];
    size_t rounds = (resources.size() + total - 1) / total;
    for (const auto& [host, n] : perHostCount)
        rounds = std::max(rounds, (n + perHost - 1) / perHost);
    return rounds;
}

// Chromium looks up outside hosts at start whatever its flags say. The whole
// benchmark, sample service included, runs again in a network namespace of
// its own where only loopback exists; false when that cannot be had.
bool RunWithoutOutsideNetwork(char** argv)
{
    if (std::getenv("MYZELK_OFFLINE_NETNS"))
        return true;
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return false;
    self[n] = '\0';
    setenv("MYZELK_OFFLINE_NETNS", "1", 1);
    execl("/usr/bin/unshare", "unshare", "--net", "--", "/bin/sh", "-c",
          "ip link set lo up && exec \"$0\"", self, static_cast<char*>(nullptr));
    unsetenv("MYZELK_OFFLINE_NETNS");
    (void)argv;
    return false;
}

size_t PartsOf(const std::string& archive)
{
    auto parsed = ParseMhtml(archive);
    return parsed ? parsed->parts.size() : 0;
}
} // namespace

int main(int, char** argv)
{
    const bool offline = RunWithoutOutsideNetwork(argv);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    SampleServiceProcess service;
    if (!service.Running())
    {
        std::fprintf(stderr, "sample service did not start\n");
        return 1;
    }
    std::printf("%-50s %9s %6s %7s\n", "case", "ms/page", "parts", "ratio");
    auto row = [](const std::string& what, double ms, size_t parts, double reference,
                  const char* note = "")
    { std::printf("%-50s %9.1f %6zu %7.2f%s\n", what.c_str(), ms, parts, ms / reference, note); };
    const ArchiveOptions standard; // the limits the program uses
    ArchiveOptions oneAtATime;
    oneAtATime.maxParallel = 1;
    ArchiveOptions browserLike; // a browser's six to a host, for comparison
    browserLike.maxPerHost = 6;
    const std::string perHost = ", " + std::to_string(standard.maxPerHost) + " per host";

    struct Case
    {
        int delay;
        int hosts;
    };
    for (const Case c : {Case{0, 1}, Case{20, 1}, Case{20, 4}})
    {
        const std::string url =
            service.Url("/bench/page.html?n=40&delay=" + std::to_string(c.delay) +
                        (c.hosts > 1 ? "&hosts=" + std::to_string(c.hosts) : ""));
        const int runs = c.delay ? 7 : 21;
        ArchiveResult probe = BuildPageArchive(url, oneAtATime);
        std::vector<std::string> urls;
        if (auto parsed = ParseMhtml(probe.archive))
            for (const auto& p : parsed->parts)
                urls.push_back(p.location);
        if (urls.size() != 41)
        {
            std::fprintf(stderr, "the sample page did not archive whole: %s\n",
                         probe.error.c_str());
            return 1;
        }
        const std::vector<std::string> resources(urls.begin() + 1, urls.end());
        std::string tag = " (" + std::to_string(c.delay) + " ms";
        tag += c.hosts > 1 ? ", " + std::to_string(c.hosts) + " hosts)" : ")";
        std::printf("\n");

        size_t parts = 0;
        auto archive = [&](const ArchiveOptions& o)
        { return [&] { parts = PartsOf(BuildPageArchive(url, o).archive); }; };
        auto rawAll = [&] { RawFetch(urls); };

        double raw = 0;
        if (c.delay == 0)
        {
            const auto t = Medians(runs, {rawAll, archive(oneAtATime), archive(standard),
                                          [&] { RawMulti(url, resources, standard.maxPerHost); }});
            raw = t[0];
            row("raw libcurl, one handle, one after another" + tag, raw, urls.size(), raw);
            row("raw libcurl multi" + perHost + tag, t[3], urls.size(), raw);
            row("archiver, one at a time" + tag, t[1], parts, raw);
            row("archiver" + perHost + tag, t[2], parts, raw, "  (vs raw; target 1.20)");
        }
        else
        {
            // The critical path: the page, then each round as long as one
            // delayed resource on an open connection.
            const double page = RawWarm(runs, url);
            const double one = RawWarm(runs, resources.front());
            auto critical = [&](unsigned perHost, unsigned total)
            { return page + static_cast<double>(Rounds(resources, perHost, total)) * one; };
            const double path = critical(standard.maxPerHost, standard.maxParallel);
            std::vector<std::function<void()>> bodies{
                archive(standard), [&] { RawMulti(url, resources, standard.maxPerHost); }};
            if (c.hosts == 1)
                bodies.insert(bodies.end(), {archive(browserLike), rawAll});
            const auto t = Medians(runs, bodies);
            if (c.hosts == 1)
            {
                raw = t[3];
                row("raw libcurl, one handle, one after another" + tag, raw, urls.size(), raw);
            }
            std::printf("%-50s %9.1f %6s %7s  (page %.1f + %zu x %.1f)\n",
                        ("critical path" + perHost + tag).c_str(), path, "-", "1.00", page,
                        Rounds(resources, standard.maxPerHost, standard.maxParallel), one);
            row("raw libcurl multi" + perHost + tag, t[1], urls.size(), path,
                "  (vs the critical path)");
            row("archiver" + perHost + tag, t[0], parts, path,
                c.hosts == 1 ? "  (vs the critical path; target 1.15)"
                             : "  (vs the critical path)");
            if (c.hosts == 1)
                row("archiver, 6 per host" + tag, t[2], parts,
                    critical(browserLike.maxPerHost, browserLike.maxParallel),
                    "  (vs its own critical path)");
        }

        const char* chromium = "/usr/bin/chromium";
        if (c.hosts > 1)
            continue;
        if (access(chromium, X_OK) != 0 || !offline)
        {
            std::printf(
                "chromium not installed or no private network namespace: snapshot skipped\n");
            continue;
        }
        ScratchDir profile;
        DevToolsBrowser browser;
        auto launchStart = Clock::now();
        if (!browser.Launch(chromium, profile.Path()) || !browser.OpenTab())
        {
            std::printf("chromium did not start over the DevTools pipe\n");
            continue;
        }
        double launch = Ms(Clock::now() - launchStart);
        std::string snapshot;
        bool ok = true;
        double snap = Median(runs, [&] { ok = browser.Snapshot(url, &snapshot) && ok; });
        browser.Close();
        std::printf("%-50s %9.1f %6s\n", ("chromium launch + attach" + tag).c_str(), launch, "-");
        row("chromium captureSnapshot" + tag, snap, PartsOf(snapshot), raw,
            ok ? "  (vs raw)" : "  (vs raw; a snapshot failed)");
    }
    return 0;
}
