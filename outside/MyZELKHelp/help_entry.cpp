// The viewer module's entry point, found by name by the program's help
// binding (platform/html_help.h). One window per help file; a second call
// for the same file shows the topic in the window already open.
#include "outside/MyZELKHelp/help_viewer.h"

#include <QApplication>
#include <QFileInfo>
#include <QList>
#include <QPointer>
#include <QThread>

#include <cstdint>

namespace
{

enum : unsigned
{
    kDisplayTopic = 0,
    kDisplayToc = 1,
};

QList<QPointer<CHelpViewer>>& Viewers()
{
    static QList<QPointer<CHelpViewer>> viewers;
    return viewers;
}

} // namespace

extern "C" __attribute__((visibility("default"))) void*
MyZELKHtmlHelp(void* caller, const char* file, unsigned command, std::uintptr_t /*data*/)
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread() || !file)
        return nullptr;
    if (command != kDisplayTopic && command != kDisplayToc)
        return nullptr;
    // "FILE.chm" or "FILE.chm::/topic.htm".
    const QString text = QString::fromUtf8(file);
    const qsizetype separator = text.indexOf(QLatin1String("::"));
    const QString chm = QFileInfo(separator < 0 ? text : text.left(separator)).absoluteFilePath();
    const QString topic = separator < 0 ? QString() : text.mid(separator + 2);

    CHelpViewer* viewer = nullptr;
    for (const QPointer<CHelpViewer>& open : Viewers())
        if (open && open->ChmPath() == chm)
            viewer = open;
    if (!viewer)
    {
        auto* parent = static_cast<QWidget*>(caller);
        auto* created = new CHelpViewer(chm, parent);
        if (!created->IsOpen())
        {
            delete created;
            return nullptr;
        }
        created->setAttribute(Qt::WA_DeleteOnClose);
        Viewers().removeAll(nullptr);
        Viewers().append(created);
        viewer = created;
    }
    viewer->ShowTopic(topic);
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
    return viewer;
}
