// CRC-32 as zip uses it: reflected, polynomial 0xEDB88320, initial value
// all ones, final complement.
#ifndef CORE_CRC32_H_
#define CORE_CRC32_H_

#include <cstdint>

// Fills the process-wide table. Must run once before Crc32Compute.
void Crc32InitTable();

// Returns the checksum of the bytes of `data` from index `offset` up to,
// not including, `offset + length` computed in 32 bits; when that end does
// not lie above `offset` no byte is read and the result is 0 (for seed 0).
// A non-zero `seed` is taken as the raw starting register, not inverted.
uint32_t Crc32Compute(const unsigned char* data, uint32_t length,
                      uint32_t offset, uint32_t seed);

// Returns the checksum of two pieces of data one after the other, from the
// checksum `first` of the first piece and `second` of the second, which
// is `secondLength` bytes long; no byte is read. As the result is linear
// in `second`, the same call also gives the checksum of a suffix: with
// `first` that of the bytes before the suffix and `second` that of the
// whole, it returns the suffix's, so a header's checksum is all that is
// needed to know the rest's.
uint32_t Crc32Combine(uint32_t first, uint32_t second, uint64_t secondLength);

#endif  // CORE_CRC32_H_
