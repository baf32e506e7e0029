#pragma once

#include <algorithm>
#include <vector>

// The middle of the figures measured (the upper of the two middle ones), -1 when there are none.
inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}
