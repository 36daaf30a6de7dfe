#pragma once

#include <vector>

namespace quiltana::bench {

struct Spread {
    double median = 0;
    double min = 0;
    double max = 0;
};

// Median (the mean of the middle two for an even count), minimum and maximum; zeros when empty.
[[nodiscard]] Spread spreadOf(std::vector<double> values);

} // namespace quiltana::bench
