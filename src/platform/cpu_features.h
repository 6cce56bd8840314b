#pragma once
// The processor's vector features, counted only as far as the operating system
// saves the registers they use. CPUID says what the processor can execute;
// XCR0 (read with XGETBV) says which register state the OS saves on a context
// switch. Using 256-bit registers the OS does not save would silently corrupt
// them when the thread is preempted, so a feature counts only when both agree.
//
// cpu_features() queries once and caches the word; every later call is a
// relaxed atomic load.

#include <cstdint>

namespace platform {

using CpuFeatureWord = std::uint32_t;

namespace cpu_feature {
inline constexpr CpuFeatureWord sse2 = 1u << 0;
inline constexpr CpuFeatureWord avx2 = 1u << 1;     // with the OS saving YMM state
inline constexpr CpuFeatureWord fma = 1u << 2;      // with the OS saving YMM state
inline constexpr CpuFeatureWord avx512f = 1u << 3;  // with the OS saving opmask and all of ZMM
}  // namespace cpu_feature

// The raw registers the decision is made from.
struct CpuidReport {
  std::uint32_t max_basic_leaf = 0;  // CPUID leaf 0, EAX
  std::uint32_t leaf1_ecx = 0;
  std::uint32_t leaf1_edx = 0;
  std::uint32_t leaf7_ebx = 0;  // CPUID leaf 7 sub-leaf 0; meaningful only if max_basic_leaf >= 7
  std::uint64_t xcr0 = 0;       // meaningful only when leaf1_ecx has OSXSAVE
};

// Pure decision over the registers (Intel SDM vol. 1, 14.3 and 15.2).
constexpr CpuFeatureWord decode_cpu_features(const CpuidReport& report) noexcept {
  constexpr std::uint32_t leaf1_edx_sse2 = 1u << 26;
  constexpr std::uint32_t leaf1_ecx_fma = 1u << 12;
  constexpr std::uint32_t leaf1_ecx_osxsave = 1u << 27;
  constexpr std::uint32_t leaf1_ecx_avx = 1u << 28;
  constexpr std::uint32_t leaf7_ebx_avx2 = 1u << 5;
  constexpr std::uint32_t leaf7_ebx_avx512f = 1u << 16;
  constexpr std::uint64_t xcr0_sse_ymm = 0b110;          // XMM (bit 1) and upper YMM (bit 2)
  constexpr std::uint64_t xcr0_opmask_zmm = 0b1110'0000;  // opmask (5), ZMM0-15 upper (6), ZMM16-31 (7)

  CpuFeatureWord word = 0;
  if (report.leaf1_edx & leaf1_edx_sse2) word |= cpu_feature::sse2;

  const bool os_xsave = (report.leaf1_ecx & leaf1_ecx_osxsave) != 0;
  const std::uint64_t xcr0 = os_xsave ? report.xcr0 : 0;
  const bool ymm_saved = (xcr0 & xcr0_sse_ymm) == xcr0_sse_ymm;
  const bool zmm_saved = ymm_saved && (xcr0 & xcr0_opmask_zmm) == xcr0_opmask_zmm;
  const bool avx = ymm_saved && (report.leaf1_ecx & leaf1_ecx_avx) != 0;
  const std::uint32_t leaf7_ebx = report.max_basic_leaf >= 7 ? report.leaf7_ebx : 0;

  if (avx && (report.leaf1_ecx & leaf1_ecx_fma)) word |= cpu_feature::fma;
  if (avx && (leaf7_ebx & leaf7_ebx_avx2)) word |= cpu_feature::avx2;
  if (avx && zmm_saved && (leaf7_ebx & leaf7_ebx_avx512f)) word |= cpu_feature::avx512f;
  return word;
}

// Registers of the processor this thread runs on, queried now.
CpuidReport read_cpuid_report() noexcept;

// Features of this machine, queried on first use and cached for the process.
CpuFeatureWord cpu_features() noexcept;

}  // namespace platform
