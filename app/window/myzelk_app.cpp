#include "app/window/myzelk_app.h"

#include "app/window/main_frame.h"
#include "app/window/transient_notice.h"
#include "app/window/ui_thread_bridge.h"
#include "outside/LQExploreManager/LQExploreManager.h"
#include "platform/net/cookie_store.h"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QSettings>

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <vector>

namespace
{

std::mutex g_hookLock;
std::vector<int> g_nextAnswers; // few answers: a vector's front erase is cheap enough
std::vector<std::string> g_answeredTexts;

bool TakeHookedAnswer(const std::string& text, int* answer)
{
    std::lock_guard lock(g_hookLock);
    if (g_nextAnswers.empty())
        return false;
    *answer = g_nextAnswers.front();
    g_nextAnswers.erase(g_nextAnswers.begin());
    g_answeredTexts.push_back(text);
    return true;
}

// MYZELK_BOX_TRANSCRIPT names a file that receives the text of every box
// shown, one line each, so a test driving the program from outside can read
// what it was asked.
void AppendToBoxTranscript(const std::string& text)
{
    const char* file = std::getenv("MYZELK_BOX_TRANSCRIPT");
    if (!file || !*file)
        return;
    std::ofstream out(file, std::ios::app | std::ios::binary);
    out << text << '\n';
}

int SafeAnswer(unsigned type)
{
    if (type == kTransientNoticeType)
        return 1;
    switch (type & 0xF)
    {
    case MB_YESNO:
        return IDNO;
    case MB_OKCANCEL:
        return IDCANCEL;
    default:
        return IDOK;
    }
}

int ShowStandardBox(QWidget* owner, const std::string& text, const std::string& caption,
                    unsigned type)
{
    QMessageBox box(owner);
    box.setWindowTitle(QString::fromStdString(caption.empty() ? kProfileApplication : caption));
    // Texts carry addresses and downloaded names: never markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(ShownMessageText(QString::fromStdString(text)));
    switch (type & 0xF0)
    {
    case MB_ICONERROR:
        box.setIcon(QMessageBox::Critical);
        break;
    case MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
    case MB_ICONWARNING:
        box.setIcon(QMessageBox::Warning);
        break;
    case MB_ICONINFORMATION:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    switch (type & 0xF)
    {
    case MB_YESNO:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case MB_OKCANCEL:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    switch (box.exec())
    {
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    case QMessageBox::Cancel:
        return IDCANCEL;
    default:
        // Closing the box counts as its safe button.
        return (type & 0xF) == MB_YESNO ? IDNO : IDOK;
    }
}

} // namespace

CMyZELKApp::CMyZELKApp()
    : m_bridge(std::make_unique<CUiThreadBridge>()),
      m_launchHooks(std::make_unique<COutsideLaunchHooks>(COutsideLaunchHooks::Program()))
{
    SetMessageBoxHost(this);
}

CMyZELKApp::~CMyZELKApp()
{
    ExitInstance();
    SetMessageBoxHost(nullptr);
}

void CMyZELKApp::SetLaunchHooks(COutsideLaunchHooks hooks)
{
    *m_launchHooks = std::move(hooks);
    if (m_launches)
        m_launches = std::make_unique<COutsideLaunches>(Paths(), Config(), *m_launchHooks);
}

bool CMyZELKApp::InitInstance(const Options& options)
{
    // Controls hosting, sockets and OLE need no start-up here.
    CMyZELKCore::Options core;
    core.appDirOverride = options.appDirOverride;
    if (Start(core) != StartResult::Started)
    {
        m_exitCode = 1;
        return false;
    }
    m_launches = std::make_unique<COutsideLaunches>(Paths(), Config(), *m_launchHooks);
    if (options.checkForUpdate)
        m_launches->CheckForUpdate(1);

    // The profile lives with the configuration file: in the application
    // folder of a portable copy, in the user's configuration folder of an
    // installed one. The browser panel's profile goes with the user's data.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       QString::fromUtf8(Paths().m_szConfigDir));
    CLQExploreManager::SetProfileFolder(BrowserProfileDir(Paths().m_szDataDir).c_str());
    m_profile = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                            kProfileOrganisation, kProfileApplication);
    LoadStdProfileSettings(kRecentFileCount);

    m_pMainWnd = std::make_unique<CMainFrame>(*this);
    if (!m_pMainWnd->Create())
    {
        m_pMainWnd.reset();
        m_exitCode = 1;
        return false;
    }
    m_pMainWnd->ActivateFrame();
    m_pMainWnd->setWindowTitle(QString::fromUtf8(kProgramVersionText));
    return true;
}

int CMyZELKApp::ExitInstance()
{
    if (m_exited)
        return m_exitCode;
    m_exited = true;
    // The frame stops the worker before the store goes away.
    m_pMainWnd.reset();
    if (m_profile)
    {
        SaveStdProfileSettings();
        m_profile->sync();
    }
    Shutdown();
    return m_exitCode;
}

void CMyZELKApp::LoadStdProfileSettings(int maxRecentFiles)
{
    m_maxRecentFiles = maxRecentFiles;
    m_recentFiles.clear();
    m_profile->beginGroup(QStringLiteral("Recent File List"));
    for (int i = 1; i <= maxRecentFiles; ++i)
    {
        const QString file = m_profile->value(QStringLiteral("File%1").arg(i)).toString();
        if (!file.isEmpty())
            m_recentFiles.append(file);
    }
    m_profile->endGroup();
}

void CMyZELKApp::SaveStdProfileSettings()
{
    m_profile->beginGroup(QStringLiteral("Recent File List"));
    for (int i = 1; i <= m_maxRecentFiles; ++i)
    {
        const QString key = QStringLiteral("File%1").arg(i);
        if (i <= m_recentFiles.size())
            m_profile->setValue(key, m_recentFiles.at(i - 1));
        else
            m_profile->remove(key);
    }
    m_profile->endGroup();
}

void CMyZELKApp::AddToRecentFileList(const QString& path)
{
    m_recentFiles.removeAll(path);
    m_recentFiles.prepend(path);
    while (m_recentFiles.size() > m_maxRecentFiles)
        m_recentFiles.removeLast();
}

void CMyZELKApp::SetNextMessageBoxAnswer(int answer)
{
    std::lock_guard lock(g_hookLock);
    g_nextAnswers.push_back(answer);
}

std::vector<std::string> CMyZELKApp::TakeAnsweredMessageBoxes()
{
    std::lock_guard lock(g_hookLock);
    std::vector<std::string> texts;
    texts.swap(g_answeredTexts);
    return texts;
}

int CMyZELKApp::DoMessageBox(const std::string& text, unsigned type, unsigned /*helpContext*/)
{
    return Box(text, std::string(), type);
}

int CMyZELKApp::Box(const std::string& text, const std::string& caption, unsigned type)
{
    if (type == kTransientNoticeType)
    {
        QPointer<CTransientNotice> notice =
            CTransientNotice::Show(QString::fromStdString(text), m_pMainWnd.get());
        QEventLoop wait;
        QObject::connect(notice, &QObject::destroyed, &wait, &QEventLoop::quit);
        if (notice)
            wait.exec();
        return 1;
    }
    int answer = 0;
    if (TakeHookedAnswer(text, &answer))
        return answer;
    AppendToBoxTranscript(text);
    return ShowStandardBox(m_pMainWnd.get(), text, caption, type);
}

int CMyZELKApp::Show(const std::string& text, const std::string& caption, unsigned type)
{
    if (m_bridge->OnOwnThread())
        return Box(text, caption, type);
    if (m_bridge->Closing())
        return SafeAnswer(type);
    int answer = SafeAnswer(type);
    m_bridge->Run([&] { answer = Box(text, caption, type); });
    return answer;
}
