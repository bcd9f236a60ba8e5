#pragma once

#include <cstdint>
#include <vector>

// One read's worth of received bytes, with the line errors seen just before the read.
struct TRxCluster {
    std::vector<std::uint8_t> data;
    std::uint32_t error = 0;

    std::uint32_t size() const { return static_cast<std::uint32_t>(data.size()); }
};
