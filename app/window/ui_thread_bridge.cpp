#include "app/window/ui_thread_bridge.h"

#include <QThread>

CUiThreadBridge::CUiThreadBridge(QObject* parent) : QObject(parent) {}

bool CUiThreadBridge::OnOwnThread() const
{
    return QThread::currentThread() == thread();
}

void CUiThreadBridge::Run(const std::function<void()>& work)
{
    if (OnOwnThread())
    {
        work();
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, &work]
        {
            ++m_depth;
            work();
            if (--m_depth == 0)
                emit idle();
        },
        Qt::BlockingQueuedConnection);
}
