// Automation value layer: VARIANT, BSTR, SAFEARRAY, HRESULT and the owning
// wrappers the database library and the XML helpers pass values in.
// Type tags and status codes carry the numbers the Windows originals use,
// so stored values and error texts read the same.
//
// Error model: the C-style functions return an HRESULT; the wrappers
// (_variant_t, _bstr_t) raise _com_error when a platform call fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#define MYZELK_PLATFORM_API __attribute__((visibility("default")))

using HRESULT = std::int32_t;
using SCODE = std::int32_t;
using VARTYPE = std::uint16_t;
using DATE = double;
using OLECHAR = char16_t;
using BSTR = OLECHAR*;
using VARIANT_BOOL = std::int16_t;

constexpr HRESULT MakeHresult(std::uint32_t v)
{
    return static_cast<HRESULT>(v);
}

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = MakeHresult(0x80004001u);
constexpr HRESULT E_NOINTERFACE = MakeHresult(0x80004002u);
constexpr HRESULT E_POINTER = MakeHresult(0x80004003u);
constexpr HRESULT E_ABORT = MakeHresult(0x80004004u);
constexpr HRESULT E_FAIL = MakeHresult(0x80004005u);
constexpr HRESULT E_UNEXPECTED = MakeHresult(0x8000FFFFu);
constexpr HRESULT E_ACCESSDENIED = MakeHresult(0x80070005u);
constexpr HRESULT E_OUTOFMEMORY = MakeHresult(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = MakeHresult(0x80070057u);
constexpr HRESULT DISP_E_PARAMNOTFOUND = MakeHresult(0x80020004u);
constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHresult(0x80020005u);
constexpr HRESULT DISP_E_BADVARTYPE = MakeHresult(0x80020008u);
constexpr HRESULT DISP_E_OVERFLOW = MakeHresult(0x8002000Au);
constexpr HRESULT DISP_E_BADINDEX = MakeHresult(0x8002000Bu);
constexpr HRESULT DISP_E_ARRAYISLOCKED = MakeHresult(0x8002000Du);
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHresult(0x80040154u);

inline bool SUCCEEDED(HRESULT hr)
{
    return hr >= 0;
}
inline bool FAILED(HRESULT hr)
{
    return hr < 0;
}

enum : VARTYPE
{
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_UI1 = 17,
    VT_ARRAY = 0x2000,
};

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

// ---- BSTR: length-prefixed UTF-16, zero-terminated -------------------------

MYZELK_PLATFORM_API BSTR SysAllocString(const OLECHAR* text);
MYZELK_PLATFORM_API BSTR SysAllocStringLen(const OLECHAR* text, std::uint32_t length);
MYZELK_PLATFORM_API void SysFreeString(BSTR text);
MYZELK_PLATFORM_API std::uint32_t SysStringLen(BSTR text);

// ---- SAFEARRAY (one-dimensional arrays are all the program uses) -----------

struct SAFEARRAYBOUND
{
    std::uint32_t cElements;
    std::int32_t lLbound;
};

struct SAFEARRAY
{
    std::uint16_t cDims;
    std::uint16_t fFeatures;
    std::uint32_t cbElements;
    std::uint32_t cLocks;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1];
};

// Only VT_UI1 element arrays are supported; other element types fail with
// DISP_E_BADVARTYPE (create returns null).
MYZELK_PLATFORM_API SAFEARRAY* SafeArrayCreate(VARTYPE vt, std::uint32_t dims,
                                               const SAFEARRAYBOUND* bounds);
MYZELK_PLATFORM_API SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, std::int32_t lowerBound,
                                                     std::uint32_t elements);
MYZELK_PLATFORM_API HRESULT SafeArrayDestroy(SAFEARRAY* array);
MYZELK_PLATFORM_API HRESULT SafeArrayCopy(const SAFEARRAY* source, SAFEARRAY** out);
MYZELK_PLATFORM_API HRESULT SafeArrayPutElement(SAFEARRAY* array, const std::int32_t* index,
                                                const void* value);
MYZELK_PLATFORM_API HRESULT SafeArrayGetElement(const SAFEARRAY* array, const std::int32_t* index,
                                                void* value);
MYZELK_PLATFORM_API HRESULT SafeArrayGetLBound(const SAFEARRAY* array, std::uint32_t dim,
                                               std::int32_t* out);
MYZELK_PLATFORM_API HRESULT SafeArrayGetUBound(const SAFEARRAY* array, std::uint32_t dim,
                                               std::int32_t* out);
MYZELK_PLATFORM_API HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data);
MYZELK_PLATFORM_API HRESULT SafeArrayUnaccessData(SAFEARRAY* array);

// ---- VARIANT ----------------------------------------------------------------

struct VARIANT
{
    VARTYPE vt;
    std::uint16_t wReserved1; // the database library keeps its marker word here
    std::uint16_t wReserved2;
    std::uint16_t wReserved3;
    union
    {
        std::int32_t lVal;
        std::int16_t iVal;
        std::uint8_t bVal;
        float fltVal;
        double dblVal;
        DATE date;
        BSTR bstrVal;
        SCODE scode;
        VARIANT_BOOL boolVal;
        SAFEARRAY* parray;
    };
};

MYZELK_PLATFORM_API void VariantInit(VARIANT* v);
MYZELK_PLATFORM_API HRESULT VariantClear(VARIANT* v);
// Deep copy: strings and arrays are duplicated. The destination's reserved
// words are overwritten with the source's, as on Windows.
MYZELK_PLATFORM_API HRESULT VariantCopy(VARIANT* dest, const VARIANT* source);
// Supported targets: VT_BSTR, VT_I4, VT_R8, VT_DATE (and VT_EMPTY).
MYZELK_PLATFORM_API HRESULT VariantChangeType(VARIANT* dest, const VARIANT* source,
                                              std::uint16_t flags, VARTYPE vt);

// OLE dates (days since 1899-12-30, local time, the time of day as fraction).
struct OleDateParts
{
    int year, month, day, hour, minute, second;
};
MYZELK_PLATFORM_API bool OleDateFromParts(const OleDateParts& parts, DATE* out);
MYZELK_PLATFORM_API bool PartsFromOleDate(DATE date, OleDateParts* out);
MYZELK_PLATFORM_API DATE OleDateNow(); // local time

// ---- _bstr_t: owning BSTR ---------------------------------------------------

class MYZELK_PLATFORM_API _bstr_t
{
public:
    _bstr_t() = default;
    _bstr_t(const char* utf8);    // null stays null
    _bstr_t(const OLECHAR* text); // null stays null
    _bstr_t(std::u16string_view text);
    _bstr_t(const _bstr_t& other);
    _bstr_t(_bstr_t&& other) noexcept;
    _bstr_t& operator=(const _bstr_t& other);
    _bstr_t& operator=(_bstr_t&& other) noexcept;
    ~_bstr_t();

    bool IsNull() const { return m_str == nullptr; }
    BSTR GetBSTR() const { return m_str; }
    std::uint32_t length() const { return SysStringLen(m_str); }
    std::u16string Wide() const;
    std::string Utf8() const;
    BSTR Detach();

private:
    BSTR m_str = nullptr;
};

// ---- _com_error ---------------------------------------------------------------

class MYZELK_PLATFORM_API _com_error
{
public:
    explicit _com_error(HRESULT hr);
    _com_error(HRESULT hr, std::string description);
    virtual ~_com_error();

    HRESULT Error() const { return m_hr; }
    // Null when the error carries no description.
    const char* DescriptionText() const;
    _bstr_t Description() const;
    // A short text for the status code itself.
    std::string ErrorMessage() const;

private:
    HRESULT m_hr;
    std::optional<std::string> m_description;
};

[[noreturn]] MYZELK_PLATFORM_API void _com_issue_error(HRESULT hr);

// ---- _variant_t: owning VARIANT --------------------------------------------

class MYZELK_PLATFORM_API _variant_t : public VARIANT
{
public:
    _variant_t();
    _variant_t(const VARIANT& source);
    _variant_t(const _variant_t& source);
    _variant_t(_variant_t&& source) noexcept;
    _variant_t(std::int32_t value);               // VT_I4
    _variant_t(long value);                       // VT_I4 (truncated to 32 bits)
    _variant_t(double value, VARTYPE vt = VT_R8); // VT_R8 or VT_DATE
    _variant_t(const char* utf8);                 // VT_BSTR
    _variant_t(const OLECHAR* text);              // VT_BSTR
    _variant_t(std::u16string_view text);         // VT_BSTR
    _variant_t(const _bstr_t& text);              // VT_BSTR
    ~_variant_t();

    _variant_t& operator=(const VARIANT& source);
    _variant_t& operator=(const _variant_t& source);
    _variant_t& operator=(_variant_t&& source) noexcept;

    void Clear();
    // Changes this value (or a copy of source) to type vt; raises _com_error.
    void ChangeType(VARTYPE vt, const _variant_t* source = nullptr);
    void Attach(VARIANT& source); // takes ownership, source becomes VT_EMPTY
    VARIANT Detach();             // gives ownership away, this becomes VT_EMPTY

    // Conversions through VariantChangeType; raise _com_error on failure.
    std::int32_t ToLong() const;
    double ToDouble() const;
    std::u16string ToWide() const;
    std::string ToUtf8() const;
};

bool operator==(const VARIANT& a, const VARIANT& b);
