// The reply as it travels: a server of the test takes the exact bytes of the
// request and gives a chosen answer.
#include "base/file_helpers.h"
#include "platform/net/cookie_store.h"
#include "reply/form_encoding.h"
#include "reply/http_answer.h"
#include "reply/reply_poster.h"
#include "reply/reply_request.h"
#include "tests/support/loopback_server.h"
#include "tests/support/sample_service_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace
{

// Takes one connection, reads one whole request (head and Content-Length
// bytes), sends `answer` and closes.
class OneShotServer
{
public:
    explicit OneShotServer(std::string answer) : m_answer(std::move(answer))
    {
        if (m_listener.Port() == 0)
            throw std::runtime_error("cannot listen");
        m_thread = std::thread([this] { Serve(); });
    }
    ~OneShotServer()
    {
        m_listener.Shutdown();
        if (m_thread.joinable())
            m_thread.join();
    }
    std::string Host() const { return m_listener.Host(); }
    // The request received; waits for the server to finish.
    std::string Request()
    {
        m_thread.join();
        return m_request;
    }

private:
    void Serve()
    {
        const int client = accept(m_listener.Fd(), nullptr, nullptr);
        if (client < 0)
            return;
        char buffer[4096];
        size_t headEnd = std::string::npos;
        size_t total = std::string::npos;
        while (m_request.size() < total)
        {
            const ssize_t n = recv(client, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            m_request.append(buffer, static_cast<size_t>(n));
            if (headEnd == std::string::npos &&
                (headEnd = m_request.find("\r\n\r\n")) != std::string::npos)
            {
                const size_t at = m_request.find("Content-Length: ");
                total = headEnd + 4 + (at < headEnd ? std::stoul(m_request.substr(at + 16)) : 0);
            }
        }
        send(client, m_answer.data(), m_answer.size(), MSG_NOSIGNAL);
        close(client);
    }

    std::string m_answer;
    LoopbackListener m_listener{1};
    std::string m_request;
    std::thread m_thread;
};

// `text` packed as zlib's deflateInit2 gives it: 31 gzip, -15 raw deflate.
std::string Packed(const std::string& text, int windowBits)
{
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, text.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::string PackedAnswer(const char* coding, const std::string& body)
{
    return std::string("HTTP/1.1 200 OK\r\nContent-Encoding: ") + coding +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

const std::string kLink123 = "<a href=\"/Expert/TopicView1.asp?id=123\">ok</a>";

const std::string kAnswer123 = "HTTP/1.1 200 OK\r\nContent-Length: 46\r\n\r\n"
                               "<a href=\"/Expert/TopicView1.asp?id=123\">ok</a>";

class ReplyPosterTest : public ::testing::Test
{
protected:
    CReplyOutcome Post(OneShotServer& server, int topicId, const std::string& text,
                       const CCookieStore* cookies = nullptr)
    {
        CReplySettings settings;
        settings.communityHost = server.Host();
        settings.headerHost = "community.zelk.example";
        settings.cookies = cookies;
        settings.totalTimeoutMs = 10000;
        return PostReply(topicId, text, m_result, settings);
    }
    TempDir m_dir;
    std::string m_result = m_dir.path() + "/ReplyResult.htm";
};

TEST_F(ReplyPosterTest, SendsTheWholeRequestByteForByteWithoutCookies)
{
    OneShotServer server(kAnswer123);
    const CReplyOutcome outcome = Post(server, 123, "a b\r\n");
    const std::string body = "Topicid=123&xmlReply=aaaaa&zelkname=&zelkpassword=&ReplyContent="
                             "a%20b%0D%0A\r\n" +
                             std::string(1, '\0');
    const std::string expected =
        "POST /Expert/reply.asp HTTP/1.1\r\n"
        "Accept: */*\r\n"
        "Referer: http://community.zelk.example/Expert/xsl/Reply_Xml.asp?Topicid=4387773\r\n"
        "Accept-Language: zh-cn\r\n"
        "Content-Type: application/x-www-form-urlencoded\r\n"
        "Accept-Encoding: gzip, deflate\r\n"
        "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; TencentTraveler ; "
        "Alexa Toolbar)\r\n"
        "Host: community.zelk.example\r\n"
        "Connection: Keep-Alive\r\n"
        "Cookie:  s_cc=true; s_p_s_path=%5B%5BB%5D%5D; s_sq=zelkexpert%3D%2526pid%253Dhttp%253A//"
        "community.zelk.example/Expert/xsl/"
        "Reply_Xml.asp%253FTopicid%253D123%2526oid%253D%2525u53D1%"
        "2525u51FA%2525u56DE%2525u590D%2526oidt%253D3%2526ot%253DSUBMIT%2526oi%253D38; "
        "s_p1_s_campaign=123; ASPSESSIONIDQSCTRBDA=KMLPBNHDBFEOGKMCNPLJHAIO\r\n"
        "Content-Length: " +
        std::to_string(body.size()) + "\r\n\r\n" + body;
    EXPECT_EQ(server.Request(), expected);
    EXPECT_TRUE(outcome.accepted) << outcome.error;
}

TEST_F(ReplyPosterTest, SendsTheBrowserCookiesAndChineseAsGbkBytes)
{
    CCookieStore cookies;
    ASSERT_TRUE(cookies.SetCookie({"ZelkUser", "tom", "127.0.0.1"}));
    ASSERT_TRUE(cookies.SetCookie({"Other", "x", "elsewhere.example"}));
    OneShotServer server(kAnswer123);
    Post(server, 987, "回复", &cookies);
    const std::string request = server.Request();
    EXPECT_NE(request.find("\r\nCookie: ZelkUser=tom; s_cc=true; "), std::string::npos);
    EXPECT_NE(request.find("?Topicid=4387773\r\n"), std::string::npos);
    EXPECT_NE(request.find("&ReplyContent=%BB%D8%B8%B4\r\n" + std::string(1, '\0')),
              std::string::npos);
}

TEST_F(ReplyPosterTest, AcceptsOnlyAnAnswerLinkingToTheTopicAndKeepsIt)
{
    const struct
    {
        int topic;
        std::string answer;
        bool accepted;
    } cases[] = {
        {123, kAnswer123, true},
        {1234, kAnswer123, false},
        {123,
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
         "15\r\n<a href=\"TopicView1.a\r\n10\r\nsp?id=123\">x</a>\r\n0\r\n\r\n",
         true},
        {123, "HTTP/1.0 500 Oops\r\n\r\nTopicView1.asp?id=123\"", true},
        // Compressed answers are judged, and kept, unpacked.
        {123, PackedAnswer("gzip", Packed(kLink123, 31)), true},
        {123, PackedAnswer("deflate", Packed(kLink123, -15)), true},
        {1234, PackedAnswer("gzip", Packed(kLink123, 31)), false},
    };
    for (const auto& c : cases)
    {
        OneShotServer server(c.answer);
        const CReplyOutcome outcome = Post(server, c.topic, "x");
        server.Request();
        EXPECT_EQ(outcome.accepted, c.accepted) << c.answer;
        EXPECT_TRUE(outcome.answered) << outcome.error;
        EXPECT_NE(ReadFileBytes(m_result).find("TopicView1."), std::string::npos);
        EXPECT_EQ(ReadFileBytes(m_result).find("HTTP/"), std::string::npos);
    }
}

TEST_F(ReplyPosterTest, FailuresLeaveTheEarlierResultAlone)
{
    WriteWholeFile(m_result.c_str(), "earlier", 7);
    {
        OneShotServer server(""); // closes without answering
        const CReplyOutcome outcome = Post(server, 123, "x");
        server.Request();
        EXPECT_FALSE(outcome.accepted);
        EXPECT_FALSE(outcome.answered);
        EXPECT_FALSE(outcome.error.empty());
    }
    {
        OneShotServer server("HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\ncut short");
        EXPECT_FALSE(Post(server, 123, "x").answered);
    }
    {
        // Text the community's character set cannot carry is refused, not mangled.
        OneShotServer server(kAnswer123);
        const CReplyOutcome outcome = Post(server, 123, "smile \xF0\x9F\x98\x80");
        EXPECT_NE(outcome.error.find("character set"), std::string::npos);
    }
    {
        // Takes the connection (the listen queue does) and never answers.
        LoopbackListener silent(4);
        ASSERT_NE(silent.Port(), 0);
        CReplySettings settings;
        settings.communityHost = silent.Host();
        settings.totalTimeoutMs = 300;
        const auto start = std::chrono::steady_clock::now();
        const CReplyOutcome outcome = PostReply(123, "x", m_result, settings);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_FALSE(outcome.answered);
        EXPECT_NE(outcome.error.find("time-out"), std::string::npos) << outcome.error;
    }
    EXPECT_EQ(ReadFileBytes(m_result), "earlier");
}

// Chunk sizes past the end of the data (a minus sign, which strtoul takes,
// or 2^64 - 2) wrapped the bounds arithmetic: each such line appended the
// rest of the answer again, so a few hundred kilobytes grew to gigabytes.
TEST(HttpAnswerTest, ChunkSizesThatDoNotFitAreBroken)
{
    const std::string head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (const char* size : {"-2", "FFFFFFFFFFFFFFFE"})
    {
        std::string raw = head;
        for (int i = 0; i < 200; ++i)
            raw += std::string(size) + "\r\n";
        CHttpAnswer answer;
        const AnswerState state = ParseHttpAnswer(raw, false, answer);
        EXPECT_EQ(state, AnswerState::Malformed) << size;
        EXPECT_LE(answer.body.size(), raw.size()) << size;
    }
}

// atoi of an id past INT_MAX wraps on this platform (4294967419 reads as
// 123): an answer naming another topic must not count as success.
TEST(HttpAnswerTest, AnIdPastTheIntegerRangeNamesNoTopic)
{
    EXPECT_FALSE(ReplyAnswerNamesTopic("TopicView1.asp?id=4294967419\"", 123));
    EXPECT_TRUE(ReplyAnswerNamesTopic("TopicView1.asp?id=0123\"", 123));
}

// A server that never pauses kept the reader past the total time-out: the
// deadline was looked at only when no byte was waiting, and every read
// parsed the whole answer again.
TEST_F(ReplyPosterTest, AServerThatNeverPausesIsCutOffByTheTotalTimeOut)
{
    std::string answer = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    while (answer.size() < (15u << 20))
        answer += "1\r\nx\r\n";
    OneShotServer server(answer);
    CReplySettings settings;
    settings.communityHost = server.Host();
    settings.totalTimeoutMs = 500;
    const auto start = std::chrono::steady_clock::now();
    const CReplyOutcome outcome = PostReply(123, "x", m_result, settings);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_FALSE(outcome.answered);
    EXPECT_NE(outcome.error.find("time-out"), std::string::npos) << outcome.error;
}

// A no-break space pasted from a page goes as a space (GBK has none); what
// cannot go is named.
TEST(FormEncodingTest, NoBreakSpacesGoAsSpacesAndTheFirstRefusedCharacterIsNamed)
{
    EXPECT_EQ(EncodeFormText("a\u00A0b"), std::optional<std::string>("a%20b"));
    EXPECT_EQ(FirstUncarriableCharacter("好\u00A0\U0001F600x"), "\U0001F600");
    EXPECT_EQ(FirstUncarriableCharacter("好 €"), "");
}

// An IPv6 literal without a port ("[::1]", as MYZELK_HOSTS allows) was
// refused: the colon looked for the port was one inside the brackets.
TEST(ReplyHostTest, AnIpv6LiteralWithoutAPortIsUsable)
{
    std::string name;
    int port = 0;
    EXPECT_TRUE(SplitHostPort("[::1]", name, port));
    EXPECT_EQ(name, "[::1]");
    EXPECT_EQ(port, 80);
    EXPECT_TRUE(SplitHostPort("[::1]:8080", name, port));
    EXPECT_EQ(port, 8080);
}

} // namespace
