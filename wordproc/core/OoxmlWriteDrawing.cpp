// Charts and SmartArt kept as the file had them: their runs go back as they were read, with the
// id, name, place and size the model has given them since patched in.
#include <algorithm>
#include <optional>

#include "wordproc/core/OoxmlReadXml.h"
#include "wordproc/core/OoxmlWriteXml.h"

namespace wordproc::ooxml::write {

namespace {

using ooxml::reader::xml_node;
using reader::AttrOf;
using reader::Child;
using reader::Is;
using reader::NodeXml;

// What of a kept run the model has changed; unset members stay as the file had them.
struct DrawingChanges {
  std::uint32_t id = 0;
  std::string name;
  std::optional<bool> visible;  // unset: the file's own, as for charts in the text
  std::optional<std::pair<std::int64_t, std::int64_t>> extent;  // cx, cy
  bool moved = false;
  const char* relH = nullptr;
  const char* relV = nullptr;
  std::int64_t left = 0, top = 0;
  std::optional<std::uint64_t> relativeHeight;
  std::optional<WrapFormat> wrap;
};

// Sets an attribute, telling whether its value was another.
bool Set(xml_node node, const char* name, const std::string& value) {
  pugi::xml_attribute a = node.attribute(name);
  if (a && value == a.value()) return false;
  if (!a) a = node.append_attribute(name);
  a.set_value(value.c_str());
  return true;
}

bool On(std::string_view value) {
  return value == "1" || value == "true" || value == "on";
}

// The element's prefix with its colon, for new children named alike.
std::string PrefixOf(xml_node node) {
  const std::string_view name = node.name();
  const std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? std::string() : std::string(name.substr(0, colon + 1));
}

void SetOffset(xml_node position, const char* relativeFrom, std::int64_t offset) {
  if (!position) return;
  Set(position, "relativeFrom", relativeFrom);
  while (position.first_child()) position.remove_child(position.first_child());
  position.append_child((PrefixOf(position) + "posOffset").c_str())
      .append_child(pugi::node_pcdata)
      .set_value(Num(offset).c_str());
}

bool PatchDocPr(xml_node docPr, const DrawingChanges& changes) {
  if (!docPr) return false;
  bool changed = Set(docPr, "id", Num(changes.id));
  if (!changes.name.empty()) changed = Set(docPr, "name", changes.name) || changed;
  const pugi::xml_attribute hidden = docPr.attribute("hidden");
  if (!changes.visible) return changed;
  if (*changes.visible && hidden && On(hidden.value())) {
    docPr.remove_attribute(hidden);
    changed = true;
  } else if (!*changes.visible && !(hidden && On(hidden.value()))) {
    changed = Set(docPr, "hidden", "1") || changed;
  }
  return changed;
}

void PatchExtent(xml_node container, std::int64_t cx, std::int64_t cy) {
  const xml_node extent = Child(container, "extent");
  Set(extent, "cx", Num(cx));
  Set(extent, "cy", Num(cy));
  // A graphic frame giving its own size says the same.
  for (pugi::xpath_node found : container.select_nodes(".//*")) {
    const xml_node xfrm = found.node();
    if (!Is(xfrm, "xfrm") || !Is(xfrm.parent(), "graphicFrame")) continue;
    if (const xml_node ext = Child(xfrm, "ext")) {
      Set(ext, "cx", Num(cx));
      Set(ext, "cy", Num(cy));
    }
  }
}

bool IsWrapElement(xml_node node) {
  for (const char* name :
       {"wrapNone", "wrapSquare", "wrapTight", "wrapThrough", "wrapTopAndBottom"})
    if (Is(node, name)) return true;
  return false;
}

// The model's wrapping in place of the file's element, with its distances on the anchor.
void PatchWrap(xml_node anchor, const WrapFormat& wrap) {
  Set(anchor, "distT", Num(Emu(wrap.top)));
  Set(anchor, "distB", Num(Emu(wrap.bottom)));
  Set(anchor, "distL", Num(Emu(wrap.left)));
  Set(anchor, "distR", Num(Emu(wrap.right)));
  xml_node old;
  for (xml_node c = anchor.first_child(); c && !old; c = c.next_sibling())
    if (IsWrapElement(c)) old = c;
  const xml_node before = old ? old : Child(anchor, "docPr");
  if (!before) return;
  std::string made = WrapXml(wrap);
  const std::string prefix = PrefixOf(anchor);
  for (std::size_t at = made.find("wp:"); at != std::string::npos; at = made.find("wp:", at))
    made.replace(at, 3, prefix), at += prefix.size();
  pugi::xml_document fragment;
  if (!fragment.load_buffer(made.data(), made.size())) return;
  anchor.insert_copy_before(fragment.first_child(), before);
  if (old) anchor.remove_child(old);
}

void PatchPlace(xml_node anchor, const DrawingChanges& changes) {
  if (changes.wrap) PatchWrap(anchor, *changes.wrap);
  if (changes.moved) {
    // A place given as a simple position goes over to the relative one we write.
    if (pugi::xml_attribute simple = AttrOf(anchor, "simplePos"); simple && On(simple.value()))
      simple.set_value("0");
    SetOffset(Child(anchor, "positionH"), changes.relH, changes.left);
    SetOffset(Child(anchor, "positionV"), changes.relV, changes.top);
  }
  if (changes.relativeHeight)
    Set(anchor, "relativeHeight", Num(std::int64_t(*changes.relativeHeight)));
}

std::string Patched(const std::string& xml, const DrawingChanges& changes) {
  pugi::xml_document doc;
  const unsigned options = pugi::parse_default | pugi::parse_ws_pcdata_single;
  if (!doc.load_buffer(xml.data(), xml.size(), options, pugi::encoding_utf8)) return xml;
  const xml_node drawing = Child(doc.document_element(), "drawing");
  xml_node container = Child(drawing, "anchor");
  const bool floating = static_cast<bool>(container);
  if (!floating) container = Child(drawing, "inline");
  if (!container) return xml;
  // Unchanged, the run goes out as it came, byte for byte.
  bool changed = PatchDocPr(Child(container, "docPr"), changes);
  if (changes.extent) PatchExtent(container, changes.extent->first, changes.extent->second);
  if (floating) PatchPlace(container, changes);
  changed = changed || changes.extent ||
            (floating && (changes.moved || changes.relativeHeight || changes.wrap));
  if (!changed) return xml;
  return NodeXml(doc.document_element());
}

// A wp:anchor in place of the wp:inline: what an anchor has beyond an inline's elements goes
// where the schema puts it, around the extent and before docPr.
bool MakeFloating(xml_node frame, const Shape& shape) {
  const std::string prefix = PrefixOf(frame);
  const xml_node extent = Child(frame, "extent");
  const xml_node docPr = Child(frame, "docPr");
  if (!extent || !docPr) return false;
  frame.set_name((prefix + "anchor").c_str());
  for (const char* side : {"distT", "distB"}) Set(frame, side, "0");
  for (const char* side : {"distL", "distR"}) Set(frame, side, "114300");
  for (const char* name : {"simplePos", "relativeHeight", "behindDoc", "locked"})
    Set(frame, name, "0");
  for (const char* name : {"layoutInCell", "allowOverlap"}) Set(frame, name, "1");
  xml_node simple = frame.insert_child_before((prefix + "simplePos").c_str(), extent);
  Set(simple, "x", "0");
  Set(simple, "y", "0");
  const char* const relH = kRelHNames[std::clamp(static_cast<int>(shape.relH), 0, 7)];
  const char* const relV = kRelVNames[std::clamp(static_cast<int>(shape.relV), 0, 7)];
  SetOffset(frame.insert_child_before((prefix + "positionH").c_str(), extent), relH,
            Emu(shape.left));
  SetOffset(frame.insert_child_before((prefix + "positionV").c_str(), extent), relV,
            Emu(shape.top));
  frame.insert_child_before((prefix + "wrapNone").c_str(), docPr);
  return true;
}

}  // namespace

std::string KeptInlineXml(const InlinePicture& picture, const std::string& xml, std::uint32_t id) {
  DrawingChanges changes;
  changes.id = id;
  changes.name = picture.name;
  if (const Shape* read = picture.drawing.get();
      read && (read->width != picture.width || read->height != picture.height))
    changes.extent = {{EmuSize(picture.width), EmuSize(picture.height)}};
  return Patched(xml, changes);
}

std::string KeptAnchorXml(const Shape& shape, const std::string& xml, std::uint32_t id,
                          std::optional<std::uint64_t> relativeHeight) {
  const KeptDrawing& read = *shape.raw;
  DrawingChanges changes;
  changes.id = id;
  changes.name = shape.name;
  changes.visible = shape.visible;
  if (shape.width != read.width || shape.height != read.height)
    changes.extent = {{EmuSize(shape.width), EmuSize(shape.height)}};
  changes.moved = shape.left != read.left || shape.top != read.top || shape.relH != read.relH ||
                  shape.relV != read.relV;
  changes.relH = kRelHNames[std::clamp(static_cast<int>(shape.relH), 0, 7)];
  changes.relV = kRelVNames[std::clamp(static_cast<int>(shape.relV), 0, 7)];
  changes.left = Emu(shape.left);
  changes.top = Emu(shape.top);
  if (relativeHeight != read.relativeHeight) changes.relativeHeight = relativeHeight;
  if (shape.wrap != read.wrap) changes.wrap = shape.wrap;
  return Patched(xml, changes);
}

bool KeepsItsStacking(const std::vector<AnchoredShape>& shapes) {
  std::uint64_t last = 0;
  for (const AnchoredShape& anchored : shapes) {
    const Shape* shape = anchored.shape.get();
    if (!shape || !shape->raw || shape->raw->relativeHeight <= last) return false;
    last = shape->raw->relativeHeight;
  }
  return true;
}

}  // namespace wordproc::ooxml::write

namespace wordproc {

std::shared_ptr<const KeptDrawing> FloatingDrawing(const std::string& inlineRun, const Shape& shape,
                                                   KeptPackagePtr package) {
  pugi::xml_document doc;
  const unsigned options = pugi::parse_default | pugi::parse_ws_pcdata_single;
  if (!doc.load_buffer(inlineRun.data(), inlineRun.size(), options, pugi::encoding_utf8))
    return nullptr;
  const ooxml::reader::xml_node drawing = ooxml::reader::Child(doc.document_element(), "drawing");
  const ooxml::reader::xml_node frame = ooxml::reader::Child(drawing, "inline");
  if (!frame || !ooxml::write::MakeFloating(frame, shape)) return nullptr;
  auto kept = std::make_shared<KeptDrawing>();
  kept->xml = ooxml::reader::NodeXml(doc.document_element());
  kept->left = shape.left;
  kept->top = shape.top;
  // Written with the shape's size, whatever the text had.
  kept->width = kept->height = -1;
  kept->relH = shape.relH;
  kept->relV = shape.relV;
  // Written without wrapping: the wrapNone and distances of a new anchor.
  kept->wrap = WrapFormat{};
  kept->package = std::move(package);
  return kept;
}

}  // namespace wordproc
