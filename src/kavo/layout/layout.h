#pragma once
// Layout: the extents of an array's axes, one element stride per axis and a
// base offset. Physical position of index (i0, ..., ir-1) is
// offset + sum(ik * stride_k). Fixed-rank layouts keep their lists inline;
// dynamic-rank layouts (sum over arrays of any rank) own them.
//
// The arithmetic lives in free functions over read-only spans, so every rank
// form shares one implementation.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kavo {

inline constexpr std::size_t dynamic_rank = std::dynamic_extent;

template <std::size_t Rank>
struct RankStorage {
  using Extents = std::array<std::uint64_t, Rank>;
  using Strides = std::array<std::int64_t, Rank>;
};
template <>
struct RankStorage<dynamic_rank> {
  using Extents = std::vector<std::uint64_t>;
  using Strides = std::vector<std::int64_t>;
};

template <std::size_t Rank>
using Extents = typename RankStorage<Rank>::Extents;
template <std::size_t Rank>
using Strides = typename RankStorage<Rank>::Strides;

template <std::size_t Rank = dynamic_rank>
struct Layout {
  Extents<Rank> shape{};
  Strides<Rank> strides{};
  std::uint64_t offset = 0;

  std::size_t rank() const noexcept { return shape.size(); }
  std::span<const std::uint64_t> shape_span() const noexcept { return shape; }
  std::span<const std::int64_t> strides_span() const noexcept { return strides; }

  bool operator==(const Layout&) const = default;
};

}  // namespace kavo
