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

} // namespace ecu
