// Fills, outlines and shadows of shapes as DrawingML and as the VML fallback beside it.
#include <algorithm>
#include <cmath>

#include "wordproc/core/OoxmlWriteXml.h"

namespace wordproc::ooxml::write {

namespace {

std::string Thousandths(double share) {
  return Num(std::llround(Clamp(share, -10, 10) * 100000));
}

const char* CompoundName(LineStyle style) {
  switch (style) {
    case LineStyle::ThinThin:
      return "dbl";
    case LineStyle::ThinThick:
      return "thinThick";
    case LineStyle::ThickThin:
      return "thickThin";
    case LineStyle::ThickBetweenThin:
      return "tri";
    case LineStyle::Single:
      break;
  }
  return "sng";
}

const char* ArrowName(ArrowStyle style) {
  switch (style) {
    case ArrowStyle::Triangle:
      return "triangle";
    case ArrowStyle::Open:
      return "arrow";
    case ArrowStyle::Stealth:
      return "stealth";
    case ArrowStyle::Diamond:
      return "diamond";
    case ArrowStyle::Oval:
      return "oval";
    case ArrowStyle::None:
      break;
  }
  return "none";
}

const char* SizeName(int size) {
  return size <= 1 ? "sm" : size >= 3 ? "lg" : "med";
}

std::string ArrowXml(const char* element, const Arrowhead& a) {
  if (a.style == ArrowStyle::None) return {};
  return std::string("<a:") + element + " type=\"" + ArrowName(a.style) + "\" w=\"" +
         SizeName(a.width) + "\" len=\"" + SizeName(a.length) + "\"/>";
}

const char* CapName(const LineFormat& line) {
  if (const char* dashCap = DashCap(line.dash)) return dashCap;
  switch (line.cap) {
    case LineCap::Round:
      return "rnd";
    case LineCap::Square:
      return "sq";
    case LineCap::Flat:
      break;
  }
  return nullptr;
}

const char* PathName(GradientPath path) {
  switch (path) {
    case GradientPath::Rect:
      return "rect";
    case GradientPath::Shape:
      return "shape";
    case GradientPath::Circle:
    case GradientPath::Linear:
      break;
  }
  return "circle";
}

std::string GradientXml(const FillFormat& fill) {
  std::string out = "<a:gradFill rotWithShape=\"1\"><a:gsLst>";
  for (const GradientStop& stop : fill.stops) {
    out += "<a:gs pos=\"" + Thousandths(Clamp(stop.position, 0, 1)) + "\">" +
           ColorXml(stop.color, stop.alpha) + "</a:gs>";
  }
  out += "</a:gsLst>";
  if (fill.path == GradientPath::Linear) {
    out += "<a:lin ang=\"" + Num(std::llround(NormalDegreesOf(fill.angle) * 60000)) +
           "\" scaled=\"" + (fill.scaled ? "1" : "0") + "\"/>";
  } else {
    out += std::string("<a:path path=\"") + PathName(fill.path) + "\"><a:fillToRect l=\"" +
           Thousandths(fill.focusLeft) + "\" t=\"" + Thousandths(fill.focusTop) + "\" r=\"" +
           Thousandths(fill.focusRight) + "\" b=\"" + Thousandths(fill.focusBottom) +
           "\"/></a:path>";
  }
  return out + "</a:gradFill>";
}

std::string Opacity(float alpha) {
  return FormatPoints(Clamp(alpha, 0, 1));
}

}  // namespace

double NormalDegreesOf(double degrees) {
  if (!std::isfinite(degrees)) return 0;
  const double turned = std::fmod(degrees, 360.0);
  return turned < 0 ? turned + 360 : turned;
}

std::string ColorXml(Rgb color, float alpha) {
  std::string out = "<a:srgbClr val=\"" + HexColor(color & 0xFFFFFF) + "\"";
  if (alpha >= 1) return out + "/>";
  return out + "><a:alpha val=\"" + Thousandths(Clamp(alpha, 0, 1)) + "\"/></a:srgbClr>";
}

std::string FillXml(const FillFormat& fill, std::string_view imageRelId) {
  if (!fill.visible) return "<a:noFill/>";
  switch (fill.type) {
    case FillType::Gradient:
      if (fill.stops.size() >= 2) return GradientXml(fill);
      break;
    case FillType::Patterned:
      return "<a:pattFill prst=\"" + Attr(fill.pattern) + "\"><a:fgClr>" +
             ColorXml(fill.color, fill.alpha) + "</a:fgClr><a:bgClr>" +
             ColorXml(fill.backColor, fill.backAlpha) + "</a:bgClr></a:pattFill>";
    case FillType::Picture:
    case FillType::Textured:
      if (imageRelId.empty()) break;
      return "<a:blipFill rotWithShape=\"1\"><a:blip r:embed=\"" + std::string(imageRelId) +
             "\"/>" +
             (fill.tile ? "<a:tile tx=\"0\" ty=\"0\" sx=\"100000\" sy=\"100000\" flip=\"none\" "
                          "algn=\"tl\"/>"
                        : "<a:stretch><a:fillRect/></a:stretch>") +
             "</a:blipFill>";
    case FillType::Solid:
      break;
  }
  return "<a:solidFill>" + ColorXml(fill.color, fill.alpha) + "</a:solidFill>";
}

std::string LineXml(const LineFormat& line) {
  std::string out =
      "<a:ln w=\"" + Num(std::llround(Clamp(line.weight, 0, 1584, 0.75) * kEmuPerPt)) + "\"";
  if (const char* cap = CapName(line)) out += std::string(" cap=\"") + cap + "\"";
  if (line.style != LineStyle::Single)
    out += std::string(" cmpd=\"") + CompoundName(line.style) + "\"";
  out += ">";
  out += line.visible ? "<a:solidFill>" + ColorXml(line.color, line.alpha) + "</a:solidFill>"
                      : "<a:noFill/>";
  out += std::string("<a:prstDash val=\"") + DashPreset(line.dash) + "\"/>";
  out += line.join == LineJoin::Round   ? "<a:round/>"
         : line.join == LineJoin::Bevel ? "<a:bevel/>"
                                        : "<a:miter lim=\"800000\"/>";
  return out + ArrowXml("headEnd", line.head) + ArrowXml("tailEnd", line.tail) + "</a:ln>";
}

std::string EffectXml(const ShadowFormat& shadow) {
  if (!shadow.visible) return {};
  return "<a:effectLst><a:outerShdw blurRad=\"" +
         Num(std::llround(Clamp(shadow.blur, 0, 1584) * kEmuPerPt)) + "\" dist=\"" +
         Num(std::llround(Clamp(shadow.distance, 0, 1584) * kEmuPerPt)) + "\" dir=\"" +
         Num(std::llround(NormalDegreesOf(shadow.direction) * 60000)) +
         "\" algn=\"ctr\" rotWithShape=\"0\">" + ColorXml(shadow.color, shadow.alpha) +
         "</a:outerShdw></a:effectLst>";
}

std::string VmlFillXml(const FillFormat& fill, std::string_view imageRelId) {
  std::string out = "<v:fill";
  if (fill.alpha < 1) out += " opacity=\"" + Opacity(fill.alpha) + "\"";
  if (fill.type == FillType::Gradient && fill.stops.size() >= 2) {
    const GradientStop &first = fill.stops.front(), &last = fill.stops.back();
    if (fill.path == GradientPath::Linear) {
      out += " type=\"gradient\" angle=\"" +
             Num(std::llround(NormalDegreesOf(270 - double(fill.angle)))) + "\"";
    } else {
      out += " type=\"gradientRadial\" focusposition=\"" + Opacity(fill.focusLeft) + "," +
             Opacity(fill.focusTop) + "\"";
    }
    out += " color2=\"#" + HexColor(last.color & 0xFFFFFF) + "\"";
    if (last.alpha < 1) out += " o:opacity2=\"" + Opacity(last.alpha) + "\"";
    out += " colors=\"";
    for (const GradientStop& stop : fill.stops) {
      if (&stop != &first) out += ";";
      out += Opacity(stop.position) + " #" + HexColor(stop.color & 0xFFFFFF);
    }
    out += "\"";
  } else if (fill.type == FillType::Patterned) {
    out += " type=\"pattern\" color2=\"#" + HexColor(fill.backColor & 0xFFFFFF) + "\" o:title=\"" +
           Attr(fill.pattern) + "\"";
  } else if ((fill.type == FillType::Picture || fill.type == FillType::Textured) &&
             !imageRelId.empty()) {
    out += std::string(" type=\"") + (fill.tile ? "tile" : "frame") + "\" r:id=\"" +
           std::string(imageRelId) + "\"";
  }
  return out + "/>";
}

std::string VmlStrokeXml(const LineFormat& line) {
  std::string out = std::string("<v:stroke dashstyle=\"") + VmlDashStyle(line.dash) + "\"";
  if (line.alpha < 1) out += " opacity=\"" + Opacity(line.alpha) + "\"";
  static const char* const kStyles[] = {"single", "thinThin", "thinThick", "thickThin",
                                        "thickBetweenThin"};
  if (line.style != LineStyle::Single)
    out += std::string(" linestyle=\"") + kStyles[int(line.style) - 1] + "\"";
  if (line.cap != LineCap::Flat)
    out += std::string(" endcap=\"") + (line.cap == LineCap::Round ? "round" : "square") + "\"";
  if (line.join != LineJoin::Miter)
    out += std::string(" joinstyle=\"") + (line.join == LineJoin::Round ? "round" : "bevel") + "\"";
  static const char* const kArrows[] = {"none", "block", "open", "classic", "diamond", "oval"};
  static const char* const kWidths[] = {"narrow", "medium", "wide"};
  static const char* const kLengths[] = {"short", "medium", "long"};
  auto arrow = [&](const char* prefix, const Arrowhead& a) {
    if (a.style == ArrowStyle::None) return;
    const std::string p(prefix);
    out += " " + p + "arrow=\"" + kArrows[int(a.style) - 1] + "\" " + p + "arrowwidth=\"" +
           kWidths[std::clamp(a.width, 1, 3) - 1] + "\" " + p + "arrowlength=\"" +
           kLengths[std::clamp(a.length, 1, 3) - 1] + "\"";
  };
  arrow("start", line.head);
  arrow("end", line.tail);
  return out + "/>";
}

std::string VmlShadowXml(const ShadowFormat& shadow) {
  if (!shadow.visible) return {};
  const double radians = double(shadow.direction) * M_PI / 180;
  return "<v:shadow on=\"t\" color=\"#" + HexColor(shadow.color & 0xFFFFFF) + "\" opacity=\"" +
         Opacity(shadow.alpha) + "\" offset=\"" +
         FormatPoints(shadow.distance * std::cos(radians)) + "pt," +
         FormatPoints(shadow.distance * std::sin(radians)) + "pt\"/>";
}

}  // namespace wordproc::ooxml::write
