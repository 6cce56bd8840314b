#pragma once
// The float32 elementwise kernels every tier compiles with its own target
// flags, over the tier's lanes L (fyrel/lanes): out[i] = a[i] op b[i], and
// out[i] = a[i] op b with one operand repeated. Each lane is one IEEE
// operation, so every tier gives the bits of a scalar loop.
//   below streaming_store_min_len: two vectors per iteration, then one, then
//     the last 1 .. L-1 elements as one masked vector (masked-off lanes load
//     0 and are never stored, so 0/0 there is discarded) or, on a tier
//     without masks, one by one;
//   from streaming_store_min_len on (tiers with streaming stores): single
//     elements until `out` is vector-aligned, whole vectors with streaming
//     stores, a store fence, the rest one by one.
// Include only from a tier source: everything here has internal linkage.

#include <cstddef>
#include <cstdint>

namespace kavo_ops {
namespace {

// From this many elements on, elementwise results bypass the caches with
// streaming stores: at 2^21 float32 (8 MiB per operand) the output alone
// fills a typical last-level cache and would evict the inputs of the next
// operation, while smaller outputs are usually read again soon.
constexpr std::size_t streaming_store_min_len = std::size_t{1} << 21;

// The four operations, on a whole vector or on one element alike.
struct Add {
  template <class V>
  static V apply(V a, V b) noexcept {
    return a + b;
  }
};
struct Sub {
  template <class V>
  static V apply(V a, V b) noexcept {
    return a - b;
  }
};
struct Mul {
  template <class V>
  static V apply(V a, V b) noexcept {
    return a * b;
  }
};
struct Div {
  template <class V>
  static V apply(V a, V b) noexcept {
    return a / b;
  }
};

template <class L, class Op>
void streaming(const float* a, const float* b, float* out, std::size_t len) noexcept {
  constexpr std::size_t lanes = L::lanes;
  // `out` is float-aligned, so whole elements reach the next vector boundary.
  const auto misalignment = reinterpret_cast<std::uintptr_t>(out) % L::vector_bytes;
  const std::size_t head = misalignment == 0 ? 0 : (L::vector_bytes - misalignment) / sizeof(float);
  std::size_t i = 0;
  for (; i < head && i < len; ++i) out[i] = Op::apply(a[i], b[i]);
  for (; i + lanes <= len; i += lanes) L::stream(out + i, Op::apply(L::load(a + i), L::load(b + i)));
  // Streaming stores are weakly ordered; fence before anyone reads `out`.
  L::store_fence();
  for (; i < len; ++i) out[i] = Op::apply(a[i], b[i]);
}

template <class L, class Op>
void cached(const float* a, const float* b, float* out, std::size_t len) noexcept {
  constexpr std::size_t lanes = L::lanes;
  std::size_t i = 0;
  for (; i + 2 * lanes <= len; i += 2 * lanes) {
    const auto r0 = Op::apply(L::load(a + i), L::load(b + i));
    const auto r1 = Op::apply(L::load(a + i + lanes), L::load(b + i + lanes));
    L::store(out + i, r0);
    L::store(out + i + lanes, r1);
  }
  if (i + lanes <= len) {
    L::store(out + i, Op::apply(L::load(a + i), L::load(b + i)));
    i += lanes;
  }
  if constexpr (L::masked_tails) {
    if (i < len) {
      const auto mask = L::first_lanes(len - i);
      L::masked_store(out + i, Op::apply(L::masked_load(a + i, mask), L::masked_load(b + i, mask)), mask);
    }
  } else {
    for (; i < len; ++i) out[i] = Op::apply(a[i], b[i]);
  }
}

// Returns false, writing nothing, when a_len != b_len or out_len < a_len.
template <class L, class Op>
bool elementwise(const float* a, std::size_t a_len, const float* b, std::size_t b_len, float* out,
                 std::size_t out_len) noexcept {
  if (a_len != b_len || out_len < a_len) return false;
  if constexpr (L::streaming_stores) {
    if (a_len >= streaming_store_min_len) {
      streaming<L, Op>(a, b, out, a_len);
      return true;
    }
  }
  cached<L, Op>(a, b, out, a_len);
  return true;
}

template <class L, class Op>
void with_scalar(const float* a, float b, float* out, std::size_t len) noexcept {
  constexpr std::size_t lanes = L::lanes;
  const auto repeated = L::splat(b);
  std::size_t i = 0;
  for (; i + 2 * lanes <= len; i += 2 * lanes) {
    const auto r0 = Op::apply(L::load(a + i), repeated);
    const auto r1 = Op::apply(L::load(a + i + lanes), repeated);
    L::store(out + i, r0);
    L::store(out + i + lanes, r1);
  }
  if (i + lanes <= len) {
    L::store(out + i, Op::apply(L::load(a + i), repeated));
    i += lanes;
  }
  if constexpr (L::masked_tails) {
    if (i < len) {
      const auto mask = L::first_lanes(len - i);
      L::masked_store(out + i, Op::apply(L::masked_load(a + i, mask), repeated), mask);
    }
  } else {
    for (; i < len; ++i) out[i] = Op::apply(a[i], b);
  }
}

}  // namespace
}  // namespace kavo_ops
