// Feedback end to end: the program's command, the module's dialog and the
// mail library, against a real Postfix on port 25 of a network namespace
// of the test's own (so nothing else can hold the port).
#include "LQSMTP/LQSMTP.h"
#include "app/shell/outside_launches.h"
#include "outside/LQFeedBack/LQFeedBack.h"
#include "platform/text.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <fcntl.h>
#include <net/if.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace
{

constexpr const char* kDomain = "tarnwell.example";
const std::string kUserText = "离线搜索很好用，希望能按作者搜索。";
const std::string kContact = "reader@example.test";

std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool BringUpLoopback()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::strcpy(request.ifr_name, "lo");
    bool ok = fd >= 0 && ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags |= IFF_UP | IFF_RUNNING;
    ok = ok && ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

// Waits, by file-system events, until `file` in `folder` holds `text`.
bool WaitForText(const std::string& folder, const std::string& file, const std::string& text,
                 std::chrono::seconds timeout)
{
    const int watch = ::inotify_init1(IN_CLOEXEC);
    ::inotify_add_watch(watch, folder.c_str(), IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    bool found = false;
    while (!(found = Read(folder + "/" + file).find(text) != std::string::npos))
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{watch, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            break;
        char events[4096];
        [[maybe_unused]] const ssize_t n = ::read(watch, events, sizeof events);
    }
    ::close(watch);
    return found;
}

// The Subject header as UTF-8: unfolded, RFC 2047 words (B or Q) decoded
// and GB2312 text converted; a raw 8-bit header is read as GB2312.
std::string DecodedSubject(const std::string& mail)
{
    const size_t start = mail.find("\nSubject: ");
    if (start == std::string::npos)
        return {};
    std::string value;
    for (size_t i = start + 10; i < mail.size(); ++i)
    {
        if (mail[i] == '\n' &&
            (i + 1 >= mail.size() || (mail[i + 1] != ' ' && mail[i + 1] != '\t')))
            break;
        if (mail[i] != '\r' && mail[i] != '\n')
            value += mail[i];
    }
    std::string bytes;
    size_t at = 0;
    bool encoded = false;
    while (at < value.size())
    {
        const size_t open = value.find("=?", at);
        if (open == std::string::npos)
        {
            if (!encoded)
                bytes += value.substr(at);
            break;
        }
        if (!encoded)
            bytes += value.substr(at, open - at);
        const size_t q1 = value.find('?', open + 2);
        const size_t q2 = q1 == std::string::npos ? q1 : value.find('?', q1 + 1);
        const size_t close = q2 == std::string::npos ? q2 : value.find("?=", q2 + 1);
        if (close == std::string::npos)
            break;
        const char kind = static_cast<char>(std::toupper(value[q1 + 1]));
        const std::string text = value.substr(q2 + 1, close - q2 - 1);
        if (kind == 'B')
        {
            const QByteArray decoded = QByteArray::fromBase64(QByteArray::fromStdString(text));
            bytes += decoded.toStdString();
        }
        else
        {
            for (size_t i = 0; i < text.size(); ++i)
            {
                if (text[i] == '_')
                    bytes += ' ';
                else if (text[i] == '=' && i + 2 < text.size())
                    bytes += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)),
                        i += 2;
                else
                    bytes += text[i];
            }
        }
        encoded = true;
        at = close + 2;
        // White space between two encoded words is not part of the text.
        while (at < value.size() && value[at] == ' ')
            ++at;
    }
    return Utf8FromGbk(bytes);
}

// Receives the dialog's outcome and closes it, as the user would.
class DialogDriver : public QObject
{
    Q_OBJECT
public:
    QDialog* dialog = nullptr;
    bool finished = false;
    bool sent = false;
    QString message;

    void Fill()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "LQFeedBackDialog" && w->isVisible())
                dialog = qobject_cast<QDialog*>(w);
        if (!dialog)
            return QApplication::exit(); // nothing to drive; the test fails on `finished`
        dialog->findChild<QPlainTextEdit*>("text")->setPlainText(QString::fromStdString(kUserText));
        dialog->findChild<QLineEdit*>("contact")->setText(QString::fromStdString(kContact));
        QObject::connect(dialog, SIGNAL(sendFinished(bool, QString)), this,
                         SLOT(OnFinished(bool, QString)));
        dialog->findChild<QPushButton*>("send")->click();
    }

public slots:
    void OnFinished(bool ok, const QString& text)
    {
        finished = true;
        sent = ok;
        message = text;
        dialog->findChild<QPushButton*>("close")->click();
    }
};

class FeedbackTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "feedback_tests";
        static char* argv[] = {name, nullptr};
        app = new QApplication(argc, argv);
    }

    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root: a network namespace of its own and Postfix";
        // Each test in a namespace of its own: the last one's Postfix may
        // still be going away.
        ASSERT_EQ(::unshare(CLONE_NEWNET), 0) << std::strerror(errno);
        ASSERT_TRUE(BringUpLoopback());
        ASSERT_TRUE(BuildPaths(paths, MYZELK_BIN_DIR "/"));
        ::setenv(kMailServerEnvironmentVariable, "127.0.0.1", 1);
    }

    void TearDown() override
    {
        ::unsetenv(kMailServerEnvironmentVariable);
        if (postfix > 0)
        {
            ::kill(postfix, SIGTERM);
            ::waitpid(postfix, nullptr, 0);
        }
    }

    void StartPostfix(const std::string& password)
    {
        const pid_t parent = ::getpid();
        const std::string log = work / "server.log";
        const std::string fixture = MYZELK_SOURCE_DIR "/tests/LQSMTP/postfix_fixture.sh";
        postfix = ::fork();
        ASSERT_GE(postfix, 0);
        if (postfix == 0)
        {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (::getppid() != parent)
                ::_exit(126);
            const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            ::dup2(out, 1);
            ::dup2(out, 2);
            ::execl(fixture.c_str(), fixture.c_str(), work.path().c_str(), "25",
                    kFeedbackAccountName, password.c_str(), kDomain, "support", nullptr);
            ::_exit(127);
        }
        // The master logs this once its listeners are open.
        ASSERT_TRUE(WaitForText(work.path(), "maillog", "daemon started", std::chrono::seconds(60)))
            << Read(log) << Read(work / "maillog");
    }

    // The program's feedback command, with the user typing and sending.
    int SendFeedbackAsTheUser()
    {
        int result = -1;
        COutsideLaunchHooks hooks = COutsideLaunchHooks::Program();
        hooks.runFeedback = [&result, run = hooks.runFeedback](const CFeedbackArguments& a,
                                                               const std::string& module)
        { return result = run(a, module); };
        QTimer::singleShot(0, &driver, &DialogDriver::Fill);
        COutsideLaunches(paths, config, hooks).SendFeedback();
        return result;
    }

    static QApplication* app;
    TempDir work;
    pid_t postfix = -1;
    CAppPaths paths;
    CAppConfig config;
    DialogDriver driver;
};
QApplication* FeedbackTest::app = nullptr;

TEST_F(FeedbackTest, TheMailArrivesWithTheSubjectAndTheUsersChineseText)
{
    ASSERT_NO_FATAL_FAILURE(StartPostfix(kLQFeedBackAccountPassword));
    EXPECT_EQ(SendFeedbackAsTheUser(), 1);
    ASSERT_TRUE(driver.finished);
    EXPECT_TRUE(driver.sent) << driver.message.toStdString();
    EXPECT_EQ(driver.message.toStdString(), "您的意见已发送，谢谢！");

    ASSERT_TRUE(WaitForText(work.path(), "maillog", "status=sent", std::chrono::seconds(60)))
        << Read(work / "maillog");
    const std::string box = work / ("mail/" + std::string(kDomain) + "/support/new");
    ASSERT_TRUE(fs::is_directory(box));
    auto files = fs::directory_iterator(box);
    ASSERT_NE(files, fs::directory_iterator());
    const std::string mail = Read(files->path());
    EXPECT_EQ(DecodedSubject(mail),
              "Tarnwell软件意见反馈邮件 - MyZELK version 2.50.0 - Build On 2006-09-09")
        << mail;
    EXPECT_NE(mail.find("<feedback@tarnwell.example>"), std::string::npos);
    EXPECT_NE(mail.find("To: \"MyZELK\" <support@tarnwell.example>"), std::string::npos) << mail;
    EXPECT_NE(mail.find(GbkFromUtf8(kUserText)), std::string::npos) << mail;
    EXPECT_NE(mail.find(GbkFromUtf8("联系方式：" + kContact)), std::string::npos) << mail;
}

TEST_F(FeedbackTest, ARefusedPasswordShowsTheMailLibrarysText)
{
    ASSERT_NO_FATAL_FAILURE(StartPostfix("not the module's password"));
    EXPECT_EQ(SendFeedbackAsTheUser(), 0);
    ASSERT_TRUE(driver.finished);
    EXPECT_FALSE(driver.sent);

    // What the library itself says to the same server and account.
    char error[256] = {};
    CLQSMTP smtp;
    ASSERT_EQ(smtp.SendMail(kFeedbackAccountName, kLQFeedBackAccountPassword, "127.0.0.1",
                            kFeedbackSenderAddress, "MyZELK", kSupportAddress, "", "s", "b", error),
              0);
    ASSERT_NE(error[0], '\0');
    EXPECT_EQ(driver.message.toStdString(), std::string("发送失败：") + error);
}

} // namespace

#include "feedback_test.moc"
