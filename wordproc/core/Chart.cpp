#include "wordproc/core/Chart.h"

#include <algorithm>
#include <cmath>

namespace wordproc {

namespace {

// The lowest and highest point the plot must show: stacked series add up per category.
std::pair<double, double> ValueRange(const Chart& chart) {
  double low = 0, high = 0;
  const bool stacked = chart.grouping == ChartGrouping::Stacked;
  std::size_t points = 0;
  for (const ChartSeries& s : chart.series) points = std::max(points, s.values.size());
  for (std::size_t k = 0; k < points; ++k) {
    double up = 0, down = 0;
    for (const ChartSeries& s : chart.series) {
      const double v = k < s.values.size() ? s.values[k] : NAN;
      if (!std::isfinite(v)) continue;
      if (stacked) {
        (v >= 0 ? up : down) += v;
      } else {
        high = std::max(high, v);
        low = std::min(low, v);
      }
    }
    high = std::max(high, up);
    low = std::min(low, down);
  }
  return {low, high};
}

double NiceStep(double span) {
  const double rough = span / 5;
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  for (double factor : {1.0, 2.0, 5.0})
    if (factor * power >= rough) return factor * power;
  return 10 * power;
}

}  // namespace

ChartScale ScaleOf(const Chart& chart) {
  if (chart.grouping == ChartGrouping::PercentStacked) return {0, 100, 20};
  auto [low, high] = ValueRange(chart);
  if (!(high > low)) high = low + 1;
  const double step = NiceStep(high - low);
  return {std::floor(low / step) * step, std::ceil(high / step - 1e-9) * step, step};
}

}  // namespace wordproc
