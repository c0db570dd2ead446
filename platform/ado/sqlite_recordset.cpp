#include "platform/ado/sqlite_recordset.h"

#include "platform/ado/sqlite_connection.h"
#include "platform/ado/sqlite_values.h"
#include "platform/text.h"

#include <sqlite3.h>

#include <cstring>

namespace ado
{

namespace
{
constexpr const char* kRowidAlias = "__lqado_rowid";

[[noreturn]] void RaiseNoCurrent()
{
    throw _com_error(ADO_E_NOCURRENTRECORD,
                     "Either BOF or EOF is True, or the current record has been deleted.");
}

std::string Quoted(const std::string& name)
{
    std::string out = "\"";
    for (char c : name)
    {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

bool IsWordChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$' || static_cast<unsigned char>(c) >= 0x80;
}

// Where the FROM of the outermost select list begins; npos when there is
// none. Quoted texts, names, comments and parentheses are stepped over.
size_t TopLevelFrom(const std::string& sql, size_t from)
{
    int depth = 0;
    for (size_t i = from; i < sql.size(); ++i)
    {
        char c = sql[i];
        if (c == '\'' || c == '"' || c == '`' || c == '[')
        {
            char close = c == '[' ? ']' : c;
            size_t end = sql.find(close, i + 1);
            if (end == std::string::npos)
                return std::string::npos;
            i = end; // a doubled quote is two quoted texts side by side
        }
        else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-')
        {
            i = sql.find('\n', i);
            if (i == std::string::npos)
                return std::string::npos;
        }
        else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*')
        {
            size_t end = sql.find("*/", i + 2);
            if (end == std::string::npos)
                return std::string::npos;
            i = end + 1;
        }
        else if (c == '(')
        {
            ++depth;
        }
        else if (c == ')')
        {
            if (--depth < 0)
                return std::string::npos;
        }
        else if (depth == 0 && (c == 'f' || c == 'F') && (i == 0 || !IsWordChar(sql[i - 1])) &&
                 i + 4 <= sql.size() &&
                 EqualsIgnoreCaseAscii(std::string_view(sql).substr(i, 4), "FROM") &&
                 (i + 4 == sql.size() || !IsWordChar(sql[i + 4])))
        {
            return i;
        }
    }
    return std::string::npos;
}

// "SELECT list FROM rest" -> "SELECT list, rowid AS alias FROM rest"; empty
// when the text is not a plain SELECT. The row id goes last so that
// ordinals in ORDER BY and GROUP BY keep counting the query's own columns.
std::string WithRowid(const std::string& sql)
{
    size_t start = sql.find_first_not_of(" \t\r\n");
    if (start == std::string::npos || sql.size() - start < 7)
        return {};
    if (!EqualsIgnoreCaseAscii(std::string_view(sql).substr(start, 6), "SELECT"))
        return {};
    char next = sql[start + 6];
    if (next != ' ' && next != '\t' && next != '\r' && next != '\n')
        return {};
    size_t word = sql.find_first_not_of(" \t\r\n", start + 6);
    if (word == std::string::npos)
        return {};
    std::string_view rest = std::string_view(sql).substr(word);
    if (rest.size() >= 8 && EqualsIgnoreCaseAscii(rest.substr(0, 8), "DISTINCT"))
        return {};
    size_t from = TopLevelFrom(sql, word);
    if (from == std::string::npos)
        return {};
    return sql.substr(0, from) + ", rowid AS " + kRowidAlias + " " + sql.substr(from);
}
} // namespace

// ---- Field and Fields: views on the record set, sharing its count ---------

class SqliteRecordset::FieldImpl final : public Field
{
public:
    FieldImpl(SqliteRecordset* owner, long column) : m_owner(owner), m_column(column) {}
    unsigned long AddRef() override { return m_owner->AddRef(); }
    unsigned long Release() override { return m_owner->Release(); }
    _bstr_t GetName() override { return m_owner->ColumnName(m_column); }
    DataTypeEnum GetType() override { return m_owner->ColumnType(m_column); }
    _variant_t GetValue() override { return m_owner->ColumnValue(m_column); }
    void PutValue(const _variant_t& value) override { m_owner->PutColumn(m_column, value); }
    long GetActualSize() override { return m_owner->ColumnSize(m_column); }
    _variant_t GetChunk(long length) override { return m_owner->ColumnChunk(m_column, length); }
    void AppendChunk(const _variant_t& data) override
    {
        m_owner->AppendColumnChunk(m_column, data);
    }

private:
    SqliteRecordset* m_owner;
    long m_column;
};

class SqliteRecordset::FieldsImpl final : public Fields
{
public:
    explicit FieldsImpl(SqliteRecordset* owner) : m_owner(owner) {}
    unsigned long AddRef() override { return m_owner->AddRef(); }
    unsigned long Release() override { return m_owner->Release(); }
    long GetCount() override
    {
        m_owner->RequireOpen();
        return m_owner->ColumnCount();
    }
    FieldPtr GetItem(const _variant_t& index) override
    {
        m_owner->RequireOpen();
        long column = -1;
        if (index.vt == VT_BSTR)
            column = m_owner->FindColumn(index.ToWide());
        else if (index.vt == VT_I4 || index.vt == VT_I2 || index.vt == VT_R8)
            column = index.ToLong();
        if (column < 0 || column >= m_owner->ColumnCount())
            throw _com_error(ADO_E_ITEMNOTFOUND,
                             "Item cannot be found in the collection corresponding to the "
                             "requested name or ordinal.");
        return FieldPtr(m_owner->m_fieldObjects[static_cast<size_t>(column)].get(), true);
    }

private:
    SqliteRecordset* m_owner;
};

// ---- Record set ---------------------------------------------------------------

SqliteRecordset::SqliteRecordset() : m_fieldsObject(std::make_unique<FieldsImpl>(this)) {}

SqliteRecordset::~SqliteRecordset()
{
    ReleaseStatements();
}

void SqliteRecordset::ReleaseStatements()
{
    if (m_connection)
    {
        m_connection->GiveBack(m_sql, m_stmt, m_generation);
        m_connection->GiveBack(m_rereadSql, m_reread, m_generation);
    }
    m_stmt = nullptr;
    m_reread = nullptr;
}

void SqliteRecordset::Open(const _variant_t& source, _Connection* activeConnection, CursorTypeEnum,
                           LockTypeEnum, long)
{
    auto* connection = dynamic_cast<SqliteConnection*>(activeConnection);
    if (!connection)
        throw _com_error(ADO_E_ILLEGALOPERATION,
                         "The record set needs an open connection of this data-access layer.");
    if (source.vt != VT_BSTR)
        throw _com_error(ADO_E_ILLEGALOPERATION, "The record set's source must be command text.");
    OpenStatement(source.ToUtf8(), connection, true);
}

void SqliteRecordset::OpenReadOnly(const std::string& sql, SqliteConnection* connection)
{
    OpenStatement(sql, connection, false);
}

void SqliteRecordset::OpenStatement(const std::string& sql, SqliteConnection* connection,
                                    bool updatable)
{
    if (m_open)
        throw _com_error(ADO_E_OBJECTOPEN, "Operation is not allowed when the object is open.");
    connection->Handle(); // raises when the connection is closed
    std::string withRowid = updatable ? WithRowid(sql) : std::string();
    sqlite3_stmt* stmt = nullptr;
    bool hasRowid = false;
    if (!withRowid.empty())
    {
        int rc = SQLITE_OK;
        // Joins, compounds and views have no single row id: read them as is.
        stmt = connection->TryAcquire(withRowid, &rc);
        if (stmt)
        {
            hasRowid = true;
            m_sql = withRowid;
        }
    }
    if (!stmt)
    {
        stmt = connection->Acquire(sql);
        m_sql = sql;
    }
    m_connectionRef = _ConnectionPtr(connection, true);
    m_connection = connection;
    m_generation = connection->Generation();
    m_stmt = stmt;
    int count = sqlite3_column_count(stmt);
    m_rowidColumn = hasRowid ? count - 1 : -1;
    m_columns.clear();
    std::string table;
    bool singleTable = hasRowid;
    for (int i = 0; i < (hasRowid ? count - 1 : count); ++i)
    {
        Column c;
        const char* name = sqlite3_column_name(stmt, i);
        c.name = name ? name : "";
        c.declared = TypeFromDeclaration(sqlite3_column_decltype(stmt, i));
        const char* origin = sqlite3_column_origin_name(stmt, i);
        const char* tableName = sqlite3_column_table_name(stmt, i);
        if (origin && tableName)
        {
            c.origin = origin;
            if (table.empty())
                table = tableName;
            else if (table != tableName)
                singleTable = false;
        }
        else
        {
            singleTable = false;
        }
        m_columns.push_back(std::move(c));
    }
    if (hasRowid)
    {
        const char* rowidTable = sqlite3_column_table_name(stmt, m_rowidColumn);
        if (!rowidTable || (!table.empty() && table != rowidTable))
            singleTable = false;
        if (table.empty() && rowidTable)
            table = rowidTable;
    }
    m_table = singleTable ? table : std::string();

    m_fieldObjects.clear();
    for (long i = 0; i < static_cast<long>(m_columns.size()); ++i)
        m_fieldObjects.push_back(std::make_unique<FieldImpl>(this, i));
    m_pending.assign(m_columns.size(), Pending{});
    m_open = true;
    m_started = false;
    m_eof = false;
    m_empty = false;
    m_position = -1;
    m_deleted = false;
    m_source = Source::Cursor;
    m_mode = Mode::Browse;
}

long SqliteRecordset::GetState()
{
    return m_open ? adStateOpen : adStateClosed;
}

void SqliteRecordset::Close()
{
    RequireOpen();
    ReleaseStatements();
    m_open = false;
    m_mode = Mode::Browse;
}

void SqliteRecordset::RequireOpen() const
{
    if (!m_open)
        throw _com_error(ADO_E_OBJECTCLOSED, "Operation is not allowed when the object is closed.");
    // Every close of the connection moves its generation on.
    if (m_connection->Generation() != m_generation)
        throw _com_error(ADO_E_OBJECTCLOSED, "The record set's connection has been closed.");
}

void SqliteRecordset::Step()
{
    int rc = sqlite3_step(m_stmt);
    ++m_rowSerial;
    m_deleted = false;
    m_source = Source::Cursor;
    if (rc == SQLITE_ROW)
    {
        ++m_position;
        m_eof = false;
        return;
    }
    m_eof = true;
    if (rc != SQLITE_DONE)
    {
        std::string text = EngineErrorText(m_connection->Handle(), rc);
        sqlite3_reset(m_stmt);
        throw _com_error(rc == SQLITE_NOMEM ? E_OUTOFMEMORY : E_FAIL, text);
    }
}

void SqliteRecordset::EnsureStarted()
{
    RequireOpen();
    if (m_started)
        return;
    m_started = true;
    m_position = -1;
    Step();
    m_empty = m_eof;
}

bool SqliteRecordset::GetBOF()
{
    EnsureStarted();
    return m_empty;
}

bool SqliteRecordset::GetEndOfFile()
{
    EnsureStarted();
    return m_eof;
}

HRESULT SqliteRecordset::MoveFirst()
{
    if (m_mode != Mode::Browse)
        Update(MissingArgument(), MissingArgument());
    EnsureStarted();
    if (m_position == 0 && !m_eof && !m_deleted && m_source == Source::Cursor)
        return S_OK;
    sqlite3_reset(m_stmt);
    m_position = -1;
    Step();
    m_empty = m_eof;
    return m_eof ? ADO_E_NOCURRENTRECORD : S_OK;
}

HRESULT SqliteRecordset::MoveNext()
{
    if (m_mode != Mode::Browse)
        Update(MissingArgument(), MissingArgument());
    EnsureStarted();
    if (m_eof)
        return ADO_E_NOCURRENTRECORD;
    Step();
    return S_OK;
}

void SqliteRecordset::RequireUpdatable() const
{
    if (m_table.empty())
        throw _com_error(ADO_E_FEATURENOTAVAILABLE,
                         "The record set cannot be changed: its query does not read one table.");
}

void SqliteRecordset::RequireCurrent()
{
    EnsureStarted();
    if (m_source == Source::Reread)
        return;
    if (m_eof || m_deleted)
        RaiseNoCurrent();
}

std::int64_t SqliteRecordset::CurrentRowid()
{
    RequireCurrent();
    if (m_source == Source::Reread)
        return m_rereadRowid;
    return sqlite3_column_int64(m_stmt, m_rowidColumn);
}

void SqliteRecordset::Delete(AffectEnum affect)
{
    RequireOpen();
    RequireUpdatable();
    if (affect != adAffectCurrent)
        throw _com_error(ADO_E_FEATURENOTAVAILABLE, "Only the current record can be deleted.");
    if (m_mode == Mode::Add)
        RaiseNoCurrent();
    std::int64_t rowid = CurrentRowid();
    if (m_source == Source::Cursor && sqlite3_column_type(m_stmt, m_rowidColumn) == SQLITE_NULL)
        throw _com_error(ADO_E_FEATURENOTAVAILABLE,
                         "The current record has no row id to delete by.");
    std::string sql = "DELETE FROM " + Quoted(m_table) + " WHERE rowid = ?";
    sqlite3_stmt* stmt = m_connection->Acquire(sql);
    sqlite3_bind_int64(stmt, 1, rowid);
    int rc = sqlite3_step(stmt);
    std::string text =
        rc == SQLITE_DONE ? std::string() : EngineErrorText(m_connection->Handle(), rc);
    m_connection->GiveBack(sql, stmt, m_generation);
    if (rc != SQLITE_DONE)
        throw _com_error(E_FAIL, text);
    m_mode = Mode::Browse;
    m_pending.assign(m_columns.size(), Pending{});
    m_deleted = true;
    if (m_source == Source::Reread)
    {
        // The re-read row is gone; the cursor's position is current again.
        m_source = Source::Cursor;
    }
}

void SqliteRecordset::AddNew(const _variant_t&, const _variant_t&)
{
    RequireOpen();
    RequireUpdatable();
    if (m_mode != Mode::Browse)
        Update(MissingArgument(), MissingArgument());
    m_pending.assign(m_columns.size(), Pending{});
    m_mode = Mode::Add;
    ++m_rowSerial;
}

void SqliteRecordset::BindPending(sqlite3_stmt* stmt, const std::vector<long>& columns)
{
    int p = 1;
    for (long column : columns)
    {
        Pending& pending = m_pending[static_cast<size_t>(column)];
        int rc;
        if (pending.chunked)
            rc = sqlite3_bind_blob(
                stmt, p,
                pending.chunks.empty() ? "" : static_cast<const void*>(pending.chunks.data()),
                static_cast<int>(pending.chunks.size()), SQLITE_STATIC);
        else
            rc = BindValue(stmt, p, pending.value);
        if (rc != SQLITE_OK)
            RaiseEngineError(m_connection->Handle(), rc);
        ++p;
    }
}

void SqliteRecordset::Update(const _variant_t&, const _variant_t&)
{
    RequireOpen();
    if (m_mode == Mode::Browse)
        return;
    RequireUpdatable();
    std::vector<long> columns;
    for (long i = 0; i < ColumnCount(); ++i)
        if (m_pending[static_cast<size_t>(i)].set)
            columns.push_back(i);

    std::string sql;
    std::int64_t rowid = 0;
    if (m_mode == Mode::Add)
    {
        if (columns.empty())
        {
            sql = "INSERT INTO " + Quoted(m_table) + " DEFAULT VALUES";
        }
        else
        {
            std::string names, marks;
            for (long column : columns)
            {
                if (!names.empty())
                {
                    names += ", ";
                    marks += ", ";
                }
                names += Quoted(m_columns[static_cast<size_t>(column)].origin);
                marks += "?";
            }
            sql = "INSERT INTO " + Quoted(m_table) + " (" + names + ") VALUES (" + marks + ")";
        }
    }
    else
    {
        if (columns.empty())
        {
            LeaveEditMode();
            return;
        }
        rowid = CurrentRowid();
        std::string sets;
        for (long column : columns)
        {
            if (!sets.empty())
                sets += ", ";
            sets += Quoted(m_columns[static_cast<size_t>(column)].origin) + " = ?";
        }
        sql = "UPDATE " + Quoted(m_table) + " SET " + sets + " WHERE rowid = ?";
    }

    sqlite3_stmt* stmt = m_connection->Acquire(sql);
    int rc;
    try
    {
        BindPending(stmt, columns);
        if (m_mode == Mode::Edit)
            sqlite3_bind_int64(stmt, static_cast<int>(columns.size()) + 1, rowid);
        rc = sqlite3_step(stmt);
    }
    catch (...)
    {
        m_connection->GiveBack(sql, stmt, m_generation);
        throw;
    }
    sqlite3* db = m_connection->Handle();
    std::string text = rc == SQLITE_DONE ? std::string() : EngineErrorText(db, rc);
    m_connection->GiveBack(sql, stmt, m_generation);
    if (rc != SQLITE_DONE)
    {
        // A refused write leaves the edit in place, as the provider does.
        throw _com_error(rc == SQLITE_NOMEM ? E_OUTOFMEMORY : E_FAIL, text);
    }
    if (m_mode == Mode::Add)
        rowid = sqlite3_last_insert_rowid(db);
    LeaveEditMode();
    // The written row becomes the current record; read on demand. The
    // cursor is not stepped for it (an insert must not read the table).
    if (!m_started)
    {
        m_started = true;
        m_position = -1;
        m_eof = false;
    }
    m_source = Source::Reread;
    m_rereadRowid = rowid;
    m_deleted = false;
    if (m_reread)
        sqlite3_reset(m_reread);
    ++m_rowSerial;
}

void SqliteRecordset::LeaveEditMode()
{
    m_mode = Mode::Browse;
    for (auto& pending : m_pending)
        pending = Pending{};
}

sqlite3_stmt* SqliteRecordset::CurrentRow(long column, int* index)
{
    RequireCurrent();
    if (m_source == Source::Cursor)
    {
        *index = static_cast<int>(column);
        return m_stmt;
    }
    if (!m_reread)
    {
        std::string names;
        for (const auto& c : m_columns)
        {
            names += ", ";
            names += Quoted(c.origin);
        }
        m_rereadSql = "SELECT rowid" + names + " FROM " + Quoted(m_table) + " WHERE rowid = ?";
        m_reread = m_connection->Acquire(m_rereadSql);
    }
    if (sqlite3_stmt_busy(m_reread) == 0 || sqlite3_column_int64(m_reread, 0) != m_rereadRowid)
    {
        sqlite3_reset(m_reread);
        sqlite3_bind_int64(m_reread, 1, m_rereadRowid);
        int rc = sqlite3_step(m_reread);
        if (rc == SQLITE_DONE)
        {
            sqlite3_reset(m_reread);
            RaiseNoCurrent();
        }
        if (rc != SQLITE_ROW)
        {
            std::string text = EngineErrorText(m_connection->Handle(), rc);
            sqlite3_reset(m_reread);
            throw _com_error(E_FAIL, text);
        }
    }
    *index = static_cast<int>(column) + 1;
    return m_reread;
}

_bstr_t SqliteRecordset::ColumnName(long column) const
{
    RequireOpen();
    return _bstr_t(m_columns[static_cast<size_t>(column)].name.c_str());
}

long SqliteRecordset::FindColumn(const std::u16string& name) const
{
    for (size_t i = 0; i < m_columns.size(); ++i)
        if (EqualsIgnoreCaseAscii(Utf16FromUtf8(m_columns[i].name), name))
            return static_cast<long>(i);
    return -1;
}

bool SqliteRecordset::OnCursorRow() const
{
    return m_open && m_started && !m_eof && !m_deleted && m_mode == Mode::Browse &&
           m_source == Source::Cursor && m_connection->Generation() == m_generation;
}

DataTypeEnum SqliteRecordset::ColumnType(long column)
{
    const Column& c = m_columns[static_cast<size_t>(column)];
    if (OnCursorRow())
    {
        // The common case of a walk, without the checks below.
        return c.declared != adEmpty ? c.declared
                                     : TypeFromStorage(sqlite3_value_type(
                                           sqlite3_column_value(m_stmt, static_cast<int>(column))));
    }
    RequireOpen();
    if (c.declared != adEmpty)
        return c.declared;
    // An expression: its type is the type of the value it gives.
    EnsureStarted();
    if (m_mode != Mode::Browse || (m_eof && m_source == Source::Cursor) || m_deleted)
        return adEmpty;
    int index = 0;
    sqlite3_stmt* stmt = CurrentRow(column, &index);
    return TypeFromStorage(sqlite3_column_type(stmt, index));
}

_variant_t SqliteRecordset::ColumnValue(long column)
{
    if (OnCursorRow())
        return ReadColumn(m_stmt, static_cast<int>(column),
                          m_columns[static_cast<size_t>(column)].declared);
    RequireOpen();
    if (m_mode != Mode::Browse)
    {
        Pending& pending = m_pending[static_cast<size_t>(column)];
        if (pending.set)
        {
            if (!pending.chunked)
                return pending.value;
            _variant_t out;
            SAFEARRAY* a =
                SafeArrayCreateVector(VT_UI1, 0, static_cast<std::uint32_t>(pending.chunks.size()));
            if (!a)
                _com_issue_error(E_OUTOFMEMORY);
            if (!pending.chunks.empty())
                std::memcpy(a->pvData, pending.chunks.data(), pending.chunks.size());
            out.vt = VT_ARRAY | VT_UI1;
            out.parray = a;
            return out;
        }
        if (m_mode == Mode::Add)
        {
            _variant_t null;
            null.vt = VT_NULL;
            return null;
        }
    }
    int index = 0;
    sqlite3_stmt* stmt = CurrentRow(column, &index);
    return ReadColumn(stmt, index, m_columns[static_cast<size_t>(column)].declared);
}

long SqliteRecordset::ColumnSize(long column)
{
    RequireOpen();
    if (m_mode != Mode::Browse && m_pending[static_cast<size_t>(column)].set)
    {
        _variant_t v = ColumnValue(column);
        if (v.vt == (VT_ARRAY | VT_UI1))
            return static_cast<long>(v.parray->rgsabound[0].cElements);
        if (v.vt == VT_BSTR)
            return static_cast<long>(SysStringLen(v.bstrVal)) * 2;
        return 0;
    }
    int index = 0;
    sqlite3_stmt* stmt = CurrentRow(column, &index);
    if (sqlite3_column_type(stmt, index) == SQLITE_NULL)
        return 0;
    return sqlite3_column_bytes(stmt, index);
}

_variant_t SqliteRecordset::ColumnChunk(long column, long length)
{
    RequireOpen();
    if (length < 0)
        throw _com_error(E_INVALIDARG, "A chunk length cannot be negative.");
    int index = 0;
    sqlite3_stmt* stmt = CurrentRow(column, &index);
    _variant_t out;
    if (sqlite3_column_type(stmt, index) == SQLITE_NULL)
    {
        out.vt = VT_NULL;
        return out;
    }
    const void* data = sqlite3_column_blob(stmt, index);
    long size = sqlite3_column_bytes(stmt, index);
    long take = length < size ? length : size;
    SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, static_cast<std::uint32_t>(take));
    if (!a)
        _com_issue_error(E_OUTOFMEMORY);
    if (take > 0)
        std::memcpy(a->pvData, data, static_cast<size_t>(take));
    out.vt = VT_ARRAY | VT_UI1;
    out.parray = a;
    return out;
}

void SqliteRecordset::PutColumn(long column, const _variant_t& value)
{
    RequireOpen();
    RequireUpdatable();
    CheckStorable(value);
    if (m_mode == Mode::Browse)
    {
        RequireCurrent();
        m_mode = Mode::Edit;
    }
    Pending& pending = m_pending[static_cast<size_t>(column)];
    pending.value = value;
    pending.chunks.clear();
    pending.chunked = false;
    pending.set = true;
}

void SqliteRecordset::AppendColumnChunk(long column, const _variant_t& data)
{
    RequireOpen();
    RequireUpdatable();
    const unsigned char* bytes = nullptr;
    size_t size = 0;
    if (data.vt == (VT_ARRAY | VT_UI1) && data.parray && data.parray->cDims == 1)
    {
        bytes = static_cast<const unsigned char*>(data.parray->pvData);
        size = data.parray->rgsabound[0].cElements;
    }
    else if (data.vt == VT_BSTR)
    {
        bytes = reinterpret_cast<const unsigned char*>(data.bstrVal);
        size = data.bstrVal ? SysStringLen(data.bstrVal) * 2 : 0;
    }
    else if (data.vt == VT_EMPTY || data.vt == VT_NULL)
    {
        // Nothing to append: the column is written as NULL.
        PutColumn(column, data);
        return;
    }
    else
    {
        throw _com_error(DISP_E_TYPEMISMATCH, "AppendChunk takes a byte array or text.");
    }
    if (m_mode == Mode::Browse)
    {
        RequireCurrent();
        m_mode = Mode::Edit;
    }
    Pending& pending = m_pending[static_cast<size_t>(column)];
    if (!pending.set || !pending.chunked)
    {
        pending.value.Clear();
        pending.chunks.clear();
        pending.chunked = true;
        pending.set = true;
    }
    if (size)
        pending.chunks.insert(pending.chunks.end(), bytes, bytes + size);
}

FieldsPtr SqliteRecordset::GetFields()
{
    RequireOpen();
    return FieldsPtr(m_fieldsObject.get(), true);
}

} // namespace ado
