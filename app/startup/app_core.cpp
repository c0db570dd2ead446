#include "app/startup/app_core.h"

#include "app/startup/leftovers.h"
#include "base/builtin_hosts.h"
#include "base/debug_log.h"
#include "platform/message_box.h"
#include "platform/text.h"

CMyZELKCore::CMyZELKCore() = default;

CMyZELKCore::~CMyZELKCore()
{
    if (m_started)
        Shutdown();
}

CMyZELKCore::StartResult CMyZELKCore::Start(const Options& options)
{
    m_started = true;
    m_saveConfig = options.saveConfigAtShutdown;

    BuildPathsError error{};
    std::string failedPath;
    if (!BuildPaths(m_paths, options.appDirOverride, &error, &failedPath))
    {
        const std::string text = DescribeBuildPathsError(error, failedPath);
        if (!text.empty())
            PlatformMessageBox(text, "MyZELK", MB_OK | MB_ICONERROR);
        m_saveConfig = false; // there is no path to save to
        return StartResult::PathsFailed;
    }

    // Installed, the current folder may be anything (often not writable).
    if (m_paths.m_mode == AppMode::Installed)
        SetDebugLogPath((std::string(m_paths.m_szDataDir) + "debug.txt").c_str());
    RemoveLeftovers(m_paths);

    // A missing or malformed file leaves the store empty: defaults apply.
    m_config.SetFileName(Utf16FromUtf8(m_paths.m_szConfigFile));
    m_config.Load();

    const CBuiltInHosts hosts = GetBuiltInHosts();
    m_config.SetHostForCommunity(hosts.community);
    m_config.SetHostForDevelop(hosts.develop);
    m_config.SetHostForFullSearchCommunity(hosts.fullSearch);

    m_store = std::make_unique<COfflineStore>(m_db, m_paths.m_szDatabaseFile, m_paths.m_szTempDir);
    if (!m_store->OpenDatabase())
    {
        WriteDebugLog(
            (std::string("Cannot open ") + m_paths.m_szDatabaseFile + ": " + m_store->OpenError())
                .c_str());
        PlatformMessageBox("初始化数据库失败!", "MyZELK", MB_OK | MB_ICONWARNING);
        return StartResult::DatabaseFailed;
    }
    return StartResult::Started;
}

void CMyZELKCore::Shutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    if (m_saveConfig)
        m_config.Save();
    if (m_store)
        m_store->CloseDatabase();
}
