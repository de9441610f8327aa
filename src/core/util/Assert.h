#pragma once
// Preconditions only a programming error can break: print where and stop.

#include <cstdio>
#include <cstdlib>

#define QV_ASSERT(expr)                                                                 \
  do {                                                                                  \
    if (!(expr)) {                                                                      \
      std::fprintf(stderr, "%s:%d: assertion failed: %s\n", __FILE__, __LINE__, #expr); \
      std::abort();                                                                     \
    }                                                                                   \
  } while (0)
