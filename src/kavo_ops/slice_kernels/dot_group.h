#pragma once
// Several dot products that share one operand: out[g] = dot_slice(shared,
// others[g]) over `len` elements for g < count, each bit for bit the lone
// dot_slice result on the active tier, with `shared` read once for a few of
// them at a time (fewer loads per multiply-add than separate calls). For
// substitutions that run one row against many right-hand sides, or many
// rows against one. Unchecked: the caller guarantees every operand holds
// `len` elements; len = 0 gives zeros.

#include <cstddef>

namespace kavo_ops {

// How much of a known zero prefix a dot may leave out. When one operand's
// first `zero_prefix` entries are +0 and the other operand is finite, those
// products are exact zeros; leaving out a whole number of the widest block
// any tier groups elements by (32) keeps every other element in its lane and
// step, so the result is the full dot's except possibly for the sign of a
// zero total. Callers use it where such a zero is subtracted from +0 or from
// a non-zero value, which erases that sign.
constexpr std::size_t dot_skippable_prefix(std::size_t zero_prefix) noexcept { return zero_prefix / 32 * 32; }

void dot_group(const double* shared, const double* const* others, std::size_t count, std::size_t len,
               double* out) noexcept;

}  // namespace kavo_ops
