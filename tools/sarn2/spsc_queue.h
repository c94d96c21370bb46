// A fixed-capacity queue between exactly one producer thread and one
// consumer thread, without locks or allocation after construction: the
// audio thread's way of telling the main thread what happened.
#pragma once

#include <atomic>
#include <cstddef>
#include <vector>

namespace sarn2tool {

template <typename T>
class SpscQueue {
 public:
  // Holds up to capacity items; the storage is allocated here, once.
  explicit SpscQueue(size_t capacity) : slots(capacity + 1) {}
  SpscQueue(const SpscQueue&) = delete;
  SpscQueue& operator=(const SpscQueue&) = delete;

  // Producer only. False, and the item is not stored, when the queue is full.
  bool push(const T& item) {
    const size_t tail = tail_.load(std::memory_order_relaxed);
    const size_t next = advance(tail);
    if (next == head_.load(std::memory_order_acquire)) return false;
    slots[tail] = item;
    // Release: the consumer sees the item's contents once it sees the new tail.
    tail_.store(next, std::memory_order_release);
    return true;
  }

  // Consumer only. False when the queue is empty.
  bool pop(T& item) {
    const size_t head = head_.load(std::memory_order_relaxed);
    if (head == tail_.load(std::memory_order_acquire)) return false;
    item = slots[head];
    head_.store(advance(head), std::memory_order_release);
    return true;
  }

 private:
  size_t advance(size_t index) const { return index + 1 == slots.size() ? 0 : index + 1; }

  // One slot always stays empty, so that full and empty differ.
  std::vector<T> slots;
  // Apart, so that producer and consumer do not share a cache line.
  alignas(64) std::atomic<size_t> head_{0};
  alignas(64) std::atomic<size_t> tail_{0};
};

}  // namespace sarn2tool
