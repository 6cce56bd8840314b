// Tier C: vectors of two lanes (one XMM each).
#include "kavo_ops/linalg/schur/bulge_panel.h"
#include "kavo_ops/linalg/schur/bulge_panel_body.h"

namespace kavo_ops::francis {

constinit const BulgePanelKernels bulge_panel_tier_c{apply_bulge_steps_body<2>, apply_bulge_steps_right_body<2>,
                                                 kBulgeChunkVectors * 2};

}  // namespace kavo_ops::francis
