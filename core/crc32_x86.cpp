// CRC-32 by folding with carry-less multiplication (PCLMULQDQ, and its
// AVX-512 form VPCLMULQDQ), each function compiled for its own instruction
// set so that one binary runs on any x86-64 and picks at run time.
//
// How it works, in the bit order of the reflected CRC: a 16-byte lane read
// little-endian holds a polynomial whose highest power is bit 0. The low
// 8 bytes (H) and the high 8 bytes (L) of a lane that stands D bits before
// a later lane can be moved onto it as H * (x^(D+64) mod P) + L * (x^D mod
// P), two 64 x 33-bit carry-less products, and XORed into it. Repeating
// this brings the whole input down to one 16-byte lane A, whose register is
// A * x^32 mod P; two more folds bring that to 64 bits and a Barrett
// reduction to 32.
//
// Every constant is computed below from the polynomial at compile time.
// Each is stored as a 33-bit reflected value (the coefficient of x^e at
// bit 32 - e), which carries an extra factor x^31 into the product; with
// the factor x that a carry-less product of two reflected 64-bit operands
// brings, that is why the exponents below differ from D + 64 and D by 32.
#include <immintrin.h>

#include <iterator>

#include "core/crc32_kernels.h"

namespace {

// x^32 + x^26 + ... + 1, the zip polynomial in the ordinary bit order.
constexpr uint64_t kPoly = 0x104C11DB7ull;

// floor(x^64 / P), for the Barrett reduction.
constexpr uint64_t BarrettQuotient() {
  uint64_t r = 0;
  uint64_t q = 0;
  for (int degree = 64; degree >= 0; --degree) {
    r = (r << 1) | (degree == 64 ? 1u : 0u);
    if (r >> 32) {
      r ^= kPoly;
      q |= 1ull << degree;
    }
  }
  return q;
}

constexpr uint64_t Reflect33(uint64_t value) {
  uint64_t out = 0;
  for (int e = 0; e <= 32; ++e) {
    if ((value >> e) & 1u) out |= 1ull << (32 - e);
  }
  return out;
}

// Multipliers that move a 16-byte lane forward by `bits`: kLow for its low
// 8 bytes, kHigh for its high 8 bytes. A template, so that they are
// computed while compiling even in unoptimised builds. Distance 0 gives
// zero multipliers, for a lane that stays where it is.
template <unsigned kBits>
struct FoldPair {
  static constexpr long long kLow =
      static_cast<long long>(Reflect33(Crc32PowerOfX(kBits + 32)));
  static constexpr long long kHigh =
      static_cast<long long>(Reflect33(Crc32PowerOfX(kBits - 32)));
};
template <>
struct FoldPair<0> {
  static constexpr long long kLow = 0;
  static constexpr long long kHigh = 0;
};

static_assert(Reflect33(kPoly) == 0x1DB710641ull,
              "the reflected polynomial is the one of the byte table");

constexpr uint64_t kReduceFirst = Reflect33(Crc32PowerOfX(96));
constexpr uint64_t kReduceSecond = Reflect33(Crc32PowerOfX(64));
constexpr uint64_t kBarrettQuotient = Reflect33(BarrettQuotient());
constexpr uint64_t kBarrettPoly = Reflect33(kPoly);

#define CRC32_TARGET_PCLMUL __attribute__((target("pclmul,sse4.1")))
#define CRC32_TARGET_VPCLMUL \
  __attribute__((target("pclmul,sse4.1,avx512f,avx512vl,vpclmulqdq")))

template <unsigned kBits>
CRC32_TARGET_PCLMUL inline __m128i FoldConstants128() {
  return _mm_set_epi64x(FoldPair<kBits>::kHigh, FoldPair<kBits>::kLow);
}

// `lane` moved forward by the distance `k` was made for, XORed into `next`.
CRC32_TARGET_PCLMUL inline __m128i Fold128(__m128i lane, __m128i k,
                                           __m128i next) {
  const __m128i low = _mm_clmulepi64_si128(lane, k, 0x00);
  const __m128i high = _mm_clmulepi64_si128(lane, k, 0x11);
  return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

CRC32_TARGET_PCLMUL inline __m128i Load128(const unsigned char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// The register of a last lane A: A * x^32 mod P.
CRC32_TARGET_PCLMUL inline uint32_t ReduceLane(__m128i a) {
  const __m128i low32 = _mm_set_epi32(0, 0, 0, -1);
  const __m128i k = _mm_set_epi64x(static_cast<long long>(kReduceSecond),
                                   static_cast<long long>(kReduceFirst));
  const __m128i mu = _mm_set_epi64x(static_cast<long long>(kBarrettPoly),
                                    static_cast<long long>(kBarrettQuotient));
  // 128 to 96 bits: the low 8 bytes times x^96 onto the high 8 bytes.
  __m128i v = _mm_xor_si128(_mm_clmulepi64_si128(a, k, 0x00),
                            _mm_srli_si128(a, 8));
  // 96 to 64 bits: the first 4 bytes times x^64 onto the next 8.
  v = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(v, low32), k, 0x10),
                    _mm_srli_si128(v, 4));
  // Barrett: quotient from the top 32 bits, then subtract quotient * P.
  __m128i t = _mm_clmulepi64_si128(_mm_and_si128(v, low32), mu, 0x00);
  t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), mu, 0x10);
  return static_cast<uint32_t>(_mm_extract_epi32(_mm_xor_si128(v, t), 1));
}

// The multipliers for four lanes moved by kBits0 .. kBits3.
template <unsigned kBits0, unsigned kBits1, unsigned kBits2, unsigned kBits3>
CRC32_TARGET_VPCLMUL inline __m512i FoldConstants512() {
  return _mm512_set_epi64(FoldPair<kBits3>::kHigh, FoldPair<kBits3>::kLow,
                          FoldPair<kBits2>::kHigh, FoldPair<kBits2>::kLow,
                          FoldPair<kBits1>::kHigh, FoldPair<kBits1>::kLow,
                          FoldPair<kBits0>::kHigh, FoldPair<kBits0>::kLow);
}

// Four 16-byte lanes at once, each moved by the distance `k` was made for.
CRC32_TARGET_VPCLMUL inline __m512i Fold512(__m512i lanes, __m512i k,
                                            __m512i next) {
  const __m512i low = _mm512_clmulepi64_epi128(lanes, k, 0x00);
  const __m512i high = _mm512_clmulepi64_epi128(lanes, k, 0x11);
  return _mm512_ternarylogic_epi64(low, high, next, 0x96);  // a ^ b ^ c
}

CRC32_TARGET_VPCLMUL inline __m512i Load512(const unsigned char* p) {
  return _mm512_loadu_si512(p);
}

// The four lanes of `z` folded into its last one: lane i stands
// (3 - i) * 128 bits before it.
CRC32_TARGET_VPCLMUL inline __m128i CombineLanes(__m512i z) {
  const __m512i k = FoldConstants512<384, 256, 128, 0>();
  const __m512i low = _mm512_clmulepi64_epi128(z, k, 0x00);
  const __m512i high = _mm512_clmulepi64_epi128(z, k, 0x11);
  // Lane 3 is already in place: take it from z unchanged.
  const __m512i moved =
      _mm512_mask_blend_epi64(0xC0, _mm512_xor_si512(low, high), z);
  // The zero-masking forms, because the plain ones start from an undefined
  // register that this compiler warns about.
  const __m128i a = _mm512_maskz_extracti32x4_epi32(0xF, moved, 0);
  const __m128i b = _mm512_maskz_extracti32x4_epi32(0xF, moved, 1);
  const __m128i c = _mm512_maskz_extracti32x4_epi32(0xF, moved, 2);
  const __m128i d = _mm512_maskz_extracti32x4_epi32(0xF, moved, 3);
  return _mm_xor_si128(_mm_ternarylogic_epi64(a, b, c, 0x96), d);
}

int PclmulAvailable() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
}

int VpclmulAvailable() {
  __builtin_cpu_init();
  return PclmulAvailable() && __builtin_cpu_supports("avx512f") &&
         __builtin_cpu_supports("avx512vl") &&
         __builtin_cpu_supports("vpclmulqdq");
}

// Four lanes folded side by side: one fold waits several cycles for its
// products, four independent ones keep the multiplier busy.
CRC32_TARGET_PCLMUL uint32_t FoldPclmul(uint32_t reg,
                                        const unsigned char* data,
                                        size_t length) {
  const __m128i seed = _mm_cvtsi32_si128(static_cast<int>(reg));
  __m128i x0 = _mm_xor_si128(Load128(data), seed);
  __m128i x1 = Load128(data + 16);
  __m128i x2 = Load128(data + 32);
  __m128i x3 = Load128(data + 48);
  data += 64;
  length -= 64;
  const __m128i k4 = FoldConstants128<512>();
  while (length >= 64) {
    x0 = Fold128(x0, k4, Load128(data));
    x1 = Fold128(x1, k4, Load128(data + 16));
    x2 = Fold128(x2, k4, Load128(data + 32));
    x3 = Fold128(x3, k4, Load128(data + 48));
    data += 64;
    length -= 64;
  }
  const __m128i k1 = FoldConstants128<128>();
  __m128i x = Fold128(Fold128(Fold128(x0, k1, x1), k1, x2), k1, x3);
  while (length >= 16) {
    x = Fold128(x, k1, Load128(data));
    data += 16;
    length -= 16;
  }
  return ReduceLane(x);
}

// data[0..span) folded into one 64-byte register, `span` a multiple of 256
// and `first` the first 64 bytes with the register already XORed in. Four
// registers (16 lanes) go side by side, 256 bytes a step: enough
// independent products to keep the multiplier busy.
CRC32_TARGET_VPCLMUL inline __m512i FoldWide(__m512i first,
                                             const unsigned char* data,
                                             size_t span) {
  __m512i z0 = first;
  __m512i z1 = Load512(data + 64);
  __m512i z2 = Load512(data + 128);
  __m512i z3 = Load512(data + 192);
  const __m512i k4 = FoldConstants512<2048, 2048, 2048, 2048>();
  for (size_t done = 256; done < span; done += 256) {
    z0 = Fold512(z0, k4, Load512(data + done));
    z1 = Fold512(z1, k4, Load512(data + done + 64));
    z2 = Fold512(z2, k4, Load512(data + done + 128));
    z3 = Fold512(z3, k4, Load512(data + done + 192));
  }
  const __m512i k1 = FoldConstants512<512, 512, 512, 512>();
  return Fold512(Fold512(Fold512(z0, k1, z1), k1, z2), k1, z3);
}

CRC32_TARGET_VPCLMUL uint32_t FoldVpclmul(uint32_t reg,
                                          const unsigned char* data,
                                          size_t length) {
  const __m512i seed =
      _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(reg)));
  __m512i z = _mm512_xor_si512(Load512(data), seed);
  size_t done = 64;
  if (length >= 256) {
    done = length - length % 256;
    z = FoldWide(z, data, done);
  }
  const __m512i k1 = FoldConstants512<512, 512, 512, 512>();
  for (; length - done >= 64; done += 64) {
    z = Fold512(z, k1, Load512(data + done));
  }
  __m128i x = CombineLanes(z);
  const __m128i k = FoldConstants128<128>();
  for (; length - done >= 16; done += 16) {
    x = Fold128(x, k, Load128(data + done));
  }
  return ReduceLane(x);
}

// The folding functions want whole 16-byte lanes, at least four of them.
// The lanes start on a 16-byte boundary: measured here, the wide loads run
// as fast unaligned, so a larger alignment would only make the slower head
// longer.
const size_t kFoldAlignment = 16;
const size_t kFoldMinimum = 64;

typedef uint32_t (*FoldFunction)(uint32_t, const unsigned char*, size_t);

// Slicing up to a 16-byte boundary, folding over the 16-byte blocks after
// it, slicing over the rest. Inputs that leave fewer than four lanes after
// the head are sliced whole; from four lanes on, folding measured faster
// than slicing here even with both ends sliced.
uint32_t UpdateFolded(uint32_t reg, const unsigned char* data, size_t length,
                      FoldFunction fold) {
  const uintptr_t address = reinterpret_cast<uintptr_t>(data);
  const size_t head = (kFoldAlignment - address % kFoldAlignment) %
                      kFoldAlignment;
  if (length < head || length - head < kFoldMinimum) {
    return Crc32UpdateSlicing(reg, data, length);
  }
  reg = Crc32UpdateSlicing(reg, data, head);
  data += head;
  length -= head;
  const size_t middle = length & ~(kFoldAlignment - 1);
  reg = fold(reg, data, middle);
  return Crc32UpdateSlicing(reg, data + middle, length - middle);
}

uint32_t UpdatePclmul(uint32_t reg, const unsigned char* data, size_t length) {
  return UpdateFolded(reg, data, length, FoldPclmul);
}

uint32_t UpdateVpclmul(uint32_t reg, const unsigned char* data, size_t length) {
  return UpdateFolded(reg, data, length, FoldVpclmul);
}

const Crc32ProcessorKernel kKernels[] = {
    {"pclmul", PclmulAvailable, UpdatePclmul},
    {"vpclmul", VpclmulAvailable, UpdateVpclmul},
};

}  // namespace

const Crc32ProcessorKernel* Crc32ProcessorKernels(int* count) {
  *count = static_cast<int>(std::size(kKernels));
  return kKernels;
}
