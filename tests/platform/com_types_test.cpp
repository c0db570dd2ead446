#include "platform/com_types.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

TEST(Bstr, LengthPrefixedAndEmbeddedZerosKept)
{
    const char16_t text[] = {u'a', 0, u'b'};
    BSTR s = SysAllocStringLen(text, 3);
    EXPECT_EQ(SysStringLen(s), 3u);
    EXPECT_EQ(s[1], 0);
    EXPECT_EQ(s[3], 0);
    SysFreeString(s);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
}

TEST(SafeArray, ByteVectorBoundsAndElements)
{
    SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, 3);
    ASSERT_NE(a, nullptr);
    for (std::int32_t i = 0; i < 3; ++i)
    {
        unsigned char b = static_cast<unsigned char>('x' + i);
        EXPECT_EQ(SafeArrayPutElement(a, &i, &b), S_OK);
    }
    std::int32_t bad = 3;
    unsigned char b = 0;
    EXPECT_EQ(SafeArrayPutElement(a, &bad, &b), DISP_E_BADINDEX);
    std::int32_t lo = -1, hi = -1;
    SafeArrayGetLBound(a, 1, &lo);
    SafeArrayGetUBound(a, 1, &hi);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 2);
    void* data = nullptr;
    SafeArrayAccessData(a, &data);
    EXPECT_EQ(SafeArrayDestroy(a), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(std::memcmp(data, "xyz", 3), 0);
    SafeArrayUnaccessData(a);
    EXPECT_EQ(SafeArrayDestroy(a), S_OK);
    EXPECT_EQ(SafeArrayCreateVector(VT_I4, 0, 3), nullptr);
}

TEST(Variant, DeepCopyOwnsStringsAndArrays)
{
    _variant_t a("abc");
    _variant_t b(a);
    EXPECT_NE(a.bstrVal, b.bstrVal);
    EXPECT_TRUE(a == b);

    _variant_t arr;
    arr.vt = VT_ARRAY | VT_UI1;
    arr.parray = SafeArrayCreateVector(VT_UI1, 0, 2);
    std::memcpy(arr.parray->pvData, "hi", 2);
    _variant_t copy(arr);
    EXPECT_NE(copy.parray, arr.parray);
    EXPECT_NE(copy.parray->pvData, arr.parray->pvData);
    EXPECT_TRUE(copy == arr);
}

TEST(Variant, CopyCarriesReservedWordAsThePlatformDoes)
{
    _variant_t a(5);
    a.wReserved1 = 1;
    _variant_t b;
    b = a;
    EXPECT_EQ(b.wReserved1, 1);
}

TEST(Variant, ChangeTypeToTextAndNumbers)
{
    EXPECT_EQ(_variant_t(42).ToUtf8(), "42");
    EXPECT_EQ(_variant_t(-7).ToUtf8(), "-7");
    EXPECT_EQ(_variant_t(2.5).ToUtf8(), "2.5");
    EXPECT_EQ(_variant_t("12").ToLong(), 12);
    EXPECT_THROW(_variant_t("12abc").ToLong(), _com_error);
    _variant_t null;
    null.vt = VT_NULL;
    try
    {
        null.ToUtf8();
        FAIL() << "VT_NULL converted";
    }
    catch (const _com_error& e)
    {
        EXPECT_EQ(e.Error(), DISP_E_TYPEMISMATCH);
    }
}

TEST(Variant, DatesConvertBothWays)
{
    _variant_t d(38963.5870486111, VT_DATE); // 2006-09-03 14:05:21
    EXPECT_EQ(d.ToUtf8(), "2006-09-03 14:05:21");

    _variant_t text("2006-09-03 14:05:09");
    _variant_t date;
    date.ChangeType(VT_DATE, &text);
    OleDateParts p{};
    ASSERT_TRUE(PartsFromOleDate(date.date, &p));
    EXPECT_EQ(p.year, 2006);
    EXPECT_EQ(p.month, 9);
    EXPECT_EQ(p.day, 3);
    EXPECT_EQ(p.hour, 14);
    EXPECT_EQ(p.minute, 5);
    EXPECT_EQ(p.second, 9);

    _variant_t r8(38963.0);
    _variant_t asDate;
    asDate.ChangeType(VT_DATE, &r8);
    EXPECT_EQ(asDate.vt, VT_DATE);
    EXPECT_DOUBLE_EQ(asDate.date, 38963.0);

    DATE epoch = -1;
    ASSERT_TRUE(OleDateFromParts({1899, 12, 30, 0, 0, 0}, &epoch));
    EXPECT_EQ(epoch, 0.0);
    ASSERT_TRUE(OleDateFromParts({1899, 12, 29, 6, 0, 0}, &epoch));
    EXPECT_DOUBLE_EQ(epoch, -1.25);
    ASSERT_TRUE(PartsFromOleDate(-1.25, &p));
    EXPECT_EQ(p.day, 29);
    EXPECT_EQ(p.hour, 6);
}

TEST(Variant, TextThatIsNoPlainNumberOrDateIsATypeMismatch)
{
    // strtod alone would take these; the automation rules do not.
    for (const char* text : {"nan", "inf", "-infinity", "0x1A", "NAN(1)"})
    {
        _variant_t v(text);
        try
        {
            v.ToLong();
            ADD_FAILURE() << text << " converted to a number";
        }
        catch (const _com_error& e)
        {
            EXPECT_EQ(e.Error(), DISP_E_TYPEMISMATCH) << text;
        }
    }
    _variant_t notANumber(std::nan(""));
    EXPECT_THROW(notANumber.ToLong(), _com_error);
    _variant_t noDate;
    EXPECT_THROW(noDate.ChangeType(VT_DATE, &notANumber), _com_error);
    EXPECT_EQ(_variant_t(" 1e3 ").ToLong(), 1000);
}

TEST(Variant, DaysBeyondTheirMonthAreNoDate)
{
    DATE d = 0;
    EXPECT_FALSE(OleDateFromParts({2006, 2, 29, 0, 0, 0}, &d));
    EXPECT_FALSE(OleDateFromParts({2006, 4, 31, 0, 0, 0}, &d));
    EXPECT_TRUE(OleDateFromParts({2004, 2, 29, 0, 0, 0}, &d));
    EXPECT_FALSE(OleDateFromParts({1900, 2, 29, 0, 0, 0}, &d));
    EXPECT_TRUE(OleDateFromParts({2000, 2, 29, 0, 0, 0}, &d));
    _variant_t text("2006-02-31");
    _variant_t date;
    EXPECT_THROW(date.ChangeType(VT_DATE, &text), _com_error);
}

TEST(ComError, DescriptionIsNullWhenAbsent)
{
    _com_error plain(E_FAIL);
    EXPECT_EQ(plain.DescriptionText(), nullptr);
    EXPECT_TRUE(plain.Description().IsNull());
    _com_error described(E_FAIL, "disk full");
    EXPECT_STREQ(described.DescriptionText(), "disk full");
    EXPECT_EQ(described.Description().Utf8(), "disk full");
}
