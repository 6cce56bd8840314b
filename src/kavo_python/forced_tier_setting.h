#pragma once
// KAVO_FORCE_TIER, for tests and benchmarks only: "A", "B" or "C" makes every
// tiered kernel of the process run that processor tier, so that each tier's
// results can be checked from Python on one machine. Read once, at import.

namespace kavo_python {

// Forces the tier the variable names. Unset or blank: nothing. A value that
// names no tier, or a tier this processor cannot run, raises ImportError
// (returns false with the exception set): a test must not silently run on
// another tier than it asked for.
bool apply_forced_tier_setting();

}  // namespace kavo_python
