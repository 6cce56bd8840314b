#pragma once
// Lanes of tier B (AVX2 + FMA): one YMM register holds eight float or four
// double lanes; sums over the lanes of a register go by halves. A tail of
// fewer lanes goes through vmaskmov loads and stores, selected by the sign bit
// of each lane of a mask vector; they never fault on the masked-off lanes
// (loads give 0 there). Include only from tier B sources (*_tier_b.cpp),
// which are compiled with its flags.

#include <immintrin.h>

#include <cstddef>

#include "fyrel/lanes/lane_vector.h"

namespace fyrel::tier_b {
namespace {

template <class T>
struct Lanes : LaneVector<T, 32 / sizeof(T)> {
  using Base = LaneVector<T, 32 / sizeof(T)>;
  using Reg = typename Base::Reg;
  using Mask = __m256i;
  static constexpr bool masked_tails = true;
  static constexpr bool streaming_stores = true;
  static constexpr std::size_t vector_bytes = 32;

  static Mask first_lanes(std::size_t count) noexcept { return reinterpret_cast<Mask>(Base::first_lanes_bits(count)); }

  static Reg masked_load(const T* p, Mask m) noexcept {
    if constexpr (sizeof(T) == 4) {
      return _mm256_maskload_ps(p, m);
    } else {
      return _mm256_maskload_pd(p, m);
    }
  }
  static void masked_store(T* p, Reg v, Mask m) noexcept {
    if constexpr (sizeof(T) == 4) {
      _mm256_maskstore_ps(p, m, v);
    } else {
      _mm256_maskstore_pd(p, m, v);
    }
  }
  // Past the caches, to a vector_bytes-aligned p; weakly ordered, so
  // store_fence() must follow before anyone reads what was written.
  static void stream(T* p, Reg v) noexcept {
    if constexpr (sizeof(T) == 4) {
      _mm256_stream_ps(p, v);
    } else {
      _mm256_stream_pd(p, v);
    }
  }
  static void store_fence() noexcept { _mm_sfence(); }
  static T sum_lanes(Reg v) noexcept { return Base::halving_sum(v); }
};

}  // namespace
}  // namespace fyrel::tier_b
