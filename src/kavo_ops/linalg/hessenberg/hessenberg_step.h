#pragma once
// The pieces of the Hessenberg sweep. Reflector i acts on rows i+1.. from
// the left and on columns i+1.. from the right; after step i, rows 0 .. i of
// H are never read again except by later right updates, and Q is never read
// during the sweep at all. So each step updates only the trailing rows, and
// every reflector is recorded; the right updates of H's upper rows and of Q
// run after the sweep, a block of rows taking every reflector in step order
// while it stays in cache. Each element sees exactly the operations of the
// plain sweep in the same order (left before right within a step, steps in
// order), so every bit is the same.
//
// A step on the trailing rows, as two passes over them:
//   pass 1  w = tau * (v^T H[i+1.., i..)), column by column, each w[j] the
//           chain fma(v[r], H[i+1+r][j], w[j]) from 0 over ascending r (the
//           fused rounding of the shared reflector's left application)
//   pass 2  every trailing row: H[r][i..) = fma(-v[r-i-1], w, H[r][i..)),
//           then s = dot(H[r][i+1..), v), H[r][i+1..) += -(s tau) v
// Pass 1 splits over column ranges and pass 2 over rows, so a large step
// shares out over the executor. A step small enough to stay in cache runs
// the register-chunked left kernel instead (apply_reflector_left: the same
// roundings, in one call), then the right updates.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "kavo_ops/linalg/hessenberg/hessenberg.h"
#include "kavo_ops/linalg/householder/householder_reflector.h"

namespace kavo_ops {

// The reflectors of one sweep in step order: step i's v (n - i - 1 entries,
// acting on columns i+1 ..) and tau.
struct SweepReflectors {
  std::vector<double> vectors;       // every v, one after another
  std::vector<std::size_t> offsets;  // where each v starts in `vectors`
  std::vector<std::size_t> steps;    // each one's i
  std::vector<double> taus;

  void reserve(std::size_t n);  // room for every step of an order-n sweep
  void push(std::size_t step, const HouseholderReflector& r);
  std::size_t size() const noexcept { return steps.size(); }
};

// Step i on row-major n×n `h`: the left update of rows i+1 .., the right
// update of rows `rows_from` .. (rows_from <= i + 1; rows up to i take the
// right update alone). `w` holds at least n - i entries.
void reflect_hessenberg_step(double* h, std::size_t n, std::size_t i, const HouseholderReflector& r,
                             std::size_t rows_from, double* w, const HessenbergSplit& split);

// Step i's right update of rows 1 .. of n×n `q` right away (a small sweep's
// way; larger ones record it).
void apply_q_right_update(double* q, std::size_t n, std::size_t i, const HouseholderReflector& r);

// The recorded right updates: row r of H takes the reflectors of steps
// i >= r, every row of Q (null, or n×n) but row 0 takes all of them. Row 0
// of Q stays e_0: it is zero in every reflected column, so skipping it
// keeps every bit.
void apply_recorded_right_updates(double* h, std::size_t n, double* q, const SweepReflectors& reflectors,
                                  const HessenbergSplit& split);

}  // namespace kavo_ops
