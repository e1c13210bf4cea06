#pragma once

#include <algorithm>
#include <vector>

namespace quenterra::bench {

// The median; 0 for no values.
inline double median(std::vector<double> values)
{
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace quenterra::bench
