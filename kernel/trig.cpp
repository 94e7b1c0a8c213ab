// Fixed-point cosine and sine: angles in hundredths of a degree, values
// scaled by 16384 (14 fractional bits), rounded to nearest.
//
// The angle is reduced to the first quadrant before the library call, so
// quarter turns give exactly 0 and +-16384 and the eight symmetric angles
// give values of equal magnitude: the region rotation depends on both.
#include "kernel/kernel_internal.h"

#include <cmath>

namespace {

constexpr double kOne = 16384.0;
constexpr double kRadiansPerUnit = 3.14159265358979323846 / 18000.0;

// cos and sin of nAngle, both x 16384.
void FixedCosSin(int nAngle, int *pCos, int *pSin) {
    int a = static_cast<int>(static_cast<int64_t>(nAngle) % 36000);
    if (a < 0)
        a += 36000;
    const int quadrant = a / 9000, rest = a % 9000;
    const int c = static_cast<int>(std::lround(std::cos(rest * kRadiansPerUnit) * kOne));
    const int s = static_cast<int>(std::lround(std::sin(rest * kRadiansPerUnit) * kOne));
    switch (quadrant) {
    case 0: *pCos = c, *pSin = s; break;
    case 1: *pCos = -s, *pSin = c; break;
    case 2: *pCos = -c, *pSin = -s; break;
    default: *pCos = s, *pSin = -c; break;
    }
}

}  // namespace

extern "C" {

int __stdcall K_CosFixed(int nAngle) {
    int c, s;
    FixedCosSin(nAngle, &c, &s);
    return c;
}

int __stdcall K_SinFixed(int nAngle) {
    int c, s;
    FixedCosSin(nAngle, &c, &s);
    return s;
}

}  // extern "C"
