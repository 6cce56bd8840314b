#pragma once
// Lanes of tier C (the x86-64 baseline): by default one XMM register's worth,
// four float or two double lanes, or as many as a body asks for (more take
// several XMM registers; one lane is a plain scalar). SSE2 has no masked or
// streaming forms that the bodies use, so tails go element by element, and no
// fused multiply-add: each lane's goes through std::fma, which rounds once
// like the vector instructions of tiers A and B. Sums over the lanes of a
// register go in lane order. Include only from tier C sources (*_tier_c.cpp).

#include <cstddef>

#include "fyrel/lanes/lane_vector.h"

namespace fyrel::tier_c {
namespace {

template <class T, std::size_t Count = 16 / sizeof(T)>
struct Lanes : LaneVector<T, Count> {
  using Base = LaneVector<T, Count>;
  using Reg = typename Base::Reg;
  static constexpr bool masked_tails = false;
  static constexpr bool streaming_stores = false;

  static T sum_lanes(Reg v) noexcept { return Base::ordered_sum(v); }
};

}  // namespace
}  // namespace fyrel::tier_c
