// Delivery through real SMTP servers from Debian packages, each started by the
// test on loopback with a configuration of its own: Postfix (takes AUTH LOGIN
// before HELO), aiosmtpd and Exim (both want EHLO first; Exim also relays, and
// is strict about line ends).
#include "LQSMTP/LQSMTP.h"
#include "LQSMTP/base64.h"
#include "LQSMTP/send_mail.h"
#include "tests/LQSMTP/child_process.h"
#include "tests/LQSMTP/mail_reader.h"
#include "tests/LQSMTP/scripted_smtp_server.h"
#include "tests/LQSMTP/stored_mail.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <regex>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace
{
constexpr const char* kDomain = "myzelk.test";
constexpr const char* kUser = "quillmere";
constexpr const char* kPassword = "s3cret-Pa55";
constexpr const char* kMailbox = "support";
constexpr std::time_t kSunday2007 = 1168131907;
// The subject "意见反馈" and a body "你好，世界" with a line that starts with a dot,
// as the caller gives them (UTF-8) and as they are stored (GB2312).
const std::string kSubject = "\xE6\x84\x8F\xE8\xA7\x81\xE5\x8F\x8D\xE9\xA6\x88";
const std::string kSubjectGb = "\xD2\xE2\xBC\xFB\xB7\xB4\xC0\xA1";
const std::string kBodyStart =
    "\xE4\xBD\xA0\xE5\xA5\xBD\xEF\xBC\x8C\xE4\xB8\x96\xE7\x95\x8C\r\n.dot line\r\n";
const std::string kBodyStartGb = "\xC4\xE3\xBA\xC3\xA3\xAC\xCA\xC0\xBD\xE7\r\n.dot line\r\n";
// How the subject stands in the header: an encoded word in the body's charset.
const std::string kSubjectHeader = "=?gb2312?B?" + MUtils::Base64Encode(kSubjectGb) + "?=";

std::string Repeat(const std::string& text, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

std::string MakeWorkDir(const char* name)
{
    std::string pattern = (fs::temp_directory_path() / (std::string(name) + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr)
        return std::string();
    return pattern;
}

// One real server for the whole suite of its kind.
class SmtpPeer
{
public:
    virtual ~SmtpPeer()
    {
        process.stop();
        if (!work.empty())
            fs::remove_all(work);
    }
    virtual const char* name() const = 0;
    // Why the server cannot be started here ("" when it can).
    virtual std::string missing() const { return std::string(); }
    virtual bool start() = 0;
    // Files of delivered messages so far.
    virtual std::vector<std::string> storedFiles() const = 0;

    bool waitUntilListening()
    {
        // Generous: a loaded CI machine may take a while to start a server.
        return WaitForPort(address, port, process, 30s);
    }
    std::string log() const { return ReadFileBytes(work + "/server.log"); }

    std::string address = "127.0.0.1";
    std::uint16_t port = 0;
    std::string work;
    ChildProcess process;
};

std::vector<std::string> FilesIn(const std::string& dir, const std::string& suffix)
{
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec))
    {
        const std::string p = entry.path().string();
        if (entry.is_regular_file() && p.size() >= suffix.size() &&
            p.compare(p.size() - suffix.size(), suffix.size(), suffix) == 0)
            files.push_back(p);
    }
    return files;
}

class PostfixPeer : public SmtpPeer
{
public:
    static constexpr bool kWantsEhloBeforeAuth = false;
    const char* name() const override { return "postfix"; }
    bool start() override
    {
        work = MakeWorkDir("lqsmtp-postfix");
        port = UnusedLoopbackPort();
        return !work.empty() && port != 0 &&
               process.start({LQSMTP_TEST_DIR "/postfix_fixture.sh", work, std::to_string(port),
                              kUser, kPassword, kDomain, kMailbox},
                             work + "/server.log") &&
               waitUntilListening();
    }
    std::vector<std::string> storedFiles() const override
    {
        return FilesIn(work + "/mail/" + kDomain + "/" + kMailbox + "/new", "");
    }
    std::string log() const { return SmtpPeer::log() + ReadFileBytes(work + "/maillog"); }
};

class AiosmtpdPeer : public SmtpPeer
{
public:
    static constexpr bool kWantsEhloBeforeAuth = true;
    const char* name() const override { return "aiosmtpd"; }
    bool start() override { return startOn("127.0.0.1", 0); }
    bool startOn(const std::string& at, std::uint16_t fixedPort)
    {
        work = MakeWorkDir("lqsmtp-aiosmtpd");
        address = at;
        port = fixedPort != 0 ? fixedPort : UnusedLoopbackPort();
        if (work.empty() || port == 0)
            return false;
        fs::create_directory(work + "/store");
        return process.start({"/usr/bin/python3", LQSMTP_TEST_DIR "/aiosmtpd_store.py", "--host",
                              address, "--port", std::to_string(port), "--store", work + "/store",
                              "--user", kUser, "--password", kPassword, "--mailbox",
                              std::string(kMailbox) + "@" + kDomain},
                             work + "/server.log") &&
               waitUntilListening();
    }
    std::vector<std::string> storedFiles() const override
    {
        return FilesIn(work + "/store", ".eml");
    }
};

class EximPeer : public SmtpPeer
{
public:
    static constexpr bool kWantsEhloBeforeAuth = true;
    static constexpr const char* kRelayDomain = "relay.myzelk.test";
    const char* name() const override { return "exim"; }
    std::string missing() const override
    {
        if (fs::exists(LQSMTP_EXIM_DIR))
            return std::string();
        return "Exim is not unpacked in " LQSMTP_EXIM_DIR " (scripts/install-deps.sh does it)";
    }
    bool start() override
    {
        // Mail for the relay domain goes on to this scripted server.
        nextHop = std::make_unique<ScriptedSmtpServer>(ScriptedSmtpServer::Script{});
        work = MakeWorkDir("lqsmtp-exim");
        port = UnusedLoopbackPort();
        return nextHop->listening() && !work.empty() && port != 0 &&
               process.start({LQSMTP_TEST_DIR "/exim_fixture.sh", LQSMTP_EXIM_DIR, work,
                              std::to_string(port), kUser, kPassword, kDomain, kMailbox,
                              kRelayDomain, std::to_string(nextHop->port())},
                             work + "/server.log") &&
               waitUntilListening();
    }
    std::vector<std::string> storedFiles() const override
    {
        return FilesIn(work + "/mail/" + kMailbox + "/new", "");
    }
    std::string mainLog() const { return ReadFileBytes(work + "/log/mainlog"); }
    std::string log() const
    {
        return SmtpPeer::log() + mainLog() + ReadFileBytes(work + "/log/paniclog");
    }

    std::unique_ptr<ScriptedSmtpServer> nextHop;
};

template <typename Peer> class RealServerTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        peer = new Peer();
        started = peer->missing().empty() && peer->start();
    }
    static void TearDownTestSuite()
    {
        delete peer;
        peer = nullptr;
    }
    void SetUp() override
    {
        if (!peer->missing().empty())
            GTEST_SKIP() << peer->missing();
        // The packages are installed by scripts/install-deps.sh: a server that
        // does not start is a failure, not a reason to skip.
        ASSERT_TRUE(started) << peer->name() << " did not start: " << peer->process.error() << "\n"
                             << peer->log();
    }

    int send(const std::string& user, const std::string& password, const std::string& receiver,
             const std::string& marker, char* error, const std::string& bodyStart = kBodyStart,
             const std::string& subject = kSubject)
    {
        body = bodyStart + "marker " + marker;
        SMailer::SessionOptions options;
        options.port = peer->port;
        options.timeout = 10s;
        options.trace = [this](const std::string& line) { trace += line; };
        SMailer::MailArguments args{user.c_str(),
                                    password.c_str(),
                                    peer->address.c_str(),
                                    "me@sender.test",
                                    "Quill",
                                    receiver.c_str(),
                                    "",
                                    subject.c_str(),
                                    body.c_str()};
        return SMailer::SendOneMail(args, options, error, [] { return kSunday2007; });
    }

    // The stored message whose body holds the marker, waiting for delivery.
    std::string waitForMessage(const std::string& marker)
    {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < deadline)
        {
            for (const std::string& file : peer->storedFiles())
            {
                const std::string bytes = ReadFileBytes(file);
                if (bytes.find("marker " + marker) != std::string::npos)
                    return bytes;
            }
            std::this_thread::sleep_for(50ms);
        }
        return std::string();
    }

    void expectDelivered(const std::string& marker)
    {
        const std::string bytes = waitForMessage(marker);
        ASSERT_FALSE(bytes.empty()) << "no message stored\n" << peer->log();
        const StoredMail mail = ParseStoredMail(bytes);
        EXPECT_EQ(mail.headers.at("from"), "\"Quill\" <me@sender.test>");
        EXPECT_EQ(mail.headers.at("to"), "\"Quill\" <support@myzelk.test>");
        EXPECT_EQ(mail.headers.at("subject"), kSubjectHeader);
        EXPECT_EQ(mail.headers.count("message-id"), 1u);
        EXPECT_EQ(mail.headers.at("x-mailer"), "SMailer");
        EXPECT_EQ(mail.headers.at("x-priority"), "3");
        EXPECT_EQ(mail.headers.at("mime-version"), "1.0");
        const std::string contentType = mail.headers.at("content-type");
        EXPECT_EQ(contentType.rfind("multipart/mixed;", 0), 0u) << contentType;
        ASSERT_EQ(BoundaryOf(contentType), "#BOUNDARY#");
        const auto parts = SplitMultipart(mail.body, "#BOUNDARY#");
        ASSERT_EQ(parts.size(), 1u) << mail.body;
        EXPECT_EQ(parts[0].headers.at("content-type"), "text/plain; charset=gb2312");
        EXPECT_EQ(parts[0].headers.at("content-transfer-encoding"), "8bit");
        // The stored body is the text in GB2312 (dot un-doubled by the server).
        std::string expected = kBodyStartGb + "marker " + marker;
        for (std::size_t at = expected.find("\r\n"); at != std::string::npos;
             at = expected.find("\r\n", at))
            expected.erase(at, 1);
        EXPECT_EQ(parts[0].body, expected + "\n\n");
    }

    static Peer* peer;
    static bool started;
    std::string body;
    std::string trace;
};

template <typename Peer> Peer* RealServerTest<Peer>::peer = nullptr;
template <typename Peer> bool RealServerTest<Peer>::started = false;

using Peers = ::testing::Types<PostfixPeer, AiosmtpdPeer, EximPeer>;
class PeerNames
{
public:
    template <typename T> static std::string GetName(int) { return T().name(); }
};
TYPED_TEST_SUITE(RealServerTest, Peers, PeerNames);

TYPED_TEST(RealServerTest, deliversGb2312MailWithoutAuthentication)
{
    char error[64] = "untouched";
    ASSERT_EQ(this->send("", "", "support@myzelk.test", "plain", error), 1) << error << "\n"
                                                                            << this->trace;
    EXPECT_STREQ(error, "untouched");
    EXPECT_EQ(this->trace.find("AUTH LOGIN"), std::string::npos);
    this->expectDelivered("plain");
}

TYPED_TEST(RealServerTest, deliversGb2312MailWithAuthLogin)
{
    char error[64] = "untouched";
    ASSERT_EQ(this->send(kUser, kPassword, "support@myzelk.test", "auth", error), 1)
        << error << "\n"
        << this->trace;
    EXPECT_NE(this->trace.find("RECV(235):235"), std::string::npos) << this->trace;
    // AUTH LOGIN always goes first; EHLO follows only where the server asked for it,
    // and then stands for the HELO.
    EXPECT_EQ(this->trace.find("[INFO]SEND:"), this->trace.find("[INFO]SEND:AUTH LOGIN\r\n"))
        << this->trace;
    const bool ehlo = this->trace.find("SEND:EHLO ") != std::string::npos;
    EXPECT_EQ(ehlo, TypeParam::kWantsEhloBeforeAuth) << this->trace;
    EXPECT_EQ(this->trace.find("SEND:HELO ") == std::string::npos, ehlo) << this->trace;
    this->expectDelivered("auth");
}

TYPED_TEST(RealServerTest, wrongPasswordGivesPasswordError)
{
    char error[64] = "";
    EXPECT_EQ(this->send(kUser, "wrong", "support@myzelk.test", "wrong", error), 0);
    EXPECT_STREQ(error, "Password error") << this->trace;
    // Refused by the server, not given up on by a time-out.
    EXPECT_NE(this->trace.find("RECV(235):535"), std::string::npos) << this->trace;
}

TYPED_TEST(RealServerTest, unknownRecipientGivesGeneralServerError)
{
    char error[64] = "";
    EXPECT_EQ(this->send("", "", "nobody@myzelk.test", "unknown", error), 0);
    EXPECT_STREQ(error, "General server error") << this->trace;
    EXPECT_NE(this->trace.find("RECV(250):550"), std::string::npos) << this->trace;
    EXPECT_NE(this->trace.find("SEND:QUIT"), std::string::npos);
}

// Exim keeps bare LFs inside the line they stand in: a body written with them
// must reach every server as separate lines, dot line included.
TYPED_TEST(RealServerTest, storesABodyWithBareLineFeedsLineByLine)
{
    char error[64] = "";
    ASSERT_EQ(this->send("", "", "support@myzelk.test", "bare", error, "l1\nl2\nl3\na\n.\nb\n"), 1)
        << error << "\n"
        << this->trace;
    const std::string bytes = this->waitForMessage("bare");
    ASSERT_FALSE(bytes.empty()) << "no message stored\n" << this->peer->log();
    const StoredMail mail = ParseStoredMail(bytes);
    const auto parts = SplitMultipart(mail.body, BoundaryOf(mail.headers.at("content-type")));
    ASSERT_EQ(parts.size(), 1u) << mail.body;
    EXPECT_EQ(parts[0].body, "l1\nl2\nl3\na\n.\nb\nmarker bare\n\n");
}

// A line over 998 bytes is taken by a local delivery, but a relay refuses to
// pass it on and bounces the mail after the sender was told it went out.
using EximTest = RealServerTest<EximPeer>;
TEST_F(EximTest, relaysLongLinesWithoutABounce)
{
    // 602 characters of Chinese on one line, for the subject and the body.
    const std::string paragraph = Repeat(
        "\xE4\xB8\xAD\xE6\x96\x87\xE6\xAE\xB5\xE8\x90\xBD\xE6\xB5\x8B\xE8\xAF\x95\xE3\x80\x82", 86);
    const std::string subject = Repeat(
        "\xE6\x84\x8F\xE8\xA7\x81\xE5\x8F\x8D\xE9\xA6\x88\xE6\xB5\x8B\xE8\xAF\x95\xE3\x80\x82", 86);
    char error[64] = "";
    const std::string receiver = std::string("support@") + EximPeer::kRelayDomain;
    ASSERT_EQ(send("", "", receiver, "relay", error, paragraph + "\r\n", subject), 1)
        << error << "\n"
        << trace;
    std::smatch queued;
    ASSERT_TRUE(std::regex_search(trace, queued, std::regex("250 OK id=([-0-9A-Za-z]+)"))) << trace;
    const std::string id = queued[1];
    // Exim logs the fate of every delivery, then "Completed".
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (peer->mainLog().find(id + " Completed") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(50ms);
    const std::string log = peer->mainLog();
    ASSERT_NE(log.find(id + " => " + receiver), std::string::npos) << log;

    const ReaderView shown = ReadLikeAMailReader(MessageInTranscript(peer->nextHop->transcript()));
    ASSERT_FALSE(shown.empty()) << peer->nextHop->transcript();
    EXPECT_EQ(shown.at("subject"), subject);
    EXPECT_EQ(shown.at("part.0.text"), paragraph + "\nmarker relay\n\n");
    EXPECT_LE(std::stoul(shown.at("longest-line")), 998u);
}

// The exported entry point always speaks to port 25; a second loopback
// address gives it a real server there without touching 127.0.0.1:25.
TEST(ExportedSendMail, deliversThroughAiosmtpdOnPort25)
{
    std::unique_ptr<AiosmtpdPeer> peer;
    for (int host = 21; host <= 40 && !peer; ++host)
    {
        const std::string address = FreeLoopbackAddressForPort25(host, host);
        if (address.empty())
            continue;
        peer = std::make_unique<AiosmtpdPeer>();
        if (!peer->startOn(address, 25))
        {
            // Taken in the meantime, or the server is broken: the log tells.
            ASSERT_TRUE(peer->process.error().empty()) << peer->process.error();
            peer.reset();
        }
    }
    if (!peer)
        GTEST_SKIP() << "port 25 is taken on 127.0.0.21 to 127.0.0.40";
    const std::string address = peer->address;
    CLQSMTP smtp;
    char error[64] = "untouched";
    const std::string body = kBodyStart + "marker exported";
    ASSERT_EQ(smtp.SendMail(kUser, kPassword, address.c_str(), "me@sender.test", "Quill",
                            "support@myzelk.test", "", kSubject.c_str(), body.c_str(), error),
              1)
        << error;
    EXPECT_STREQ(error, "untouched");
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (peer->storedFiles().empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(50ms);
    ASSERT_EQ(peer->storedFiles().size(), 1u);
    const StoredMail mail = ParseStoredMail(ReadFileBytes(peer->storedFiles()[0]));
    EXPECT_EQ(mail.headers.at("subject"), kSubjectHeader);
    EXPECT_NE(
        mail.body.find("\n\n" + kBodyStartGb.substr(0, 10) + "\n.dot line\nmarker exported\n"),
        std::string::npos)
        << mail.body;
}
} // namespace
