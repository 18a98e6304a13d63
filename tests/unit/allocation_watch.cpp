// Replaces the test binary's operator new and delete to watch every heap
// request, and to refuse large ones when a test asks; in a file of its own
// so that no caller sees through to malloc and free.
#include <atomic>
#include <cstdlib>
#include <new>

std::atomic<size_t> g_largest{0};
std::atomic<size_t> g_refuseFrom{0};

namespace {

void* Allocate(size_t size) noexcept {
  for (size_t seen = g_largest; size > seen && !g_largest.compare_exchange_weak(seen, size);) {
  }
  if (g_refuseFrom != 0 && size >= g_refuseFrom) return nullptr;
  return std::malloc(size > 0 ? size : 1);
}

}  // namespace

void* operator new(size_t size) {
  if (void* block = Allocate(size)) return block;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }
void operator delete[](void* block, size_t) noexcept { std::free(block); }
