// The window-free heart of the application object: the path table, the
// configuration store, the one database controller and the offline store,
// with the start-up and shut-down steps that need no window. The program
// and the command-line companion both run through it, so they share one
// application folder, configuration and database.
#pragma once

#include "LQADO/LQADODBController.h"
#include "base/app_paths.h"
#include "config/app_config.h"
#include "store/offline_store.h"

#include <memory>
#include <string>

class CMyZELKCore
{
public:
    CMyZELKCore();
    ~CMyZELKCore();
    CMyZELKCore(const CMyZELKCore&) = delete;
    CMyZELKCore& operator=(const CMyZELKCore&) = delete;

    enum class StartResult
    {
        Started,
        PathsFailed,    // silent, or after a box for a too-deep folder
        DatabaseFailed, // after the store's box "初始化数据库失败!"
    };

    struct Options
    {
        const char* appDirOverride = nullptr; // a folder ending with "/"
        bool saveConfigAtShutdown = true;     // the companion leaves it alone
    };

    // Paths, configuration load, the built-in host names, the database.
    StartResult Start(const Options& options);
    StartResult Start() { return Start(Options{}); }
    // Saves the configuration (the only write of its file) and closes the
    // database. Runs once; the destructor runs it when Start was called.
    void Shutdown();

    const CAppPaths& Paths() const { return m_paths; }
    CAppConfig& Config() { return m_config; }
    CLQADODBController& Db() { return m_db; }
    // Null until the path table exists.
    COfflineStore* Store() { return m_store.get(); }

private:
    CAppPaths m_paths;
    CLQADODBController m_db;
    CAppConfig m_config;
    std::unique_ptr<COfflineStore> m_store;
    bool m_started = false;
    bool m_shutDown = false;
    bool m_saveConfig = true;
};
