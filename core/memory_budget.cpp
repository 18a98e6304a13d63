#include "core/memory_budget.h"

#include <algorithm>

#include "core/platform.h"

void MemoryBudget::Take(size_t bytes) {
  std::unique_lock<std::mutex> held(lock_);
  while (held_ > 0 && held_ + bytes > limit_) given_.wait(held);
  held_ += bytes;
}

void MemoryBudget::Give(size_t bytes) {
  if (bytes == 0) return;
  {
    std::lock_guard<std::mutex> held(lock_);
    held_ -= bytes;
  }
  given_.notify_all();
}

size_t DefaultMemoryBudget() {
  const size_t kMost = size_t{256} << 20;
  uint64_t memory = PlatformPhysicalMemory();
  return memory == 0 ? kMost : static_cast<size_t>(std::min<uint64_t>(kMost, memory / 4));
}
