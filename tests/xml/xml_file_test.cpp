#include "platform/xml/xml_dom.h"

#include "platform/text.h"
#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace
{
class XmlFileTest : public ::testing::Test
{
protected:
    ScratchDir dir;

    static XmlDocumentPtr Load(const std::string& path)
    {
        auto doc = XmlDocument::Create();
        doc->load(path);
        return doc;
    }
};

TEST_F(XmlFileTest, SaveWritesUtf8WithoutDeclarationOrWhiteSpace)
{
    auto doc = XmlDocument::Create();
    const auto root = doc->createElement(u"LQEditTree");
    doc->appendChild(root);
    root->setAttribute(u"Text", u"ZELK社区");
    root->appendChild(doc->createElement(u"Node"));
    const auto path = dir.File("tree.xml");
    ASSERT_TRUE(doc->save(path));
    EXPECT_EQ(ScratchDir::Read(path), "<LQEditTree Text=\"ZELK社区\"><Node/></LQEditTree>");
}

TEST_F(XmlFileTest, Gb2312DeclaredFileIsReadAndWrittenInItsEncoding)
{
    const std::string title = "论坛标题：中文";
    const std::string original = "<?xml version=\"1.0\" encoding=\"gb2312\"?>"
                                 "<?xml-stylesheet type=\"text/xsl\" href=\"x.xsl\"?>"
                                 "<Topic><Issue><TopicName>" +
                                 GbkFromUtf8(title) + "</TopicName></Issue></Topic>";
    ASSERT_NE(GbkFromUtf8(title), title); // the bytes really differ from UTF-8
    const auto in = dir.File("in.xml");
    ScratchDir::Write(in, original);

    auto doc = Load(in);
    const auto root = doc->documentElement();
    ASSERT_TRUE(root);
    EXPECT_EQ(Utf8FromUtf16(root->text()), title);

    const auto out = dir.File("out.xml");
    ASSERT_TRUE(doc->save(out));
    EXPECT_EQ(ScratchDir::Read(out), original);
    EXPECT_EQ(Utf8FromUtf16(Load(out)->documentElement()->text()), title);
}

TEST_F(XmlFileTest, DeclaredEncodingsRoundTripTheirText)
{
    const struct
    {
        const char* encoding;
        const char16_t* text;
    } cases[] = {
        {"gb2312", u"中文"},        {"GBK", u"镕"},    {"ISO-8859-1", u"café"}, {"UTF-16", u"中é"},
        {"utf-8", u"中\U0001F600"}, {"Big5", u"臺灣"},
    };
    for (const auto& c : cases)
    {
        auto doc = XmlDocument::Create();
        doc->appendChild(doc->createProcessingInstruction(
            u"xml", u"version=\"1.0\" encoding=\"" + Utf16FromUtf8(c.encoding) + u"\""));
        const auto root = doc->createElement(u"r");
        doc->appendChild(root);
        root->setAttribute(u"a", c.text);
        root->put_text(c.text);
        const auto path = dir.File(std::string(c.encoding) + ".xml");
        ASSERT_TRUE(doc->save(path)) << c.encoding;
        const auto bytes = ScratchDir::Read(path);
        if (std::string(c.encoding) != "utf-8")
        {
            EXPECT_EQ(bytes.find(Utf8FromUtf16(c.text)), std::string::npos)
                << c.encoding << " written as UTF-8";
        }
        const auto back = Load(path)->documentElement();
        ASSERT_TRUE(back) << c.encoding;
        EXPECT_EQ(back->text(), c.text) << c.encoding;
        EXPECT_EQ(back->getAttribute(u"a").ToWide(), c.text) << c.encoding;
    }
}

TEST_F(XmlFileTest, BadBytesInADeclaredEncodingKeepTheRestOfTheText)
{
    const auto path = dir.File("bad.xml");
    ScratchDir::Write(path, "<?xml version=\"1.0\" encoding=\"gb2312\"?><r>" + GbkFromUtf8("前") +
                                "\xFF" + GbkFromUtf8("后") + "</r>");
    const auto root = Load(path)->documentElement();
    ASSERT_TRUE(root);
    const auto text = root->text();
    EXPECT_EQ(text.front(), u'前');
    EXPECT_EQ(text.back(), u'后');
}

TEST_F(XmlFileTest, CharactersTheDeclaredEncodingLacksSurviveAsReferences)
{
    auto doc = XmlDocument::Create();
    doc->appendChild(
        doc->createProcessingInstruction(u"xml", u"version=\"1.0\" encoding=\"GB2312\""));
    const auto root = doc->createElement(u"r");
    doc->appendChild(root);
    const std::u16string text = u"中 \U0001F600 한";
    root->setAttribute(u"v", text);
    root->put_text(text);
    const auto path = dir.File("refs.xml");
    ASSERT_TRUE(doc->save(path));
    const auto bytes = ScratchDir::Read(path);
    EXPECT_NE(bytes.find("&#x1F600;"), std::string::npos);
    const auto back = Load(path)->documentElement();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->text(), text);
    EXPECT_EQ(back->getAttribute(u"v").ToWide(), text);
}

TEST_F(XmlFileTest, UnknownDeclaredEncodingFailsTheSaveAndKeepsTheOldFile)
{
    const auto path = dir.File("keep.xml");
    ScratchDir::Write(path, "<old/>");
    auto doc = XmlDocument::Create();
    doc->appendChild(
        doc->createProcessingInstruction(u"xml", u"version=\"1.0\" encoding=\"no-such-charset\""));
    doc->appendChild(doc->createElement(u"r"));
    EXPECT_FALSE(doc->save(path));
    EXPECT_EQ(ScratchDir::Read(path), "<old/>");
}

TEST_F(XmlFileTest, ByteOrderMarksDecideTheEncoding)
{
    const auto utf8 = dir.File("bom8.xml");
    ScratchDir::Write(utf8, "\xEF\xBB\xBF<r>中</r>");
    EXPECT_EQ(Load(utf8)->documentElement()->text(), u"中");

    const auto utf16 = dir.File("bom16.xml");
    const std::u16string wide = u"<r a=\"é\">中</r>";
    std::string bytes = "\xFF\xFE";
    for (char16_t c : wide)
    {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    ScratchDir::Write(utf16, bytes);
    const auto root = Load(utf16)->documentElement();
    ASSERT_TRUE(root);
    EXPECT_EQ(root->text(), u"中");
    EXPECT_EQ(root->getAttribute(u"a").ToWide(), u"é");
}

TEST_F(XmlFileTest, MissingOrCutFilesLoadAsEmptyDocuments)
{
    auto doc = XmlDocument::Create();
    EXPECT_FALSE(doc->load(dir.File("missing.xml")));
    EXPECT_FALSE(doc->hasChildNodes());
    const auto cut = dir.File("cut.xml");
    ScratchDir::Write(cut, "<LQConfigure><Item Name=\"a\" Val");
    doc->loadXML(u"<old/>");
    EXPECT_FALSE(doc->load(cut));
    EXPECT_FALSE(doc->hasChildNodes());
    EXPECT_FALSE(doc->load(""));
}

TEST_F(XmlFileTest, SaveReplacesTheFileAtomicallyAndKeepsItsPermissions)
{
    const auto path = dir.File("cfg.xml");
    ScratchDir::Write(path, "<old/>");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    auto doc = XmlDocument::Create();
    doc->appendChild(doc->createElement(u"new"));
    ASSERT_TRUE(doc->save(path));
    EXPECT_EQ(ScratchDir::Read(path), "<new/>");
    struct stat info
    {
    };
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(dir.EntryCount(), 1u); // nothing left beside it
}

TEST_F(XmlFileTest, SaveRefusesReadOnlyFilesAndMissingFolders)
{
    const auto path = dir.File("ro.xml");
    ScratchDir::Write(path, "<old/>");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    auto doc = XmlDocument::Create();
    doc->appendChild(doc->createElement(u"new"));
    EXPECT_FALSE(doc->save(path)); // also when running as root
    EXPECT_EQ(ScratchDir::Read(path), "<old/>");
    EXPECT_FALSE(doc->save(dir.File("no/such/folder.xml")));
    EXPECT_FALSE(doc->save(dir.Path())); // a folder is not a file
    EXPECT_EQ(dir.EntryCount(), 1u);
}

TEST_F(XmlFileTest, SaveThroughASymbolicLinkUpdatesTheTarget)
{
    const auto target = dir.File("target.xml");
    const auto link = dir.File("link.xml");
    ScratchDir::Write(target, "<old/>");
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    auto doc = XmlDocument::Create();
    doc->appendChild(doc->createElement(u"new"));
    ASSERT_TRUE(doc->save(link));
    struct stat info
    {
    };
    ASSERT_EQ(::lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(ScratchDir::Read(target), "<new/>");
}

TEST_F(XmlFileTest, RawLineBreaksInAFileSurviveLoadAndSave)
{
    const auto path = dir.File("crlf.xml");
    const std::string original = "<r v=\"one\r\ntwo\r\n\">a\r\nb</r>";
    ScratchDir::Write(path, original);
    auto doc = Load(path);
    ASSERT_TRUE(doc->documentElement());
    ASSERT_TRUE(doc->save(path));
    EXPECT_EQ(ScratchDir::Read(path), original);
}
} // namespace
