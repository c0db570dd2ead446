// A record set over one prepared statement. Rows are stepped on demand and
// only the current one is ever held, so walking a large table costs the
// same memory as walking a small one. Queries on a single table (SELECT
// ... FROM one table) are updatable: the row id is selected behind the
// columns so the current record can be deleted or changed, and AddNew
// inserts into that table.
#pragma once

#include "platform/ado/ado.h"
#include "platform/ado/ref_counted.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct sqlite3_stmt;

namespace ado
{

class SqliteConnection;

class SqliteRecordset final : public RefCounted<_Recordset>
{
public:
    SqliteRecordset();
    ~SqliteRecordset() override;

    void Open(const _variant_t& source, _Connection* activeConnection, CursorTypeEnum cursorType,
              LockTypeEnum lockType, long options) override;
    // Opens without trying to make the query updatable.
    void OpenReadOnly(const std::string& sql, SqliteConnection* connection);
    long GetState() override;
    void Close() override;
    bool GetBOF() override;
    bool GetEndOfFile() override;
    HRESULT MoveFirst() override;
    HRESULT MoveNext() override;
    void Delete(AffectEnum affect) override;
    void AddNew(const _variant_t& fieldList, const _variant_t& values) override;
    void Update(const _variant_t& fields, const _variant_t& values) override;
    FieldsPtr GetFields() override;

    // For the Field objects (0-based column).
    long ColumnCount() const { return static_cast<long>(m_columns.size()); }
    _bstr_t ColumnName(long column) const;
    DataTypeEnum ColumnType(long column);
    _variant_t ColumnValue(long column);
    long ColumnSize(long column);
    _variant_t ColumnChunk(long column, long length);
    void PutColumn(long column, const _variant_t& value);
    void AppendColumnChunk(long column, const _variant_t& data);
    long FindColumn(const std::u16string& name) const;

private:
    class FieldImpl;
    class FieldsImpl;
    struct Column
    {
        std::string name;   // as the query names it
        std::string origin; // table column it comes from; empty for expressions
        DataTypeEnum declared = adEmpty;
    };
    struct Pending
    {
        bool set = false;
        _variant_t value;
        std::vector<unsigned char> chunks;
        bool chunked = false;
    };
    enum class Mode
    {
        Browse,
        Edit,
        Add,
    };
    enum class Source
    {
        Cursor, // the current row is the cursor's
        Reread, // the current row was written and is read back by row id
    };

    void OpenStatement(const std::string& sql, SqliteConnection* connection, bool updatable);
    void RequireOpen() const;
    // True when the current record is the cursor's row, unedited.
    bool OnCursorRow() const;
    void EnsureStarted();
    void Step();
    void RequireUpdatable() const;
    void RequireCurrent();
    // The statement and column index that hold the current value.
    sqlite3_stmt* CurrentRow(long column, int* index);
    void LeaveEditMode();
    void BindPending(sqlite3_stmt* stmt, const std::vector<long>& columns);
    std::int64_t CurrentRowid();
    void ReleaseStatements();

    _ConnectionPtr m_connectionRef;
    SqliteConnection* m_connection = nullptr;
    std::uint64_t m_generation = 0;
    std::string m_sql;
    sqlite3_stmt* m_stmt = nullptr;
    std::string m_rereadSql;
    sqlite3_stmt* m_reread = nullptr;
    bool m_open = false;
    bool m_started = false;
    bool m_eof = false;
    bool m_empty = false;
    long m_position = -1;
    bool m_deleted = false;
    Source m_source = Source::Cursor;
    std::int64_t m_rereadRowid = 0;
    std::uint64_t m_rowSerial = 0;

    int m_rowidColumn = -1; // the statement's last column when it selects the row id
    std::string m_table;
    std::vector<Column> m_columns;
    Mode m_mode = Mode::Browse;
    std::vector<Pending> m_pending;
    std::vector<std::unique_ptr<FieldImpl>> m_fieldObjects;
    std::unique_ptr<FieldsImpl> m_fieldsObject;
};

} // namespace ado
