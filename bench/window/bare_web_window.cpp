// The yardstick for the program's start-up: nothing but a Qt WebEngine view
// showing one local page, sized like the program's main window. Two options
// add one thing the program has each, to see what that costs:
//
//   window_bench_bare [--banner ADDRESS] [--profile FOLDER] PAGE
//     --banner   a second, short view above, loading ADDRESS first
//     --profile  the page's view on a disk profile in FOLDER (cookies, cache)
#include <QApplication>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    // As the program does: WebEngine shares the GL context between windows.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    const char* banner = nullptr;
    const char* profileFolder = nullptr;
    const char* page = nullptr;
    bool wrong = false;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--banner") == 0 && i + 1 < argc)
            banner = argv[++i];
        else if (std::strcmp(argv[i], "--profile") == 0 && i + 1 < argc)
            profileFolder = argv[++i];
        else if (!page)
            page = argv[i];
        else
            wrong = true;
    }
    if (!page || wrong)
    {
        std::fprintf(stderr, "usage: %s [--banner ADDRESS] [--profile FOLDER] PAGE\n", argv[0]);
        return 2;
    }
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    if (banner)
    {
        auto* bannerView = new QWebEngineView(&window);
        bannerView->setFixedHeight(40);
        bannerView->load(QUrl(QString::fromLocal8Bit(banner)));
        layout->addWidget(bannerView);
    }
    auto* view = new QWebEngineView(&window);
    if (profileFolder)
    {
        // Outlives the window and its page.
        auto* profile = new QWebEngineProfile(QStringLiteral("bench"), &application);
        profile->setPersistentStoragePath(QString::fromLocal8Bit(profileFolder));
        profile->setCachePath(QString::fromLocal8Bit(profileFolder) + QStringLiteral("/cache"));
        profile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
        profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
        view->setPage(new QWebEnginePage(profile, view));
    }
    view->load(QUrl::fromLocalFile(QString::fromLocal8Bit(page)));
    layout->addWidget(view);
    if (QScreen* screen = window.screen())
        window.setGeometry(screen->availableGeometry());
    window.showMaximized();
    return application.exec();
}
