// The median of a benchmark's runs, for the launch timers of both platforms.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace ratecalc_bench {

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace ratecalc_bench
