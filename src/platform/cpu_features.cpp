// CPUID and XGETBV through the compiler's builtins and inline assembly: no
// operating-system service, so the same code serves every x86-64 system.

#include "platform/cpu_features.h"

#include <cpuid.h>

#include <atomic>

namespace platform {
namespace {

// Set in the cached word once it holds a real answer, so that a machine with
// no features at all is still cached.
constexpr CpuFeatureWord known_bit = 1u << 31;

// Written by whichever thread first finds it empty; every writer stores the
// same value (the processor does not change), so racing first calls are
// harmless and relaxed order suffices: the word publishes no other data.
std::atomic<CpuFeatureWord> cached_word{0};

std::uint64_t read_xcr0() noexcept {
  std::uint32_t low = 0;
  std::uint32_t high = 0;
  // XGETBV with ECX = 0 reads XCR0; spelled as asm so this file needs no -mxsave.
  __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0u));
  return (std::uint64_t{high} << 32) | low;
}

}  // namespace

CpuidReport read_cpuid_report() noexcept {
  CpuidReport report;
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  report.max_basic_leaf = __get_cpuid_max(0, nullptr);
  if (report.max_basic_leaf >= 1) {
    __cpuid(1, eax, ebx, ecx, edx);
    report.leaf1_ecx = ecx;
    report.leaf1_edx = edx;
  }
  if (report.max_basic_leaf >= 7) {
    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    report.leaf7_ebx = ebx;
  }
  constexpr std::uint32_t leaf1_ecx_osxsave = 1u << 27;
  // XGETBV faults unless the OS has enabled XSAVE.
  if (report.leaf1_ecx & leaf1_ecx_osxsave) report.xcr0 = read_xcr0();
  return report;
}

CpuFeatureWord cpu_features() noexcept {
  CpuFeatureWord word = cached_word.load(std::memory_order_relaxed);
  if (word & known_bit) return word & ~known_bit;
  word = decode_cpu_features(read_cpuid_report());
  cached_word.store(word | known_bit, std::memory_order_relaxed);
  return word;
}

}  // namespace platform
