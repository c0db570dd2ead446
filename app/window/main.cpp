// MyZELK: the program. Everything is in the application object.
#include "app/window/myzelk_app.h"
#include "widgets/look/flat_style.h"

#include <QApplication>

int main(int argc, char** argv)
{
    // The browser panel and the banner share one GL context.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    InstallFlatLook(application);
    CMyZELKApp app;
    if (!app.InitInstance())
        return app.ExitInstance();
    application.exec();
    return app.ExitInstance();
}
