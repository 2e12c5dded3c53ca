#include "wordproc/core/Model.h"
#include "wordproc/core/KeptPackage.h"

#include <algorithm>

namespace wordproc {

std::string Paragraph::text() const {
  std::size_t total = 0;
  for (const Run& run : runs) total += run.text.size();
  std::string result;
  result.reserve(total);
  for (const Run& run : runs) result += run.text;
  return result;
}

std::size_t Paragraph::length() const {
  // UTF-16 code units: one per code point, two for code points beyond the basic plane (four-byte
  // UTF-8 sequences). Continuation bytes add nothing; a stray byte counts as one unit, as the
  // replacement character it would become.
  std::size_t units = 0;
  for (const Run& run : runs) {
    for (unsigned char c : run.text) {
      if ((c & 0xC0) == 0x80) continue;
      units += (c >= 0xF0 && c <= 0xF7) ? 2 : 1;
    }
  }
  return units;
}

float BorderSpan(const BorderLine& line) {
  const std::string& style = line.style;
  const float w = line.width;
  auto has = [&](const char* part) { return style.find(part) != std::string::npos; };
  if (style == "double" || style == "doubleWave") return 3 * w;
  if (style == "triple") return 5 * w;
  if (has("SmallGap")) return w + 1.5f;
  if (has("LargeGap")) return w + 2.25f;
  if (has("MediumGap") || style == "thick" || style == "outset" || style == "inset" ||
      has("threeD"))
    return 2 * w;
  return w;
}

std::unique_ptr<Shape> Shape::clone() const {
  auto copy = std::make_unique<Shape>();
  copy->id = id;
  copy->name = name;
  copy->kind = kind;
  copy->autoShapeType = autoShapeType;
  copy->visible = visible;
  copy->left = left;
  copy->top = top;
  copy->width = width;
  copy->height = height;
  copy->relH = relH;
  copy->relV = relV;
  copy->wrap = wrap;
  copy->layoutInCell = layoutInCell;
  copy->flipH = flipH;
  copy->flipV = flipV;
  copy->adjustment = adjustment;
  copy->preset = preset;
  copy->adjusts = adjusts;
  copy->custom = custom;  // geometries are immutable and shared
  copy->rotation = rotation;
  copy->graphic = graphic;
  copy->chart = chart;  // charts are immutable and shared
  copy->line = line;
  copy->fill = fill;
  copy->shadow = shadow;
  copy->text = text;
  copy->frame = frame;
  copy->warp = warp;
  copy->image = image;  // images are immutable and shared
  copy->svg = svg;
  copy->crop = crop;
  copy->raw = raw;
  copy->children.reserve(children.size());
  for (const auto& child : children) copy->children.push_back(child->clone());
  return copy;
}

bool Shape::sameAs(const Shape& o) const {
  bool alike = id == o.id && name == o.name && kind == o.kind && autoShapeType == o.autoShapeType &&
               visible == o.visible && left == o.left && top == o.top && width == o.width &&
               height == o.height && relH == o.relH && relV == o.relV && wrap == o.wrap &&
               layoutInCell == o.layoutInCell && flipH == o.flipH && flipV == o.flipV &&
               adjustment == o.adjustment && line == o.line && fill == o.fill &&
               shadow == o.shadow && text == o.text && frame == o.frame && warp == o.warp &&
               image == o.image && svg == o.svg && crop == o.crop && preset == o.preset &&
               adjusts == o.adjusts && rotation == o.rotation && graphic == o.graphic &&
               chart == o.chart && raw == o.raw &&
               (custom == o.custom || (custom && o.custom && *custom == *o.custom)) &&
               children.size() == o.children.size();
  for (std::size_t k = 0; alike && k < children.size(); ++k)
    alike = children[k]->sameAs(*o.children[k]);
  return alike;
}

Document::Document() {
  Paragraph first;
  first.id = newParagraphId();
  paragraphs.push_back(std::move(first));
}

std::unique_ptr<Document> Document::clone() const {
  auto copy = std::make_unique<Document>();
  copy->pageSetup = pageSetup;
  copy->lastSectionStart = lastSectionStart;
  copy->lastStories = lastStories;
  copy->evenAndOddHeaders = evenAndOddHeaders;
  copy->pageColor = pageColor;
  copy->backgroundXml = backgroundXml;
  copy->paragraphs = paragraphs;
  copy->shapes.reserve(shapes.size());
  for (const AnchoredShape& anchored : shapes) {
    copy->shapes.push_back(
        {anchored.shape ? anchored.shape->clone() : nullptr, anchored.anchorParagraph});
  }
  copy->isTemplate = isTemplate;
  copy->numbering = numbering;
  copy->sourceFormat = sourceFormat;
  copy->kept = kept;
  copy->footnotes = footnotes;
  copy->endnotes = endnotes;
  copy->endnotesAtSectionEnds = endnotesAtSectionEnds;
  copy->footnotesBeneathText = footnotesBeneathText;
  copy->nextParagraphId = nextParagraphId;
  copy->nextShapeId = nextShapeId;
  return copy;
}

const KeptPart* KeptPackage::find(const std::string& name) const {
  const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
  for (const KeptPart& part : parts) {
    if (part.name.size() == name.size() &&
        std::equal(name.begin(), name.end(), part.name.begin(),
                   [&](char a, char b) { return lower(a) == lower(b); }))
      return &part;
  }
  return nullptr;
}

const std::vector<KeptRelationship>& KeptPackage::relationshipsOf(const std::string& part) const {
  static const std::vector<KeptRelationship> kNone;
  if (part.empty()) return documentRelationships;
  const auto found = storyRelationships.find(part);
  return found == storyRelationships.end() ? kNone : found->second;
}

const KeptPart* KeptPackage::partOf(const Image* image) const {
  for (const KeptPart& part : parts)
    if (image && part.image.get() == image) return &part;
  return nullptr;
}

HeaderFooter::HeaderFooter() = default;
HeaderFooter::~HeaderFooter() = default;

}  // namespace wordproc
