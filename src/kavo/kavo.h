#pragma once
// The array core in one include.

#include "kavo/assign/to_row_major.h"
#include "kavo/constructors/constructors.h"
#include "kavo/error/array_error.h"
#include "kavo/iter/element_iter.h"
#include "kavo/layout/broadcast.h"
#include "kavo/layout/contiguity.h"
#include "kavo/layout/injectivity.h"
#include "kavo/layout/layout.h"
#include "kavo/layout/shape_arithmetic.h"
#include "kavo/view/owned_array.h"
#include "kavo/view/permuted_axes.h"
#include "kavo/view/view.h"
