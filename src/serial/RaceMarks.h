#pragma once
// Qt hands posted events from thread to thread under its own locks, which the
// thread sanitizer cannot see in a Qt not built with it. These marks tell it
// about the hand-over, so it still reports every real race; in other builds
// they are nothing.
#if defined(__SANITIZE_THREAD__)
#define ECU_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ECU_THREAD_SANITIZER 1
#endif
#endif

#ifdef ECU_THREAD_SANITIZER
#include <mutex>

extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
#endif

namespace ecu {

inline void MarkHandedOver([[maybe_unused]] const void* object) {
#ifdef ECU_THREAD_SANITIZER
    __tsan_release(const_cast<void*>(object));
#endif
}

inline void MarkTakenOver([[maybe_unused]] const void* object) {
#ifdef ECU_THREAD_SANITIZER
    __tsan_acquire(const_cast<void*>(object));
#endif
}

// Qt's lock on a thread's queue of posted events is just as invisible: the
// reader and the writer posting one after the other looked to the sanitizer
// like two threads growing the queue's storage at once. Under the sanitizer
// every post also takes this lock, which it sees; in other builds it is nothing.
class PostingLock {
public:
#ifdef ECU_THREAD_SANITIZER
    PostingLock() : hold_(Mutex()) {}

private:
    static std::mutex& Mutex() {
        static std::mutex m;
        return m;
    }
    std::lock_guard<std::mutex> hold_;
#else
    PostingLock() {}
#endif
};

} // namespace ecu
