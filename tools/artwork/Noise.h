#pragma once

#include <cstdint>

// Salted, position-addressed noise: the same pixel always gets the same value, so any part of a
// textured surface can be repainted exactly.
namespace Noise {

// Uniform in [-1, 1].
double grain(int x, int y, std::uint32_t salt);

// Smooth along x, independent from row to row, in [-1, 1]: the streaks of brushed metal.
double streak(int x, int y, int period, std::uint32_t salt);

} // namespace Noise
