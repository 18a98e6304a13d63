// An index from CRC-32 to the position of the first catalog entry that
// carries it, so that a lookup costs the same for ten entries or a million.
//
// Open addressing with linear probing over a power-of-two table kept at
// most half full. Positions only ever get added (the catalog never removes
// single entries), so there are no tombstones.
#ifndef CORE_CRC_INDEX_H_
#define CORE_CRC_INDEX_H_

#include <cstdint>
#include <memory>
#include <new>

class CrcIndex {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;

  // Records `position` for `crc` unless a position is already recorded (the
  // first one in load order wins). Returns 1 on success; 0 when memory for
  // a larger table cannot be had, leaving the index as it was.
  int Insert(uint32_t crc, uint32_t position) {
    if (uint64_t{used_ + 1} * 2 > capacity_ && !Grow()) return 0;
    Slot* slot = Probe(crc);
    if (slot->position == kNone) {
      *slot = Slot{crc, position};
      ++used_;
    }
    return 1;
  }

  // Returns the recorded position for `crc`, or kNone.
  uint32_t Find(uint32_t crc) const {
    return capacity_ == 0 ? kNone : Probe(crc)->position;
  }

  // Forgets every position; the table's memory stays for reuse.
  void Clear() {
    for (uint32_t i = 0; i < capacity_; ++i) slots_[i].position = kNone;
    used_ = 0;
  }

  // Releases the table's memory.
  void Release() {
    slots_.reset();
    capacity_ = 0;
    used_ = 0;
  }

 private:
  struct Slot {
    uint32_t crc;
    uint32_t position;  // kNone marks a free slot
  };

  // Checksums of real files are already well spread, but a catalog may hold
  // any numbers; a multiplicative hash spreads those over the table too.
  uint32_t Home(uint32_t crc) const {
    return static_cast<uint32_t>((uint64_t{crc} * 0x9E3779B97F4A7C15ull) >>
                                 32) &
           (capacity_ - 1);
  }

  // The slot holding `crc`, or the free slot where it would go.
  Slot* Probe(uint32_t crc) const {
    uint32_t i = Home(crc);
    while (slots_[i].position != kNone && slots_[i].crc != crc) {
      i = (i + 1) & (capacity_ - 1);
    }
    return &slots_[i];
  }

  int Grow() {
    uint64_t grown = capacity_ == 0 ? 64 : uint64_t{capacity_} * 2;
    if (grown > (uint64_t{1} << 31)) return 0;
    std::unique_ptr<Slot[]> old = std::move(slots_);
    uint32_t oldCapacity = capacity_;
    slots_.reset(new (std::nothrow) Slot[grown]);
    if (!slots_) {
      slots_ = std::move(old);
      return 0;
    }
    capacity_ = static_cast<uint32_t>(grown);
    used_ = 0;
    Clear();
    for (uint32_t i = 0; i < oldCapacity; ++i) {
      if (old[i].position == kNone) continue;
      *Probe(old[i].crc) = old[i];
      ++used_;
    }
    return 1;
  }

  std::unique_ptr<Slot[]> slots_;
  uint32_t capacity_ = 0;  // a power of two, or 0
  uint32_t used_ = 0;
};

#endif  // CORE_CRC_INDEX_H_
