// Charts of graphic frames (c:chart): the chart part's cached series, read into a Chart that is
// drawn in the frame.
#include <cmath>
#include <cstdlib>

#include "wordproc/core/Chart.h"
#include "wordproc/core/OoxmlReadContext.h"

namespace wordproc::ooxml::reader {

namespace {

constexpr std::size_t kMostPoints = 4096;  // per series: more could not be told apart anyway
constexpr std::size_t kMostSeries = 64;

// The cached points of a c:strRef, c:numRef, c:strLit or c:numLit, by their index.
std::vector<std::string> CachedPoints(xml_node holder) {
  std::vector<std::string> points;
  for (const pugi::xpath_node& n : holder.select_nodes(".//*[local-name()='pt']")) {
    const long index = std::strtol(std::string(Value(n.node(), "idx")).c_str(), nullptr, 10);
    if (index < 0 || std::size_t(index) >= kMostPoints) continue;
    if (points.size() <= std::size_t(index)) points.resize(std::size_t(index) + 1);
    points[std::size_t(index)] = TextOf(Child(n.node(), "v"));
  }
  return points;
}

std::string RichText(xml_node holder) {
  std::string text;
  for (const pugi::xpath_node& n : holder.select_nodes(".//*[local-name()='t']"))
    text += n.node().text().get();
  return text;
}

ChartGrouping GroupingOf(xml_node plot) {
  const std::string_view grouping = Value(Child(plot, "grouping"), "val");
  if (grouping == "stacked") return ChartGrouping::Stacked;
  if (grouping == "percentStacked") return ChartGrouping::PercentStacked;
  return ChartGrouping::Clustered;
}

LegendPosition LegendOf(xml_node chart) {
  const xml_node legend = Child(chart, "legend");
  if (!legend) return LegendPosition::None;
  const std::string_view at = Value(Child(legend, "legendPos"), "val");
  if (at == "l") return LegendPosition::Left;
  if (at == "t") return LegendPosition::Top;
  if (at == "b") return LegendPosition::Bottom;
  return LegendPosition::Right;
}

// The plot of the chart and its kind: the first of the plot area that is drawn here.
xml_node PlotOf(xml_node plotArea, ChartKind& kind) {
  xml_node found;
  ForEachChild(plotArea, [&](xml_node c) {
    const std::string_view name = Local(c.name());
    if (name == "barChart" || name == "bar3DChart") {
      kind = Value(Child(c, "barDir"), "val") == "bar" ? ChartKind::Bar : ChartKind::Column;
    } else if (name == "lineChart" || name == "line3DChart") {
      kind = ChartKind::Line;
    } else if (name == "areaChart" || name == "area3DChart") {
      kind = ChartKind::Area;
    } else if (name == "pieChart" || name == "pie3DChart" || name == "ofPieChart") {
      kind = ChartKind::Pie;
    } else if (name == "doughnutChart") {
      kind = ChartKind::Doughnut;
    } else {
      return false;
    }
    found = c;
    return true;
  });
  return found;
}

}  // namespace

// A series' own colour: its fill, or for lines its outline; else the theme's accents in turn.
Rgb ReadContext::SeriesColor(xml_node spPr, std::size_t index, bool line) const {
  const xml_node paint = line ? Child(Child(spPr, "ln"), "solidFill") : Child(spPr, "solidFill");
  if (auto color = ColorOf(paint, std::nullopt)) return color->rgb;
  constexpr std::size_t kFirstAccent = 4, kAccents = 6;
  return theme_.colors[kFirstAccent + index % kAccents];
}

std::shared_ptr<const Chart> ReadContext::ReadChart(xml_node chartRef) {
  const auto rel = relationships_.find(std::string(Value(chartRef, "id")));
  if (rel == relationships_.end() || rel->second.external || !zip_.Has(rel->second.target))
    return nullptr;
  package::XmlPart part;
  Parse(rel->second.target, part);
  const xml_node chart = Child(part.doc.document_element(), "chart");
  auto out = std::make_shared<Chart>();
  const xml_node plot = PlotOf(Child(chart, "plotArea"), out->kind);
  if (!plot) return nullptr;
  out->grouping = GroupingOf(plot);
  out->legend = LegendOf(chart);
  const bool vary = Value(Child(plot, "varyColors"), "val") == "1" ||
                    Value(Child(plot, "varyColors"), "val") == "true";
  const bool pie = out->kind == ChartKind::Pie || out->kind == ChartKind::Doughnut;
  ForEachChild(plot, [&](xml_node ser) {
    if (!Is(ser, "ser")) return false;
    ChartSeries series;
    const std::vector<std::string> name = CachedPoints(Child(ser, "tx"));
    series.name = name.empty() ? TextOf(Child(Child(ser, "tx"), "v")) : name.front();
    for (const std::string& v : CachedPoints(Child(ser, "val"))) {
      char* end = nullptr;
      const double value = std::strtod(v.c_str(), &end);
      series.values.push_back(end != v.c_str() && std::isfinite(value) ? value : NAN);
    }
    if (out->categories.empty()) out->categories = CachedPoints(Child(ser, "cat"));
    series.color =
        SeriesColor(Child(ser, "spPr"), out->series.size(), out->kind == ChartKind::Line);
    if (pie && (vary || out->series.empty())) {
      for (std::size_t k = 0; k < series.values.size(); ++k)
        series.pointColors.push_back(SeriesColor(xml_node(), k, false));
      ForEachChild(ser, [&](xml_node dPt) {
        if (!Is(dPt, "dPt")) return false;
        const long k =
            std::strtol(std::string(Value(Child(dPt, "idx"), "val")).c_str(), nullptr, 10);
        if (k >= 0 && std::size_t(k) < series.pointColors.size())
          series.pointColors[std::size_t(k)] =
              SeriesColor(Child(dPt, "spPr"), std::size_t(k), false);
        return false;
      });
    }
    out->series.push_back(std::move(series));
    return out->series.size() >= kMostSeries;
  });
  if (out->series.empty()) return nullptr;
  const xml_node title = Child(chart, "title");
  const std::string_view deleted = Value(Child(chart, "autoTitleDeleted"), "val");
  out->title = RichText(title);
  // A chart of one series titles itself with the series' name unless told not to.
  if (out->title.empty() && (title || (deleted != "1" && deleted != "true")) &&
      out->series.size() == 1)
    out->title = out->series.front().name;
  return out;
}

}  // namespace wordproc::ooxml::reader
