#pragma once
// The two text forms of a double used in error messages.

#include <string>

namespace kavo {

// Plain decimal, shortest text that reads back to the same value, never an
// exponent, no ".0" on whole numbers: 1e-12 -> "0.000000000001", 3.0 -> "3",
// infinities "inf"/"-inf", NaN "NaN". This is what users see.
std::string plain_decimal(double value);

// Diagnostic form: shortest round-trip text, with an exponent for magnitudes
// below 1e-4 or from 1e16 up, and ".0" on whole numbers (0.5, 1e-12, 64.0).
std::string debug_decimal(double value);

}  // namespace kavo
