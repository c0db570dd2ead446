#include "LQSMTP/mail_info.h"
#include "LQSMTP/mail_wrapper.h"
#include "LQSMTP/mime_content.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace
{
// Runs a test body under a given TZ and restores the previous one.
class ScopedTimeZone
{
public:
    explicit ScopedTimeZone(const char* tz)
    {
        if (const char* old = std::getenv("TZ"))
        {
            m_had = true;
            m_old = old;
        }
        ::setenv("TZ", tz, 1);
        ::tzset();
    }
    ~ScopedTimeZone()
    {
        if (m_had)
            ::setenv("TZ", m_old.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    bool m_had = false;
    std::string m_old;
};

// Sunday 7 January 2007 09:05:07 at +0800 is 01:05:07 UTC.
constexpr std::time_t kSunday2007 = 1168131907;

std::vector<std::string> Walk(SMailer::MailWrapper& w)
{
    std::vector<std::string> out;
    for (w.traverseReceiver(); w.hasMoreReceiver();)
        out.push_back(w.nextReceiverAddress());
    return out;
}

class AttachmentContent : public SMailer::MimeContent
{
public:
    using MimeContent::MimeContent;
    std::string getType() const override { return "application/octet-stream"; }
    std::string getDisposition() const override { return "attachment; filename=\"a.bin\""; }
    std::string getTransferEncoding() const override { return "base64"; }
};

class MailCompositionTest : public ::testing::Test
{
protected:
    SMailer::MailWrapper wrapper() { return makeWrapper(&info); }
    static SMailer::MailWrapper makeWrapper(SMailer::MailInfo* i)
    {
        SMailer::MailWrapper w(i);
        w.setClock([] { return kSunday2007; });
        return w;
    }

    ScopedTimeZone zone{"CST-8"};
    SMailer::MailInfo info;
};

TEST_F(MailCompositionTest, headerIsByteForByte)
{
    info.setSenderName("Feedback");
    info.setSenderAddress("me@myzelk.test");
    info.addReceiver("Feedback", "support@myzelk.test");
    info.setSubject("\xD2\xE2\xBC\xFB"); // GB2312 意见: an encoded word in the header's charset
    auto w = wrapper();
    EXPECT_EQ(w.getHeader(), "From: \"Feedback\" <me@myzelk.test>\r\n"
                             "To: \"Feedback\" <support@myzelk.test>\r\n"
                             "Date: Sun, 07 Jan 07 09:05:07 +0800\r\n"
                             "Subject: =?gb2312?B?0uK8+w==?=\r\n"
                             "X-Mailer: SMailer\r\n"
                             "X-Priority: 3\r\n"
                             "MIME-Version: 1.0\r\n"
                             "Content-type: multipart/mixed; boundary=\"#BOUNDARY#\"\r\n"
                             "Message-ID: " +
                                 w.messageId() +
                                 "\r\n"
                                 "\r\n");
}

TEST_F(MailCompositionTest, emptyNamesGiveBareAddressesAndNoReceiversGiveEmptyTo)
{
    info.setSenderAddress("me@myzelk.test");
    const std::string header = wrapper().getHeader();
    EXPECT_NE(header.find("From: <me@myzelk.test>\r\n"), std::string::npos) << header;
    EXPECT_NE(header.find("\r\nTo: \r\n"), std::string::npos) << header;

    info.addReceiver("", "a@myzelk.test");
    EXPECT_NE(wrapper().getHeader().find("\r\nTo: <a@myzelk.test>\r\n"), std::string::npos);
}

TEST_F(MailCompositionTest, receiversSortByNameAndEqualNamesKeepInsertionOrder)
{
    info.addReceiver("B", "b1@x");
    info.addReceiver("A", "a1@x");
    info.addReceiver("B", "b2@x");
    info.addReceiver("A", "a2@x");
    info.addReceiver("a", "lower@x"); // byte order: upper case first
    auto w = wrapper();
    EXPECT_EQ(Walk(w),
              (std::vector<std::string>{"<a1@x>", "<a2@x>", "<b1@x>", "<b2@x>", "<lower@x>"}));
    EXPECT_NE(w.getHeader().find("To: \"A\" <a1@x>, \"A\" <a2@x>, \"B\" <b1@x>, \"B\" <b2@x>, "
                                 "\"a\" <lower@x>\r\n"),
              std::string::npos);
    // A second walk starts again at the first receiver.
    EXPECT_EQ(Walk(w).size(), 5u);
}

TEST_F(MailCompositionTest, partsRenderInOrderWithDispositionOnlyWhenGiven)
{
    SMailer::TextPlainContent text("line one\r\n.line two", "gb2312");
    AttachmentContent attachment("QUJD");
    info.addMimeContent(&text);
    info.addMimeContent(&attachment);
    auto w = wrapper();
    std::vector<std::string> parts;
    for (w.traverseContent(); w.hasMoreContent();)
        parts.push_back(w.nextContent());
    ASSERT_EQ(parts.size(), 2u);
    // The composition itself leaves a leading dot alone.
    EXPECT_EQ(parts[0], "--#BOUNDARY#\r\n"
                        "Content-Type: text/plain; charset=gb2312\r\n"
                        "Content-Transfer-Encoding: 8bit\r\n"
                        "\r\n"
                        "line one\r\n.line two\r\n\r\n");
    EXPECT_EQ(parts[1], "--#BOUNDARY#\r\n"
                        "Content-Type: application/octet-stream\r\n"
                        "Content-Disposition: attachment; filename=\"a.bin\"\r\n"
                        "Content-Transfer-Encoding: base64\r\n"
                        "\r\n"
                        "QUJD\r\n\r\n");
    EXPECT_EQ(w.getEnd(), "\r\n--#BOUNDARY#--\r\n.\r\n");
    EXPECT_EQ(w.getSenderAddress(), "<>");
}

TEST_F(MailCompositionTest, controlCharactersCannotInjectHeaders)
{
    info.setSenderName("Eve\r\nBcc: victim@x");
    info.setSenderAddress("eve@x>\r\nRCPT TO:<victim@x");
    info.addReceiver("R\n", "r@x\r\n");
    info.setSubject("Hello\r\nX-Injected: yes\x7f\t");
    auto w = wrapper();
    const std::string header = w.getHeader();
    EXPECT_NE(header.find("Subject: Hello  X-Injected: yes  \r\n"), std::string::npos) << header;
    EXPECT_NE(header.find("From: \"Eve  Bcc: victim@x\" <eve@x>  RCPT TO:<victim@x>\r\n"),
              std::string::npos)
        << header;
    EXPECT_EQ(w.getSenderAddress(), "<eve@x>  RCPT TO:<victim@x>");
    EXPECT_EQ(Walk(w), std::vector<std::string>{"<r@x  >"});
    // Exactly ten line ends: nine header lines and the blank line.
    std::size_t lines = 0;
    for (std::size_t at = header.find('\n'); at != std::string::npos;
         at = header.find('\n', at + 1))
        ++lines;
    EXPECT_EQ(lines, 10u);
}

// RFC 2047 allows 76 characters on a line holding an encoded word; other
// header lines fold at 78 where white space allows.
TEST_F(MailCompositionTest, headerLinesStayWithinWhatReadersTake)
{
    std::string name;
    std::string chinese;
    std::string words;
    for (int i = 0; i < 40; ++i)
    {
        name += "\xD5\xC5";    // GB2312 张
        chinese += "\xD2\xE2"; // GB2312 意
        words += "word ";
    }
    info.setSenderName(name);
    info.setSenderAddress("me@myzelk.test");
    info.addReceiver(name, "support@myzelk.test");
    for (const std::string& subject : {chinese, words})
    {
        info.setSubject(subject);
        const std::string header = wrapper().getHeader();
        for (std::size_t at = 0, end; (end = header.find("\r\n", at)) != std::string::npos;
             at = end + 2)
        {
            const std::string line = header.substr(at, end - at);
            EXPECT_LE(line.size(), line.find("=?") != std::string::npos ? 76u : 78u) << line;
        }
    }
}

struct DateCase
{
    const char* tz;
    std::time_t when;
    const char* expected;
};

class MailDateTest : public ::testing::TestWithParam<DateCase>
{
};

TEST_P(MailDateTest, usesLocalTimeEnglishNamesAndRealOffset)
{
    ScopedTimeZone zone(GetParam().tz);
    EXPECT_EQ(SMailer::FormatMailDate(GetParam().when), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Zones, MailDateTest,
    ::testing::Values(DateCase{"CST-8", kSunday2007, "Sun, 07 Jan 07 09:05:07 +0800"},
                      DateCase{"UTC0", kSunday2007, "Sun, 07 Jan 07 01:05:07 +0000"},
                      DateCase{"EST5", kSunday2007, "Sat, 06 Jan 07 20:05:07 -0500"},
                      DateCase{"IST-5:30", kSunday2007, "Sun, 07 Jan 07 06:35:07 +0530"},
                      // 2026-12-31 23:59:59 UTC: year digits and month roll over
                      DateCase{"CST-8", 1798761599, "Fri, 01 Jan 27 07:59:59 +0800"}));

struct DotCase
{
    std::string in;
    std::string out;
};

class DotStuffTest : public ::testing::TestWithParam<DotCase>
{
};

TEST_P(DotStuffTest, doublesOnlyLeadingDots)
{
    EXPECT_EQ(SMailer::DotStuff(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Lines, DotStuffTest,
                         ::testing::Values(DotCase{"", ""}, DotCase{"a.b\r\nc.", "a.b\r\nc."},
                                           DotCase{".x", "..x"},
                                           DotCase{"a\r\n.\r\nb", "a\r\n..\r\nb"},
                                           DotCase{"a\n..b", "a\n...b"},
                                           DotCase{"\r\n.", "\r\n.."}));
} // namespace
