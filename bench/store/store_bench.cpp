// Times the offline store against raw SQLite on the same data in the same
// run and prints the ratios. Not a test: nothing is asserted.
//
//   store_bench            5,000 topics of 100 KB, 50,000 titles, 5 MB extract
//   store_bench --small    a tenth of that, for a quick look
//   --dir FOLDER           where the scratch databases go (default /tmp)
//   --list-only            only the room list, on a table filled in one
//                          transaction, in more rounds (for profiling it)
#include "base/debug_log.h"
#include "store/database_creation.h"
#include "store/offline_store.h"

#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Sizes
{
    long topics = 5000;
    size_t topicBytes = 100 * 1024;
    long searchRows = 50000;
    size_t extractBytes = 5 * 1024 * 1024;
};

std::vector<unsigned char> Content(long seed, size_t size)
{
    std::vector<unsigned char> bytes(size);
    std::uint32_t x = static_cast<std::uint32_t>(seed) * 2654435761u + 7;
    for (size_t i = 0; i < size; i += 4)
    {
        x = x * 1103515245u + 12345u;
        std::memcpy(&bytes[i], &x, std::min<size_t>(4, size - i));
    }
    bytes.back() = 0;
    return bytes;
}

std::string Title(long i)
{
    return "topic " + std::to_string(i) + (i % 100 == 0 ? " needle" : " hay");
}

void Fill(CCommunityTable& t, long id, long room, const std::vector<unsigned char>& content)
{
    t.SetLong(CCommunityTable::fID, id);
    t.SetText(CCommunityTable::fTitle, Title(id));
    t.SetText(CCommunityTable::fPostUserName, "poster");
    t.SetText(CCommunityTable::fPostUserNickName, "NULL");
    t.SetText(CCommunityTable::fRank, "rank");
    t.SetLong(CCommunityTable::fCredit, 100);
    t.SetLong(CCommunityTable::fRoomID, room);
    t.SetText(CCommunityTable::fRoomName, "room");
    t.SetLong(CCommunityTable::fReplyNum, 3);
    t.SetLong(CCommunityTable::fPoint, 20);
    t.SetLong(CCommunityTable::fReadNum, 50);
    t.SetDate(CCommunityTable::fInDate, 45000.5);
    t.SetLong(CCommunityTable::fEndState, 0);
    t.SetBinary(CCommunityTable::fContent, content.data(), static_cast<long>(content.size()));
    t.SetText(CCommunityTable::fRemark, kRemarkText);
}

// The same work done directly on the engine, with the store's settings
// (a commit synced before it returns) or, for comparison, with NORMAL sync,
// which leaves the last commits to the next checkpoint.
class Raw
{
public:
    explicit Raw(const std::string& file, const char* synchronous = "FULL")
    {
        sqlite3_open_v2(file.c_str(), &m_db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_exec(m_db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
        sqlite3_exec(m_db, (std::string("PRAGMA synchronous=") + synchronous).c_str(), nullptr,
                     nullptr, nullptr);
        m_begin = Prepare("BEGIN IMMEDIATE");
        m_commit = Prepare("COMMIT");
        m_insert = Prepare("INSERT INTO tCommunity VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    }
    ~Raw()
    {
        for (auto* s : {m_begin, m_commit, m_insert})
            sqlite3_finalize(s);
        sqlite3_close(m_db);
    }
    sqlite3_stmt* Prepare(const std::string& sql)
    {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK)
        {
            std::fprintf(stderr, "prepare: %s\n", sqlite3_errmsg(m_db));
            exit(1);
        }
        return s;
    }
    void Run(sqlite3_stmt* s)
    {
        if (sqlite3_step(s) != SQLITE_DONE)
        {
            std::fprintf(stderr, "step: %s\n", sqlite3_errmsg(m_db));
            exit(1);
        }
        sqlite3_reset(s);
    }
    void Insert(long id, long room, const std::string& title,
                const std::vector<unsigned char>& content, bool ownTransaction = true)
    {
        if (ownTransaction)
            Run(m_begin);
        sqlite3_stmt* s = m_insert;
        sqlite3_bind_int(s, 1, static_cast<int>(id));
        sqlite3_bind_text(s, 2, title.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(s, 3, "poster", -1, SQLITE_STATIC);
        sqlite3_bind_text(s, 4, "NULL", -1, SQLITE_STATIC);
        sqlite3_bind_text(s, 5, "rank", -1, SQLITE_STATIC);
        sqlite3_bind_int(s, 6, 100);
        sqlite3_bind_int(s, 7, static_cast<int>(room));
        sqlite3_bind_text(s, 8, "room", -1, SQLITE_STATIC);
        sqlite3_bind_int(s, 9, 3);
        sqlite3_bind_int(s, 10, 20);
        sqlite3_bind_int(s, 11, 50);
        sqlite3_bind_double(s, 12, 45000.5);
        sqlite3_bind_int(s, 13, 0);
        sqlite3_bind_blob(s, 14, content.data(), static_cast<int>(content.size()), SQLITE_STATIC);
        sqlite3_bind_text(s, 15, kRemarkText, -1, SQLITE_STATIC);
        Run(s);
        if (ownTransaction)
            Run(m_commit);
    }
    // Steps a query reading every result column; returns the row count.
    long Query(const std::string& sql)
    {
        sqlite3_stmt* s = Prepare(sql);
        long rows = 0;
        int n = sqlite3_column_count(s);
        std::size_t sink = 0;
        while (sqlite3_step(s) == SQLITE_ROW)
        {
            for (int i = 0; i < n; ++i)
            {
                if (sqlite3_column_type(s, i) == SQLITE_TEXT)
                    sink += std::strlen(reinterpret_cast<const char*>(sqlite3_column_text(s, i)));
                else
                    sink += static_cast<std::size_t>(sqlite3_column_int64(s, i));
            }
            ++rows;
        }
        sqlite3_finalize(s);
        m_sink += sink;
        return rows;
    }
    long Extract(long id, const std::string& path)
    {
        sqlite3_stmt* s =
            Prepare("SELECT fContent FROM tCommunity WHERE fID = " + std::to_string(id));
        long n = -1;
        if (sqlite3_step(s) == SQLITE_ROW)
        {
            n = sqlite3_column_bytes(s, 0);
            FILE* f = std::fopen(path.c_str(), "wb");
            std::fwrite(sqlite3_column_blob(s, 0), 1, static_cast<size_t>(n), f);
            std::fclose(f);
        }
        sqlite3_finalize(s);
        return n;
    }
    sqlite3* Db() { return m_db; }

private:
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_begin = nullptr;
    sqlite3_stmt* m_commit = nullptr;
    sqlite3_stmt* m_insert = nullptr;
    std::size_t m_sink = 0;
};

int CountRow(void* context, CLQADOField* row)
{
    // Reads the shown columns as a list row does, without keeping them.
    auto* n = static_cast<long*>(context);
    for (long i : {0, 1, 2, 8, 10, 11, 12})
    {
        const _variant_t* v = row->GetData(i);
        if (v->vt == VT_EMPTY)
            return 0;
    }
    ++*n;
    return 1;
}

std::string NewDatabase(const std::string& folder, const char* name)
{
    std::string file = folder + "/" + name;
    std::string error;
    if (CreateDatabaseIfMissing(file, MYZELK_BENCH_SCHEMA, &error) != DatabaseCreation::Created)
    {
        std::fprintf(stderr, "cannot create %s: %s\n", file.c_str(), error.c_str());
        exit(1);
    }
    return file;
}

void Report(const char* what, double raw, double store, const char* limit)
{
    std::printf("%-34s raw %9.1f ms   store %9.1f ms   ratio %5.2f%s\n", what, raw, store,
                store / raw, limit);
}

// Lists the room (every topic is in room 1) through the store and reads
// the same rows raw; best of `rounds` each, interleaved.
bool ListRoom(Raw& raw, COfflineStore& store, long topics, int rounds)
{
    const std::string shown =
        "SELECT fID, fTitle, fReplyNum, fPostUserName, fInDate, fEndState, fReadNum "
        "FROM tCommunity WHERE fRoomID = 1";
    const std::string allButContent =
        "SELECT fID, fTitle, fPostUserName, fPostUserNickName, fRank, fCredit, fRoomID, "
        "fRoomName, fReplyNum, fPoint, fReadNum, fInDate, fEndState, fRemark "
        "FROM tCommunity WHERE fRoomID = 1";
    double rawShown = 1e300, rawAll = 1e300, storeList = 1e300;
    for (int round = 0; round < rounds; ++round)
    {
        auto t0 = Clock::now();
        long a = raw.Query(shown);
        rawShown = std::min(rawShown, Ms(Clock::now() - t0));
        t0 = Clock::now();
        long b = raw.Query(allButContent);
        rawAll = std::min(rawAll, Ms(Clock::now() - t0));
        long c = 0;
        t0 = Clock::now();
        store.ListRoomRecords(OfflineTable::Community, 1, CountRow, &c);
        storeList = std::min(storeList, Ms(Clock::now() - t0));
        if (a != topics || b != topics || c != topics)
        {
            std::fprintf(stderr, "row counts differ: %ld %ld %ld\n", a, b, c);
            return false;
        }
    }
    Report("list room vs shown columns", rawShown, storeList, "   (limit 1.50)");
    Report("list room vs all but content", rawAll, storeList, "");
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    Sizes sizes;
    std::string base = "/tmp";
    bool listOnly = false;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--small") == 0)
        {
            sizes.topics = 500;
            sizes.searchRows = 5000;
            sizes.extractBytes = 512 * 1024;
        }
        else if (std::strcmp(argv[i], "--list-only") == 0)
        {
            listOnly = true;
        }
        else if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc)
        {
            base = argv[++i];
        }
        else
        {
            std::fprintf(stderr, "usage: %s [--small] [--list-only] [--dir FOLDER]\n", argv[0]);
            return 2;
        }
    }
    std::string pattern = base + "/store-bench-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back(0);
    if (!mkdtemp(buffer.data()))
    {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string folder = buffer.data();
    SetDebugLogPathForTesting((folder + "/debug.txt").c_str());
    std::printf("%ld topics of %zu bytes; search over %ld rows; extract of %zu bytes\n",
                sizes.topics, sizes.topicBytes, sizes.searchRows, sizes.extractBytes);

    if (listOnly)
    {
        std::string file = NewDatabase(folder, "list.mdb");
        {
            Raw raw(file, "OFF");
            sqlite3_exec(raw.Db(), "BEGIN", nullptr, nullptr, nullptr);
            for (long id = 1; id <= sizes.topics; ++id)
                raw.Insert(id, 1, Title(id), Content(id, sizes.topicBytes), false);
            sqlite3_exec(raw.Db(), "COMMIT", nullptr, nullptr, nullptr);
            CLQADODBController controller;
            COfflineStore store(controller, file, folder);
            if (store.OpenDatabase() != 1 || !ListRoom(raw, store, sizes.topics, 30))
                return 1;
            store.CloseDatabase();
        }
        std::filesystem::remove_all(folder);
        return 0;
    }

    // ---- inserts: one transaction per topic on every side, interleaved in
    // batches so all see the same disk and cache conditions.
    std::string rawFile = NewDatabase(folder, "raw.mdb");
    std::string unsyncedFile = NewDatabase(folder, "unsynced.mdb");
    std::string storeFile = NewDatabase(folder, "store.mdb");
    double rawInsert = 0, storeInsert = 0, firstTenth = 0, lastTenth = 0;
    double rawFirstTenth = 0, rawLastTenth = 0, unsyncedInsert = 0;
    {
        Raw raw(rawFile);
        Raw unsynced(unsyncedFile, "NORMAL");
        CLQADODBController controller;
        COfflineStore store(controller, storeFile, folder);
        if (store.OpenDatabase() != 1)
            return 1;
        const long batch = 50;
        const long tenth = sizes.topics / 10;
        for (long start = 1; start <= sizes.topics; start += batch)
        {
            long end = std::min(sizes.topics, start + batch - 1);
            for (long id = start; id <= end; ++id)
            {
                auto content = Content(id, sizes.topicBytes);
                std::string title = Title(id);
                auto t0 = Clock::now();
                raw.Insert(id, 1, title, content);
                double ms = Ms(Clock::now() - t0);
                rawInsert += ms;
                if (id <= sizes.topics / 10)
                    rawFirstTenth += ms;
                else if (id > sizes.topics - sizes.topics / 10)
                    rawLastTenth += ms;
            }
            for (long id = start; id <= end; ++id)
            {
                auto content = Content(id, sizes.topicBytes);
                auto t0 = Clock::now();
                unsynced.Insert(id, 1, Title(id), content);
                unsyncedInsert += Ms(Clock::now() - t0);
            }
            for (long id = start; id <= end; ++id)
            {
                CCommunityTable t;
                Fill(t, id, 1, Content(id, sizes.topicBytes));
                auto t0 = Clock::now();
                if (store.InsertRecord(t) != 1)
                {
                    std::fprintf(stderr, "insert %ld failed\n", id);
                    return 1;
                }
                double ms = Ms(Clock::now() - t0);
                storeInsert += ms;
                if (id <= tenth)
                    firstTenth += ms;
                else if (id > sizes.topics - tenth)
                    lastTenth += ms;
            }
        }
        Report("insert (one transaction each)", rawInsert, storeInsert, "   (limit 1.30)");
        // What syncing every commit costs, on the engine alone.
        std::printf("%-34s NORMAL %6.1f ms   FULL %9.1f ms   ratio %5.2f\n",
                    "  raw insert, by synchronous", unsyncedInsert, rawInsert,
                    rawInsert / unsyncedInsert);
        std::printf("%-34s store: first tenth %.3f, last tenth %.3f ms/insert; raw: %.3f, %.3f\n",
                    "  insert cost as the table grows", firstTenth / static_cast<double>(tenth),
                    lastTenth / static_cast<double>(tenth),
                    rawFirstTenth / static_cast<double>(tenth),
                    rawLastTenth / static_cast<double>(tenth));

        if (!ListRoom(raw, store, sizes.topics, 3))
            return 1;
        store.CloseDatabase();
    }
    std::filesystem::remove(rawFile);
    std::filesystem::remove(unsyncedFile);
    std::filesystem::remove(storeFile);

    // ---- title search over many small rows, and one large extract.
    std::string searchFile = NewDatabase(folder, "search.mdb");
    {
        Raw raw(searchFile);
        sqlite3_exec(raw.Db(), "BEGIN", nullptr, nullptr, nullptr);
        auto small = Content(1, 1024);
        for (long id = 1; id <= sizes.searchRows; ++id)
            raw.Insert(id, id % 50, Title(id), small, false);
        auto big = Content(2, sizes.extractBytes);
        raw.Insert(sizes.searchRows + 1, 99, "big one", big, false);
        sqlite3_exec(raw.Db(), "COMMIT", nullptr, nullptr, nullptr);

        CLQADODBController controller;
        COfflineStore store(controller, searchFile, folder);
        if (store.OpenDatabase() != 1)
            return 1;
        const std::string rawSearch =
            "SELECT fID, fTitle, fPostUserName, fPostUserNickName, fRank, fCredit, fRoomID, "
            "fRoomName, fReplyNum, fPoint, fReadNum, fInDate, fEndState, X'', fRemark "
            "FROM tCommunity WHERE fTitle LIKE '%needle%'";
        double rawTime = 1e300, storeTime = 1e300;
        for (int round = 0; round < 3; ++round)
        {
            auto t0 = Clock::now();
            long a = raw.Query(rawSearch);
            rawTime = std::min(rawTime, Ms(Clock::now() - t0));
            long b = 0;
            t0 = Clock::now();
            store.SearchByTitle(OfflineTable::Community, "needle", CountRow, &b);
            storeTime = std::min(storeTime, Ms(Clock::now() - t0));
            if (a != b)
            {
                std::fprintf(stderr, "search counts differ: %ld %ld\n", a, b);
                return 1;
            }
        }
        Report("title search", rawTime, storeTime, "");

        rawTime = storeTime = 1e300;
        for (int round = 0; round < 3; ++round)
        {
            auto t0 = Clock::now();
            raw.Extract(sizes.searchRows + 1, folder + "/raw.bin");
            rawTime = std::min(rawTime, Ms(Clock::now() - t0));
            t0 = Clock::now();
            CCommunityTable t;
            store.GetRecordById(sizes.searchRows + 1, t);
            store.ExtractContent(t, CCommunityTable::fContent, (folder + "/store.bin").c_str());
            storeTime = std::min(storeTime, Ms(Clock::now() - t0));
        }
        // The saved file: the content without its trailing zero.
        if (std::filesystem::file_size(folder + "/store.bin") != sizes.extractBytes - 1)
        {
            std::fprintf(stderr, "extract size differs\n");
            return 1;
        }
        Report("extract one large record", rawTime, storeTime, "");
        store.CloseDatabase();
    }
    std::filesystem::remove_all(folder);
    return 0;
}
