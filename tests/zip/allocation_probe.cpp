#include "tests/zip/allocation_probe.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<size_t> largest{0};
std::atomic<size_t> refuseFrom{0};

void* Allocate(size_t size) noexcept {
  size_t seen = largest.load();
  while (size > seen && !largest.compare_exchange_weak(seen, size)) {
  }
  size_t limit = refuseFrom.load();
  if (limit != 0 && size >= limit) return nullptr;
  return std::malloc(size > 0 ? size : 1);
}

void* AllocateOrThrow(size_t size) {
  void* block = Allocate(size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

}  // namespace

namespace allocprobe {

void ResetLargest() { largest.store(0); }
size_t Largest() { return largest.load(); }
void RefuseFrom(size_t limit) { refuseFrom.store(limit); }

}  // namespace allocprobe

// Every form is replaced, so that all blocks come from malloc and go back
// to free whichever form released them.
void* operator new(size_t size) { return AllocateOrThrow(size); }
void* operator new[](size_t size) { return AllocateOrThrow(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size);
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }
void operator delete[](void* block, size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept {
  std::free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
  std::free(block);
}
