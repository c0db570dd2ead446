// Fills the view's community list with the records of one room the way a
// click in the offline room tree does (ShowRoomRecords, then the batched
// filler on the event loop) until the last row is in the list, against the
// store's own ListRoomRecords of the same room in the same run. Not a
// test: nothing is asserted. Needs an X server (the view holds a browser
// panel):
//
//   xvfb-run -a -s "-screen 0 1024x768x24" bench/window_list_bench
//       [--rows N]        records of the listed room (default 5000)
//       [--rounds N]      rounds, alternating the two sides (default 5)
//       [--content-kb N]  saved page size of each record (default 16)
#include "base/debug_log.h"
#include "outside/LQExploreManager/LQExploreManager.h"
#include "store/database_creation.h"
#include "store/offline_store.h"
#include "store/offline_tables.h"
#include "views/document/myzelk_view.h"
#include "views/document/offline_commands.h"
#include "views/document/record_cells.h"
#include "views/list/report_list_ctrl.h"

#include <QApplication>
#include <QElapsedTimer>

#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{

constexpr long kRoom = 12;
constexpr long kOtherRoom = 13;
constexpr const char* kCommunityRoot = "ZELK社区";

struct Settings
{
    long rows = 5000;
    int rounds = 5;
    long contentKb = 16;
};

void Exec(sqlite3* db, const std::string& sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK)
    {
        const std::string text = error ? error : "?";
        sqlite3_free(error);
        throw std::runtime_error(text);
    }
}

// The listed room's records with a fifth as many of another room between
// them (every sixth), so the list goes through the room index as in use.
void Populate(const std::string& file, const Settings& settings)
{
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    const long total = settings.rows + settings.rows / 5;
    try
    {
        Exec(db, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                     std::to_string(total) +
                     ") INSERT INTO tCommunity (fID, fTitle, fPostUserName, fPostUserNickName, "
                     "fRank, fCredit, fRoomID, fRoomName, fReplyNum, fPoint, fReadNum, fInDate, "
                     "fEndState, fContent, fRemark) SELECT 100000 + i, "
                     "'如何在离线数据库中保存帖子和文章 第' || i || '帖', 'user' || (i % 97), "
                     "'NULL', 'rank', 100, CASE WHEN i % 6 = 0 THEN " +
                     std::to_string(kOtherRoom) + " ELSE " + std::to_string(kRoom) +
                     " END, 'room', i % 30, 20, i * 3, 45000 + i / 100.0, i % 2, "
                     "randomblob(" +
                     std::to_string(settings.contentKb * 1024) + "), '" + kRemarkText +
                     "' FROM n;");
    }
    catch (...)
    {
        sqlite3_close(db);
        throw;
    }
    sqlite3_close(db);
}

// Reads the shown columns as a list row does, without keeping them.
int CountRow(void* context, CLQADOField* row)
{
    auto* n = static_cast<long*>(context);
    for (long i : {0, 1, 2, 3, 8, 10, 11, 12})
        if (row->GetData(i)->vt == VT_EMPTY)
            return 0;
    ++*n;
    return 1;
}

// Builds each row's cells as the view does, without a list.
int CellsRow(void* context, CLQADOField* row)
{
    auto* n = static_cast<long*>(context);
    CCommunityTable record(row);
    *n += static_cast<long>(CommunityCells(record).size() != 0);
    return 1;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double TimeStore(COfflineStore& store, LQADORecordCallback callback, long expected)
{
    long rows = 0;
    QElapsedTimer timer;
    timer.start();
    store.ListRoomRecords(OfflineTable::Community, kRoom, callback, &rows);
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    if (rows != expected)
        throw std::runtime_error("the store listed " + std::to_string(rows) + " rows, not " +
                                 std::to_string(expected));
    return ms;
}

struct WindowTimes
{
    double returned = 0; // ShowRoomRecords came back
    double first = 0;    // the first rows are in the list
    double last = 0;     // the last row is in the list
};

void Settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

WindowTimes TimeWindow(CMyZELKView& view, long expected)
{
    // From the browser panel, as a first click in the room tree finds it.
    view.ClearCommunityList();
    view.ShowBrowser();
    Settle(300);
    CReportListCtrl* list = view.CommunityList();
    WindowTimes times;
    QElapsedTimer timer;
    timer.start();
    ShowRoomRecords(view, "room", std::string(kCommunityRoot), kRoom);
    times.returned = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    while (view.IsFilling())
    {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (times.first == 0 && list->GetItemCount() > 0)
            times.first = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    }
    times.last = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    if (times.first == 0)
        times.first = times.last;
    if (list->GetItemCount() != expected)
        throw std::runtime_error("the list holds " + std::to_string(list->GetItemCount()) +
                                 " rows, not " + std::to_string(expected));
    return times;
}

void Report(const char* what, double ms, double store)
{
    std::printf("%-44s %9.1f ms   ratio to the store %6.2f\n", what, ms, ms / store);
}

} // namespace

int main(int argc, char** argv)
{
    Settings settings;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--rows") == 0 && i + 1 < argc)
            settings.rows = std::max(1L, std::atol(argv[++i]));
        else if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc)
            settings.rounds = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--content-kb") == 0 && i + 1 < argc)
            settings.contentKb = std::max(0L, std::atol(argv[++i]));
        else
        {
            std::fprintf(stderr, "usage: %s [--rows N] [--rounds N] [--content-kb N]\n", argv[0]);
            return 2;
        }
    }
    // Root needs WebEngine's sandbox off; a virtual screen has no GPU.
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --no-sandbox");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);

    std::string pattern = (std::filesystem::temp_directory_path() / "list-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
    {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string folder = pattern;
    SetDebugLogPathForTesting((folder + "/debug.txt").c_str());
    CLQExploreManager::SetProfileFolder((folder + "/profile").c_str());
    std::filesystem::create_directories(folder + "/Temp");
    int status = 0;
    try
    {
        const std::string file = folder + "/MyZELK.mdb";
        std::string error;
        if (CreateDatabaseIfMissing(file, MYZELK_BENCH_SCHEMA, &error) != DatabaseCreation::Created)
            throw std::runtime_error("cannot create " + file + ": " + error);
        Populate(file, settings);
        CLQADODBController controller;
        COfflineStore store(controller, file, folder + "/Temp");
        if (store.OpenDatabase() != 1)
            throw std::runtime_error("cannot open " + file);
        {
            CMyZELKView view;
            view.SetStore(&store);
            view.resize(1000, 700);
            const std::string welcome = folder + "/WelcomePage.htm";
            std::ofstream(welcome) << "<html><body>welcome</body></html>";
            view.OnInitialUpdate(welcome);
            view.show();
            Settle(2000);

            std::vector<double> storeMs, cellsMs, returned, first, last;
            for (int round = 0; round < settings.rounds; ++round)
            {
                storeMs.push_back(TimeStore(store, CountRow, settings.rows));
                cellsMs.push_back(TimeStore(store, CellsRow, settings.rows));
                const WindowTimes times = TimeWindow(view, settings.rows);
                returned.push_back(times.returned);
                first.push_back(times.first);
                last.push_back(times.last);
            }
            const double storeMedian = Median(storeMs);
            std::printf("%ld records of one room (%ld in the table, %ld KB content each), "
                        "median of %d rounds\n",
                        settings.rows, settings.rows + settings.rows / 5, settings.contentKb,
                        settings.rounds);
            std::printf("%-44s %9.1f ms\n", "store ListRoomRecords, shown columns read",
                        storeMedian);
            Report("  and each row's cells built", Median(cellsMs), storeMedian);
            Report("window: ShowRoomRecords returned", Median(returned), storeMedian);
            Report("window: first rows in the list", Median(first), storeMedian);
            Report("window: last row in the list", Median(last), storeMedian);
        }
        store.CloseDatabase();
    }
    catch (const std::exception& error)
    {
        std::fprintf(stderr, "window_list_bench: %s\n", error.what());
        status = 1;
    }
    std::filesystem::remove_all(folder);
    return status;
}
