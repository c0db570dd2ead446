#include "platform/com_types.h"

#include "platform/text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

// ---- BSTR -------------------------------------------------------------------
// Layout as on Windows: a 32-bit byte count, then the characters, then a zero.

BSTR SysAllocStringLen(const OLECHAR* text, std::uint32_t length)
{
    auto* block = static_cast<std::uint32_t*>(
        std::malloc(sizeof(std::uint32_t) + (static_cast<size_t>(length) + 1) * sizeof(OLECHAR)));
    if (!block)
        return nullptr;
    block[0] = length * sizeof(OLECHAR);
    auto* chars = reinterpret_cast<OLECHAR*>(block + 1);
    if (text)
        std::memcpy(chars, text, length * sizeof(OLECHAR));
    else
        std::memset(chars, 0, length * sizeof(OLECHAR));
    chars[length] = 0;
    return chars;
}

BSTR SysAllocString(const OLECHAR* text)
{
    if (!text)
        return nullptr;
    std::uint32_t n = 0;
    while (text[n])
        ++n;
    return SysAllocStringLen(text, n);
}

void SysFreeString(BSTR text)
{
    if (text)
        std::free(reinterpret_cast<std::uint32_t*>(text) - 1);
}

std::uint32_t SysStringLen(BSTR text)
{
    return text ? (reinterpret_cast<std::uint32_t*>(text)[-1] / sizeof(OLECHAR)) : 0;
}

// ---- SAFEARRAY --------------------------------------------------------------

SAFEARRAY* SafeArrayCreate(VARTYPE vt, std::uint32_t dims, const SAFEARRAYBOUND* bounds)
{
    if (vt != VT_UI1 || dims != 1 || !bounds)
        return nullptr;
    auto* array = static_cast<SAFEARRAY*>(std::calloc(1, sizeof(SAFEARRAY)));
    if (!array)
        return nullptr;
    array->cDims = 1;
    array->cbElements = 1;
    array->rgsabound[0] = bounds[0];
    // One extra byte so an empty array still has a distinct data block.
    array->pvData = std::calloc(static_cast<size_t>(bounds[0].cElements) + 1, 1);
    if (!array->pvData)
    {
        std::free(array);
        return nullptr;
    }
    return array;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, std::int32_t lowerBound, std::uint32_t elements)
{
    SAFEARRAYBOUND bound{elements, lowerBound};
    return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* array)
{
    if (!array)
        return S_OK;
    if (array->cLocks)
        return DISP_E_ARRAYISLOCKED;
    std::free(array->pvData);
    std::free(array);
    return S_OK;
}

HRESULT SafeArrayCopy(const SAFEARRAY* source, SAFEARRAY** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!source)
        return S_OK;
    SAFEARRAY* copy = SafeArrayCreate(VT_UI1, 1, source->rgsabound);
    if (!copy)
        return E_OUTOFMEMORY;
    std::memcpy(copy->pvData, source->pvData, source->rgsabound[0].cElements);
    *out = copy;
    return S_OK;
}

namespace
{
HRESULT ElementOffset(const SAFEARRAY* array, const std::int32_t* index, size_t* offset)
{
    if (!array || !index)
        return E_INVALIDARG;
    const std::int64_t rel = static_cast<std::int64_t>(*index) - array->rgsabound[0].lLbound;
    if (rel < 0 || rel >= static_cast<std::int64_t>(array->rgsabound[0].cElements))
        return DISP_E_BADINDEX;
    *offset = static_cast<size_t>(rel) * array->cbElements;
    return S_OK;
}
} // namespace

HRESULT SafeArrayPutElement(SAFEARRAY* array, const std::int32_t* index, const void* value)
{
    size_t offset = 0;
    if (HRESULT hr = ElementOffset(array, index, &offset); FAILED(hr))
        return hr;
    if (!value)
        return E_INVALIDARG;
    std::memcpy(static_cast<char*>(array->pvData) + offset, value, array->cbElements);
    return S_OK;
}

HRESULT SafeArrayGetElement(const SAFEARRAY* array, const std::int32_t* index, void* value)
{
    size_t offset = 0;
    if (HRESULT hr = ElementOffset(array, index, &offset); FAILED(hr))
        return hr;
    if (!value)
        return E_INVALIDARG;
    std::memcpy(value, static_cast<const char*>(array->pvData) + offset, array->cbElements);
    return S_OK;
}

HRESULT SafeArrayGetLBound(const SAFEARRAY* array, std::uint32_t dim, std::int32_t* out)
{
    if (!array || !out)
        return E_INVALIDARG;
    if (dim != 1)
        return DISP_E_BADINDEX;
    *out = array->rgsabound[0].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(const SAFEARRAY* array, std::uint32_t dim, std::int32_t* out)
{
    if (!array || !out)
        return E_INVALIDARG;
    if (dim != 1)
        return DISP_E_BADINDEX;
    *out =
        array->rgsabound[0].lLbound + static_cast<std::int32_t>(array->rgsabound[0].cElements) - 1;
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data)
{
    if (!array || !data)
        return E_INVALIDARG;
    ++array->cLocks;
    *data = array->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* array)
{
    if (!array)
        return E_INVALIDARG;
    if (array->cLocks == 0)
        return E_UNEXPECTED;
    --array->cLocks;
    return S_OK;
}

// ---- OLE dates ----------------------------------------------------------------

namespace
{
// Days from 1970-01-01 for a proleptic Gregorian date (Howard Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& y, int& m, int& d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t yy = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

constexpr std::int64_t kOleEpochFromUnixDays = -25569; // 1899-12-30
} // namespace

namespace
{
int DaysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}
} // namespace

bool OleDateFromParts(const OleDateParts& p, DATE* out)
{
    // A day beyond its month is no date (it would silently become next month's).
    if (!out || p.month < 1 || p.month > 12 || p.day < 1 || p.day > DaysInMonth(p.year, p.month) ||
        p.hour < 0 || p.hour > 23 || p.minute < 0 || p.minute > 59 || p.second < 0 ||
        p.second > 59 || p.year < 100 || p.year > 9999)
        return false;
    const std::int64_t days = DaysFromCivil(p.year, p.month, p.day) - kOleEpochFromUnixDays;
    const double fraction = (p.hour * 3600 + p.minute * 60 + p.second) / 86400.0;
    // Before the epoch the fraction counts away from zero, as OLE dates do.
    *out = days >= 0 ? days + fraction : days - fraction;
    return true;
}

bool PartsFromOleDate(DATE date, OleDateParts* out)
{
    if (!out || !std::isfinite(date) || date < -657434.0 || date >= 2958466.0)
        return false;
    double whole = std::trunc(date);
    double fraction = std::fabs(date - whole);
    std::int64_t seconds = std::llround(fraction * 86400.0);
    if (seconds >= 86400)
    {
        seconds -= 86400;
        whole += date >= 0 ? 1 : -1;
    }
    CivilFromDays(static_cast<std::int64_t>(whole) + kOleEpochFromUnixDays, out->year, out->month,
                  out->day);
    out->hour = static_cast<int>(seconds / 3600);
    out->minute = static_cast<int>(seconds / 60 % 60);
    out->second = static_cast<int>(seconds % 60);
    return true;
}

DATE OleDateNow()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    DATE d = 0;
    OleDateFromParts({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                      local.tm_min, local.tm_sec},
                     &d);
    return d;
}

// ---- VARIANT ------------------------------------------------------------------

void VariantInit(VARIANT* v)
{
    if (!v)
        return;
    std::memset(v, 0, sizeof *v);
    v->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* v)
{
    if (!v)
        return E_INVALIDARG;
    if (v->vt == VT_BSTR)
        SysFreeString(v->bstrVal);
    else if (v->vt == (VT_ARRAY | VT_UI1))
    {
        if (HRESULT hr = SafeArrayDestroy(v->parray); FAILED(hr))
            return hr;
    }
    else if (v->vt & VT_ARRAY)
        return DISP_E_BADVARTYPE;
    v->vt = VT_EMPTY;
    v->dblVal = 0;
    return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* source)
{
    if (!dest || !source)
        return E_INVALIDARG;
    if (dest == source)
        return S_OK;
    VARIANT copy;
    std::memcpy(&copy, source, sizeof copy);
    if (source->vt == VT_BSTR)
    {
        copy.bstrVal = source->bstrVal
                           ? SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal))
                           : nullptr;
        if (source->bstrVal && !copy.bstrVal)
            return E_OUTOFMEMORY;
    }
    else if (source->vt == (VT_ARRAY | VT_UI1))
    {
        if (HRESULT hr = SafeArrayCopy(source->parray, &copy.parray); FAILED(hr))
            return hr;
    }
    else if (source->vt & VT_ARRAY)
    {
        return DISP_E_BADVARTYPE;
    }
    if (HRESULT hr = VariantClear(dest); FAILED(hr))
    {
        VariantClear(&copy);
        return hr;
    }
    std::memcpy(dest, &copy, sizeof copy);
    return S_OK;
}

namespace
{

std::u16string FormatNumber(double d)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", d);
    return Utf16FromUtf8(buf);
}

std::u16string FormatDate(DATE d, bool* ok)
{
    OleDateParts p{};
    if (!PartsFromOleDate(d, &p))
    {
        *ok = false;
        return {};
    }
    char buf[64];
    if (p.hour == 0 && p.minute == 0 && p.second == 0)
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", p.year, p.month, p.day);
    else
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day,
                      p.hour, p.minute, p.second);
    *ok = true;
    return Utf16FromUtf8(buf);
}

bool ParseDate(const std::string& text, DATE* out)
{
    OleDateParts p{};
    char sep1 = 0, sep2 = 0;
    int n = std::sscanf(text.c_str(), " %d%c%d%c%d %d:%d:%d", &p.year, &sep1, &p.month, &sep2,
                        &p.day, &p.hour, &p.minute, &p.second);
    if (n < 5 || sep1 != sep2 || (sep1 != '-' && sep1 != '/'))
        return false;
    if (n == 6 || n == 7) // "hh" or "hh:mm" alone
        p.second = 0;
    if (n == 6)
        p.minute = 0;
    if (n == 5)
        p.hour = p.minute = p.second = 0;
    return OleDateFromParts(p, out);
}

bool ParseNumber(const std::string& text, double* out)
{
    const char* s = text.c_str();
    while (*s == ' ' || *s == '\t')
        ++s;
    if (!*s)
        return false;
    // Plain decimal numbers only: strtod would also take hex, inf and nan.
    for (const char* c = s; *c && *c != ' ' && *c != '\t'; ++c)
    {
        if (!std::strchr("0123456789+-.eE", *c))
            return false;
    }
    char* end = nullptr;
    const double d = std::strtod(s, &end);
    while (end && (*end == ' ' || *end == '\t'))
        ++end;
    if (!end || *end)
        return false;
    *out = d;
    return true;
}

// Reads source as a double; false with an HRESULT when it cannot be.
bool NumericValue(const VARIANT& v, double* out, HRESULT* hr)
{
    switch (v.vt)
    {
    case VT_EMPTY:
        *out = 0;
        return true;
    case VT_I2:
        *out = v.iVal;
        return true;
    case VT_I4:
        *out = v.lVal;
        return true;
    case VT_UI1:
        *out = v.bVal;
        return true;
    case VT_R4:
        *out = v.fltVal;
        return true;
    case VT_R8:
        *out = v.dblVal;
        return true;
    case VT_DATE:
        *out = v.date;
        return true;
    case VT_BOOL:
        *out = v.boolVal ? -1 : 0;
        return true;
    case VT_BSTR:
    {
        const std::string text = Utf8FromUtf16(
            std::u16string_view(v.bstrVal ? v.bstrVal : u"", SysStringLen(v.bstrVal)));
        if (ParseNumber(text, out))
            return true;
        *hr = DISP_E_TYPEMISMATCH;
        return false;
    }
    default:
        *hr = DISP_E_TYPEMISMATCH;
        return false;
    }
}

} // namespace

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* source, std::uint16_t, VARTYPE vt)
{
    if (!dest || !source)
        return E_INVALIDARG;
    VARIANT result;
    VariantInit(&result);
    result.wReserved1 = source->wReserved1;
    if (source->vt == vt)
    {
        if (HRESULT hr = VariantCopy(&result, source); FAILED(hr))
            return hr;
    }
    else if (source->vt == VT_NULL && vt != VT_EMPTY)
    {
        return DISP_E_TYPEMISMATCH;
    }
    else
    {
        HRESULT hr = S_OK;
        switch (vt)
        {
        case VT_EMPTY:
            break;
        case VT_BSTR:
        {
            std::u16string text;
            if (source->vt == VT_DATE)
            {
                bool ok = false;
                text = FormatDate(source->date, &ok);
                if (!ok)
                    return DISP_E_OVERFLOW;
            }
            else if (source->vt == VT_I4)
            {
                text = Utf16FromUtf8(std::to_string(source->lVal));
            }
            else if (source->vt == VT_BOOL)
            {
                text = source->boolVal ? u"True" : u"False";
            }
            else
            {
                double d = 0;
                if (!NumericValue(*source, &d, &hr))
                    return hr;
                text = source->vt == VT_EMPTY ? u"" : FormatNumber(d);
            }
            result.vt = VT_BSTR;
            result.bstrVal =
                SysAllocStringLen(text.data(), static_cast<std::uint32_t>(text.size()));
            if (!result.bstrVal)
                return E_OUTOFMEMORY;
            break;
        }
        case VT_I4:
        {
            double d = 0;
            if (!NumericValue(*source, &d, &hr))
                return hr;
            d = std::nearbyint(d);
            if (!(d >= -2147483648.0 && d <= 2147483647.0)) // NaN fails too
                return DISP_E_OVERFLOW;
            result.vt = VT_I4;
            result.lVal = static_cast<std::int32_t>(d);
            break;
        }
        case VT_R8:
        case VT_DATE:
        {
            double d = 0;
            if (source->vt == VT_BSTR && vt == VT_DATE)
            {
                const std::string text = Utf8FromUtf16(std::u16string_view(
                    source->bstrVal ? source->bstrVal : u"", SysStringLen(source->bstrVal)));
                if (!ParseDate(text, &d) && !ParseNumber(text, &d))
                    return DISP_E_TYPEMISMATCH;
            }
            else if (!NumericValue(*source, &d, &hr))
            {
                return hr;
            }
            if (vt == VT_DATE && !(d >= -657434.0 && d < 2958466.0))
                return DISP_E_OVERFLOW;
            result.vt = vt;
            result.dblVal = d;
            break;
        }
        default:
            return DISP_E_BADVARTYPE;
        }
    }
    result.wReserved1 = source->wReserved1;
    if (HRESULT hr = VariantClear(dest); FAILED(hr))
    {
        VariantClear(&result);
        return hr;
    }
    std::memcpy(dest, &result, sizeof result);
    return S_OK;
}

bool operator==(const VARIANT& a, const VARIANT& b)
{
    if (a.vt != b.vt)
        return false;
    switch (a.vt)
    {
    case VT_EMPTY:
    case VT_NULL:
        return true;
    case VT_I2:
        return a.iVal == b.iVal;
    case VT_I4:
        return a.lVal == b.lVal;
    case VT_UI1:
        return a.bVal == b.bVal;
    case VT_R4:
        return a.fltVal == b.fltVal;
    case VT_R8:
    case VT_DATE:
        return a.dblVal == b.dblVal;
    case VT_BOOL:
        return a.boolVal == b.boolVal;
    case VT_ERROR:
        return a.scode == b.scode;
    case VT_BSTR:
        return SysStringLen(a.bstrVal) == SysStringLen(b.bstrVal) &&
               (SysStringLen(a.bstrVal) == 0 ||
                std::memcmp(a.bstrVal, b.bstrVal, SysStringLen(a.bstrVal) * sizeof(OLECHAR)) == 0);
    case VT_ARRAY | VT_UI1:
        if (!a.parray || !b.parray)
            return a.parray == b.parray;
        return a.parray->rgsabound[0].cElements == b.parray->rgsabound[0].cElements &&
               std::memcmp(a.parray->pvData, b.parray->pvData, a.parray->rgsabound[0].cElements) ==
                   0;
    default:
        return false;
    }
}

// ---- _bstr_t ------------------------------------------------------------------

_bstr_t::_bstr_t(const char* utf8)
{
    if (utf8)
    {
        std::u16string w = Utf16FromUtf8(utf8);
        m_str = SysAllocStringLen(w.data(), static_cast<std::uint32_t>(w.size()));
        if (!m_str)
            _com_issue_error(E_OUTOFMEMORY);
    }
}

_bstr_t::_bstr_t(const OLECHAR* text)
{
    if (text)
    {
        m_str = SysAllocString(text);
        if (!m_str)
            _com_issue_error(E_OUTOFMEMORY);
    }
}

_bstr_t::_bstr_t(std::u16string_view text)
    : m_str(SysAllocStringLen(text.data(), static_cast<std::uint32_t>(text.size())))
{
    if (!m_str)
        _com_issue_error(E_OUTOFMEMORY);
}

_bstr_t::_bstr_t(const _bstr_t& other)
{
    if (other.m_str)
    {
        m_str = SysAllocStringLen(other.m_str, SysStringLen(other.m_str));
        if (!m_str)
            _com_issue_error(E_OUTOFMEMORY);
    }
}

_bstr_t::_bstr_t(_bstr_t&& other) noexcept : m_str(other.m_str)
{
    other.m_str = nullptr;
}

_bstr_t& _bstr_t::operator=(const _bstr_t& other)
{
    if (this != &other)
    {
        _bstr_t copy(other);
        std::swap(m_str, copy.m_str);
    }
    return *this;
}

_bstr_t& _bstr_t::operator=(_bstr_t&& other) noexcept
{
    std::swap(m_str, other.m_str);
    return *this;
}

_bstr_t::~_bstr_t()
{
    SysFreeString(m_str);
}

std::u16string _bstr_t::Wide() const
{
    return m_str ? std::u16string(m_str, SysStringLen(m_str)) : std::u16string();
}

std::string _bstr_t::Utf8() const
{
    return Utf8FromUtf16(Wide());
}

BSTR _bstr_t::Detach()
{
    BSTR s = m_str;
    m_str = nullptr;
    return s;
}

// ---- _com_error ---------------------------------------------------------------

_com_error::_com_error(HRESULT hr) : m_hr(hr) {}
_com_error::_com_error(HRESULT hr, std::string description)
    : m_hr(hr), m_description(std::move(description))
{
}
_com_error::~_com_error() = default;

const char* _com_error::DescriptionText() const
{
    return m_description ? m_description->c_str() : nullptr;
}

_bstr_t _com_error::Description() const
{
    return _bstr_t(DescriptionText());
}

std::string _com_error::ErrorMessage() const
{
    switch (m_hr)
    {
    case S_OK:
        return "No error";
    case E_POINTER:
        return "Invalid pointer";
    case E_OUTOFMEMORY:
        return "Not enough memory";
    case E_INVALIDARG:
        return "The parameter is incorrect";
    case E_FAIL:
        return "Unspecified error";
    case E_NOTIMPL:
        return "Not implemented";
    case E_UNEXPECTED:
        return "Catastrophic failure";
    case DISP_E_TYPEMISMATCH:
        return "Type mismatch";
    case DISP_E_OVERFLOW:
        return "Out of present range";
    case DISP_E_BADVARTYPE:
        return "Bad variable type";
    case DISP_E_BADINDEX:
        return "Invalid index";
    default:
    {
        char buf[40];
        std::snprintf(buf, sizeof buf, "Unknown error 0x%08X", static_cast<unsigned>(m_hr));
        return buf;
    }
    }
}

void _com_issue_error(HRESULT hr)
{
    throw _com_error(hr);
}

// ---- _variant_t ---------------------------------------------------------------

namespace
{
void Check(HRESULT hr)
{
    if (FAILED(hr))
        _com_issue_error(hr);
}
void SetBstr(VARIANT& v, std::u16string_view text)
{
    v.bstrVal = SysAllocStringLen(text.data(), static_cast<std::uint32_t>(text.size()));
    if (!v.bstrVal)
        _com_issue_error(E_OUTOFMEMORY);
    v.vt = VT_BSTR;
}
} // namespace

_variant_t::_variant_t()
{
    VariantInit(this);
}

_variant_t::_variant_t(const VARIANT& source)
{
    VariantInit(this);
    Check(VariantCopy(this, &source));
}

// The base starts empty on purpose: VariantCopy makes the deep copy.
// NOLINTNEXTLINE(bugprone-copy-constructor-init)
_variant_t::_variant_t(const _variant_t& source) : VARIANT()
{
    VariantInit(this);
    Check(VariantCopy(this, &source));
}

_variant_t::_variant_t(_variant_t&& source) noexcept
{
    std::memcpy(static_cast<VARIANT*>(this), static_cast<VARIANT*>(&source), sizeof(VARIANT));
    VariantInit(&source);
}

_variant_t::_variant_t(std::int32_t value)
{
    VariantInit(this);
    vt = VT_I4;
    lVal = value;
}

_variant_t::_variant_t(long value) : _variant_t(static_cast<std::int32_t>(value)) {}

_variant_t::_variant_t(double value, VARTYPE type)
{
    VariantInit(this);
    if (type != VT_R8 && type != VT_DATE)
        _com_issue_error(E_INVALIDARG);
    vt = type;
    dblVal = value;
}

_variant_t::_variant_t(const char* utf8)
{
    VariantInit(this);
    SetBstr(*this, Utf16FromUtf8(utf8 ? utf8 : ""));
}

_variant_t::_variant_t(const OLECHAR* text)
{
    VariantInit(this);
    SetBstr(*this, text ? std::u16string_view(text) : std::u16string_view());
}

_variant_t::_variant_t(std::u16string_view text)
{
    VariantInit(this);
    SetBstr(*this, text);
}

_variant_t::_variant_t(const _bstr_t& text)
{
    VariantInit(this);
    SetBstr(*this, text.Wide());
}

_variant_t::~_variant_t()
{
    VariantClear(this);
}

_variant_t& _variant_t::operator=(const VARIANT& source)
{
    Check(VariantCopy(this, &source));
    return *this;
}

_variant_t& _variant_t::operator=(const _variant_t& source)
{
    Check(VariantCopy(this, &source));
    return *this;
}

_variant_t& _variant_t::operator=(_variant_t&& source) noexcept
{
    if (this != &source)
    {
        VariantClear(this);
        std::memcpy(static_cast<VARIANT*>(this), static_cast<VARIANT*>(&source), sizeof(VARIANT));
        VariantInit(&source);
    }
    return *this;
}

void _variant_t::Clear()
{
    Check(VariantClear(this));
}

void _variant_t::ChangeType(VARTYPE type, const _variant_t* source)
{
    Check(VariantChangeType(this, source ? source : this, 0, type));
}

void _variant_t::Attach(VARIANT& source)
{
    Check(VariantClear(this));
    std::memcpy(static_cast<VARIANT*>(this), &source, sizeof(VARIANT));
    VariantInit(&source);
}

VARIANT _variant_t::Detach()
{
    VARIANT out;
    std::memcpy(&out, static_cast<VARIANT*>(this), sizeof(VARIANT));
    VariantInit(this);
    return out;
}

std::int32_t _variant_t::ToLong() const
{
    _variant_t copy;
    Check(VariantChangeType(&copy, this, 0, VT_I4));
    return copy.lVal;
}

double _variant_t::ToDouble() const
{
    _variant_t copy;
    Check(VariantChangeType(&copy, this, 0, VT_R8));
    return copy.dblVal;
}

std::u16string _variant_t::ToWide() const
{
    _variant_t copy;
    Check(VariantChangeType(&copy, this, 0, VT_BSTR));
    return std::u16string(copy.bstrVal ? copy.bstrVal : u"", SysStringLen(copy.bstrVal));
}

std::string _variant_t::ToUtf8() const
{
    return Utf8FromUtf16(ToWide());
}
