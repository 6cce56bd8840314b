// Tier B: vectors of four lanes (one YMM each).
#include "kavo_ops/linalg/schur/bulge_panel.h"
#include "kavo_ops/linalg/schur/bulge_panel_body.h"

namespace kavo_ops::francis {

constinit const BulgePanelKernels bulge_panel_tier_b{apply_bulge_steps_body<4>, apply_bulge_steps_right_body<4>,
                                                 kBulgeChunkVectors * 4};

}  // namespace kavo_ops::francis
