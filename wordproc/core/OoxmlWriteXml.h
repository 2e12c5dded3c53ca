// The pieces of XML the package writer puts together: escaped text, lengths in the units of
// each vocabulary, and the fixed parts every package we write carries.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "wordproc/core/KeptPackage.h"
#include "wordproc/core/Model.h"
#include "wordproc/core/OoxmlInternal.h"
#include "wordproc/core/OoxmlProperties.h"
#include "wordproc/core/Package.h"

namespace wordproc::ooxml::write {

inline constexpr double kMaxEmu = kMaxLengthPt * kEmuPerPt;

// Appends the text with XML's special characters escaped (and quotes, in attributes).
void Escape(std::string& out, std::string_view text, bool attribute);
std::string Attr(std::string_view text);
std::int64_t Emu(double pt);      // a position, clamped
std::int64_t EmuSize(double pt);  // a size, never negative
std::int64_t Twips(double pt);
std::string Num(std::int64_t value);
// The DrawingML preset of a line or autoshape.
std::string Geometry(const Shape& shape);
// a:xfrm of a shape at (x, y) EMU in its container, with its rotation and flips; a group's
// children keep its own size as their coordinate space.
std::string XfrmXml(const Shape& shape, std::int64_t x, std::int64_t y, bool group);
// a:prstGeom with the preset's adjust values, or a:custGeom.
std::string ShapeGeometryXml(const Shape& shape);
// The VML element drawing a shape's outline, and its coordsize and path where it is v:shape.
const char* VmlElement(const Shape& shape);
std::string VmlPathAttributes(const Shape& shape);
// The rotation and flips of a shape in a VML style ("rotation:30;flip:x;").
std::string VmlTurn(const Shape& shape);
// The opening wp:anchor of a floating shape with its place, size and wrapping, up to wp:docPr.
std::string AnchorPlacementXml(const Shape& shape, std::uint64_t relativeHeight);
// The anchor's wrapping element (wp:wrapNone, wp:wrapSquare, ...).
std::string WrapXml(const WrapFormat& wrap);
// The same for VML: the style's distances (";mso-wrap-distance-left:9pt...") and w10:wrap.
std::string VmlWrapStyle(const WrapFormat& wrap);
std::string VmlWrapXml(const WrapFormat& wrap);
// w:line and w:lineRule of a paragraph's spacing.
std::string LineSpacingAttributes(const Paragraph& p);
// The namespaces of a document, header or footer root element, with the ignorable ones; for a
// document, also those of the main part it was read from that elements kept in it may use.
std::string RootNamespaces(const KeptPackage* kept = nullptr);
// The floating shapes each paragraph carries, by index into shapes, in z-order; one whose
// anchor is gone goes with the first paragraph.
std::vector<std::vector<std::size_t>> AnchorLists(const std::vector<Paragraph>& paragraphs,
                                                  const std::vector<AnchoredShape>& shapes);
// w:cols of a section.
std::string ColumnsXml(const TextColumns& columns);
// A sectPr's children after its header and footer references: the kept ones of the file in
// their places among those made from the section.
void SectionPageXml(std::string& out, const Section& section);
// wps:bodyPr of a shape's text frame, with its WordArt warp.
std::string BodyPr(const TextFrame& frame, const TextWarp& warp);
std::string Adjustments(const Shape& shape);
// pic:blipFill of a picture: its part, the SVG drawn in its place and the crop. Empty ids leave
// the reference out.
std::string BlipFill(std::string_view relId, std::string_view svgRelId, const PictureCrop& crop);
// The crop attributes of v:imagedata, with a leading space; empty without a crop.
std::string VmlCrop(const PictureCrop& crop);
// The content type and extension a picture part is written with: by its bytes where they say,
// else as it was read, made safe for a part name.
struct MediaType {
  std::string contentType, extension;
};
MediaType MediaFormat(const Image& image);
// The run of a chart or SmartArt kept from the file (for a floating one, the run given), with the
// id it is written with and the size, place, name and visibility the model has given it since;
// relativeHeight, when set, stacks a floating one among the shapes written anew.
std::string KeptInlineXml(const InlinePicture& picture, const std::string& xml, std::uint32_t id);
std::string KeptAnchorXml(const Shape& shape, const std::string& xml, std::uint32_t id,
                          std::optional<std::uint64_t> relativeHeight);
// The relationship ids the run of a kept chart or SmartArt names, in order.
std::vector<std::string> NamedRelationships(const std::string& runXml, const KeptPackage* from);
// The parts and main-part relationships that copies of kept charts and SmartArt take: each copy
// names copies of the parts its original names, under fresh names and ids (OoxmlWriteCopies.cpp).
class GraphicCopier {
 public:
  using PartTaken = std::function<bool(const std::string&)>;
  using FreeRelationship = std::function<std::string()>;
  GraphicCopier(PartTaken taken, FreeRelationship freeId);
  // The run with its relationship ids replaced by those of the copies; none when a part it
  // names is missing from the package it came from. The ids are those of the part it was read
  // from (empty: the main part); the copies' relationships are the written part's (by name,
  // empty: the main part).
  std::optional<std::string> Copy(const std::string& runXml, const KeptPackage& from,
                                  const std::string& readFrom, const std::string& writtenTo);
  const std::vector<KeptPart>& parts() const { return parts_; }
  const std::vector<KeptRelationship>& relationships(const std::string& part) const;
  bool Has(const std::string& name) const;

 private:
  struct Copied {  // within one copy: by the original's id or name
    std::map<std::string, std::string> relationships, parts;
    const std::vector<KeptRelationship>* source = nullptr;
    std::vector<KeptRelationship>* into = nullptr;
  };
  std::optional<std::string> CopyRelationship(const KeptPackage& from, const std::string& id,
                                              Copied& copied);
  std::optional<std::string> CopyPart(const KeptPackage& from, const std::string& name,
                                      Copied& copied);
  bool CopyOwnRelationships(const KeptPackage& from, const KeptPart& source,
                            const std::string& copy, Copied& copied);
  bool RenameDrawingOfData(const KeptPackage& from, std::string& bytes, Copied& copied);
  std::string FreeName(const std::string& name) const;

  PartTaken taken_;
  FreeRelationship freeId_;
  std::vector<KeptPart> parts_;
  std::map<std::string, std::vector<KeptRelationship>> relationships_;  // by written part
};
// Whether the body's floating shapes are all kept ones, stacked in the order the file's
// relativeHeight numbers give: then they keep those numbers.
bool KeepsItsStacking(const std::vector<AnchoredShape>& shapes);
// Which content controls around the body's paragraphs are written, by paragraph: those whose
// opening and closing paragraphs still pair up, nested as they were (OoxmlWriteKeep.cpp).
struct WrittenWrappers {
  std::vector<std::vector<bool>> opens, closes;
};
WrittenWrappers PairWrappers(const std::vector<Paragraph>& paragraphs);
// The same for any items (rows, cells): lists gives an item's opens or closes, fits whether a
// control may stand at an item, pairs whether one opening and closing there may be written.
using WrapperLists = std::function<const std::vector<BlockWrapperPtr>&(std::size_t, bool)>;
using WrapperFits = std::function<bool(std::size_t, const BlockWrapper&, bool)>;
using WrapperPairs = std::function<bool(std::size_t, std::size_t, const BlockWrapper&)>;
WrittenWrappers PairWrappers(std::size_t count, const WrapperLists& lists, const WrapperFits& fits,
                             const WrapperPairs& pairs);
template <class Item>
WrittenWrappers PairItemWrappers(const std::vector<Item>& items) {
  return PairWrappers(
      items.size(),
      [&](std::size_t k, bool opens) -> const std::vector<BlockWrapperPtr>& {
        return opens ? items[k].opens : items[k].closes;
      },
      [](std::size_t, const BlockWrapper&, bool) { return true; },
      [](std::size_t, std::size_t, const BlockWrapper&) { return true; });
}
// The start (opening) or end tags of an item's controls that are written; for a paragraph, those
// at one depth.
std::string WrappersXml(const std::vector<BlockWrapperPtr>& wrappers,
                        const std::vector<bool>& written, bool opening,
                        std::optional<std::size_t> depth = std::nullopt);
// A file name a template is saved under (.dotx, .dot, .dotm).
bool IsTemplateName(const std::string& path);
// The w:r of a run's text with its w:rPr; nothing for empty text.
std::string RunTextXml(const std::string& rPr, std::string_view text);
// What stands before a field's first result run and after its last: w:fldSimple, or the
// w:fldChar runs around its instruction, in the format of the result.
std::string FieldStartXml(const FieldCode& code, const std::string& rPr);
std::string FieldEndXml(const FieldCode& code, const std::string& rPr);
// An angle in degrees brought into 0 to 360.
double NormalDegreesOf(double degrees);
// a:srgbClr with its alpha when it is not opaque.
std::string ColorXml(Rgb color, float alpha);
// The fill of spPr; a picture fill needs the relationship of its picture part.
std::string FillXml(const FillFormat& fill, std::string_view imageRelId);
std::string LineXml(const LineFormat& line);
// a:effectLst with the outer shadow; empty without one.
std::string EffectXml(const ShadowFormat& shadow);
// The VML fallback's v:fill, v:stroke and v:shadow.
std::string VmlFillXml(const FillFormat& fill, std::string_view imageRelId);
std::string VmlStrokeXml(const LineFormat& line);
std::string VmlShadowXml(const ShadowFormat& shadow);
// The styles part: the file's own as read, or the document defaults we write text against, with
// those kept from the file.
std::string StylesXml(const KeptPackage* kept);
std::string OwnStylesXml(const KeptPackage* kept);
// Whether the file's styles are written back: those of a file we wrote ourselves are ours.
bool KeepsFileStyles(const KeptPackage* kept);
// The package's relationships: the main part's, and those kept from the package read.
std::string RootRelsXml(const KeptPackage* kept);
// The settings: those read, with the model's default tab stop and even pages' headers patched
// in (byte for byte when they are unchanged), or our own for a new document.
std::string SettingsXml(const Document& doc);
std::string KeptSettingsXml(const std::string& xml, const Document& doc);
// w:numPr of a paragraph's properties, only where the document keeps the lists' definitions;
// and its w:tabs. Empty when it has none.
std::string ListXml(const Paragraph& p, bool lists);
std::string TabsXml(const Paragraph& p);
// w:rPr of a run or paragraph mark, hidden text when asked (OoxmlWriteProps.cpp). In full, what
// is off is said so too: the file's own styles are written with the text, and must not turn on
// what the model has off.
void RunPropertiesXml(std::string& out, const RunFormat& format, bool hidden,
                      PropertyKind kind = PropertyKind::Run, bool full = false);
// w:pPr of a paragraph around the mark's w:rPr and the w:sectPr of the section it ends; in full,
// with its style's name and every property the model holds, defaults included.
void ParagraphPropertiesXml(std::string& out, const Paragraph& p, bool lists,
                            std::string_view markRPr, std::string_view sectPr, bool full = false);
// w:ind; empty without indents.
std::string IndentsXml(const Indents& indents);
std::string NumberingXml(const Numbering& numbering);
std::string NumberingOverride();
std::string NumberingRelationship(const std::string& id);

// The parts, relationships and content types kept from the package a document was read from
// (OoxmlWriteKeep.cpp). Part names compare in lower case.
// The id itself when no kept relationship has it, else the first free one made from it.
// Kept drawings and copies name the main part by no name.
inline const std::string kMainPart;
// The relationships of the main part and of every header and footer together.
std::vector<KeptRelationship> EveryKeptRelationship(const KeptPackage* kept);
std::string FreeRelationshipId(const std::string& wanted,
                               const std::vector<KeptRelationship>& kept);
std::string RelationshipsXml(const std::vector<KeptRelationship>& relationships);
// The Default and Override entries the kept parts need beyond the defaults written, which it
// adds to; parts the writer makes itself (made) are left out.
std::string KeptContentTypesXml(const KeptPackage& kept,
                                std::map<std::string, std::string>& defaults,
                                const std::unordered_set<std::string>& made);
// Which raw runs of a paragraph are written: all but those opening or closing an element
// whose other end an edit took away or moved across a field's bounds.
std::vector<bool> WrittenRaw(const std::vector<Run>& runs);
void AddKeptParts(package::ZipWriter& zip, const KeptPackage& kept,
                  const std::unordered_set<std::string>& made);

}  // namespace wordproc::ooxml::write
