// A clock the test moves by hand: timers fire in time order while it advances.
#pragma once

#include "widgets/tree/tree_clock.h"

#include <algorithm>
#include <vector>

class ManualTreeClock final : public ITreeClock
{
public:
    std::int64_t NowMs() const override { return m_now; }

    std::unique_ptr<ITreeTimer> CreateTimer(std::function<void()> onTimeout) override
    {
        return std::make_unique<Timer>(*this, std::move(onTimeout));
    }

    void Advance(std::int64_t ms)
    {
        const std::int64_t end = m_now + ms;
        for (;;)
        {
            Timer* next = nullptr;
            for (Timer* timer : m_timers)
                if (timer->due >= 0 && timer->due <= end && (!next || timer->due < next->due))
                    next = timer;
            if (!next)
                break;
            m_now = next->due;
            next->due += next->interval;
            next->fire();
        }
        m_now = end;
    }

private:
    struct Timer final : ITreeTimer
    {
        Timer(ManualTreeClock& owner, std::function<void()> callback)
            : clock(owner), fire(std::move(callback))
        {
            clock.m_timers.push_back(this);
        }
        ~Timer() override { std::erase(clock.m_timers, this); }
        void Start(int ms) override
        {
            interval = ms;
            due = clock.m_now + ms;
        }
        void Stop() override { due = -1; }
        bool IsActive() const override { return due >= 0; }

        ManualTreeClock& clock;
        std::function<void()> fire;
        int interval = 0;
        std::int64_t due = -1;
    };

    std::int64_t m_now = 1000;
    std::vector<Timer*> m_timers;
};
