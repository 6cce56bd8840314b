#pragma once
// The grouped dot of dot_group.h for the substitutions' inner loops, with
// every accumulator of a group held in a register: out[g] = dot_slice(shared,
// others[g]) over `len` elements for g < count, each bit for bit the lone
// dot_slice result on the active tier. dot_group gives the same results;
// this kernel unrolls the group's accumulator updates completely, so that
// none of them goes through memory between two multiply-adds (measured about
// 2x faster on tier A for four or six right-hand sides).
// Unchecked: the caller guarantees every operand holds `len` elements;
// len = 0 gives zeros, from the dispatcher and the tier kernels alike.

#include <cstddef>

namespace kavo_ops {

void shared_operand_dots(const double* shared, const double* const* others, std::size_t count, std::size_t len,
                         double* out) noexcept;

// One table per processor tier, defined by shared_operand_dots_tier_[abc].cpp.
struct SharedOperandDotsKernels {
  using Dots = void (*)(const double* shared, const double* const* others, std::size_t count, std::size_t len,
                        double* out) noexcept;
  Dots dots;
};
extern const SharedOperandDotsKernels shared_operand_dots_tier_a, shared_operand_dots_tier_b,
    shared_operand_dots_tier_c;

// The active tier's kernel, for loops that call it many times.
SharedOperandDotsKernels::Dots active_shared_operand_dots() noexcept;

}  // namespace kavo_ops
