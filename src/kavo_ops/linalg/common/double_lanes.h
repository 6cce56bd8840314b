#pragma once
// `Width` doubles as one value for loops that each processor tier compiles
// with its own target flags: the flags decide how the value maps onto
// registers (a ZMM for eight on tier A, a YMM or two XMM for four, an XMM
// for two). The arithmetic on it is lane-wise, so the width never changes a
// bit. Internal linkage: the ABI note g++ gives for passing such values
// without AVX concerns no caller outside the including file.

#include <cstddef>

namespace kavo_ops {
namespace {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
template <std::size_t Width>
struct DoubleLanes {
  typedef double type __attribute__((vector_size(Width * sizeof(double))));
};

template <class Lanes>
inline Lanes load_lanes(const double* p) noexcept {
  Lanes v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}

template <class Lanes>
inline void store_lanes(double* p, Lanes v) noexcept {
  __builtin_memcpy(p, &v, sizeof v);
}
#pragma GCC diagnostic pop

}  // namespace
}  // namespace kavo_ops
