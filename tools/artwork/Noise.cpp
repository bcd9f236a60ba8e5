#include "Noise.h"

namespace {

std::uint32_t mix(std::uint32_t value) {
    value ^= value >> 16;
    value *= 0x7feb352du;
    value ^= value >> 15;
    value *= 0x846ca68bu;
    value ^= value >> 16;
    return value;
}

double unit(std::uint32_t hash) {
    return static_cast<double>(hash) / 2147483647.5 - 1.0;
}

} // namespace

namespace Noise {

double grain(int x, int y, std::uint32_t salt) {
    return unit(mix(static_cast<std::uint32_t>(x) * 0x9e3779b1u ^ mix(static_cast<std::uint32_t>(y) + salt)));
}

double streak(int x, int y, int period, std::uint32_t salt) {
    const int cell = x >= 0 ? x / period : (x - period + 1) / period;
    const double t = static_cast<double>(x - cell * period) / period;
    const double smooth = t * t * (3 - 2 * t);
    const double a = grain(cell, y, salt ^ 0x5bd1e995u);
    const double b = grain(cell + 1, y, salt ^ 0x5bd1e995u);
    return a + (b - a) * smooth;
}

} // namespace Noise
