#include "core/events/MessageCenter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Long enough never to run out on a loaded machine.
constexpr auto kPatience = 10s;

struct Delivery {
  int center;
  int type;
  std::vector<std::uint8_t> payload;
  Clock::time_point when;
};

// Records every event delivered to any of its centres.
class DeliveryLog {
 public:
  void Add(int center, const _MSG_EVENT* event) {
    Delivery d{center, event->type, {}, Clock::now()};
    d.payload.resize(static_cast<std::size_t>(event->length));
    if (event->length > 0) std::memcpy(d.payload.data(), event->payload, d.payload.size());
    {
      std::lock_guard<std::mutex> hold(m_lock);
      m_items.push_back(std::move(d));
    }
    m_changed.notify_all();
  }
  // False when fewer than `count` arrived in time.
  bool WaitFor(std::size_t count) {
    std::unique_lock<std::mutex> hold(m_lock);
    return m_changed.wait_for(hold, kPatience, [&] { return m_items.size() >= count; });
  }
  std::vector<Delivery> Items() {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_items;
  }

 private:
  std::mutex m_lock;
  std::condition_variable m_changed;
  std::vector<Delivery> m_items;
};

class RecordingCenter : public INotifyCenter {
 public:
  RecordingCenter(DeliveryLog& log, int id) : m_log(log), m_id(id) { SetType(id); }
  void Notify(_MSG_EVENT* event) override { m_log.Add(m_id, event); }

 private:
  DeliveryLog& m_log;
  int m_id;
};

// Pushes one event and waits until it was delivered: later pushes then stay
// queued for a whole interval.
void PrimeAndWait(CMessageCenter& queue, DeliveryLog& log, std::size_t alreadyDelivered) {
  std::uint8_t marker = 0xEE;
  queue.PushEvent(kEventDeviceReadFailed, 1, &marker);
  ASSERT_TRUE(log.WaitFor(alreadyDelivered + 1));
}

TEST(MessageCenterThreads, InstanceIsOneRunningQueue) {
  CMessageCenter* queue = CMessageCenter::Instance();
  ASSERT_NE(queue, nullptr);
  EXPECT_EQ(queue, CMessageCenter::Instance());

  DeliveryLog log;
  RecordingCenter center(log, 1);
  queue->SetDispatchInterval(10ms);
  queue->UpdateNotifyCenter(1, &center);
  queue->PushEvent(kEventDeviceReadFailed, 0, nullptr);
  const bool delivered = log.WaitFor(1);
  queue->UnregisterNotifyCenter(1);
  queue->SetDispatchInterval(1000ms);

  ASSERT_TRUE(delivered);
  EXPECT_EQ(log.Items()[0].type, kEventDeviceReadFailed);
  EXPECT_TRUE(log.Items()[0].payload.empty());
}

TEST(MessageCenterThreads, EventPushedWhileStoppedIsDroppedUncopied) {
  CMessageCenter queue(20ms);
  DeliveryLog log;
  RecordingCenter center(log, 1);
  ASSERT_EQ(queue.RegisterNotifyCenter(1, &center), 1);
  queue.StopReceiveMessage();

  // The length is far beyond the buffer: a copy would be caught by ASan.
  std::uint8_t tiny = 1;
  queue.PushEvent(kEventDeviceReadFailed, 1 << 20, &tiny);
  EXPECT_EQ(queue.QueuedCount(), 0u);

  queue.StartReceiveMessage();
  std::uint8_t after = 2;
  queue.PushEvent(kEventDeviceReadFailed, 1, &after);
  ASSERT_TRUE(log.WaitFor(1));
  const auto items = log.Items();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].payload, std::vector<std::uint8_t>{2});
  queue.UnregisterNotifyCenter(1);
}

TEST(MessageCenterThreads, DeliversInOrderOnePerInterval) {
  constexpr auto kInterval = 20ms;
  CMessageCenter queue(kInterval);
  DeliveryLog log;
  RecordingCenter center(log, 1);
  queue.RegisterNotifyCenter(1, &center);

  std::uint8_t first[3] = {1, 2, 3};
  std::uint8_t second[2] = {4, 5};
  queue.PushEvent(kEventDeviceReadFailed, sizeof(first), first);
  queue.PushEvent(kEventDeviceReadFailed, sizeof(second), second);
  // The queue owns copies of the payloads.
  first[0] = 9;
  second[0] = 9;

  ASSERT_TRUE(log.WaitFor(2));
  queue.UnregisterNotifyCenter(1);
  const auto items = log.Items();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].payload, (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(items[1].payload, (std::vector<std::uint8_t>{4, 5}));
  EXPECT_GE(items[1].when - items[0].when, kInterval);
}

TEST(MessageCenterThreads, EveryCentreGetsEveryEventInAscendingTypeOrder) {
  CMessageCenter queue(10ms);
  DeliveryLog log;
  RecordingCenter five(log, 5);
  RecordingCenter one(log, 1);
  RecordingCenter three(log, 3);
  queue.RegisterNotifyCenter(5, &five);
  queue.RegisterNotifyCenter(1, &one);
  queue.RegisterNotifyCenter(3, &three);

  queue.PushEvent(kEventDeviceReadFailed, 0, nullptr);
  ASSERT_TRUE(log.WaitFor(3));
  queue.StopReceiveMessage();
  const auto items = log.Items();
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].center, 1);
  EXPECT_EQ(items[1].center, 3);
  EXPECT_EQ(items[2].center, 5);
  for (const Delivery& d : items) EXPECT_EQ(d.type, kEventDeviceReadFailed);
}

TEST(MessageCenterThreads, EventWithoutCentreIsFreed) {
  CMessageCenter queue(1ms);
  std::uint8_t bytes[64] = {};
  for (std::uint8_t i = 0; i < 10; ++i) {
    bytes[0] = i;
    queue.PushEvent(kEventDeviceReadFailed, sizeof(bytes), bytes);
  }
  const auto deadline = Clock::now() + kPatience;
  while (queue.QueuedCount() != 0 && Clock::now() < deadline) std::this_thread::sleep_for(1ms);
  // Leak checking at exit proves that the popped events were freed.
  EXPECT_EQ(queue.QueuedCount(), 0u);
}

TEST(MessageCenterThreads, RegisterTwiceKeepsFirstAndUpdateReplaces) {
  CMessageCenter queue(1000ms);
  DeliveryLog log;
  RecordingCenter first(log, 1);
  RecordingCenter second(log, 2);

  EXPECT_EQ(queue.RegisterNotifyCenter(1, nullptr), 0);
  EXPECT_EQ(queue.GetNotifyCenter(1), nullptr);
  EXPECT_EQ(queue.RegisterNotifyCenter(1, &first), 1);
  EXPECT_EQ(queue.RegisterNotifyCenter(1, &second), 0);
  EXPECT_EQ(queue.GetNotifyCenter(1), &first);

  queue.UpdateNotifyCenter(1, &second);
  EXPECT_EQ(queue.GetNotifyCenter(1), &second);
  queue.UpdateNotifyCenter(7, &first);
  EXPECT_EQ(queue.GetNotifyCenter(7), &first);

  queue.UnregisterNotifyCenter(1);
  EXPECT_EQ(queue.GetNotifyCenter(1), nullptr);
  queue.UnregisterNotifyCenter(1);
  EXPECT_EQ(queue.RegisterNotifyCenter(1, &first), 1);
}

TEST(MessageCenterThreads, IdenticalQueuedEventsAreCoalesced) {
  CMessageCenter queue(kPatience);
  DeliveryLog log;
  RecordingCenter center(log, 1);
  queue.RegisterNotifyCenter(1, &center);
  PrimeAndWait(queue, log, 0);

  std::uint8_t a = 0xA0;
  std::uint8_t b = 0xB0;
  for (int i = 0; i < 1000; ++i) queue.PushEvent(kEventDeviceReadFailed, 0, nullptr);
  for (int i = 0; i < 100; ++i) queue.PushEvent(kEventDeviceReadFailed, 1, &a);
  queue.PushEvent(kEventDeviceReadFailed, 1, &b);
  queue.PushEvent(static_cast<EVENT_TYPE>(2), 1, &a);
  EXPECT_EQ(queue.QueuedCount(), 4u);

  queue.SetDispatchInterval(1ms);
  ASSERT_TRUE(log.WaitFor(5));
  queue.UnregisterNotifyCenter(1);
  const auto items = log.Items();
  ASSERT_EQ(items.size(), 5u);
  EXPECT_TRUE(items[1].payload.empty());
  EXPECT_EQ(items[2].payload, std::vector<std::uint8_t>{0xA0});
  EXPECT_EQ(items[3].payload, std::vector<std::uint8_t>{0xB0});
  EXPECT_EQ(items[4].type, 2);
  EXPECT_EQ(items[4].payload, std::vector<std::uint8_t>{0xA0});
}

TEST(MessageCenterThreads, StopDiscardsQueuedEvents) {
  CMessageCenter queue(kPatience);
  DeliveryLog log;
  RecordingCenter center(log, 1);
  queue.RegisterNotifyCenter(1, &center);
  PrimeAndWait(queue, log, 0);

  std::uint8_t one = 1;
  std::uint8_t two = 2;
  queue.PushEvent(kEventDeviceReadFailed, 1, &one);
  queue.PushEvent(kEventDeviceReadFailed, 1, &two);
  EXPECT_EQ(queue.QueuedCount(), 2u);

  queue.StopReceiveMessage();
  EXPECT_EQ(queue.QueuedCount(), 0u);
  queue.StartReceiveMessage();
  queue.SetDispatchInterval(1ms);
  PrimeAndWait(queue, log, 1);
  queue.UnregisterNotifyCenter(1);
  EXPECT_EQ(log.Items().size(), 2u);
}

TEST(MessageCenterThreads, StopDoesNotWaitForTheInterval) {
  CMessageCenter queue(std::chrono::milliseconds(60s));
  DeliveryLog log;
  RecordingCenter center(log, 1);
  queue.RegisterNotifyCenter(1, &center);
  PrimeAndWait(queue, log, 0);
  // The thread now waits out the interval before the next delivery.
  queue.PushEvent(static_cast<EVENT_TYPE>(2), 0, nullptr);
  const auto start = Clock::now();
  queue.StopReceiveMessage();
  EXPECT_LT(Clock::now() - start, 5s);
  EXPECT_EQ(log.Items().size(), 1u);
}

TEST(MessageCenterThreads, ConcurrentProducersAndRegistration) {
  CMessageCenter queue(1ms);
  DeliveryLog log;
  RecordingCenter center(log, 1);
  {
    std::vector<std::jthread> producers;
    for (int t = 0; t < 4; ++t) {
      producers.emplace_back([&queue, t] {
        for (int i = 0; i < 200; ++i) {
          const int value = t * 1000 + i;
          queue.PushEvent(kEventDeviceReadFailed, sizeof(value), const_cast<int*>(&value));
        }
      });
    }
    producers.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        queue.UpdateNotifyCenter(1, &center);
        queue.GetNotifyCenter(1);
        queue.UnregisterNotifyCenter(1);
      }
    });
    producers.emplace_back([&] {
      for (int i = 0; i < 20; ++i) {
        queue.StopReceiveMessage();
        queue.StartReceiveMessage();
      }
    });
  }
  queue.StopReceiveMessage();
  EXPECT_EQ(queue.QueuedCount(), 0u);
}

}  // namespace
