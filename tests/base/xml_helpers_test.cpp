#include "base/xml_helpers.h"

#include "platform/text.h"
#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>

#include <climits>

namespace
{
class XmlHelpersTest : public ::testing::Test
{
protected:
    ScratchDir dir;

    XmlDocumentPtr LoadText(const std::string& bytes)
    {
        const auto path = dir.File("in.xml");
        ScratchDir::Write(path, bytes);
        return LoadXmlDocument(Utf16FromUtf8(path));
    }

    std::u16string ReadKeeping(const XmlElementPtr& e, const char16_t* name)
    {
        _variant_t v;
        EXPECT_EQ(GetXmlAttributeKeepingLineBreaks(e, name, VT_BSTR, v), 1);
        return v.ToWide();
    }
    std::u16string ReadPlain(const XmlElementPtr& e, const char16_t* name)
    {
        _variant_t v;
        EXPECT_EQ(GetXmlAttribute(e, name, VT_BSTR, v), 1);
        return v.ToWide();
    }
};

TEST_F(XmlHelpersTest, FindChildByNameMatchesBaseNamesIgnoringCase)
{
    const auto doc =
        LoadText("<?xml version=\"1.0\"?><?xml-stylesheet type=\"text/xsl\" href=\"s.xsl\"?>"
                 "<t:Topic xmlns:t=\"urn:x\"><Issue/><issue n=\"2\"/><TopicName/></t:Topic>");
    const auto topic = FindChildByName(doc, "topic");
    ASSERT_TRUE(topic);
    EXPECT_EQ(topic->nodeName(), u"t:Topic");
    EXPECT_EQ(FindChildByName(doc, "TOPIC"), topic);
    EXPECT_EQ(FindChildByName(doc, "t:Topic"),
              nullptr); // the base name is compared, not the full name
    EXPECT_EQ(FindChildByName(doc, "Topi"), nullptr);

    const auto pi = FindChildByName(doc, "XML-Stylesheet");
    ASSERT_TRUE(pi);
    EXPECT_EQ(pi->nodeType(), NODE_PROCESSING_INSTRUCTION);

    const auto issue = FindChildByName(topic, "ISSUE");
    ASSERT_TRUE(issue);
    EXPECT_FALSE(
        issue->attributes()->getNamedItem(u"n")); // the first match, not the lower-case one
    EXPECT_EQ(FindChildByName(topic, "missing"), nullptr);
}

TEST_F(XmlHelpersTest, DeclarationIsTheFirstChildAndTheRootIsStillFound)
{
    const auto doc =
        LoadText("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<LQEditTree Text=\"t\"/>");
    const auto first = GetFirstChild(doc);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->nodeType(), NODE_PROCESSING_INSTRUCTION);
    EXPECT_EQ(first->nodeName(), u"xml");
    const auto root = FindChildByName(doc, "lqedittree");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->nodeType(), NODE_ELEMENT);
    EXPECT_EQ(GetFirstChild(root), nullptr);
}

TEST_F(XmlHelpersTest, AttributeReadsWithEntitiesAndLineBreaks)
{
    const auto doc = LoadText("<r amp=\"Tom &amp; Jerry\" lines=\"Tom &amp; Jerry\r\nbye\" "
                              "quote=\"say &quot;hi&quot;\r\n\" lone=\"a\nb\" empty=\"\"/>");
    const auto r = FindChildByName(doc, "r");
    ASSERT_TRUE(r);
    EXPECT_EQ(ReadPlain(r, u"amp"), u"Tom & Jerry");
    EXPECT_EQ(ReadKeeping(r, u"amp"), u"Tom & Jerry");
    EXPECT_EQ(ReadPlain(r, u"lines"), u"Tom & Jerry\r\nbye");
    EXPECT_EQ(ReadKeeping(r, u"lines"), u"Tom &amp; Jerry\r\nbye");
    // The end marker is the closing quote: escaped quotes do not cut the value.
    EXPECT_EQ(ReadKeeping(r, u"quote"), u"say &quot;hi&quot;\r\n");
    EXPECT_EQ(ReadKeeping(r, u"lone"), u"a\nb");
    EXPECT_EQ(ReadKeeping(r, u"empty"), u"");
}

TEST_F(XmlHelpersTest, IntegerReadsFollowAtoiRules)
{
    const struct
    {
        const char* text;
        std::int32_t expected;
    } cases[] = {
        {"12abc", 12},
        {"abc", 0},
        {"", 0},
        {"  -7", -7},
        {"+3", 3},
        {"\t42 ", 42},
        {"- 5", 0},
        {"0x10", 0},
        {"2147483647", INT_MAX},
        {"99999999999", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-99999999999", INT_MIN},
        {"１２", 0},
        {"12\r\n34", 12},
    };
    auto doc = CreateXmlDocument();
    const auto e = AppendElement(doc, nullptr, u"e");
    for (const auto& c : cases)
    {
        SetXmlAttribute(doc, e, u"n", _variant_t(c.text));
        _variant_t plain, keeping;
        ASSERT_EQ(GetXmlAttribute(e, u"n", VT_I4, plain), 1);
        ASSERT_EQ(GetXmlAttributeKeepingLineBreaks(e, u"n", VT_I4, keeping), 1);
        EXPECT_EQ(plain.vt, VT_I4) << c.text;
        EXPECT_EQ(plain.lVal, c.expected) << c.text;
        EXPECT_EQ(keeping.lVal, c.expected) << c.text;
        EXPECT_EQ(AtoiWide(Utf16FromUtf8(c.text)), c.expected) << c.text;
    }
}

TEST_F(XmlHelpersTest, AbsentAttributeLeavesTheOutVariantUntouched)
{
    auto doc = CreateXmlDocument();
    const auto e = AppendElement(doc, nullptr, u"e");
    SetXmlAttribute(doc, e, u"Present", _variant_t("1"));
    _variant_t number(std::int32_t{42});
    EXPECT_EQ(GetXmlAttribute(e, u"present", VT_I4, number), 0); // names are exact
    EXPECT_EQ(number.vt, VT_I4);
    EXPECT_EQ(number.lVal, 42);
    _variant_t text("keep");
    EXPECT_EQ(GetXmlAttributeKeepingLineBreaks(e, u"Absent", VT_BSTR, text), 0);
    EXPECT_EQ(text.ToUtf8(), "keep");
}

TEST_F(XmlHelpersTest, SetXmlAttributeConvertsAndReplacesInPlace)
{
    auto doc = CreateXmlDocument();
    const auto e = AppendElement(doc, nullptr, u"Node");
    EXPECT_EQ(SetXmlAttribute(doc, e, u"ID", _variant_t(std::int32_t{-12})), 1);
    EXPECT_EQ(SetXmlAttribute(doc, e, u"Text", _variant_t("a\"b")), 1);
    EXPECT_EQ(SetXmlAttribute(doc, e, u"ID", _variant_t(std::int32_t{7})), 1);
    _variant_t empty;
    EXPECT_EQ(SetXmlAttribute(doc, e, u"Empty", empty), 1);
    EXPECT_EQ(SetXmlAttribute(doc, e, u"bad name", _variant_t("x")), 0);
    EXPECT_EQ(doc->xml(), u"<Node ID=\"7\" Text=\"a&quot;b\" Empty=\"\"/>");
}

TEST_F(XmlHelpersTest, AppendElementBuildsUnderTheDocumentOrAParent)
{
    auto doc = CreateXmlDocument();
    ASSERT_TRUE(doc);
    EXPECT_FALSE(doc->hasChildNodes());
    const auto root = AppendElement(doc, nullptr, u"BraeKBaseSystem");
    const auto item = AppendElement(doc, root, u"Item");
    AppendElement(doc, item, u"Item");
    AppendElement(doc, root, u"Item");
    EXPECT_EQ(doc->xml(), u"<BraeKBaseSystem><Item><Item/></Item><Item/></BraeKBaseSystem>");
    EXPECT_EQ(AppendElement(doc, root, u"<bad>"), nullptr);
    EXPECT_THROW(AppendElement(doc, nullptr, u"SecondRoot"), _com_error);
}

TEST_F(XmlHelpersTest, NullNodesRaiseComErrors)
{
    XmlNodePtr none;
    _variant_t v;
    const auto expectPointerError = [](auto&& call)
    {
        try
        {
            call();
            ADD_FAILURE() << "no error raised";
        }
        catch (const _com_error& e)
        {
            EXPECT_EQ(e.Error(), E_POINTER);
        }
    };
    expectPointerError([&] { GetFirstChild(none); });
    expectPointerError([&] { FindChildByName(none, "x"); });
    expectPointerError([&] { GetXmlAttribute(none, u"x", VT_BSTR, v); });
    expectPointerError([&] { GetXmlAttributeKeepingLineBreaks(none, u"x", VT_BSTR, v); });
    expectPointerError([&] { AppendElement(nullptr, nullptr, u"x"); });
    expectPointerError([&] { SetXmlAttribute(CreateXmlDocument(), none, u"x", v); });
    expectPointerError([&] { SaveXmlDocument(u"x.xml", nullptr); });
    // An attribute read on a node that has no attributes is a failing call too.
    auto doc = CreateXmlDocument();
    expectPointerError([&] { GetXmlAttribute(doc, u"x", VT_BSTR, v); });
}

TEST_F(XmlHelpersTest, LoadAndSaveThroughWidePaths)
{
    EXPECT_EQ(LoadXmlDocument(static_cast<const OLECHAR*>(nullptr)), nullptr);
    const auto fromEmpty = LoadXmlDocument(u"");
    ASSERT_TRUE(fromEmpty);
    EXPECT_FALSE(fromEmpty->hasChildNodes());
    const auto missing = LoadXmlDocument(Utf16FromUtf8(dir.File("missing.xml")));
    ASSERT_TRUE(missing);
    EXPECT_FALSE(missing->hasChildNodes());

    auto doc = CreateXmlDocument();
    SetXmlAttribute(doc, AppendElement(doc, nullptr, u"r"), u"v", _variant_t("中"));
    const auto path = Utf16FromUtf8(dir.File("房间.xml"));
    EXPECT_EQ(SaveXmlDocument(path, doc), 1);
    EXPECT_EQ(ScratchDir::Read(dir.File("房间.xml")), "<r v=\"中\"/>");
    EXPECT_EQ(SaveXmlDocument(Utf16FromUtf8(dir.File("none/x.xml")), doc), 0);
    EXPECT_EQ(SaveXmlDocument(u"", doc), 0);
    EXPECT_EQ(SaveXmlDocument(static_cast<const OLECHAR*>(nullptr), doc), 0);
    const auto back = LoadXmlDocument(path);
    EXPECT_EQ(back->xml(), doc->xml());
}

TEST_F(XmlHelpersTest, DecodeXmlReferencesDecodesOnlyWellFormedReferences)
{
    const struct
    {
        const char16_t* in;
        const char16_t* out;
    } cases[] = {
        {u"a &amp; b", u"a & b"},       {u"&lt;&gt;&quot;&apos;", u"<>\"'"},
        {u"&#65;&#x42;&#X43;", u"ABC"}, {u"&#x1F600;", u"\U0001F600"},
        {u"&amp;amp;", u"&amp;"},       {u"& alone", u"& alone"},
        {u"&unknown;", u"&unknown;"},   {u"&#xD800;&#0;&#xZZ;", u"&#xD800;&#0;&#xZZ;"},
        {u"tail &amp", u"tail &amp"},   {u"line\r\nbreak", u"line\r\nbreak"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeXmlReferences(c.in), c.out) << Utf8FromUtf16(c.in);
}
} // namespace
