#include "platform/net/mhtml_reader.h"
#include "platform/net/mhtml_writer.h"

#include <gtest/gtest.h>

namespace
{
std::string Binary(size_t n)
{
    std::string s;
    for (size_t i = 0; i < n; ++i)
        s += static_cast<char>((i * 31 + 7) & 0xFF);
    return s;
}

std::string HeaderBlockOfPart(const std::string& archive, const std::string& location)
{
    size_t at = archive.find("Content-Location: " + location + "\r\n");
    if (at == std::string::npos)
        return {};
    size_t start = archive.rfind("\r\n--", at);
    return archive.substr(start, at - start);
}
} // namespace

class MhtmlRoundTrip : public ::testing::Test
{
protected:
    void SetUp() override
    {
        parts = {
            {"http://h.example/p.html",
             "text/html; charset=gb2312",
             "<html>\r\n<title>\xC4\xE3\xBA\xC3</title>\nbody = 1\r\n</html>",
             {}},
            {"http://h.example/s.css", "text/css", "p { background: url(i.png) }\n", {}},
            {"http://h.example/i.png", "image/png", Binary(3000), {}},
            {"http://h.example/empty.js", "application/javascript", "", {}},
            {"http://h.example/ends-crlf.txt", "text/plain", "last line\r\n", {}},
        };
        archive = BuildMhtml(parts, "标题 title");
    }

    std::vector<MhtmlPart> parts;
    std::string archive;
};

TEST_F(MhtmlRoundTrip, EveryPartComesBackByteForByte)
{
    auto parsed = ParseMhtml(archive);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->snapshotLocation, "http://h.example/p.html");
    EXPECT_EQ(parsed->contentType.rfind("multipart/related", 0), 0u);
    ASSERT_EQ(parsed->parts.size(), parts.size());
    for (size_t i = 0; i < parts.size(); ++i)
    {
        EXPECT_EQ(parsed->parts[i].location, parts[i].location);
        EXPECT_EQ(parsed->parts[i].contentType, parts[i].contentType);
        EXPECT_EQ(parsed->parts[i].bytes, parts[i].bytes) << parts[i].location;
    }
    ASSERT_NE(parsed->MainPart(), nullptr);
    EXPECT_EQ(parsed->MainPart()->location, "http://h.example/p.html");
}

TEST_F(MhtmlRoundTrip, TextIsQuotedPrintableAndBinaryIsBase64)
{
    auto parsed = ParseMhtml(archive);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->parts[0].transferEncoding, "quoted-printable");
    EXPECT_EQ(parsed->parts[1].transferEncoding, "quoted-printable");
    EXPECT_EQ(parsed->parts[2].transferEncoding, "base64");
    EXPECT_EQ(parsed->parts[3].transferEncoding, "quoted-printable");
    // The raw archive carries no 8-bit bytes: the GB2312 title is escaped.
    for (unsigned char c : archive)
        ASSERT_TRUE(c < 128) << "8-bit byte in the archive";
    EXPECT_NE(archive.find("=C4=E3=BA=C3"), std::string::npos);
    EXPECT_NE(archive.find("Subject: =?utf-8?B?"), std::string::npos);
}

TEST_F(MhtmlRoundTrip, TopHeadersDeclareMultipartRelatedWithQuotedBoundary)
{
    size_t headerEnd = archive.find("\r\n\r\n");
    std::string top = archive.substr(0, headerEnd);
    EXPECT_NE(top.find("MIME-Version: 1.0"), std::string::npos);
    EXPECT_NE(top.find("Content-Type: multipart/related;"), std::string::npos);
    EXPECT_NE(top.find("type=\"text/html\""), std::string::npos);
    std::string boundary = HeaderParameter(top.substr(top.find("Content-Type:")), "boundary");
    ASSERT_FALSE(boundary.empty());
    EXPECT_NE(archive.find("\r\n--" + boundary + "--\r\n"), std::string::npos);
    EXPECT_NE(HeaderBlockOfPart(archive, "http://h.example/i.png")
                  .find("Content-Transfer-Encoding: base64"),
              std::string::npos);
}

TEST(MhtmlWriter, NetworkTextCannotAddHeaders)
{
    std::vector<MhtmlPart> parts = {
        {"http://h.example/p.html\r\nX-Injected: 1", "text/html\r\nX-Evil: 2", "<p>x</p>", {}}};
    std::string archive = BuildMhtml(parts, "subject\r\nBcc: someone");
    EXPECT_EQ(archive.find("\r\nX-Injected"), std::string::npos);
    EXPECT_EQ(archive.find("\r\nX-Evil"), std::string::npos);
    EXPECT_EQ(archive.find("\r\nBcc"), std::string::npos);
    auto parsed = ParseMhtml(archive);
    ASSERT_TRUE(parsed.has_value());
    ASSERT_EQ(parsed->parts.size(), 1u);
    EXPECT_EQ(parsed->parts[0].bytes, "<p>x</p>");
}

TEST(MhtmlWriter, BodyThatQuotesADelimiterStillSplitsRight)
{
    // A page that contains text looking like our delimiters.
    std::string tricky = "--\r\n------MyZELK-Part-0000\r\n--boundary--\r\n";
    std::vector<MhtmlPart> parts = {{"http://h.example/a.txt", "text/plain", tricky, {}},
                                    {"http://h.example/b.txt", "text/plain", "second", {}}};
    auto parsed = ParseMhtml(BuildMhtml(parts));
    ASSERT_TRUE(parsed.has_value());
    ASSERT_EQ(parsed->parts.size(), 2u);
    EXPECT_EQ(parsed->parts[0].bytes, tricky);
    EXPECT_EQ(parsed->parts[1].bytes, "second");
}

TEST(MhtmlReader, ReadsForeignArchivesWithLfLinesAndFoldedHeaders)
{
    std::string foreign = "Subject: x\n"
                          "Content-Type: multipart/related;\n"
                          "\tboundary=\"b1\"; type=\"text/html\"\n"
                          "\n"
                          "preamble\n"
                          "--b1\n"
                          "Content-Type: text/html\n"
                          "Content-Location: http://h.example/\n"
                          "\n"
                          "<p>8bit</p>\n"
                          "--b1\n"
                          "Content-Type: image/gif\n"
                          "Content-Transfer-Encoding: BASE64\n"
                          "Content-Location: http://h.example/g.gif\n"
                          "\n"
                          "R0lG\n"
                          "ODlh\n"
                          "--b1--\n";
    auto parsed = ParseMhtml(foreign);
    ASSERT_TRUE(parsed.has_value());
    ASSERT_EQ(parsed->parts.size(), 2u);
    EXPECT_EQ(parsed->parts[0].bytes, "<p>8bit</p>");
    EXPECT_EQ(parsed->parts[1].bytes, "GIF89a");
    EXPECT_EQ(parsed->MainPart()->location, "http://h.example/");
}

TEST(MhtmlReader, DelimiterLinesHoldOnlyTheBoundaryAndACutArchiveKeepsItsLastPart)
{
    auto parsed =
        ParseMhtml("Content-Type: multipart/related; boundary=\"b\"\r\n\r\n"
                   "--b \t\r\nContent-Type: text/html\r\n\r\none\r\n--bx is text\r\ntwo\r\n"
                   "--b\r\nContent-Type: text/plain\r\nContent-ID: <c@x>\r\n\r\ncut off");
    ASSERT_TRUE(parsed.has_value());
    ASSERT_EQ(parsed->parts.size(), 2u);
    EXPECT_EQ(parsed->parts[0].bytes, "one\r\n--bx is text\r\ntwo");
    EXPECT_EQ(parsed->parts[1].bytes, "cut off");
    EXPECT_EQ(parsed->parts[1].contentId, "<c@x>");
}

TEST(MhtmlReader, SinglePartMessageIsThePageAlone)
{
    auto parsed = ParseMhtml("MIME-Version: 1.0\r\nContent-Type: text/html; charset=utf-8\r\n"
                             "Content-Transfer-Encoding: quoted-printable\r\n\r\n<b>=E4=B8=AD</b>");
    ASSERT_TRUE(parsed.has_value());
    ASSERT_EQ(parsed->parts.size(), 1u);
    EXPECT_EQ(parsed->MainPart()->contentType, "text/html; charset=utf-8");
    EXPECT_EQ(parsed->MainPart()->bytes, "<b>\xE4\xB8\xAD</b>");
    // Headers must open the text: a page that merely holds such a line is no message.
    EXPECT_FALSE(ParseMhtml("<p>page</p>\r\nContent-Type: text/html\r\n\r\nx").has_value());
}

TEST(MhtmlReader, LenientDecodingKeepsAnArchiveWithDamagedBase64)
{
    const std::string damaged =
        "Content-Type: multipart/related; boundary=z\r\n\r\n--z\r\n"
        "Content-Type: text/html\r\nContent-Transfer-Encoding: Base64 \r\n\r\n"
        "PGI+!eDwvYj4=\r\n--z--\r\n";
    EXPECT_FALSE(ParseMhtml(damaged).has_value());
    auto parsed = ParseMhtml(damaged, MhtmlDecoding::Lenient);
    ASSERT_TRUE(parsed.has_value());
    ASSERT_EQ(parsed->parts.size(), 1u);
    EXPECT_EQ(parsed->parts[0].bytes, "<b>x</b>");
}

TEST(MhtmlReader, HeaderParameterReadsQuotedValues)
{
    const std::string value =
        "multipart/related; flag; Boundary=\"a\\\"b;c\"; start=<r@x> ; type=text/html";
    EXPECT_EQ(HeaderParameter(value, "boundary"), "a\"b;c");
    EXPECT_EQ(HeaderParameter(value, "start"), "<r@x>");
    EXPECT_EQ(HeaderParameter(value, "type"), "text/html");
    EXPECT_EQ(HeaderParameter(value, "flag"), "");
    EXPECT_EQ(HeaderParameter(value, "charset"), "");
}

TEST(MhtmlReader, RefusesWhatIsNotAnArchive)
{
    EXPECT_FALSE(ParseMhtml("<html>plain page</html>").has_value());
    EXPECT_FALSE(ParseMhtml("Content-Type: multipart/related\r\n\r\nno boundary").has_value());
    EXPECT_FALSE(ParseMhtml("Content-Type: multipart/related; boundary=z\r\n\r\n--z\r\n"
                            "Content-Transfer-Encoding: base64\r\n\r\n!!!\r\n--z--\r\n")
                     .has_value());
}
