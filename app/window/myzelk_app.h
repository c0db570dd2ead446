// The application object: the window-free core (paths, configuration,
// database through the offline store) with the window steps added: the
// profile, the single main frame, the caption, and the message boxes of the
// whole program, among them the one-second notice.
#pragma once

#include "app/shell/outside_launches.h"
#include "app/startup/app_core.h"
#include "platform/message_box.h"

#include <QStringList>

#include <deque>
#include <memory>
#include <string>
#include <vector>

class CMainFrame;
class CUiThreadBridge;
class QSettings;

// The message-box type that asks for the one-second notice instead of a box.
constexpr unsigned kTransientNoticeType = 0x10000000;

constexpr const char* kProfileOrganisation = "Local AppWizard-Generated Applications";
constexpr const char* kProfileApplication = "MyZELK";
constexpr int kRecentFileCount = 4;

// The core is held privately: the window reaches the database only through
// the offline store and its lock, never through the bare controller.
class CMyZELKApp : private CMyZELKCore, public IMessageBoxHost
{
public:
    struct Options
    {
        const char* appDirOverride = nullptr; // a folder ending with "/"
        bool checkForUpdate = true;
    };

    CMyZELKApp();
    ~CMyZELKApp() override;
    CMyZELKApp(const CMyZELKApp&) = delete;
    CMyZELKApp& operator=(const CMyZELKApp&) = delete;

    // Start-up; true when the main window is up. Needs a QApplication.
    bool InitInstance(const Options& options);
    bool InitInstance() { return InitInstance(Options{}); }
    // Shut-down: the main frame goes, the profile is written, then the core
    // saves the configuration and closes the database. Returns the exit code.
    int ExitInstance();

    // The message box of the program. kTransientNoticeType shows the notice
    // for one second and returns 1 without input; other types are ordinary
    // boxes (MB_* buttons and icons) returning IDOK, IDYES, IDNO ...
    int DoMessageBox(const std::string& text, unsigned type, unsigned helpContext = 0);
    // Any thread; boxes asked for by other threads are shown on the
    // user-interface thread.
    int Show(const std::string& text, const std::string& caption, unsigned type) override;

    // Test hook: the next ordinary boxes are not shown but answered with
    // these answers, in order; their texts are recorded.
    static void SetNextMessageBoxAnswer(int answer);
    static std::vector<std::string> TakeAnsweredMessageBoxes();

    using CMyZELKCore::Config;
    using CMyZELKCore::Paths;
    using CMyZELKCore::Store;

    CMainFrame* MainFrame() const { return m_pMainWnd.get(); }
    CUiThreadBridge& Bridge() { return *m_bridge; }
    COutsideLaunches& Launches() { return *m_launches; }
    // Replaces the outside effects of the update check and launches (tests).
    void SetLaunchHooks(COutsideLaunchHooks hooks);
    // The profile, in the application folder; valid after InitInstance.
    QSettings& Profile() { return *m_profile; }

    const QStringList& RecentFiles() const { return m_recentFiles; }
    void AddToRecentFileList(const QString& path);

private:
    int Box(const std::string& text, const std::string& caption, unsigned type);
    void LoadStdProfileSettings(int maxRecentFiles);
    void SaveStdProfileSettings();

    std::unique_ptr<CUiThreadBridge> m_bridge;
    std::unique_ptr<COutsideLaunches> m_launches;
    std::unique_ptr<COutsideLaunchHooks> m_launchHooks;
    std::unique_ptr<QSettings> m_profile;
    std::unique_ptr<CMainFrame> m_pMainWnd;
    QStringList m_recentFiles;
    int m_maxRecentFiles = 0;
    int m_exitCode = 0;
    bool m_exited = false;
};
