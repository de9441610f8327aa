#pragma once
// Detached threads with a chosen stack size.

#include <cstddef>
#include <functional>

namespace platform {

// Starts `fn` on a new detached thread whose stack is `stackSize` bytes (0:
// the system's default). False when the thread could not be made; `fn` has
// then not run.
bool StartDetachedThread(std::function<void()> fn, std::size_t stackSize);

// The stack size a worker thread needs in this build: `base`, raised for the
// sanitizers, whose instrumentation needs several times more.
std::size_t WorkerStackSize(std::size_t base);

}  // namespace platform
