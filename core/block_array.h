// An array that grows without ever moving what it holds: blocks of
// doubling size, the first of 2^kFirstBits elements, so that growing it
// copies nothing, wastes at most what it already holds, and an element's
// address stays valid until Clear or Release.
#ifndef CORE_BLOCK_ARRAY_H_
#define CORE_BLOCK_ARRAY_H_

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

template <class T, int kFirstBits>
class BlockArray {
 public:
  // Takes `count` (at most 2^kFirstBits) consecutive elements after the
  // used ones, skipping the rest of a block that cannot hold them all.
  // Returns their first element and stores its position in `position`; or
  // null when the memory cannot be had (nothing changes then).
  T* Append(uint32_t count, uint32_t* position) {
    uint32_t block = BlockOf(used_);
    if (uint64_t{used_} + count > End(block)) used_ = End(block++);
    if (block >= kBlocks || uint64_t{used_} + count > UINT32_MAX) return nullptr;
    if (!blocks_[block]) {
      blocks_[block].reset(new (std::nothrow) T[Start(block + 1) - Start(block)]);
      if (!blocks_[block]) return nullptr;
    }
    *position = used_;
    used_ += count;
    return At(*position);
  }

  // The element at `position`, which Append handed out.
  T* At(uint32_t position) const {
    uint32_t block = BlockOf(position);
    return &blocks_[block][position - Start(block)];
  }

  // Forgets every element; the memory stays for reuse.
  void Clear() { used_ = 0; }

  void Release() {
    for (auto& block : blocks_) block.reset();
    used_ = 0;
  }

 private:
  static const uint32_t kBlocks = 33 - kFirstBits;

  // Block b holds the positions from Start(b) up to Start(b + 1).
  static uint64_t Start(uint32_t block) {
    return ((uint64_t{1} << block) - 1) << kFirstBits;
  }
  static uint32_t End(uint32_t block) {
    return static_cast<uint32_t>(std::min<uint64_t>(Start(block + 1), UINT32_MAX));
  }
  static uint32_t BlockOf(uint32_t position) {
    uint64_t shifted = (uint64_t{position} >> kFirstBits) + 1;
    uint32_t block = 0;
    while (shifted >>= 1) ++block;
    return block;
  }

  std::unique_ptr<T[]> blocks_[kBlocks];
  uint32_t used_ = 0;
};

#endif  // CORE_BLOCK_ARRAY_H_
