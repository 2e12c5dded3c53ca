// A chart as its part caches it: the kind of plot, its series with their categories and values,
// the title and the legend. Drawing needs nothing else: the values are those the word
// processor showed when it last saved the file.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "wordproc/core/Model.h"

namespace wordproc {

enum class ChartKind : std::uint8_t { Column, Bar, Line, Area, Pie, Doughnut };
enum class ChartGrouping : std::uint8_t { Clustered, Stacked, PercentStacked };
enum class LegendPosition : std::uint8_t { None, Right, Left, Top, Bottom };

struct ChartSeries {
  std::string name;
  std::vector<double> values;  // NaN where the cache has no point
  Rgb color = 0;
  // A pie's slices, coloured one by one when the chart varies its colours.
  std::vector<Rgb> pointColors;
};

struct Chart {
  ChartKind kind = ChartKind::Column;
  ChartGrouping grouping = ChartGrouping::Clustered;
  std::string title;
  LegendPosition legend = LegendPosition::None;
  std::vector<std::string> categories;
  std::vector<ChartSeries> series;
};
using ChartPtr = std::shared_ptr<const Chart>;

// The value range a chart's axis spans: from 0 (or the lowest negative value) to the highest,
// rounded out to whole steps of 1, 2 or 5 times a power of ten.
struct ChartScale {
  double low = 0, high = 1, step = 1;
};
ChartScale ScaleOf(const Chart& chart);

}  // namespace wordproc
