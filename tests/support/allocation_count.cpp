// Global allocation functions that count, per thread, while an
// AllocationCount asks them to.
#include "tests/support/allocation_count.h"

#include <cstdlib>
#include <new>

namespace {

thread_local bool counting = false;
thread_local long allocations = 0;

void* allocate(std::size_t size) {
  if (counting) ++allocations;
  return std::malloc(size != 0 ? size : 1);
}

}  // namespace

namespace testhost {

AllocationCount::AllocationCount() {
  allocations = 0;
  counting = true;
}

AllocationCount::~AllocationCount() { counting = false; }

long AllocationCount::stop() {
  counting = false;
  return allocations;
}

}  // namespace testhost

void* operator new(std::size_t size) {
  if (void* memory = allocate(size)) return memory;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
