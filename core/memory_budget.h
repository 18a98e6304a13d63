// The bytes of file contents that the identifying threads of one run may
// hold at once, so that memory does not grow with the number of cores: a
// thread that would go over waits until others give theirs back, except
// that a thread alone may always take what one file needs.
#ifndef CORE_MEMORY_BUDGET_H_
#define CORE_MEMORY_BUDGET_H_

#include <condition_variable>
#include <cstddef>
#include <mutex>

class MemoryBudget {
 public:
  explicit MemoryBudget(size_t limit) : limit_(limit) {}

  // Takes `bytes`, waiting while they would pass the limit and other
  // threads hold some. The caller holds none while it waits.
  void Take(size_t bytes);

  // Gives back `bytes` taken before.
  void Give(size_t bytes);

 private:
  std::mutex lock_;
  std::condition_variable given_;
  const size_t limit_;
  size_t held_ = 0;
};

// The budget of a run: 256 MiB, or a quarter of the memory of the machine
// where that is less.
size_t DefaultMemoryBudget();

#endif  // CORE_MEMORY_BUDGET_H_
