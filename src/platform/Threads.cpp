#include "platform/Threads.h"

#include <pthread.h>

#include <memory>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUARNEL_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QUARNEL_SANITIZED 1
#endif
#endif

namespace platform {

namespace {

void* ThreadMain(void* arg) {
  std::unique_ptr<std::function<void()>> fn(static_cast<std::function<void()>*>(arg));
  (*fn)();
  return nullptr;
}

}  // namespace

std::size_t WorkerStackSize(std::size_t base) {
#ifdef QUARNEL_SANITIZED
  return base * 4;
#else
  return base;
#endif
}

bool StartDetachedThread(std::function<void()> fn, std::size_t stackSize) {
  pthread_attr_t attr;
  if (pthread_attr_init(&attr) != 0) return false;
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  if (stackSize != 0 && pthread_attr_setstacksize(&attr, stackSize) != 0) {
    pthread_attr_destroy(&attr);
    return false;
  }
  auto* heapFn = new std::function<void()>(std::move(fn));
  pthread_t thread;
  const int rc = pthread_create(&thread, &attr, &ThreadMain, heapFn);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    delete heapFn;
    return false;
  }
  return true;
}

}  // namespace platform
