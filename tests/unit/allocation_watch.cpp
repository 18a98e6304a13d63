// Replaces the test binary's operator new and delete to watch the heap:
// the largest request, the most bytes held at once, and large requests
// refused when a test asks. In a file of its own so that no caller sees
// through to malloc and free.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

std::atomic<size_t> g_largest{0};     // the largest request
std::atomic<size_t> g_live{0};        // bytes held now
std::atomic<size_t> g_peak{0};        // the most bytes held at once
std::atomic<size_t> g_refuseFrom{0};  // 0: refuse nothing

namespace {

// Each block carries its size in front, so that its release is counted.
const size_t kHeader = 16;

void Raise(std::atomic<size_t>& most, size_t value) {
  for (size_t seen = most; value > seen && !most.compare_exchange_weak(seen, value);) {
  }
}

void* Allocate(size_t size) noexcept {
  Raise(g_largest, size);
  if (g_refuseFrom != 0 && size >= g_refuseFrom) return nullptr;
  char* block = static_cast<char*>(std::malloc(size + kHeader));
  if (block == nullptr) return nullptr;
  std::memcpy(block, &size, sizeof size);
  Raise(g_peak, g_live += size);
  return block + kHeader;
}

void Release(void* pointer) noexcept {
  if (pointer == nullptr) return;
  char* block = static_cast<char*>(pointer) - kHeader;
  size_t size;
  std::memcpy(&size, block, sizeof size);
  g_live -= size;
  std::free(block);
}

}  // namespace

void* operator new(size_t size) {
  if (void* block = Allocate(size)) return block;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, size_t) noexcept { Release(block); }
void operator delete[](void* block, size_t) noexcept { Release(block); }
