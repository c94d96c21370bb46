// Counting the heap allocations of one thread. A program that links
// allocation_count.cpp has its global allocation functions replaced, so it
// gets a program of its own: the replacement would hide every other test
// from a sanitizer's allocator.
#pragma once

namespace testhost {

// Counts the allocations of the current thread from construction until
// stop() or destruction.
class AllocationCount {
 public:
  AllocationCount();
  ~AllocationCount();
  long stop();
};

}  // namespace testhost
