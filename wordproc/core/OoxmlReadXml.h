// What every part of the reader needs of XML and of the values in attributes: elements matched by
// local name, mc:AlternateContent looked through, lengths and colours parsed the way files write
// them, and the coordinate spaces of DrawingML and VML groups.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <pugixml.hpp>
#include "wordproc/core/OoxmlInternal.h"

namespace wordproc::ooxml::reader {

using pugi::xml_attribute;
using pugi::xml_node;

inline constexpr int kMaxAlternateNesting = 8;

// Elements are matched by local name: files use the usual prefixes almost always, but nothing
// obliges them to, and strict documents use other namespace names for the same elements.
std::string_view Local(const char* name);
bool Is(xml_node node, std::string_view local);
xml_attribute AttrOf(xml_node node, std::string_view local);
std::string_view Value(xml_node node, std::string_view local);
// Namespace of a prefix as declared on the node or its ancestors.
std::string_view NamespaceOf(xml_node node, std::string_view prefix);
// mc:Choice is taken when we understand every namespace it requires; otherwise mc:Fallback.
xml_node ChooseAlternative(xml_node alternate);

// Visits element children, looking through mc:AlternateContent; stops when f returns true.
template <class F>
bool ForEachChild(xml_node parent, F&& f, int nesting = 0) {
  for (xml_node c = parent.first_child(); c; c = c.next_sibling()) {
    if (c.type() != pugi::node_element) continue;
    if (Is(c, "AlternateContent")) {
      const xml_node chosen = ChooseAlternative(c);
      if (chosen && nesting < kMaxAlternateNesting && ForEachChild(chosen, f, nesting + 1)) {
        return true;
      }
      continue;
    }
    if (f(c)) return true;
  }
  return false;
}

// The first element child of that local name, looking through mc:AlternateContent.
xml_node Child(xml_node parent, std::string_view local);
// The node's own character data, without that of its children.
std::string TextOf(xml_node node);
// The element as XML text, namespace prefixes as the file has them.
std::string NodeXml(xml_node node);

double Number(std::string_view text, double fallback = 0);
bool OnOff(xml_node node);
double PositionFromEmu(double emu);
double SizeFromEmu(double emu);
// A length with an optional unit suffix, in points; bare numbers are in defaultUnit points.
std::optional<double> ParseLength(std::string_view text, double defaultUnit);
// Twips, or a universal measure ("2.5cm") where the schema allows one.
std::optional<double> TwipsValue(xml_node node, std::string_view attribute);
std::string Lower(std::string_view text);

// A rounded rectangle's "adj" guide ("val 16667": 1/100000 of the shorter side), within the
// half of that side the preset allows.
float CornerAdjustment(xml_node geometry);

struct Hsl {
  double h, s, l;
};
Hsl ToHsl(Rgb c);
Rgb FromHsl(Hsl c);
std::optional<Rgb> PresetColor(std::string_view name);
// VML colours: "#RRGGBB", "#RGB" or a name, possibly followed by a palette index in brackets.
std::optional<Rgb> ParseVmlColor(std::string_view text);

// Maps coordinates of a group's children to points from the group's top-left corner.
struct ChildSpace {
  double originX = 0, originY = 0;  // child units
  double scaleX = 1, scaleY = 1;    // points per child unit
};

struct Xfrm {
  double offX = 0, offY = 0, extX = 0, extY = 0;
  double chOffX = 0, chOffY = 0, chExtX = 0, chExtY = 0;
  bool flipH = false, flipV = false;
  double rotation = 0;  // degrees clockwise, 0 to 360
};

// An angle in degrees brought into 0 to 360; what is not a number is 0.
double NormalDegrees(double degrees);

Xfrm ReadXfrm(xml_node properties);
// The space of a group's children given the group's own size in points.
ChildSpace InnerSpace(const Xfrm& x, double widthPt, double heightPt);

// A VML style attribute, "position:absolute;width:20pt", with the names lower-cased.
struct CssStyle {
  std::vector<std::pair<std::string, std::string>> items;
  std::string_view Get(std::string_view key) const {
    for (const auto& [k, v] : items) {
      if (k == key) return v;
    }
    return std::string_view();
  }
};
CssStyle ParseCss(std::string_view text);

}  // namespace wordproc::ooxml::reader
