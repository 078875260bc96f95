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
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
extern "C" void __tsan_ignore_thread_begin();
extern "C" void __tsan_ignore_thread_end();
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

// Qt's lock on a thread's queue of posted events is just as invisible: a thread of
// ours posting while the window thread posts or takes events looked to the sanitizer
// like two threads growing the queue's storage at once. Under the sanitizer, what Qt
// does inside the post is left unchecked on our threads (their own accesses before
// and after stay checked, and no ordering between threads is invented); in other
// builds this is nothing.
class QtPostScope {
public:
#ifdef ECU_THREAD_SANITIZER
    QtPostScope() {
        __tsan_ignore_thread_begin();
    }
    ~QtPostScope() {
        __tsan_ignore_thread_end();
    }
#else
    QtPostScope() {}
#endif
    QtPostScope(const QtPostScope&) = delete;
    QtPostScope& operator=(const QtPostScope&) = delete;
};

} // namespace ecu
