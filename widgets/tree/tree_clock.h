// Time for the tree controls' drag and drop: a millisecond tick count and
// repeating timers. The window uses the system clock; tests hand in a clock
// they advance by hand, so the timing rules can be checked without waiting.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

class ITreeTimer
{
public:
    virtual ~ITreeTimer() = default;
    // (Re)starts the timer: it fires every `intervalMs` until stopped.
    virtual void Start(int intervalMs) = 0;
    virtual void Stop() = 0;
    virtual bool IsActive() const = 0;
};

class ITreeClock
{
public:
    virtual ~ITreeClock() = default;
    // Milliseconds on a monotonic scale (only differences matter).
    virtual std::int64_t NowMs() const = 0;
    virtual std::unique_ptr<ITreeTimer> CreateTimer(std::function<void()> onTimeout) = 0;
};

// The real clock: a monotonic tick count and QTimer-driven timers.
ITreeClock& SystemTreeClock();
