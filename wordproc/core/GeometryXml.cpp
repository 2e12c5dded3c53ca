#include "wordproc/core/GeometryXml.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <mutex>

#include "wordproc/core/OoxmlWriteXml.h"

namespace wordproc::geometry {

extern const char kPresetDefinitions[];
extern const std::size_t kPresetDefinitionsSize;

namespace {

constexpr std::size_t kMostGuides = 5000;
constexpr std::size_t kMostCommands = 50000;

std::string_view Local(const char* name) {
  const std::string_view text(name);
  const std::size_t colon = text.find(':');
  return colon == std::string_view::npos ? text : text.substr(colon + 1);
}

pugi::xml_node Child(pugi::xml_node parent, std::string_view local) {
  for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling())
    if (c.type() == pugi::node_element && Local(c.name()) == local) return c;
  return {};
}

std::string Attr(pugi::xml_node node, std::string_view local) {
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
    if (Local(a.name()) == local) return a.value();
  return {};
}

void ReadGuides(pugi::xml_node list, std::vector<Guide>& out) {
  for (pugi::xml_node gd = list.first_child(); gd && out.size() < kMostGuides;
       gd = gd.next_sibling()) {
    if (Local(gd.name()) == "gd") out.push_back({Attr(gd, "name"), Attr(gd, "fmla")});
  }
}

std::int64_t Length(pugi::xml_node node, std::string_view name) {
  const std::string text = Attr(node, name);
  std::int64_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return std::clamp<std::int64_t>(value, 0, std::int64_t(1) << 40);
}

PathFill FillOf(std::string_view text) {
  if (text == "none") return PathFill::None;
  if (text == "lighten") return PathFill::Lighten;
  if (text == "lightenLess") return PathFill::LightenLess;
  if (text == "darken") return PathFill::Darken;
  if (text == "darkenLess") return PathFill::DarkenLess;
  return PathFill::Norm;
}

const char* FillName(PathFill fill) {
  switch (fill) {
    case PathFill::None:
      return "none";
    case PathFill::Lighten:
      return "lighten";
    case PathFill::LightenLess:
      return "lightenLess";
    case PathFill::Darken:
      return "darken";
    case PathFill::DarkenLess:
      return "darkenLess";
    case PathFill::Norm:
      break;
  }
  return "norm";
}

struct CommandName {
  PathCommand::Kind kind;
  const char* name;
};
constexpr CommandName kCommands[] = {
    {PathCommand::Kind::MoveTo, "moveTo"},      {PathCommand::Kind::LineTo, "lnTo"},
    {PathCommand::Kind::ArcTo, "arcTo"},        {PathCommand::Kind::QuadTo, "quadBezTo"},
    {PathCommand::Kind::CubicTo, "cubicBezTo"}, {PathCommand::Kind::Close, "close"}};

bool ReadCommand(pugi::xml_node node, PathCommand& command) {
  const std::string_view name = Local(node.name());
  const auto* found = std::find_if(std::begin(kCommands), std::end(kCommands),
                                   [&](const CommandName& c) { return name == c.name; });
  if (found == std::end(kCommands)) return false;
  command.kind = found->kind;
  if (command.kind == PathCommand::Kind::ArcTo) {
    for (const char* a : {"wR", "hR", "stAng", "swAng"}) command.args.push_back(Attr(node, a));
    return true;
  }
  for (pugi::xml_node pt = node.first_child(); pt && command.args.size() < 6;
       pt = pt.next_sibling()) {
    if (Local(pt.name()) != "pt") continue;
    command.args.push_back(Attr(pt, "x"));
    command.args.push_back(Attr(pt, "y"));
  }
  return true;
}

void ReadPaths(pugi::xml_node list, std::vector<PathDef>& out) {
  std::size_t commands = 0;
  for (pugi::xml_node path = list.first_child(); path; path = path.next_sibling()) {
    if (Local(path.name()) != "path") continue;
    PathDef def;
    def.width = Length(path, "w");
    def.height = Length(path, "h");
    def.fill = FillOf(Attr(path, "fill"));
    const std::string stroke = Attr(path, "stroke");
    def.stroke = !(stroke == "0" || stroke == "false");
    for (pugi::xml_node c = path.first_child(); c && commands < kMostCommands;
         c = c.next_sibling()) {
      PathCommand command;
      if (ReadCommand(c, command)) {
        def.commands.push_back(std::move(command));
        ++commands;
      }
    }
    out.push_back(std::move(def));
  }
}

void ReadSites(pugi::xml_node list, ShapeGeometry& g) {
  for (pugi::xml_node cxn = list.first_child(); cxn && g.sites.size() < kMostGuides;
       cxn = cxn.next_sibling()) {
    const pugi::xml_node pos = Child(cxn, "pos");
    if (pos) g.sites.emplace_back(Attr(pos, "x"), Attr(pos, "y"));
  }
}

// Guide names and formulas come from files we read: they go out escaped as attributes.
void EscapeAttr(std::string& out, std::string_view text) {
  ooxml::write::Escape(out, text, true);
}

void GuidesXml(std::string& out, const char* list, const std::vector<Guide>& guides) {
  if (guides.empty()) {
    out += std::string("<a:") + list + "/>";
    return;
  }
  out += std::string("<a:") + list + ">";
  for (const Guide& gd : guides) {
    out += "<a:gd name=\"";
    EscapeAttr(out, gd.name);
    out += "\" fmla=\"";
    EscapeAttr(out, gd.formula);
    out += "\"/>";
  }
  out += std::string("</a:") + list + ">";
}

void PointXml(std::string& out, const char* element, std::string_view x, std::string_view y) {
  out += std::string("<a:") + element + " x=\"";
  EscapeAttr(out, x);
  out += "\" y=\"";
  EscapeAttr(out, y);
  out += "\"/>";
}

void CommandXml(std::string& out, const PathCommand& command) {
  const char* name = "close";
  for (const CommandName& c : kCommands)
    if (c.kind == command.kind) name = c.name;
  const auto& a = command.args;
  auto arg = [&](std::size_t k) { return k < a.size() ? std::string_view(a[k]) : "0"; };
  if (command.kind == PathCommand::Kind::Close) {
    out += "<a:close/>";
  } else if (command.kind == PathCommand::Kind::ArcTo) {
    out += "<a:arcTo";
    const char* names[] = {"wR", "hR", "stAng", "swAng"};
    for (std::size_t k = 0; k < 4; ++k) {
      out += std::string(" ") + names[k] + "=\"";
      EscapeAttr(out, arg(k));
      out += "\"";
    }
    out += "/>";
  } else {
    out += std::string("<a:") + name + ">";
    const std::size_t points = command.kind == PathCommand::Kind::CubicTo  ? 3
                               : command.kind == PathCommand::Kind::QuadTo ? 2
                                                                           : 1;
    for (std::size_t p = 0; p < points; ++p) PointXml(out, "pt", arg(p * 2), arg(p * 2 + 1));
    out += std::string("</a:") + name + ">";
  }
}

void PathXml(std::string& out, const PathDef& def) {
  out += "<a:path";
  if (def.width > 0) out += " w=\"" + std::to_string(def.width) + "\"";
  if (def.height > 0) out += " h=\"" + std::to_string(def.height) + "\"";
  if (def.fill != PathFill::Norm) out += std::string(" fill=\"") + FillName(def.fill) + "\"";
  if (!def.stroke) out += " stroke=\"0\"";
  out += ">";
  for (const PathCommand& command : def.commands) CommandXml(out, command);
  out += "</a:path>";
}

using PresetTable = std::map<std::string, ShapeGeometry, std::less<>>;

PresetTable ParsePresets() {
  PresetTable table;
  pugi::xml_document doc;
  if (!doc.load_buffer(kPresetDefinitions, kPresetDefinitionsSize)) return table;
  for (pugi::xml_node shape : doc.document_element().children()) {
    if (shape.type() == pugi::node_element) table.emplace(shape.name(), ReadGeometry(shape));
  }
  return table;
}

const PresetTable& Presets() {
  static const PresetTable table = ParsePresets();
  return table;
}

}  // namespace

ShapeGeometry ReadGeometry(pugi::xml_node node) {
  ShapeGeometry g;
  ReadGuides(Child(node, "avLst"), g.adjust);
  ReadGuides(Child(node, "gdLst"), g.guides);
  if (pugi::xml_node rect = Child(node, "rect")) {
    g.textLeft = Attr(rect, "l");
    g.textTop = Attr(rect, "t");
    g.textRight = Attr(rect, "r");
    g.textBottom = Attr(rect, "b");
  }
  ReadSites(Child(node, "cxnLst"), g);
  ReadPaths(Child(node, "pathLst"), g.paths);
  return g;
}

std::string GeometryXml(const ShapeGeometry& g) {
  std::string out;
  GuidesXml(out, "avLst", g.adjust);
  GuidesXml(out, "gdLst", g.guides);
  out += "<a:ahLst/>";
  if (g.sites.empty()) {
    out += "<a:cxnLst/>";
  } else {
    out += "<a:cxnLst>";
    for (const auto& [x, y] : g.sites) {
      out += "<a:cxn ang=\"0\">";
      PointXml(out, "pos", x, y);
      out += "</a:cxn>";
    }
    out += "</a:cxnLst>";
  }
  out += "<a:rect l=\"";
  EscapeAttr(out, g.textLeft);
  out += "\" t=\"";
  EscapeAttr(out, g.textTop);
  out += "\" r=\"";
  EscapeAttr(out, g.textRight);
  out += "\" b=\"";
  EscapeAttr(out, g.textBottom);
  out += "\"/><a:pathLst>";
  for (const PathDef& def : g.paths) PathXml(out, def);
  out += "</a:pathLst>";
  return out;
}

std::string AdjustListXml(const Adjusts& adjusts) {
  std::string out = "<a:avLst>";
  for (const Adjust& a : adjusts) {
    out += "<a:gd name=\"";
    EscapeAttr(out, a.name);
    out += "\" fmla=\"val " + std::to_string(std::llround(a.value)) + "\"/>";
  }
  return adjusts.empty() ? "<a:avLst/>" : out + "</a:avLst>";
}

const ShapeGeometry* Preset(std::string_view name) {
  const PresetTable& table = Presets();
  const auto found = table.find(name);
  return found == table.end() ? nullptr : &found->second;
}

std::vector<std::string> PresetNames() {
  std::vector<std::string> names;
  for (const auto& [name, geometry] : Presets()) names.push_back(name);
  return names;
}

}  // namespace wordproc::geometry
