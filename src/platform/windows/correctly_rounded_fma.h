#pragma once
// The exact-integer fused multiply-add behind fma and fmaf on Windows
// (correctly_rounded_fma.cpp), callable directly so that tests can check it
// on machines whose processor would otherwise answer.

namespace platform {

double software_fused_multiply_add(double a, double b, double c);
float software_fused_multiply_add(float a, float b, float c);

}  // namespace platform
