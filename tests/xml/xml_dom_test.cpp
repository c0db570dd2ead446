#include "platform/xml/xml_dom.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/text.h"
#include <vector>

namespace
{
std::vector<std::u16string> ChildNames(const XmlNodePtr& node)
{
    std::vector<std::u16string> names;
    const auto children = node->childNodes();
    for (long i = 0; i < children->length(); ++i)
        names.push_back(children->item(i)->nodeName());
    return names;
}

class XmlDomTest : public ::testing::Test
{
protected:
    XmlDocumentPtr doc = XmlDocument::Create();

    XmlElementPtr Parse(std::u16string_view text)
    {
        EXPECT_TRUE(doc->loadXML(text)) << "not parsed";
        return doc->documentElement();
    }
};

TEST_F(XmlDomTest, ParseKeepsPrologNodesAsDocumentChildrenAndDropsIndentation)
{
    const auto root =
        Parse(u"<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n"
              u"<?xml-stylesheet type=\"text/xsl\" href=\"a.xsl\"?>\r\n"
              u"<!-- note -->\r\n<Root>\r\n  <a x=\"1\"/>\r\n  <b>t</b>\r\n</Root>\r\n");
    ASSERT_TRUE(root);
    EXPECT_EQ(ChildNames(doc),
              (std::vector<std::u16string>{u"xml", u"xml-stylesheet", u"#comment", u"Root"}));
    EXPECT_EQ(doc->firstChild()->nodeType(), NODE_PROCESSING_INSTRUCTION);
    EXPECT_EQ(doc->firstChild()->nodeValue(), u"version=\"1.0\" encoding=\"gb2312\"");
    EXPECT_EQ(doc->childNodes()->item(1)->text(), u"type=\"text/xsl\" href=\"a.xsl\"");
    EXPECT_EQ(ChildNames(root), (std::vector<std::u16string>{u"a", u"b"}));
    EXPECT_EQ(root->childNodes()->item(1)->text(), u"t");
    EXPECT_EQ(doc->declaredEncoding(), u"gb2312");
}

TEST_F(XmlDomTest, NamesSplitIntoPrefixAndBaseName)
{
    const auto root = Parse(u"<x:Topic xmlns:x=\"urn:t\" x:id=\"5\"><Plain/></x:Topic>");
    EXPECT_EQ(root->nodeName(), u"x:Topic");
    EXPECT_EQ(root->baseName(), u"Topic");
    EXPECT_EQ(root->prefix(), u"x");
    const auto id = root->attributes()->item(1);
    EXPECT_EQ(id->nodeName(), u"x:id");
    EXPECT_EQ(id->baseName(), u"id");
    EXPECT_EQ(root->firstChild()->baseName(), u"Plain");
    EXPECT_EQ(root->firstChild()->prefix(), u"");
}

TEST_F(XmlDomTest, SerialiserEscapesOnlyWhatItMustAndAddsNothing)
{
    const auto root = doc->createElement(u"r");
    doc->appendChild(root);
    root->setAttribute(u"v", u"a&b<c>\"d'\r\ne\tf");
    const auto child = doc->createElement(u"t");
    root->appendChild(child);
    child->appendChild(doc->createTextNode(u"1 < 2 & 3 > 0 \"q\""));
    root->appendChild(doc->createElement(u"empty"));
    root->appendChild(doc->createCDATASection(u"x]]>y"));
    EXPECT_EQ(doc->xml(),
              u"<r v=\"a&amp;b&lt;c>&quot;d'\r\ne\tf\"><t>1 &lt; 2 &amp; 3 &gt; 0 \"q\"</t>"
              u"<empty/><![CDATA[x]]]]><![CDATA[>y]]></r>");

    // What the serialiser writes reads back as the same values.
    auto again = XmlDocument::Create();
    ASSERT_TRUE(again->loadXML(doc->xml()));
    const auto r = again->documentElement();
    EXPECT_EQ(r->getAttributeNode(u"v")->text(), u"a&b<c>\"d'\r\ne\tf");
    EXPECT_EQ(r->text(), u"1 < 2 & 3 > 0 \"q\"x]]>y");
}

TEST_F(XmlDomTest, AttributeXmlKeepsRawLineBreaksFromTheFileAndEscapesEntities)
{
    const auto root =
        Parse(u"<r one=\"a &amp; b\" two=\"a &amp; b\r\nc\" refs=\"x&#13;&#10;y\" lf=\"p\nq\"/>");
    const auto attrs = root->attributes();
    EXPECT_EQ(attrs->getNamedItem(u"one")->text(), u"a & b");
    EXPECT_EQ(attrs->getNamedItem(u"one")->xml(), u"one=\"a &amp; b\"");
    EXPECT_EQ(attrs->getNamedItem(u"two")->text(), u"a & b\r\nc");
    EXPECT_EQ(attrs->getNamedItem(u"two")->xml(), u"two=\"a &amp; b\r\nc\"");
    EXPECT_EQ(attrs->getNamedItem(u"refs")->text(), u"x\r\ny");
    EXPECT_EQ(attrs->getNamedItem(u"lf")->text(), u"p\nq");
    EXPECT_EQ(attrs->getNamedItem(u"absent"), nullptr);
    EXPECT_EQ(attrs->getNamedItem(u"ONE"), nullptr); // exact names only
}

TEST_F(XmlDomTest, AttributesKeepOrderAndReplaceInPlace)
{
    const auto root = Parse(u"<r a=\"1\" b=\"2\" c=\"3\"/>");
    auto replacement = doc->createAttribute(u"b");
    replacement->put_text(u"two");
    const auto old = root->setAttributeNode(replacement);
    ASSERT_TRUE(old);
    EXPECT_EQ(old->text(), u"2");
    EXPECT_EQ(old->ownerElement(), nullptr);
    EXPECT_EQ(root->xml(), u"<r a=\"1\" b=\"two\" c=\"3\"/>");

    auto other = doc->createElement(u"o");
    EXPECT_THROW(other->setAttributeNode(replacement), _com_error); // already in use
    root->removeAttribute(u"a");
    EXPECT_EQ(root->xml(), u"<r b=\"two\" c=\"3\"/>");
    EXPECT_EQ(root->getAttribute(u"a").vt, VT_NULL);
    EXPECT_EQ(root->getAttribute(u"c").ToWide(), u"3");
    EXPECT_TRUE(root->attributes()->removeNamedItem(u"c"));
    EXPECT_EQ(root->attributes()->length(), 1);
}

TEST_F(XmlDomTest, ChildListsAreLiveAndInsertBeforeMovesNodes)
{
    const auto root = Parse(u"<r><a/><b/><c/></r>");
    const auto list = root->childNodes();
    EXPECT_EQ(list->length(), 3);
    const auto c = list->item(2);
    root->insertBefore(c, list->item(0)); // move within the same parent
    EXPECT_EQ(ChildNames(root), (std::vector<std::u16string>{u"c", u"a", u"b"}));
    const auto a = list->item(1);
    root->insertBefore(a, nullptr);
    EXPECT_EQ(ChildNames(root), (std::vector<std::u16string>{u"c", u"b", u"a"}));
    root->removeChild(list->item(1));
    EXPECT_EQ(list->length(), 2);
    EXPECT_EQ(list->item(2), nullptr);
    EXPECT_EQ(list->item(-1), nullptr);
    EXPECT_EQ(a->previousSibling(), c);
    EXPECT_EQ(c->nextSibling(), a);
    EXPECT_EQ(a->nextSibling(), nullptr);
    EXPECT_EQ(a->parentNode(), root);

    // Moving a node out of another parent detaches it there.
    const auto inner = doc->createElement(u"inner");
    root->appendChild(inner);
    inner->appendChild(c);
    EXPECT_EQ(ChildNames(root), (std::vector<std::u16string>{u"a", u"inner"}));
    EXPECT_EQ(c->parentNode(), inner);
}

TEST_F(XmlDomTest, ReplaceChildSwapsTheRootAndAStylesheetInstruction)
{
    Parse(u"<?xml version=\"1.0\"?><?xml-stylesheet href=\"old.xsl\"?><Topic/>");
    const auto oldPi = doc->childNodes()->item(1);
    const auto newPi =
        doc->createProcessingInstruction(u"xml-stylesheet", u"type='text/xsl' href='new.xsl'");
    EXPECT_EQ(doc->replaceChild(newPi, oldPi), oldPi);
    const auto newRoot = doc->createElement(u"Other");
    doc->replaceChild(newRoot, doc->documentElement()); // one root in, one out
    EXPECT_EQ(doc->xml(),
              u"<?xml version=\"1.0\"?><?xml-stylesheet type='text/xsl' href='new.xsl'?><Other/>");
}

TEST_F(XmlDomTest, StructureRulesRaiseAndLeaveTheTreeUnchanged)
{
    const auto root = Parse(u"<?xml version=\"1.0\"?><r><a/></r>");
    const auto before = doc->xml();
    const auto a = root->firstChild();
    struct Case
    {
        const char* what;
        std::function<void()> call;
    };
    const std::vector<Case> cases = {
        {"second root", [&] { doc->appendChild(doc->createElement(u"r2")); }},
        {"text at top level", [&] { doc->appendChild(doc->createTextNode(u"x")); }},
        {"node into its own subtree", [&] { a->appendChild(root); }},
        {"node into itself", [&] { root->appendChild(root); }},
        {"declaration inside an element",
         [&] { a->appendChild(doc->createProcessingInstruction(u"xml", u"version=\"1.0\"")); }},
        {"second declaration",
         [&]
         {
             doc->insertBefore(doc->createProcessingInstruction(u"xml", u"version=\"1.0\""),
                               doc->firstChild());
         }},
        {"node before the declaration",
         [&] { doc->insertBefore(doc->createComment(u"c"), doc->firstChild()); }},
        {"null child", [&] { root->appendChild(nullptr); }},
        {"attribute as child", [&] { root->appendChild(doc->createAttribute(u"x")); }},
        {"child of a text node",
         [&] { doc->createTextNode(u"t")->appendChild(doc->createElement(u"e")); }},
        {"reference not a child", [&] { root->insertBefore(doc->createElement(u"e"), root); }},
        {"remove a non-child", [&] { doc->removeChild(a); }},
        {"attribute call on text", [&] { doc->createTextNode(u"t")->setAttribute(u"x", u"1"); }},
        {"value of an element", [&] { root->put_nodeValue(u"x"); }},
        {"pi data with end marker", [&] { doc->createProcessingInstruction(u"p", u"a?>b"); }},
    };
    for (const auto& c : cases)
    {
        EXPECT_THROW(c.call(), _com_error) << c.what;
        EXPECT_EQ(doc->xml(), before) << c.what;
    }
}

TEST_F(XmlDomTest, FactoriesRefuseInvalidNames)
{
    for (const char16_t* bad : {u"", u"1abc", u"a b", u"a<b", u"-x", u"a=b", u"a\"b"})
    {
        EXPECT_THROW(doc->createElement(bad), _com_error) << Utf8FromUtf16(bad);
        EXPECT_THROW(doc->createAttribute(bad), _com_error);
    }
    for (const char16_t* good : {u"Item", u"x:Topic", u"_a.b-c1", u"名字"})
        EXPECT_NO_THROW(doc->createElement(good));
}

TEST_F(XmlDomTest, TextGathersDescendantsAndPutTextReplacesChildren)
{
    const auto root = Parse(u"<r>one<a>two<![CDATA[<three>]]></a><!--no-->four</r>");
    EXPECT_EQ(root->text(), u"onetwo<three>four");
    root->put_text(u"only & this");
    EXPECT_EQ(root->xml(), u"<r>only &amp; this</r>");
    root->put_text(u"");
    EXPECT_EQ(root->xml(), u"<r/>");
}

TEST_F(XmlDomTest, MalformedTextLeavesTheDocumentEmpty)
{
    for (const char16_t* bad : {u"", u"   ", u"<a>", u"<a></b>", u"<a/><b/>", u"text<a/>",
                                u"<a x=1/>", u"<?xml version=\"1.0\"?>", u"<a x=\"1\" x=\"2\"/>"})
    {
        doc->loadXML(u"<old/>");
        EXPECT_FALSE(doc->loadXML(bad)) << Utf8FromUtf16(bad);
        EXPECT_FALSE(doc->hasChildNodes()) << Utf8FromUtf16(bad);
    }
}

TEST_F(XmlDomTest, EveryCutOfAFileEitherParsesWholeOrLeavesNothing)
{
    const std::u16string full =
        u"<?xml version=\"1.0\" encoding=\"gb2312\"?><?xml-stylesheet type=\"text/xsl\" "
        u"href=\"a.xsl\"?>"
        u"<!DOCTYPE Topic><Topic a=\"x &amp; y\"><Issue><TopicName>标题 &lt;1&gt;</TopicName>"
        u"<![CDATA[raw <b>]]><!-- c --><Empty/></Issue></Topic>";
    ASSERT_TRUE(doc->loadXML(full));
    const auto whole = doc->xml();
    for (std::size_t cut = 0; cut < full.size(); ++cut)
    {
        const bool parsed = doc->loadXML(full.substr(0, cut));
        if (parsed)
            EXPECT_TRUE(doc->documentElement()) << cut;
        else
            EXPECT_FALSE(doc->hasChildNodes()) << cut;
    }
    ASSERT_TRUE(doc->loadXML(whole)); // what we write parses back to the same text
    EXPECT_EQ(doc->xml(), whole);
}

TEST_F(XmlDomTest, DeepNestingIsRefusedWithoutExhaustingTheStack)
{
    std::u16string deep;
    for (int i = 0; i < 100000; ++i)
        deep += u"<a>";
    for (int i = 0; i < 100000; ++i)
        deep += u"</a>";
    EXPECT_FALSE(doc->loadXML(deep));

    std::u16string fine;
    for (int i = 0; i < 200; ++i)
        fine += u"<a>";
    fine += u"x";
    for (int i = 0; i < 200; ++i)
        fine += u"</a>";
    ASSERT_TRUE(doc->loadXML(fine));
    EXPECT_EQ(doc->xml(), fine);
}

TEST_F(XmlDomTest, NodesKnowTheirDocument)
{
    const auto e = doc->createElement(u"e");
    EXPECT_EQ(e->ownerDocument(), doc);
    auto other = XmlDocument::Create();
    other->appendChild(e);
    EXPECT_EQ(e->ownerDocument(), other);
    EXPECT_EQ(other->documentElement(), e);
}
} // namespace
