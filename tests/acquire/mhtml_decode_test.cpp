#include "acquire/mhtml_decode.h"

#include <gtest/gtest.h>

namespace
{

const char kArchive[] = "From: <Saved by an archiver>\r\n"
                        "Subject: Sample\r\n"
                        "MIME-Version: 1.0\r\n"
                        "Content-Type: multipart/related;\r\n"
                        "\ttype=\"text/html\";\r\n"
                        "\tboundary=\"----=_Part_1\"\r\n"
                        "\r\n"
                        "This is a multi-part message in MIME format.\r\n"
                        "\r\n"
                        "------=_Part_1\r\n"
                        "Content-Type: text/css\r\n"
                        "Content-Location: http://x.example/a.css\r\n"
                        "\r\n"
                        "body{}\r\n"
                        "------=_Part_1\r\n"
                        "Content-Type: text/html; charset=\"gb2312\"\r\n"
                        "Content-Transfer-Encoding: quoted-printable\r\n"
                        "Content-Location: http://x.example/\r\n"
                        "\r\n"
                        "<a id=3D\"x\" href=3D\"/list?c=3D23\">Data=\r\nbase</a>\r\n"
                        "------=_Part_1\r\n"
                        "Content-Type: image/png\r\n"
                        "Content-Transfer-Encoding: base64\r\n"
                        "\r\n"
                        "iVBORw0KGgo=\r\n"
                        "------=_Part_1--\r\n";

TEST(ArchiveMainPart, FindsTheHtmlPartAndDecodesIt)
{
    const CArchiveMainPart part = DecodeArchiveMainPart(kArchive);
    EXPECT_TRUE(part.isArchive);
    EXPECT_EQ(part.contentType, "text/html");
    EXPECT_EQ(part.charset, "gb2312");
    EXPECT_EQ(part.body, "<a id=\"x\" href=\"/list?c=23\">Database</a>");
}

TEST(ArchiveMainPart, StartParameterNamesTheRoot)
{
    const std::string archive = "MIME-Version: 1.0\n"
                                "Content-Type: multipart/related; boundary=b1; start=\"<root@x>\"\n"
                                "\n"
                                "--b1\n"
                                "Content-Type: text/html\n"
                                "\n"
                                "<p>frame</p>\n"
                                "--b1\n"
                                "Content-Type: text/html\n"
                                "Content-ID: <root@x>\n"
                                "Content-Transfer-Encoding: base64\n"
                                "\n"
                                "PHA+cm9vdDwvcD4=\n"
                                "--b1--\n";
    EXPECT_EQ(DecodeArchiveMainPart(archive).body, "<p>root</p>");
}

TEST(ArchiveMainPart, SnapshotLocationNamesTheRoot)
{
    const std::string archive =
        "Snapshot-Content-Location: http://x.example/page\r\n"
        "MIME-Version: 1.0\r\n"
        "Content-Type: multipart/related; type=\"text/html\"; boundary=\"b\"\r\n"
        "\r\n"
        "--b\r\nContent-Type: text/html\r\nContent-Location: "
        "http://x.example/frame\r\n\r\nframe\r\n"
        "--b\r\nContent-Type: text/html\r\nContent-Location: http://x.example/page\r\n\r\npage\r\n"
        "--b--\r\n";
    EXPECT_EQ(DecodeArchiveMainPart(archive).body, "page");
}

TEST(ArchiveMainPart, LongerBoundaryThatStartsAlikeDoesNotSplit)
{
    const std::string archive = "Content-Type: multipart/related; boundary=\"b\"\r\n"
                                "\r\n"
                                "--b\r\n"
                                "Content-Type: text/html\r\n"
                                "\r\n"
                                "one\r\n"
                                "--bx is text\r\n"
                                "two\r\n"
                                "--b--\r\n";
    EXPECT_EQ(DecodeArchiveMainPart(archive).body, "one\r\n--bx is text\r\ntwo");
}

TEST(ArchiveMainPart, ArchiveCutShortKeepsTheLastPart)
{
    const std::string archive =
        "Content-Type: multipart/related; boundary=\"b\"\r\n\r\n--b\r\n"
        "Content-Type: text/html\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
        "<title>cut=20off";
    EXPECT_EQ(DecodeArchiveMainPart(archive).body, "<title>cut off");
}

TEST(ArchiveMainPart, SinglePartArchive)
{
    const std::string archive =
        "MIME-Version: 1.0\r\nContent-Type: text/html; charset=utf-8\r\n"
        "Content-Transfer-Encoding: quoted-printable\r\n\r\n<b>=E4=B8=AD</b>";
    const CArchiveMainPart part = DecodeArchiveMainPart(archive);
    EXPECT_TRUE(part.isArchive);
    EXPECT_EQ(part.charset, "utf-8");
    EXPECT_EQ(part.body, "<b>\xE4\xB8\xAD</b>");
}

TEST(ArchiveMainPart, PlainPagesComeBackUnchanged)
{
    for (const std::string& page :
         {std::string("<html><title>a=3Db</title></html>"),
          std::string("\xEF\xBB\xBF<html></html>"), std::string("Title: not mime\r\n\r\n<html>"),
          std::string("Content-Type: multipart/related\r\n\r\n<html>"), std::string()})
    {
        const CArchiveMainPart part = DecodeArchiveMainPart(page);
        EXPECT_FALSE(part.isArchive) << page;
        EXPECT_EQ(part.body, page);
    }
}

} // namespace
