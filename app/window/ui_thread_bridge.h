// Carries calls from the download worker over to the user-interface thread
// and waits for them, as synchronous window messages do. The user-interface
// thread must never wait for the worker while it is inside such a call; it
// asks whether one is running (Busy) and defers what would wait.
#pragma once

#include <QObject>

#include <atomic>
#include <functional>

class CUiThreadBridge : public QObject
{
    Q_OBJECT
public:
    // Lives on the thread that creates it (the user-interface thread).
    explicit CUiThreadBridge(QObject* parent = nullptr);

    // Runs `work` on the user-interface thread and returns when it is done;
    // runs it in place when called there.
    void Run(const std::function<void()>& work);

    // Whether a call from another thread is running on the user-interface
    // thread now (it may be showing a box with its own event loop).
    bool Busy() const { return m_depth > 0; }

    // While closing, boxes asked for by other threads are not shown.
    void SetClosing(bool closing) { m_closing = closing; }
    bool Closing() const { return m_closing; }

    bool OnOwnThread() const;

signals:
    // A call from another thread has ended and none is running.
    void idle();

private:
    int m_depth = 0; // user-interface thread only
    std::atomic<bool> m_closing{false};
};
