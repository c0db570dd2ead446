#include "LQADO/LQADODBController.h"

#include "LQADO/LQADOSQL.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

using ado::_ConnectionPtr;
using ado::FieldPtr;
using ado::FieldsPtr;

struct CLQADODBController::ConnectionHolder
{
    _ConnectionPtr connection;
};

namespace
{
constexpr size_t kTextBuffer = 1024;

std::mutex g_lastTextLock;
std::string g_lastConnectionText;

// Creation as the platform does it: the handle is emptied first and stays
// empty when the object cannot be made.
bool CreateConnection(_ConnectionPtr& handle)
{
    handle = nullptr;
    ado::_Connection* raw = nullptr;
    if (FAILED(ado::CreateConnectionObject(&raw)) || !raw)
        return false;
    handle.Attach(raw);
    return true;
}

bool CreateRecordset(_RecordsetPtr& handle)
{
    handle = nullptr;
    ado::_Recordset* raw = nullptr;
    if (FAILED(ado::CreateRecordsetObject(&raw)) || !raw)
        return false;
    handle.Attach(raw);
    return true;
}

_variant_t Index(long i)
{
    return _variant_t(static_cast<std::int32_t>(i));
}

// Writes slot i into the current record's field i.
void WriteField(FieldsPtr& fields, long i, const _variant_t& slot)
{
    FieldPtr field = fields->GetItem(Index(i));
    if (field->GetType() == ado::adLongVarBinary)
        field->AppendChunk(slot);
    else
        field->PutValue(slot);
}

bool IsGenerated(const _variant_t& slot)
{
    return slot.wReserved1 == LQADO_GENERATED_MARKER;
}

// Writes every slot but the generated ones into the current record.
void WriteGivenFields(FieldsPtr& all, long n, CLQADOField& fields)
{
    for (long i = 0; i < n; ++i)
    {
        _variant_t& slot = *fields.GetData(i);
        if (!IsGenerated(slot))
            WriteField(all, i, slot);
    }
}

// Opens the query and stands on its first record.
long OpenAtFirst(CLQADODBController& controller, const char* sql, _RecordsetPtr& rs,
                 long* fieldCount = nullptr)
{
    long rc = controller.OpenBySQL(sql, rs);
    if (rc != LQADO_OK)
        return rc;
    rs->MoveFirst();
    const long n = rs->GetFields()->GetCount();
    if (fieldCount)
        *fieldCount = n;
    return LQADO_OK;
}

// Steps to the next record; false past the last one or on failure.
bool MoveToNext(_RecordsetPtr& rs)
{
    return rs->MoveNext() == S_OK && !rs->GetEndOfFile();
}

// printf of the connection templates, where a null text reads "(null)".
const char* Text(const char* s)
{
    return s ? s : "(null)";
}

// A value that would end its item early (a ';' in a folder name) or lose
// its edges goes in double quotes, the provider's way; any other text is
// written as it is.
std::string Value(const char* s)
{
    std::string text = Text(s);
    if (text.empty() ||
        (text.find(';') == std::string::npos && text.front() != ' ' && text.front() != '\t' &&
         text.back() != ' ' && text.back() != '\t' && text.front() != '"' && text.front() != '\''))
        return text;
    std::string quoted = "\"";
    for (char c : text)
    {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}
} // namespace

void LQADOFailNextCreations(int count)
{
    ado::FailNextObjectCreations(count);
}

const char* LQADOLastConnectionString()
{
    static thread_local std::string copy;
    std::lock_guard<std::mutex> lock(g_lastTextLock);
    copy = g_lastConnectionText;
    return copy.c_str();
}

CLQADODBController::CLQADODBController() : m_pHolder(new ConnectionHolder) {}

CLQADODBController::~CLQADODBController()
{
    delete m_pHolder;
}

int CLQADODBController::Initialize()
{
    return 1;
}

void CLQADODBController::UnInitial()
{
    DisConnect();
}

long CLQADODBController::Connect(const char* connectionString)
{
    {
        std::lock_guard<std::mutex> lock(g_lastTextLock);
        g_lastConnectionText = Text(connectionString);
    }
    if (!CreateConnection(m_pHolder->connection))
        return LQADO_E_CREATE;
    m_pHolder->connection->Open(_bstr_t(connectionString), _bstr_t(""), _bstr_t(""), 0);
    return LQADO_OK;
}

long CLQADODBController::ConnectForAccess2000(const char* file, const char* password)
{
    char text[kTextBuffer];
    std::snprintf(text, sizeof text,
                  "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%s;Persist Security Info=False;"
                  "Jet OLEDB:Database Password=%s;",
                  Value(file).c_str(), Value(password).c_str());
    return Connect(text);
}

long CLQADODBController::ConnectForAccess1997(const char* file, const char* password)
{
    char text[kTextBuffer];
    std::snprintf(text, sizeof text,
                  "Provider=Microsoft.Jet.OLEDB.3.51;Data Source=%s;Persist Security Info=False;"
                  "Jet OLEDB:Database Password=%s;",
                  Value(file).c_str(), Value(password).c_str());
    return Connect(text);
}

long CLQADODBController::ConnectForFoxpro(const char* sourceDB)
{
    char text[kTextBuffer];
    std::snprintf(
        text, sizeof text,
        "Provider=MSDASQL;DRIVER=Microsoft Visual FoxPro Driver;SourceType=DBF;SourceDB=%s;",
        Value(sourceDB).c_str());
    return Connect(text);
}

long CLQADODBController::ConnectForSQLServer(const char* server, const char* catalog,
                                             long integratedSecurity, const char* userID,
                                             const char* password)
{
    char text[kTextBuffer];
    if (integratedSecurity)
        std::snprintf(text, sizeof text,
                      "Provider=SQLOLEDB.1;Data Source=%s;Initial Catalog=%s;"
                      "Integrated Security=SSPI;User ID=%s;Password=%s;",
                      Value(server).c_str(), Value(catalog).c_str(), Value(userID).c_str(),
                      Value(password).c_str());
    else
        std::snprintf(
            text, sizeof text,
            "Provider=SQLOLEDB.1;Data Source=%s;Initial Catalog=%s;User ID=%s;Password=%s;",
            Value(server).c_str(), Value(catalog).c_str(), Value(userID).c_str(),
            Value(password).c_str());
    return Connect(text);
}

long CLQADODBController::DisConnect()
{
    _ConnectionPtr& c = m_pHolder->connection;
    if (c->GetState() != ado::adStateClosed)
        c->Close();
    return LQADO_OK;
}

long CLQADODBController::BeginTrans()
{
    return m_pHolder->connection->BeginTrans();
}

long CLQADODBController::CommitTrans()
{
    m_pHolder->connection->CommitTrans();
    return LQADO_OK;
}

long CLQADODBController::RollbackTrans()
{
    m_pHolder->connection->RollbackTrans();
    return LQADO_OK;
}

int CLQADODBController::ExeSQL(const char* sql)
{
    _RecordsetPtr result = m_pHolder->connection->Execute(_bstr_t(sql), nullptr, ado::adCmdText);
    return 0;
}

long CLQADODBController::OpenTable(const char* table, _RecordsetPtr& rs)
{
    if (!CreateRecordset(rs))
        return LQADO_E_CREATE;
    char sql[LQADO_SQL_BUFFER];
    CLQADOSQL::GetSQL_OpenTable(table, sql);
    rs->Open(_variant_t(sql), m_pHolder->connection.operator->(), ado::adOpenStatic,
             ado::adLockOptimistic, ado::adCmdText);
    return LQADO_OK;
}

long CLQADODBController::OpenBySQL(const char* sql, _RecordsetPtr& rs)
{
    if (!CreateRecordset(rs))
        return LQADO_E_CREATE;
    rs->Open(_variant_t(sql), m_pHolder->connection.operator->(), ado::adOpenStatic,
             ado::adLockOptimistic, ado::adCmdText);
    if (rs->GetEndOfFile())
    {
        rs = nullptr;
        return LQADO_E_NORECORD;
    }
    return LQADO_OK;
}

long CLQADODBController::GetRecorderSet(const char* sql, _RecordsetPtr& rs)
{
    return OpenBySQL(sql, rs);
}

namespace
{
std::vector<FieldPtr> FieldList(_RecordsetPtr& rs)
{
    FieldsPtr all = rs->GetFields();
    long n = all->GetCount();
    std::vector<FieldPtr> list;
    list.reserve(static_cast<size_t>(n));
    for (long i = 0; i < n; ++i)
        list.push_back(all->GetItem(Index(i)));
    return list;
}

// The current record into the slots. The value read is a temporary, so it
// is moved in rather than copied; the slot's marker stays.
void ReadRecord(const std::vector<FieldPtr>& list, CLQADOField& fields)
{
    for (size_t i = 0; i < list.size(); ++i)
    {
        const FieldPtr& field = list[i];
        _variant_t value = field->GetType() == ado::adLongVarBinary
                               ? field->GetChunk(field->GetActualSize())
                               : field->GetValue();
        _variant_t& slot = *fields.GetData(static_cast<long>(i));
        std::uint16_t marker = slot.wReserved1;
        if (slot.vt != VT_EMPTY)
            slot.Clear();
        std::memcpy(static_cast<VARIANT*>(&slot), static_cast<VARIANT*>(&value), sizeof(VARIANT));
        value.vt = VT_EMPTY; // ownership moved to the slot
        slot.wReserved1 = marker;
    }
}
} // namespace

long CLQADODBController::GetRecorder(_RecordsetPtr& rs, CLQADOField& fields)
{
    ReadRecord(FieldList(rs), fields);
    return LQADO_OK;
}

long CLQADODBController::GetFirstRecorder(const char* sql, CLQADOField& fields)
{
    _RecordsetPtr rs;
    if (long rc = OpenAtFirst(*this, sql, rs); rc != LQADO_OK)
        return rc;
    GetRecorder(rs, fields);
    return LQADO_OK;
}

long CLQADODBController::GetRecorderSet(const char* sql, LQADORecordCallback callback,
                                        void* context)
{
    _RecordsetPtr rs;
    long n = 0;
    if (long rc = OpenAtFirst(*this, sql, rs, &n); rc != LQADO_OK)
        return rc;
    const std::vector<FieldPtr> list = FieldList(rs);
    // One field set serves every row; it is handed out for the duration of
    // a call only, and reset to fresh slots before each row.
    CLQADOField row(n);
    for (;;)
    {
        for (long i = 0; i < n; ++i)
        {
            _variant_t& slot = *row.GetData(i);
            if (slot.vt != VT_EMPTY)
                slot.Clear();
            slot.wReserved1 = 0;
        }
        ReadRecord(list, row);
        int goOn = callback(context, &row);
        if (!goOn)
            break;
        if (!MoveToNext(rs))
            break;
    }
    return LQADO_OK;
}

long CLQADODBController::GetRecorderSet(const char* sql, LQADOCursorCallback callback,
                                        void* context)
{
    _RecordsetPtr rs;
    if (long rc = OpenAtFirst(*this, sql, rs); rc != LQADO_OK)
        return rc;
    for (;;)
    {
        if (!callback(context, rs))
            break;
        // The callback holds the same record set and may have closed it.
        if (!rs || rs->GetState() == ado::adStateClosed)
            break;
        if (!MoveToNext(rs))
            break;
    }
    return LQADO_OK;
}

long CLQADODBController::AddRecorder(const char* table, CLQADOField& fields, int readBack)
{
    _RecordsetPtr rs;
    long rc = OpenTable(table, rs);
    if (rc != LQADO_OK)
        return rc;
    _variant_t missing = ado::MissingArgument();
    rs->AddNew(missing, missing);
    FieldsPtr all = rs->GetFields();
    long n = all->GetCount();
    WriteGivenFields(all, n, fields);
    rs->Update(missing, missing);
    if (readBack)
    {
        for (long i = 0; i < n; ++i)
        {
            _variant_t& slot = *fields.GetData(i);
            if (IsGenerated(slot))
                CLQADOField::CopyIntoSlot(slot, all->GetItem(Index(i))->GetValue());
        }
    }
    return LQADO_OK;
}

long CLQADODBController::ModifyRecorder(const char* sql, CLQADOField& fields)
{
    _RecordsetPtr rs;
    long rc = OpenBySQL(sql, rs);
    if (rc != LQADO_OK)
        return rc;
    FieldsPtr all = rs->GetFields();
    WriteGivenFields(all, all->GetCount(), fields);
    _variant_t missing = ado::MissingArgument();
    rs->Update(missing, missing);
    return LQADO_OK;
}

long CLQADODBController::RemoveRecorderSet(const char* sql)
{
    _RecordsetPtr rs;
    long rc = OpenBySQL(sql, rs);
    if (rc != LQADO_OK)
        return rc;
    rs->MoveFirst();
    rs->Delete(ado::adAffectCurrent);
    for (;;)
    {
        if (!MoveToNext(rs))
            break;
        rs->Delete(ado::adAffectCurrent);
    }
    return LQADO_OK;
}

long CLQADODBController::GetFieldCount(const char* table)
{
    _RecordsetPtr rs;
    long rc = OpenTable(table, rs);
    if (rc != LQADO_OK)
        return rc;
    return rs->GetFields()->GetCount();
}

long CLQADODBController::GetTableCount()
{
    _variant_t missing = ado::MissingArgument();
    _RecordsetPtr schema = m_pHolder->connection->OpenSchema(ado::adSchemaTables, missing, missing);
    long count = 0;
    while (!schema->GetEndOfFile())
    {
        _variant_t type = schema->GetFields()->GetItem(_variant_t("TABLE_TYPE"))->GetValue();
        std::string text = type.vt == VT_BSTR ? type.ToUtf8() : std::string();
        // Exact text: "SYSTEM TABLE", "VIEW" and the like are not user tables.
        if (std::strcmp(text.c_str(), "TABLE") == 0)
            ++count;
        schema->MoveNext();
    }
    return count;
}
