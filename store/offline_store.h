// The offline record store: saved topics, articles and other pages in the
// local database, and the display files re-created from them.
//
// One lock serialises every operation: inserts run on the download worker,
// everything else on the user-interface thread, over one controller. Row
// callbacks run under that lock (the same thread may call back in).
//
// Error model: no operation raises. Engine errors are written to the
// diagnostic log and come back as kStoreEngineError (or 0 for the 1/0
// operations).
#pragma once

#include "LQADO/LQADODBController.h"
#include "store/offline_tables.h"

#include <mutex>
#include <string>

enum class OfflineTable
{
    Community, // tCommunity
    Develop,   // tDevelop
    Topic,     // tTopic
};

const char* OfflineTableName(OfflineTable table);

// Results of the fetch, list and search operations besides the library's
// LQADO_OK (0), LQADO_E_CREATE (-2) and LQADO_E_NORECORD (-5).
constexpr long kStoreEngineError = -1; // raised error, logged
constexpr long kStoreRefused = -3;     // text does not fit a statement; nothing run

// Statements are built in buffers of this size.
constexpr size_t kStoreStatementBytes = 1024;

// What SaveRecord did.
enum class StoreOutcome
{
    Failed,   // rolled back, nothing changed
    Inserted, // a new row
    Replaced, // the row of the same item now holds the new values
};

class COfflineStore
{
public:
    COfflineStore(CLQADODBController& controller, std::string databaseFile, std::string tempFolder);
    COfflineStore(const COfflineStore&) = delete;
    COfflineStore& operator=(const COfflineStore&) = delete;

    // 1 when connected; 0 when not, with the reason in OpenError() (a missing
    // or unreadable database is never created here). Telling the user is the
    // caller's part.
    int OpenDatabase();
    const std::string& OpenError() const { return m_openError; }
    void CloseDatabase();

    // 1 when the row was stored, 0 when it was refused (rolled back, logged;
    // a second row with the same fID is refused).
    int InsertRecord(CLQADOTable& table);
    // Stores the row in one transaction, replacing the row of the same item
    // when there is one: in tCommunity and tDevelop the row with its fID,
    // in tTopic the row saved from the same address (fRemark, unless it is
    // "(NULL)"), which keeps its key. A page's key is set in the table
    // object. On failure (logged) *reason says why, in the engine's words.
    StoreOutcome SaveRecord(COfflineTable& table, std::string* reason = nullptr);
    // The row of tCommunity or tDevelop (by the table object's name) with
    // that fID into the table object: 0, -5 (untouched), -2 or -1.
    long GetRecordById(long id, CLQADOTable& table);
    // The page with that key, or the first saved with that title; the
    // table's Key() is set. Results as GetRecordById.
    long GetTopicByKey(long key, CTopicTable& table);
    long GetTopicByTitle(const char* title, CTopicTable& table);
    // 1 when the statement ran (also when no row had that id), 0 on failure
    // (logged). tTopic rows are not deleted this way (0).
    int DeleteRecordById(OfflineTable table, long id);

    // Row callbacks get each row's field set in column order, with the
    // columns the report lists show and the keys filled:
    //   tCommunity: fID fTitle fPostUserName fRoomID fReplyNum fReadNum
    //               fInDate fEndState
    //   tDevelop:   fID fTitle fRoomID fInDate fAuthor
    //   tTopic:     fTitle fInDate fRemark, then the key (CTopicTable::RowKey)
    // Every other column (the content above all) is NULL. Fetch a row by id
    // or key for all of it.
    long ListRoomRecords(OfflineTable table, long roomId, LQADORecordCallback callback,
                         void* context);
    long ListAllTopics(LQADORecordCallback callback, void* context);
    // Titles containing the text, matched literally ("%" and "_" are
    // characters like the others; ASCII letters match in either case).
    long SearchByTitle(OfflineTable table, const char* text, LQADORecordCallback callback,
                       void* context);

    // Writes the saved file in the column's byte array to path: the stored
    // bytes without the zero byte rows keep after them (written beside, then
    // renamed, so a half-written file never stands there). 1 written, 0 when
    // the column holds no byte array or the file cannot be written.
    int ExtractContent(CLQADOTable& table, long column, const char* path);

    // The display file of the item (fID, or a page's key), written from its
    // row when it is missing or its length is not that of the saved file (a
    // copy cut by a kill, or left by another item). Empty, with *reason,
    // when there is no such row or no file can be written.
    std::string OpenDisplayCopy(OfflineTable table, long key, std::string* reason = nullptr);

    // Display files in the temporary folder, named by the key of the item
    // (fID, or a page's key), never by its title; empty when the path would
    // not fit 259 bytes.
    std::string DisplayPath(OfflineTable table, long key) const;
    std::string CommunityDisplayPath(long id) const;
    std::string DevelopDisplayPath(long id) const;
    std::string TopicDisplayPath(long key) const;

    const std::string& DatabaseFile() const { return m_databaseFile; }
    const std::string& TempFolder() const { return m_tempFolder; }

private:
    long ReadFirst(const char* sql, CLQADOTable& table);
    // The first column of the first row as an integer (0 when it is not
    // one): 0 or -5; raises as the controller does.
    long ReadNumber(const std::string& sql, long& value);
    // Runs a statement of the table's list columns (ListLayout in the .cpp).
    long Walk(OfflineTable table, const std::string& sql, LQADORecordCallback callback,
              void* context);
    long WalkList(OfflineTable table, const std::string& condition, LQADORecordCallback callback,
                  void* context);

    CLQADODBController& m_controller;
    std::string m_databaseFile;
    std::string m_tempFolder;
    std::string m_openError;
    std::recursive_mutex m_lock;
};
