#include "widgets/tree/tree_clock.h"

#include <QElapsedTimer>
#include <QTimer>

namespace
{

class CQtTreeTimer final : public ITreeTimer
{
public:
    explicit CQtTreeTimer(std::function<void()> onTimeout)
    {
        QObject::connect(&m_timer, &QTimer::timeout,
                         [callback = std::move(onTimeout)]
                         {
                             if (callback)
                                 callback();
                         });
    }
    void Start(int intervalMs) override { m_timer.start(intervalMs); }
    void Stop() override { m_timer.stop(); }
    bool IsActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};

class CQtTreeClock final : public ITreeClock
{
public:
    CQtTreeClock() { m_elapsed.start(); }
    std::int64_t NowMs() const override { return m_elapsed.elapsed(); }
    std::unique_ptr<ITreeTimer> CreateTimer(std::function<void()> onTimeout) override
    {
        return std::make_unique<CQtTreeTimer>(std::move(onTimeout));
    }

private:
    QElapsedTimer m_elapsed;
};

} // namespace

ITreeClock& SystemTreeClock()
{
    static CQtTreeClock clock;
    return clock;
}
