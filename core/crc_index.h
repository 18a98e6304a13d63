// An index from CRC-32 to the position of the first catalog entry that
// carries it: the pairs (CRC-32, position) sorted once after the load and
// searched by halving, so that no choice of catalog numbers can make a
// load or a lookup slower than n log n in all.
#ifndef CORE_CRC_INDEX_H_
#define CORE_CRC_INDEX_H_

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

class CrcIndex {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;

  // Indexes `count` entries whose CRC-32 `crcOf(position)` gives. Returns
  // 1 on success; 0 when the memory cannot be had (the index is empty).
  template <class CrcOf>
  int Build(uint32_t count, CrcOf crcOf) {
    pairs_.reset(new (std::nothrow) uint64_t[count > 0 ? count : 1]);
    count_ = pairs_ ? count : 0;
    // The CRC-32 in the high half and the position in the low half: sorted
    // as numbers, the first pair of each CRC-32 is its first entry.
    for (uint32_t i = 0; i < count_; ++i) pairs_[i] = uint64_t{crcOf(i)} << 32 | i;
    std::sort(pairs_.get(), pairs_.get() + count_);
    return pairs_ ? 1 : 0;
  }

  // Whether Build has run since the last Release.
  bool Built() const { return pairs_ != nullptr; }

  // The position of the first entry that carries `crc`, or kNone.
  uint32_t Find(uint32_t crc) const {
    const uint64_t* begin = pairs_.get();
    const uint64_t* end = begin + count_;
    const uint64_t* first = std::lower_bound(begin, end, uint64_t{crc} << 32);
    return first != end && (*first >> 32) == crc ? static_cast<uint32_t>(*first) : kNone;
  }

  void Release() {
    pairs_.reset();
    count_ = 0;
  }

 private:
  std::unique_ptr<uint64_t[]> pairs_;
  uint32_t count_ = 0;
};

#endif  // CORE_CRC_INDEX_H_
