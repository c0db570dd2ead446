// The commands that hand work to something outside the program: the update
// check (at start-up silently, from the menu aloud), help, the sponsor page,
// the maker's home page and feedback. No Qt; every outside effect goes
// through a hook so tests can drive it, and message boxes through the
// platform's replaceable host.
#pragma once

#include "base/app_paths.h"
#include "config/app_config.h"
#include "platform/com_types.h"
#include "platform/html_help.h"

#include <functional>
#include <string>
#include <vector>

constexpr const char* kProgramVersionText = "MyZELK version 2.50.0 - Build On 2006-09-09";

// The maker's addresses (fictional, under the reserved .example domain).
constexpr const char* kMakerHomePage = "http://www.tarnwell.example/";
constexpr const char* kFeedbackSenderAddress = "feedback@tarnwell.example";
constexpr const char* kFeedbackAccountName = "quillmere";
constexpr const char* kMakerMailServer = "mail.tarnwell.example";
constexpr const char* kSupportAddress = "support@tarnwell.example";
constexpr long kMakerMailPort = 25;
// Points feedback at another mail server (a host name or IPv4 address; the
// mail library always uses port 25), e.g. MYZELK_MAIL_SERVER=127.0.0.1
constexpr const char* kMailServerEnvironmentVariable = "MYZELK_MAIL_SERVER";
std::string GetMakerMailServer();

constexpr const char* kUpdateQuestion = "网上已有更新版本，是否立即更新？";
constexpr const char* kAlreadyLatest = "您的版本已是最新的版本!";
// An installed copy's files belong to the package manager: the updater is
// not offered, the user is told how to update instead.
constexpr const char* kUpdateByPackageManager =
    "网上已有更新版本。\n本机的 MyZELK 由系统的软件包管理器安装，不能在程序中更新。"
    "请用软件包管理器安装新版本，例如：\n"
    "sudo apt update && sudo apt install --only-upgrade myzelk\n"
    "或从 http://www.tarnwell.example/ 下载新的软件包，用 sudo apt install ./文件名.deb 安装。";

// What the program hands the feedback module, in the module's order.
struct CFeedbackArguments
{
    std::string senderAddress, accountName, mailServer, subject, fromAddress, recipientAddress;
    long port = 0;
};

struct COutsideLaunchHooks
{
    std::function<DATE()> now;          // local time
    std::function<bool()> newerVersion; // asks the update module
    std::function<bool(const std::string& program, const std::vector<std::string>& args)>
        startProgram;
    std::function<void(int code)> exitProcess; // must not return in the program
    std::function<bool(const std::string& target)> shellOpen;
    std::function<HWND(HWND, const char*, unsigned, DWORD_PTR)> htmlHelp;
    std::function<int(const CFeedbackArguments&, const std::string& modulePath)> runFeedback;

    // The real ones: the clock, LQAutoUpdate, posix_spawn, _exit, xdg-open,
    // the help binding and LQFeedBack.
    static COutsideLaunchHooks Program();
};

class COutsideLaunches
{
public:
    COutsideLaunches(const CAppPaths& paths, CAppConfig& config,
                     COutsideLaunchHooks hooks = COutsideLaunchHooks::Program());

    // At most once per 15 days: asks the update module, offers the updater
    // and on Yes starts it and ends the process with exit code 1 (the
    // configuration is not saved). An installed copy says how to update
    // with the package manager instead. Returns 0 whenever it returns.
    int CheckForUpdate(int silent);
    void OpenHelp();
    void ShowSponsorPage();
    void OpenHomePage();
    void SendFeedback();

private:
    const CAppPaths& m_paths;
    CAppConfig& m_config;
    COutsideLaunchHooks m_hooks;
};

// The whole number of days from `from` to `to`: the span is moved half a
// second away from zero, then cut toward zero.
long long WholeDaysBetween(DATE from, DATE to);
// "%Y-%m-%d %H:%M:%S"; empty when the date is out of range.
std::string FormatLocalTime(DATE date);
