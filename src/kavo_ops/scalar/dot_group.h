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

void dot_group(const double* shared, const double* const* others, std::size_t count, std::size_t len,
               double* out) noexcept;

}  // namespace kavo_ops
