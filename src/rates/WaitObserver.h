#pragma once

#include <functional>

namespace tallemo {

// Told when a request starts and ends, so a window can show that it waits and offer a way out.
// cancel() ends the request as a failure; it may be called from within the event loop that get()
// runs, and does nothing once the request has ended. waitStarted must return without waiting.
class WaitObserver {
public:
    virtual ~WaitObserver() = default;
    virtual void waitStarted(const std::function<void()>& cancel) = 0;
    virtual void waitFinished() = 0;
};

} // namespace tallemo
