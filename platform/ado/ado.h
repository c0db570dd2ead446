// Data-access objects over SQLite: Connection, Recordset, Fields and Field,
// with the interface shapes, enum values and status codes the database
// library expects of them. Objects are reference counted and reached only
// through virtual calls, so a caller in another module needs no symbols
// from here, only this header.
//
// Error model: every failing engine call raises _com_error carrying an
// HRESULT and the engine's message as description. MoveFirst and MoveNext
// return S_OK, or a failure code (without raising) when there is no record
// to move to. Creation functions return an HRESULT and never raise.
#pragma once

#include "platform/com_types.h"

#include <utility>

namespace ado
{

enum ObjectStateEnum : long
{
    adStateClosed = 0,
    adStateOpen = 1,
};

enum CursorTypeEnum : long
{
    adOpenForwardOnly = 0,
    adOpenKeyset = 1,
    adOpenDynamic = 2,
    adOpenStatic = 3,
};

enum LockTypeEnum : long
{
    adLockReadOnly = 1,
    adLockPessimistic = 2,
    adLockOptimistic = 3,
    adLockBatchOptimistic = 4,
};

enum CommandTypeEnum : long
{
    adCmdText = 1,
    adCmdTable = 2,
};

enum AffectEnum : long
{
    adAffectCurrent = 1,
};

enum SchemaEnum : long
{
    adSchemaTables = 20,
};

enum DataTypeEnum : long
{
    adEmpty = 0,
    adInteger = 3,
    adDouble = 5,
    adDate = 7,
    adBigInt = 20,
    adVarWChar = 202,
    adLongVarWChar = 203,
    adLongVarBinary = 205,
};

// Status codes in the facility the original data-access layer uses.
constexpr HRESULT ADO_E_NOCURRENTRECORD = MakeHresult(0x800A0BCDu); // BOF or EOF
constexpr HRESULT ADO_E_ILLEGALOPERATION = MakeHresult(0x800A0C93u);
constexpr HRESULT ADO_E_FEATURENOTAVAILABLE = MakeHresult(0x800A0CB3u);
constexpr HRESULT ADO_E_ITEMNOTFOUND = MakeHresult(0x800A0CC1u);
constexpr HRESULT ADO_E_OBJECTCLOSED = MakeHresult(0x800A0E78u);
constexpr HRESULT ADO_E_OBJECTOPEN = MakeHresult(0x800A0E79u);
constexpr HRESULT ADO_E_PROVIDERNOTFOUND = MakeHresult(0x800A0E7Au);
// Engine failures (SQL errors, constraint violations, I/O) use E_FAIL with
// the engine's message, as the file-database provider does.

class Unknown
{
public:
    virtual unsigned long AddRef() = 0;
    virtual unsigned long Release() = 0;

protected:
    virtual ~Unknown() = default;
};

// Reference-counting smart pointer over the interfaces below.
template <class T> class _com_ptr_t
{
public:
    _com_ptr_t() = default;
    _com_ptr_t(std::nullptr_t) {}
    // Adopts a reference the caller already holds (as creation returns).
    explicit _com_ptr_t(T* p, bool addRef) : m_p(p)
    {
        if (m_p && addRef)
            m_p->AddRef();
    }
    _com_ptr_t(const _com_ptr_t& other) : m_p(other.m_p)
    {
        if (m_p)
            m_p->AddRef();
    }
    _com_ptr_t(_com_ptr_t&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ~_com_ptr_t() { Release(); }

    _com_ptr_t& operator=(const _com_ptr_t& other)
    {
        _com_ptr_t copy(other);
        std::swap(m_p, copy.m_p);
        return *this;
    }
    _com_ptr_t& operator=(_com_ptr_t&& other) noexcept
    {
        if (this != &other)
        {
            Release();
            m_p = std::exchange(other.m_p, nullptr);
        }
        return *this;
    }
    _com_ptr_t& operator=(std::nullptr_t)
    {
        Release();
        return *this;
    }

    void Release()
    {
        if (T* p = std::exchange(m_p, nullptr))
            p->Release();
    }
    void Attach(T* p)
    {
        Release();
        m_p = p;
    }
    T* GetInterfacePtr() const { return m_p; }
    T* operator->() const
    {
        if (!m_p)
            _com_issue_error(E_POINTER);
        return m_p;
    }
    explicit operator bool() const { return m_p != nullptr; }

private:
    T* m_p = nullptr;
};

class Field : public Unknown
{
public:
    virtual _bstr_t GetName() = 0;
    virtual DataTypeEnum GetType() = 0;
    // The current record's value (or the pending value of an edit).
    virtual _variant_t GetValue() = 0;
    virtual void PutValue(const _variant_t& value) = 0;
    // Bytes of a binary or text value; 0 for NULL.
    virtual long GetActualSize() = 0;
    // Up to length bytes of a long binary value, from the start, as a byte
    // array (VT_NULL for a NULL value).
    virtual _variant_t GetChunk(long length) = 0;
    // Appends a byte array (or text) to the pending value of an edit.
    virtual void AppendChunk(const _variant_t& data) = 0;
};
using FieldPtr = _com_ptr_t<Field>;

class Fields : public Unknown
{
public:
    virtual long GetCount() = 0;
    // By 0-based position (an integer value) or by column name (text).
    virtual FieldPtr GetItem(const _variant_t& index) = 0;
};
using FieldsPtr = _com_ptr_t<Fields>;

class _Connection;

class _Recordset : public Unknown
{
public:
    // source: SQL text. The record set reads rows on demand; it never holds
    // more than the current one.
    virtual void Open(const _variant_t& source, _Connection* activeConnection,
                      CursorTypeEnum cursorType, LockTypeEnum lockType, long options) = 0;
    virtual long GetState() = 0;
    virtual void Close() = 0;
    virtual bool GetBOF() = 0;
    virtual bool GetEndOfFile() = 0;
    virtual HRESULT MoveFirst() = 0;
    virtual HRESULT MoveNext() = 0;
    virtual void Delete(AffectEnum affect) = 0;
    virtual void AddNew(const _variant_t& fieldList, const _variant_t& values) = 0;
    virtual void Update(const _variant_t& fields, const _variant_t& values) = 0;
    virtual FieldsPtr GetFields() = 0;
};
using _RecordsetPtr = _com_ptr_t<_Recordset>;

class _Connection : public Unknown
{
public:
    // Providers Microsoft.Jet.OLEDB.4.0 and 3.51 open the existing SQLite
    // file named by Data Source; a missing file is refused. Other providers
    // are not available here and raise ADO_E_PROVIDERNOTFOUND.
    virtual void Open(const _bstr_t& connectionString, const _bstr_t& userID,
                      const _bstr_t& password, long options) = 0;
    virtual long GetState() = 0;
    virtual void Close() = 0;
    // The nesting level of the new transaction (1 for the outermost).
    virtual long BeginTrans() = 0;
    virtual void CommitTrans() = 0;
    virtual void RollbackTrans() = 0;
    // Runs every statement of the text; returns no record set.
    virtual _RecordsetPtr Execute(const _bstr_t& commandText, _variant_t* recordsAffected,
                                  long options) = 0;
    // adSchemaTables: TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE
    // ("TABLE", "VIEW" or "SYSTEM TABLE"), DESCRIPTION.
    virtual _RecordsetPtr OpenSchema(SchemaEnum schema, const _variant_t& restrictions,
                                     const _variant_t& schemaID) = 0;
};
using _ConnectionPtr = _com_ptr_t<_Connection>;

// New objects with one reference held by the caller. E_OUTOFMEMORY (and a
// null result) when the object cannot be made.
HRESULT CreateConnectionObject(_Connection** out);
HRESULT CreateRecordsetObject(_Recordset** out);

// Test hook: the next `count` creations fail with E_OUTOFMEMORY.
void FailNextObjectCreations(int count);

// The value that stands for an argument the caller does not supply.
_variant_t MissingArgument();

} // namespace ado
