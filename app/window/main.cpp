// MyZELK: the program. Everything is in the application object.
#include "app/window/myzelk_app.h"
#include "widgets/look/flat_style.h"

#include <QApplication>

int main(int argc, char** argv)
{
    // The browser panel and the banner share one GL context.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The same name however the program is started (/usr/bin/myzelk is a
    // link): the window class of the desktop entry and Qt's own data folder.
    QCoreApplication::setApplicationName(QStringLiteral("MyZELK"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.zelk.MyZELK"));
    QApplication application(argc, argv);
    InstallFlatLook(application);
    CMyZELKApp app;
    if (!app.InitInstance())
        return app.ExitInstance();
    application.exec();
    return app.ExitInstance();
}
