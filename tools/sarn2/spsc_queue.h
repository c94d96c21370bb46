// A fixed-capacity queue between exactly one producer thread and one
// consumer thread, without locks or allocation after construction: the
// audio thread's way of telling the main thread what happened. Built on
// JACK's lock-free ring buffer, which is made for exactly this.
#pragma once

#include <jack/ringbuffer.h>

#include <cstddef>
#include <new>
#include <type_traits>

namespace sarn2tool {

template <typename T>
class SpscQueue {
  static_assert(std::is_trivially_copyable_v<T>, "items travel through the ring buffer as bytes");

 public:
  // Holds at least capacity items; the storage is allocated here, once.
  explicit SpscQueue(size_t capacity) : ring_(jack_ringbuffer_create((capacity + 1) * sizeof(T))) {
    if (ring_ == nullptr) throw std::bad_alloc();
  }
  ~SpscQueue() { jack_ringbuffer_free(ring_); }
  SpscQueue(const SpscQueue&) = delete;
  SpscQueue& operator=(const SpscQueue&) = delete;

  // Producer only. False, and the item is not stored, when the queue is full.
  bool push(const T& item) {
    if (jack_ringbuffer_write_space(ring_) < sizeof(T)) return false;
    jack_ringbuffer_write(ring_, reinterpret_cast<const char*>(&item), sizeof(T));
    return true;
  }

  // Consumer only. False when the queue is empty.
  bool pop(T& item) {
    if (jack_ringbuffer_read_space(ring_) < sizeof(T)) return false;
    jack_ringbuffer_read(ring_, reinterpret_cast<char*>(&item), sizeof(T));
    return true;
  }

 private:
  jack_ringbuffer_t* ring_;
};

}  // namespace sarn2tool
