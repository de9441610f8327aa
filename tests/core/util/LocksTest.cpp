#include "core/util/Locks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <type_traits>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Long enough never to run out on a loaded machine.
constexpr auto kPatience = 10s;

static_assert(!std::is_copy_constructible_v<mutex_locker>);
static_assert(!std::is_copy_assignable_v<SimpleCs>);
static_assert(!std::is_copy_constructible_v<autolocker<mutex_locker>>);

TEST(LocksThreads, AutolockerSerialisesIncrements) {
  mutex_locker lock;
  long counter = 0;
  {
    std::vector<std::jthread> workers;
    for (int t = 0; t < 4; ++t) {
      workers.emplace_back([&] {
        for (int i = 0; i < 10000; ++i) {
          autolocker<mutex_locker> hold(lock);
          ++counter;
        }
      });
    }
  }
  EXPECT_EQ(counter, 40000);
}

TEST(LocksThreads, CondLockerWakesWaiter) {
  cond_locker cond;
  bool ready = false;
  std::jthread signaller([&] {
    cond.lock();
    ready = true;
    cond.signal();
    cond.un_lock();
  });
  cond.lock();
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (!ready && std::chrono::steady_clock::now() < deadline) cond.wait_for(100ms);
  const bool seen = ready;
  cond.un_lock();
  EXPECT_TRUE(seen);
}

TEST(LocksThreads, CondLockerWaitForTimesOutWithoutSignal) {
  cond_locker cond;
  cond.lock();
  // A spurious wake-up may return true; it must never hang.
  cond.wait_for(1ms);
  cond.un_lock();
}

TEST(LocksThreads, SimpleCsIsRecursiveAndTracksOwner) {
  SimpleCs cs;
  EXPECT_FALSE(cs.IsOwnedByCurrentThread());
  {
    SimpleLock outer(&cs, "outer");
    EXPECT_TRUE(cs.IsOwnedByCurrentThread());
    {
      SimpleLock inner(&cs, "inner");
      EXPECT_TRUE(cs.IsOwnedByCurrentThread());
    }
    // Still held by the outer lock.
    EXPECT_TRUE(cs.IsOwnedByCurrentThread());
    bool otherOwns = true;
    std::jthread([&] { otherOwns = cs.IsOwnedByCurrentThread(); }).join();
    EXPECT_FALSE(otherOwns);
  }
  EXPECT_FALSE(cs.IsOwnedByCurrentThread());
}

TEST(LocksThreads, SimpleCsExcludesOtherThreads) {
  SimpleCs cs;
  int counter = 0;
  {
    std::vector<std::jthread> workers;
    for (int t = 0; t < 4; ++t) {
      workers.emplace_back([&] {
        for (int i = 0; i < 5000; ++i) {
          SimpleLock hold(&cs);
          SimpleLock again(&cs);
          ++counter;
        }
      });
    }
  }
  EXPECT_EQ(counter, 20000);
}

TEST(LocksThreads, SimpleLockOnNullDoesNothing) { SimpleLock none(nullptr); }

TEST(LocksThreads, ReadersShareWritersExclude) {
  RWLock lock;
  WaitEvent firstReading;
  WaitEvent release;
  std::atomic<bool> secondRead{false};

  std::jthread first([&] {
    ReadLock hold(lock);
    firstReading.Set();
    release.Wait(kPatience);
  });
  ASSERT_TRUE(firstReading.Wait(kPatience));
  // A second reader gets in while the first still reads.
  std::jthread second([&] {
    ReadLock hold(lock);
    secondRead = true;
  });
  second.join();
  EXPECT_TRUE(secondRead);

  std::atomic<bool> wrote{false};
  std::jthread writer([&] {
    WriteLock hold(lock);
    wrote = true;
  });
  release.Set();
  writer.join();
  EXPECT_TRUE(wrote);

  int shared = 0;
  {
    std::vector<std::jthread> workers;
    for (int t = 0; t < 4; ++t) {
      workers.emplace_back([&] {
        for (int i = 0; i < 2000; ++i) {
          if (i % 2 == 0) {
            WriteLock hold(lock);
            ++shared;
          } else {
            ReadLock hold(lock);
            EXPECT_GE(shared, 0);
          }
        }
      });
    }
  }
  EXPECT_EQ(shared, 4000);
}

TEST(LocksThreads, WaitEventTimesOutWhenNotSet) {
  WaitEvent event;
  EXPECT_FALSE(event.IsSet());
  EXPECT_FALSE(event.Wait(1ms));
}

TEST(LocksThreads, ManualResetEventStaysSetUntilReset) {
  WaitEvent event(true, true);
  EXPECT_TRUE(event.Wait(0ms));
  EXPECT_TRUE(event.Wait(0ms));
  event.Reset();
  EXPECT_FALSE(event.Wait(0ms));
}

TEST(LocksThreads, AutoResetEventReleasesOneWait) {
  WaitEvent event(false);
  event.Set();
  EXPECT_TRUE(event.Wait(0ms));
  EXPECT_FALSE(event.IsSet());
  EXPECT_FALSE(event.Wait(0ms));
}

TEST(LocksThreads, SetWakesWaitersOnOtherThreads) {
  WaitEvent event;
  std::atomic<int> woken{0};
  {
    std::vector<std::jthread> waiters;
    for (int t = 0; t < 3; ++t) {
      waiters.emplace_back([&] {
        if (event.Wait(kPatience)) ++woken;
      });
    }
    event.Set();
  }
  EXPECT_EQ(woken, 3);
}

}  // namespace
