#pragma once
// Lanes of tier A (AVX-512F): one ZMM register holds sixteen float or eight
// double lanes; sums over the lanes of a register go by halves. A tail of
// fewer lanes goes through opmask loads and stores, which never touch the
// masked-off lanes (loads give 0 there). Include only from tier A sources
// (*_tier_a.cpp), which are compiled with its flags.

#include <immintrin.h>

#include <cstddef>
#include <type_traits>

#include "fyrel/lanes/lane_vector.h"

namespace fyrel::tier_a {
namespace {

template <class T>
struct Lanes : LaneVector<T, 64 / sizeof(T)> {
  using Base = LaneVector<T, 64 / sizeof(T)>;
  using Reg = typename Base::Reg;
  using Mask = std::conditional_t<sizeof(T) == 4, __mmask16, __mmask8>;  // bit l selects lane l
  static constexpr bool masked_tails = true;
  static constexpr bool streaming_stores = true;
  static constexpr std::size_t vector_bytes = 64;

  static Mask first_lanes(std::size_t count) noexcept { return static_cast<Mask>((1u << count) - 1u); }

  static Reg masked_load(const T* p, Mask m) noexcept {
    if constexpr (sizeof(T) == 4) {
      return _mm512_maskz_loadu_ps(m, p);
    } else {
      return _mm512_maskz_loadu_pd(m, p);
    }
  }
  static void masked_store(T* p, Reg v, Mask m) noexcept {
    if constexpr (sizeof(T) == 4) {
      _mm512_mask_storeu_ps(p, m, v);
    } else {
      _mm512_mask_storeu_pd(p, m, v);
    }
  }
  // Past the caches, to a vector_bytes-aligned p; weakly ordered, so
  // store_fence() must follow before anyone reads what was written.
  static void stream(T* p, Reg v) noexcept {
    if constexpr (sizeof(T) == 4) {
      _mm512_stream_ps(p, v);
    } else {
      _mm512_stream_pd(p, v);
    }
  }
  static void store_fence() noexcept { _mm_sfence(); }
  static T sum_lanes(Reg v) noexcept { return Base::halving_sum(v); }
};

}  // namespace
}  // namespace fyrel::tier_a
