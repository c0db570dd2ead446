// A file-system layer for SQLite that sits on the real one while the object
// lives, as the process's default: every connection opened meanwhile goes
// through it. It counts the syncs of write-ahead logs, and can make writes
// fail from the n-th on, as a full disk does.
#pragma once

#include <sqlite3.h>

#include <atomic>

class SqliteFaultVfs
{
public:
    SqliteFaultVfs();
    ~SqliteFaultVfs(); // the real layer is the default again
    SqliteFaultVfs(const SqliteFaultVfs&) = delete;
    SqliteFaultVfs& operator=(const SqliteFaultVfs&) = delete;

    // Syncs of write-ahead logs asked for so far.
    int WalSyncs() const { return m_walSyncs; }

    // The write after the next `writes` ones, and every one after it, fails
    // with `code`; a negative count stops failing.
    void FailWritesAfter(int writes, int code = SQLITE_FULL);

    // For the layer's callbacks.
    void CountWalSync() { ++m_walSyncs; }
    int NextWriteResult();

private:
    std::atomic<int> m_walSyncs{0};
    std::atomic<int> m_writesLeft{-1};
    std::atomic<int> m_failCode{0};
};
