#include "kavo_ops/slice_kernels/slice_kernel_table.h"

#include "platform/per_tier.h"

namespace kavo_ops {
namespace {

constexpr platform::PerTier<SliceKernelTable> tables{slice_kernels_tier_a, slice_kernels_tier_b, slice_kernels_tier_c};

}  // namespace

const SliceKernelTable& slice_kernels(platform::Tier tier) noexcept { return tables[tier]; }

const SliceKernelTable& active_slice_kernels() noexcept { return tables.active(); }

}  // namespace kavo_ops
