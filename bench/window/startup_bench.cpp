// Times the program's start-up, from its process start to the welcome page
// painted in its browser panel, against a bare WebEngine window showing the
// same page file, in alternating runs of one session; and the memory of
// both, WebEngine's helper processes included. Not a test: nothing is
// asserted. Needs an X server of its own:
//
//   xvfb-run -a -s "-screen 0 1024x768x24" bench/window_startup_bench
//       [--runs N]         timed runs of each (default 5), after one warm-up
//       [--shots FOLDER]   the screen of each one's first timed run, as PPM
//       [--keep]           keeps the scratch folder (the copy of bin/, the
//                          programs' output) and prints where it is
//
// "Painted" is read off the screen: both windows are polled until the
// page's two text colours show, so neither program needs a hook.
#include "bench/window/process_tree.h"
#include "bench/window/screen_watch.h"
#include "config/app_config.h"
#include "platform/text.h"

#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace
{

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The welcome page's heading and body text, and its hint line.
constexpr std::uint32_t kTextColour = 0x1d2b3a;
constexpr std::uint32_t kHintColour = 0x5a6b7b;
// About three quarters of what the page shows at rest (2,704 and 151
// pixels, whatever the screen size): the page is there, not a stray pixel.
constexpr long kMinTextPixels = 2000;
constexpr long kMinHintPixels = 110;
constexpr const char* kHostsVariable = "MYZELK_HOSTS";
// The banner's page as the program asks for it (a reserved name, unresolved).
constexpr const char* kBannerAddress = "http://community.zelk.example/ad/banner.htm";
constexpr auto kPollInterval = std::chrono::milliseconds(10);
constexpr auto kStartTimeout = std::chrono::seconds(90);
// Memory is read again once the window has had time to settle.
constexpr auto kSettle = std::chrono::milliseconds(1500);

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Run
{
    double ms = 0;
    TreeMemory painted; // at the moment the page showed
    TreeMemory settled; // kSettle later
};

struct Candidate
{
    const char* name;
    std::string program;
    std::vector<std::string> arguments;
    std::string folder;
    std::string log; // the program's output
    std::vector<Run> runs;
};

std::vector<std::string> ChildEnvironment(const std::string& home)
{
    std::vector<std::string> environment;
    const auto set = [&environment](const std::string& name, const std::string& value)
    {
        std::erase_if(environment, [&name](const std::string& variable)
                      { return variable.compare(0, name.size() + 1, name + "=") == 0; });
        environment.push_back(name + "=" + value);
    };
    for (char** variable = environ; *variable; ++variable)
        environment.emplace_back(*variable);
    // Root needs WebEngine's sandbox off; a virtual screen has no GPU.
    set("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (!getenv("QTWEBENGINE_CHROMIUM_FLAGS"))
        set("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --no-sandbox");
    set("QT_QPA_PLATFORM", "xcb");
    set("XDG_DATA_HOME", home + "/data");
    set("XDG_CACHE_HOME", home + "/cache");
    set("XDG_CONFIG_HOME", home + "/config");
    // The program as shipped: its banner asks the built-in host, whose
    // reserved name fails to resolve at once.
    std::erase_if(environment, [](const std::string& variable)
                  { return variable.starts_with(std::string(kHostsVariable) + "="); });
    return environment;
}

// A copy of the installation whose configuration was saved just now: the
// update check (a network call, once in many days) stays out of the runs.
std::string InstallCopy(const std::string& folder)
{
    const std::string bin = folder + "/bin";
    fs::copy(MYZELK_BENCH_BIN_DIR, bin,
             fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    for (const char* leftover : {"BrowserProfile", "MyZELK.cfg", "MyZELK.ini", "debug.txt"})
        fs::remove_all(bin + "/" + leftover);
    CAppConfig config;
    config.SetFileName(Utf16FromUtf8(bin + "/MyZELK.cfg"));
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    config.SetLastUpdateTime(stamp);
    config.SetIsShowToolBar(1);
    config.SetToolBarIsBigIcon(1);
    config.SetIsShowStatusBar(1);
    if (!config.Save() || !config.LastSaveSucceeded())
        throw std::runtime_error("cannot write " + bin + "/MyZELK.cfg");
    return bin;
}

bool PageShows(CScreenWatch& screen)
{
    screen.Grab();
    const std::vector<long> counts = screen.Count({kTextColour, kHintColour});
    return counts[0] >= kMinTextPixels && counts[1] >= kMinHintPixels;
}

Run Measure(CScreenWatch& screen, const Candidate& candidate,
            const std::vector<std::string>& environment, const std::string& shot)
{
    // The last window must be gone from the screen.
    const auto clearBy = Clock::now() + std::chrono::seconds(10);
    while (PageShows(screen))
    {
        if (Clock::now() > clearBy)
            throw std::runtime_error("the page stays on the screen after its program ended");
        std::this_thread::sleep_for(kPollInterval);
    }
    Run run;
    const auto start = Clock::now();
    CStartedProgram program(candidate.program, candidate.arguments, environment, candidate.folder,
                            candidate.log);
    for (;;)
    {
        if (PageShows(screen))
            break;
        if (!program.Running())
            throw std::runtime_error(std::string(candidate.name) + " ended before the page showed");
        if (Clock::now() - start > kStartTimeout)
            throw std::runtime_error(std::string(candidate.name) + ": no page after 90 s");
        std::this_thread::sleep_for(kPollInterval);
    }
    run.ms = Ms(Clock::now() - start);
    run.painted = program.Memory();
    std::this_thread::sleep_for(kSettle);
    run.settled = program.Memory();
    if (!shot.empty())
    {
        screen.Grab();
        screen.Save(shot);
        const std::vector<long> counts = screen.Count({kTextColour, kHintColour});
        std::printf("  screen of %s saved to %s (page pixels: %ld text, %ld hint)\n",
                    candidate.name, shot.c_str(), counts[0], counts[1]);
    }
    program.End();
    return run;
}

template <typename Field> double Median(const std::vector<Run>& runs, Field field)
{
    std::vector<double> values;
    for (const Run& run : runs)
        values.push_back(field(run));
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// One line: the median of each candidate, and the program's against the
// bare window's.
template <typename Field>
void Row(const char* what, const std::vector<Candidate*>& candidates, Field field,
         const char* note = "")
{
    std::printf("%-30s", what);
    for (const Candidate* candidate : candidates)
        std::printf(" %10.1f", Median(candidate->runs, field));
    std::printf(" %7.2f%s\n",
                Median(candidates.back()->runs, field) / Median(candidates.front()->runs, field),
                note);
}

double Mb(long kb)
{
    return static_cast<double>(kb) / 1024.0;
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 5;
    std::string shots;
    bool keep = false;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--shots") == 0 && i + 1 < argc)
            shots = argv[++i];
        else if (std::strcmp(argv[i], "--keep") == 0)
            keep = true;
        else
        {
            std::fprintf(stderr, "usage: %s [--runs N] [--shots FOLDER] [--keep]\n", argv[0]);
            return 2;
        }
    }
    std::string pattern = (fs::temp_directory_path() / "window-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
    {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string folder = pattern;
    int status = 0;
    try
    {
        CScreenWatch screen;
        const std::string bin = InstallCopy(folder);
        const std::string page = bin + "/AD/WelcomePage.htm";
        const std::vector<std::string> environment = ChildEnvironment(folder + "/home");
        // The bare window, the same with one thing of the program's added
        // (to see what each costs), and the program.
        Candidate bare{"bare", MYZELK_BENCH_BARE_WINDOW, {page}, folder, folder + "/bare.log", {}};
        Candidate banner{"+banner", MYZELK_BENCH_BARE_WINDOW, {"--banner", kBannerAddress, page},
                         folder,    folder + "/banner.log",   {}};
        Candidate profile{
            "+profile", MYZELK_BENCH_BARE_WINDOW, {"--profile", folder + "/profile", page},
            folder,     folder + "/profile.log",  {}};
        Candidate program{"MyZELK", bin + "/MyZELK", {}, bin, folder + "/program.log", {}};
        const std::vector<Candidate*> all{&bare, &banner, &profile, &program};

        // The first start of each fills the file cache and creates the
        // browser profile; it is not counted.
        std::printf("warm-up start of each ...\n");
        for (Candidate* candidate : all)
            Measure(screen, *candidate, environment, "");
        for (int i = 0; i < runs; ++i)
            for (Candidate* candidate : all)
            {
                std::string shot;
                if (i == 0 && !shots.empty())
                    shot = shots + "/" +
                           (candidate->name[0] == '+' ? candidate->name + 1 : candidate->name) +
                           ".ppm";
                candidate->runs.push_back(Measure(screen, *candidate, environment, shot));
                const Run& run = candidate->runs.back();
                std::printf("  run %d %-10s %8.1f ms  %d processes\n", i + 1, candidate->name,
                            run.ms, run.painted.processes);
            }

        std::printf("\nstart-up to the welcome page painted, median of %d alternating runs\n"
                    "(bare: a Qt WebEngine window alone; +banner: with a second view asking "
                    "the banner's address;\n +profile: its view on a disk profile)\n",
                    runs);
        std::printf("%-30s", "");
        for (const Candidate* candidate : all)
            std::printf(" %10s", candidate->name);
        std::printf(" %7s\n", "ratio");
        Row(
            "time to page painted (ms)", all, [](const Run& r) { return r.ms; },
            "   (goal at most 1.20)");
        Row("VmRSS, summed, at paint (MB)", all, [](const Run& r) { return Mb(r.painted.rss); });
        Row("VmRSS, summed, settled (MB)", all, [](const Run& r) { return Mb(r.settled.rss); });
        Row("VmHWM, summed, settled (MB)", all, [](const Run& r) { return Mb(r.settled.hwm); });
        Row("Pss, summed, settled (MB)", all, [](const Run& r) { return Mb(r.settled.pss); });
        Row("own VmRSS, main process (MB)", all, [](const Run& r) { return Mb(r.settled.ownRss); });
        Row("processes", all,
            [](const Run& r) { return static_cast<double>(r.settled.processes); });
    }
    catch (const std::exception& error)
    {
        std::fprintf(stderr, "window_startup_bench: %s\n", error.what());
        status = 1;
    }
    if (keep)
        std::printf("scratch folder kept: %s\n", folder.c_str());
    else
        fs::remove_all(folder);
    return status;
}
