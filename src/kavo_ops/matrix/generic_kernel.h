#pragma once
// The tiled kernel: out[r0 .. r1, :] += A[r0 .. r1, :] * B for row-major A
// and B, the rows cut into blocks of `block` rows (a power of two up to 32;
// anything else is an internal invariant failure). With `zero_fill` the rows
// are set to zero first (the product overwrites them). Callers guarantee
// unit-stride columns of out and B.
//
// Outputs whose row stride is at least n (compact results and windows of a
// larger matrix alike) take the register tiles of TiledRows: each element
// is one fused chain over p ascending, so a zero of A times an infinity of B
// gives NaN there. An output whose row stride is below n (negative, as in a
// row-reversed view) takes the row-update loop, which skips zero terms.
//
// parallel_generic_kernel runs rows [0, m) on the executor: B is packed once
// and shared, and bands of rows are handed out one at a time to as many
// tasks as there are workers, so a core that finishes early takes the next
// band instead of idling. Bits equal the sequential kernel's.

#include <cstdint>

#include "kavo_ops/matrix/matmul.h"

namespace kavo_ops {

inline constexpr std::uint64_t kMatmulRowBlock = 32;

template <class T>
void generic_kernel(const MatmulRoute& route, const T* a, const T* b, T* out, std::uint64_t r0, std::uint64_t r1,
                    std::uint64_t block, bool zero_fill);

template <class T>
void parallel_generic_kernel(const MatmulRoute& route, const T* a, const T* b, T* out, bool zero_fill);

// Whether the register tiles apply to this output (else the row updates).
bool tiles_apply(const MatmulRoute& route) noexcept;

}  // namespace kavo_ops
