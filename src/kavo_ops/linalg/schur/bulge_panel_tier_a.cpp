// Tier A: vectors of eight lanes (one ZMM each).
#include "kavo_ops/linalg/schur/bulge_panel.h"
#include "kavo_ops/linalg/schur/bulge_panel_body.h"

namespace kavo_ops::francis {

constinit const BulgePanelKernels bulge_panel_tier_a{apply_bulge_steps_body<8>, apply_bulge_steps_right_body<8>,
                                                 kBulgeChunkVectors * 8};

}  // namespace kavo_ops::francis
