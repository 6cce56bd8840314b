#pragma once
// Count lanes of T as one value, for the kernel bodies that every processor
// tier compiles with its own target flags: the flags decide how the value
// maps onto registers (a ZMM for sixteen floats on tier A, a YMM for eight on
// tier B, XMM registers on tier C). Everything here is lane-wise: + - * / as
// written (never fused: the project builds with -ffp-contract=off) and a fused
// multiply-add per lane, so the width never changes a lane's bits. One lane
// is a plain scalar. The tier headers (lanes_tier_[abc].h) add what needs the
// tier's own instructions: masked tails and streaming stores.
//
// Internal linkage throughout: each tier source gets its own copy compiled
// with its own flags, and the ABI note g++ gives for passing wide values
// without AVX concerns no caller outside the including file.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

namespace fyrel {
namespace {

// The signed integer of T's width: lane masks and bit patterns.
template <class T>
using LaneBits = std::conditional_t<sizeof(T) == 4, std::int32_t, std::int64_t>;

template <class T, std::size_t Count>
struct LaneVector {
  using Element = T;
  typedef T Reg __attribute__((vector_size(Count * sizeof(T))));
  // The same bits read as signed integers; a comparison of two Regs gives
  // all-ones (-1) or zero per lane in this type.
  typedef LaneBits<T> Bits __attribute__((vector_size(Count * sizeof(T))));
  static constexpr std::size_t lanes = Count;

  static Reg zero() noexcept { return Reg{}; }
  static Reg splat(T x) noexcept {
    Reg v{};
    for (std::size_t l = 0; l < Count; ++l) v[l] = x;
    return v;
  }
  static Reg load(const T* p) noexcept {
    Reg v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
  }
  static void store(T* p, Reg v) noexcept { __builtin_memcpy(p, &v, sizeof v); }
  // fma(a, b, c) per lane, one rounding; g++ makes it one vector instruction
  // where the tier has one.
  static Reg fma(Reg a, Reg b, Reg c) noexcept {
    Reg r{};
    for (std::size_t l = 0; l < Count; ++l) r[l] = std::fma(a[l], b[l], c[l]);
    return r;
  }
  // All-ones in lanes 0 .. count-1, zero above.
  static Bits first_lanes_bits(std::size_t count) noexcept {
    Bits index{};
    for (std::size_t l = 0; l < Count; ++l) index[l] = static_cast<LaneBits<T>>(l);
    return index < static_cast<LaneBits<T>>(count);
  }
  // The two lane reductions the tiers use. halving_sum adds the upper half
  // of the lanes onto the lower half, lane for lane, until one lane is left;
  // fold_halves does the same with another combination (e.g. a maximum).
  // ordered_sum adds the lanes in index order: ((l0 + l1) + l2) + ...
  template <class Combine>
  static T fold_halves(Reg v, Combine combine) noexcept {
    return fold<Count>(v, combine);
  }
  static T halving_sum(Reg v) noexcept {
    return fold_halves(v, [](auto lower, auto upper) { return lower + upper; });
  }
  static T ordered_sum(Reg v) noexcept {
    T sum = v[0];
    for (std::size_t l = 1; l < Count; ++l) sum = sum + v[l];
    return sum;
  }

 private:
  template <std::size_t N, class V, class Combine>
  static T fold(V v, Combine combine) noexcept {
    if constexpr (N == 1) {
      return v[0];
    } else {
      return fold<N / 2>(
          combine(half<0>(v, std::make_index_sequence<N / 2>{}), half<N / 2>(v, std::make_index_sequence<N / 2>{})),
          combine);
    }
  }
  template <std::size_t First, class V, std::size_t... I>
  static auto half(V v, std::index_sequence<I...>) noexcept {
    return __builtin_shufflevector(v, v, (First + I)...);
  }
};

// One lane: plain scalars, so the bodies' lane loops become scalar code.
template <class T>
struct LaneVector<T, 1> {
  using Element = T;
  using Reg = T;
  using Bits = LaneBits<T>;
  static constexpr std::size_t lanes = 1;

  static Reg zero() noexcept { return T{0}; }
  static Reg splat(T x) noexcept { return x; }
  static Reg load(const T* p) noexcept { return *p; }
  static void store(T* p, Reg v) noexcept { *p = v; }
  static Reg fma(Reg a, Reg b, Reg c) noexcept { return std::fma(a, b, c); }
  template <class Combine>
  static T fold_halves(Reg v, Combine) noexcept {
    return v;
  }
  static T halving_sum(Reg v) noexcept { return v; }
  static T ordered_sum(Reg v) noexcept { return v; }
};

}  // namespace
}  // namespace fyrel
