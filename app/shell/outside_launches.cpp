#include "app/shell/outside_launches.h"

#include "outside/LQAutoUpdate/LQAutoUpdate.h"
#include "outside/LQFeedBack/LQFeedBack.h"
#include "platform/message_box.h"
#include "platform/shell_execute.h"

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace
{

constexpr const char* kCaption = "MyZELK";
constexpr long long kDaysBetweenChecks = 15;

std::string Format(const char* format, const char* value)
{
    char buffer[1024];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

bool AskUpdateModule()
{
    CLQAutoUpdate* update = CLQAutoUpdate::CreateInstance();
    if (!update)
        return false;
    const bool newer = update->IsNewVersionAvailable() != 0;
    // The module's instances are released without a destructor call.
    ::operator delete(update);
    return newer;
}

int RunFeedbackModule(const CFeedbackArguments& a, const std::string& modulePath)
{
    CLQFeedBack feedback(a.senderAddress.c_str(), a.accountName.c_str(), a.mailServer.c_str(),
                         a.subject.c_str(), a.fromAddress.c_str(), a.recipientAddress.c_str(),
                         a.port);
    return feedback.DoRun(modulePath.c_str());
}

} // namespace

std::string GetMakerMailServer()
{
    const char* value = std::getenv(kMailServerEnvironmentVariable);
    if (!value || !*value)
        return kMakerMailServer;
    // A host name or address, nothing that could reach the mail dialogue.
    for (const char* c = value; *c; ++c)
        if (!(std::isalnum(static_cast<unsigned char>(*c)) || *c == '.' || *c == '-'))
            return kMakerMailServer;
    return value;
}

COutsideLaunchHooks COutsideLaunchHooks::Program()
{
    COutsideLaunchHooks hooks;
    hooks.now = OleDateNow;
    hooks.newerVersion = AskUpdateModule;
    hooks.startProgram = StartProgram;
    hooks.exitProcess = [](int code)
    {
        std::fflush(nullptr);
        ::_exit(code); // no shut-down: the configuration stays as it was on disk
    };
    hooks.shellOpen = ShellOpen;
    hooks.htmlHelp = HtmlHelpA;
    hooks.runFeedback = RunFeedbackModule;
    return hooks;
}

long long WholeDaysBetween(DATE from, DATE to)
{
    const double span = to - from;
    const double halfSecond = 0.5 / 86400.0;
    return static_cast<long long>(span > 0 ? span + halfSecond : span - halfSecond);
}

std::string FormatLocalTime(DATE date)
{
    OleDateParts p{};
    if (!PartsFromOleDate(date, &p))
        return {};
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day,
                  p.hour, p.minute, p.second);
    return buffer;
}

COutsideLaunches::COutsideLaunches(const CAppPaths& paths, CAppConfig& config,
                                   COutsideLaunchHooks hooks)
    : m_paths(paths), m_config(config), m_hooks(std::move(hooks))
{
}

int COutsideLaunches::CheckForUpdate(int silent)
{
    const DATE now = m_hooks.now();
    // Text that is no date counts as the zero date, so the check runs.
    DATE last = 0;
    const _variant_t stored(m_config.GetLastUpdateTime().c_str());
    VARIANT converted;
    VariantInit(&converted);
    if (SUCCEEDED(VariantChangeType(&converted, &stored, 0, VT_DATE)))
        last = converted.date;
    VariantClear(&converted);

    if (WholeDaysBetween(last, now) < kDaysBetweenChecks)
        return 0;
    // Written before the module is asked: an unreachable server also waits.
    m_config.SetLastUpdateTime(FormatLocalTime(now));

    const bool newer = m_hooks.newerVersion();
    if (newer && m_paths.m_mode == AppMode::Installed)
    {
        PlatformMessageBox(kUpdateByPackageManager, kCaption, MB_OK | MB_ICONINFORMATION);
        return 0;
    }
    if (newer && PlatformMessageBox(kUpdateQuestion, kCaption, MB_YESNO | MB_ICONQUESTION) == IDYES)
    {
        const std::string updater = Format("%s/BraeAutoUpdate", m_paths.m_szAppDir);
        const std::string program = Format("%s/MyZELK", m_paths.m_szAppDir);
        m_hooks.startProgram(updater, {program}); // a missing updater is not reported
        m_hooks.exitProcess(1);
        return 0;
    }
    if (!silent && !newer)
        PlatformMessageBox(kAlreadyLatest, kCaption, MB_OK | MB_ICONINFORMATION);
    return 0;
}

void COutsideLaunches::OpenHelp()
{
    m_hooks.shellOpen(m_paths.m_szHelpFile);
}

void COutsideLaunches::ShowSponsorPage()
{
    const std::string topic = Format("%s::/html_files/MyZELK/赞助.htm", m_paths.m_szHelpFile);
    m_hooks.htmlHelp(nullptr, topic.c_str(), HH_DISPLAY_TOC, 0);
}

void COutsideLaunches::OpenHomePage()
{
    m_hooks.shellOpen(kMakerHomePage);
}

void COutsideLaunches::SendFeedback()
{
    CFeedbackArguments a;
    a.senderAddress = kFeedbackSenderAddress;
    a.accountName = kFeedbackAccountName;
    a.mailServer = GetMakerMailServer();
    a.subject = Format("Tarnwell软件意见反馈邮件 - %s", kProgramVersionText);
    a.fromAddress = kFeedbackSenderAddress;
    a.recipientAddress = kSupportAddress;
    a.port = kMakerMailPort;
    m_hooks.runFeedback(a, m_paths.m_szFeedbackModule);
}
