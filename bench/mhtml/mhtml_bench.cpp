// Archiving the 40-resource sample page: our archiver fetching one resource
// after another and in parallel, the raw libcurl transfers underneath, and
// headless Chromium's own MHTML snapshot of the same page.
#include "bench/mhtml/devtools_pipe.h"
#include "platform/net/mhtml_reader.h"
#include "platform/net/page_archiver.h"
#include "tests/support/sample_service_process.h"

#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <unistd.h>

namespace
{
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double Average(int runs, const std::function<void()>& body)
{
    body(); // warm-up
    auto start = Clock::now();
    for (int i = 0; i < runs; ++i)
        body();
    return Ms(Clock::now() - start) / runs;
}

size_t Discard(char*, size_t size, size_t count, void*)
{
    return size * count;
}

// The same 41 transfers on one reused libcurl handle, with no parsing or encoding.
void RawFetch(const std::vector<std::string>& urls)
{
    CURL* c = curl_easy_init();
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Discard);
    for (const auto& u : urls)
    {
        curl_easy_setopt(c, CURLOPT_URL, u.c_str());
        curl_easy_perform(c);
    }
    curl_easy_cleanup(c);
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
    std::printf("%-38s %10s %8s %8s\n", "case", "ms/page", "parts", "ratio");
    for (int delay : {0, 20})
    {
        const std::string url = service.Url("/bench/page.html?n=40&delay=" + std::to_string(delay));
        const int runs = delay ? 3 : 10;
        ArchiveOptions sequential;
        sequential.maxParallel = 1;
        ArchiveOptions parallel;
        parallel.maxParallel = 8;

        ArchiveResult probe = BuildPageArchive(url, sequential);
        std::vector<std::string> urls;
        if (auto parsed = ParseMhtml(probe.archive))
            for (const auto& p : parsed->parts)
                urls.push_back(p.location);

        double raw = Average(runs, [&] { RawFetch(urls); });
        size_t seqParts = 0, parParts = 0;
        double seq =
            Average(runs, [&] { seqParts = PartsOf(BuildPageArchive(url, sequential).archive); });
        double par =
            Average(runs, [&] { parParts = PartsOf(BuildPageArchive(url, parallel).archive); });
        std::string tag = " (resource delay " + std::to_string(delay) + " ms)";
        std::printf("%-38s %10.1f %8zu %8s\n", ("raw libcurl, one handle" + tag).c_str(), raw,
                    urls.size(), "1.00");
        std::printf("%-38s %10.1f %8zu %8.2f\n", ("archiver sequential" + tag).c_str(), seq,
                    seqParts, seq / raw);
        std::printf("%-38s %10.1f %8zu %8.2f\n", ("archiver 8 parallel" + tag).c_str(), par,
                    parParts, par / raw);

        const char* chromium = "/usr/bin/chromium";
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
        double snap = Average(runs, [&] { ok = browser.Snapshot(url, &snapshot) && ok; });
        browser.Close();
        std::printf("%-38s %10.1f %8s\n", ("chromium launch + attach" + tag).c_str(), launch, "-");
        std::printf("%-38s %10.1f %8zu %8.2f%s\n", ("chromium captureSnapshot" + tag).c_str(), snap,
                    PartsOf(snapshot), snap / raw, ok ? "" : "  (a snapshot failed)");
    }
    return 0;
}
