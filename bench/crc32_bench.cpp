// Bytes per second of each CRC-32 kernel of ours, of zlib's crc32 and of
// ISA-L's crc32_gzip_refl, over one warm, 64-byte aligned buffer.
//   crc32_bench [--benchmark_filter=...]   (any Google Benchmark flag)
#include <benchmark/benchmark.h>
#include <isa-l/crc.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>

#include "core/crc32.h"
#include "core/crc32_kernels.h"

namespace {

const size_t kLargest = size_t{64} << 20;

struct FreeDeleter {
  void operator()(unsigned char* p) const { std::free(p); }
};

unsigned char* SharedBuffer() {
  static std::unique_ptr<unsigned char, FreeDeleter> buffer;
  if (!buffer) {
    buffer.reset(static_cast<unsigned char*>(std::aligned_alloc(64, kLargest)));
    std::mt19937_64 generator(1);
    for (size_t i = 0; i < kLargest; i += 8) {
      const uint64_t word = generator();
      for (int b = 0; b < 8; ++b) {
        buffer.get()[i + b] = static_cast<unsigned char>(word >> (8 * b));
      }
    }
  }
  return buffer.get();
}

typedef uint32_t (*ChecksumFunction)(const unsigned char*, size_t, int);

uint32_t OurKernel(const unsigned char* data, size_t length, int kernel) {
  return ~Crc32KernelUpdate(kernel, 0xFFFFFFFFu, data, length);
}

uint32_t Zlib(const unsigned char* data, size_t length, int) {
  return static_cast<uint32_t>(crc32(0, data, static_cast<uInt>(length)));
}

uint32_t Isal(const unsigned char* data, size_t length, int) {
  return crc32_gzip_refl(0, data, length);
}

void RunChecksum(benchmark::State& state, ChecksumFunction function,
                 int kernel) {
  if (kernel >= 0 && !Crc32KernelSupported(kernel)) {
    state.SkipWithError("not supported on this processor");
    return;
  }
  const unsigned char* data = SharedBuffer();
  const size_t length = static_cast<size_t>(state.range(0));
  // A wrong answer makes a fast time meaningless.
  if (function(data, length, kernel) != Zlib(data, length, 0)) {
    state.SkipWithError("checksum differs from zlib's");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(function(data, length, kernel));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(length));
}

void Register(const char* name, ChecksumFunction function, int kernel) {
  benchmark::RegisterBenchmark(name, RunChecksum, function, kernel)
      ->Arg(4 << 10)
      ->Arg(64 << 10)
      ->Arg(1 << 20)
      ->Arg(64 << 20);
}

}  // namespace

int main(int argc, char** argv) {
  Crc32InitTable();
  std::printf("Crc32Compute uses: %s\n", Crc32KernelName(Crc32ActiveKernel()));
  for (int kernel = 0; kernel < Crc32KernelCount(); ++kernel) {
    Register(Crc32KernelName(kernel), OurKernel, kernel);
  }
  Register("zlib", Zlib, -1);
  Register("isal", Isal, -1);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
