// std::mutex and std::condition_variable for GoogleTest on the win32 thread
// model, which lacks both. Force-included into the test build only.
#pragma once

#ifdef __cplusplus
#include <windows.h>

#include <mutex>

namespace std {

class mutex {
public:
    mutex() { ::InitializeCriticalSection(&section); }
    ~mutex() { ::DeleteCriticalSection(&section); }
    mutex(const mutex&) = delete;
    mutex& operator=(const mutex&) = delete;
    void lock() { ::EnterCriticalSection(&section); }
    void unlock() { ::LeaveCriticalSection(&section); }

private:
    CRITICAL_SECTION section;
};

// Enough for GoogleTest's Notification: a waiter that polls its predicate.
class condition_variable {
public:
    void notify_all() {}
    template <typename Predicate>
    void wait(unique_lock<mutex>& lock, Predicate ready) {
        while (!ready()) {
            lock.unlock();
            ::Sleep(1);
            lock.lock();
        }
    }
};

}  // namespace std
#endif
