// Writing back what a document kept of the package it was read from: its parts unchanged, the
// relationships that lead to them under their own ids, and the content types they had.
#include <algorithm>

#include <pugixml.hpp>

#include "wordproc/core/OoxmlReadXml.h"
#include "wordproc/core/OoxmlWriteXml.h"

namespace wordproc::ooxml::write {

namespace {

bool Taken(const std::string& id, const std::vector<KeptRelationship>& kept) {
  return std::any_of(kept.begin(), kept.end(),
                     [&](const KeptRelationship& r) { return r.id == id; });
}

std::string ExtensionOf(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || name.find('/', dot) != std::string::npos) return {};
  return package::AsciiLower(name.substr(dot + 1));
}

bool Compressed(const std::string& extension) {
  return extension != "png" && extension != "jpeg" && extension != "jpg" && extension != "gif";
}

// "w:hyperlink" of "<w:hyperlink r:id=...>", and of "</w:sdtContent></w:sdt>" "w:sdt".
std::string_view OpenedName(std::string_view xml) {
  const std::size_t end = xml.find_first_of(" >/", 1);
  return xml.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1);
}

std::string_view ClosedName(std::string_view xml) {
  const std::size_t at = xml.rfind("</");
  if (at == std::string_view::npos) return {};
  return xml.substr(at + 2, xml.find('>', at) - at - 2);
}

}  // namespace

std::vector<bool> WrittenRaw(const std::vector<Run>& runs) {
  std::vector<bool> written(runs.size(), true);
  std::vector<std::size_t> open;
  for (std::size_t r = 0; r < runs.size(); ++r) {
    const Run& run = runs[r];
    if (!run.raw || run.nesting == RawNesting::None) continue;
    written[r] = false;
    if (run.nesting == RawNesting::Opens) {
      open.push_back(r);
      continue;
    }
    if (open.empty()) continue;
    const Run& opener = runs[open.back()];
    if (OpenedName(*opener.raw) == ClosedName(*run.raw) &&
        opener.format.fieldCode == run.format.fieldCode) {
      written[open.back()] = written[r] = true;
      open.pop_back();
    }
  }
  return written;
}

std::vector<KeptRelationship> EveryKeptRelationship(const KeptPackage* kept) {
  if (!kept) return {};
  std::vector<KeptRelationship> all = kept->documentRelationships;
  for (const auto& [part, list] : kept->storyRelationships)
    all.insert(all.end(), list.begin(), list.end());
  return all;
}

std::string FreeRelationshipId(const std::string& wanted,
                               const std::vector<KeptRelationship>& kept) {
  std::string id = wanted;
  for (int k = 1; Taken(id, kept); ++k) id = wanted + "_" + std::to_string(k);
  return id;
}

std::string RelationshipsXml(const std::vector<KeptRelationship>& relationships) {
  std::string out;
  for (const KeptRelationship& r : relationships) {
    out += "<Relationship Id=\"" + Attr(r.id) + "\" Type=\"" + Attr(r.type) + "\" Target=\"" +
           Attr(r.target) + "\"";
    if (r.external) out += " TargetMode=\"External\"";
    out += "/>";
  }
  return out;
}

// A kept part takes the Default its extension had where no other part's Default says otherwise;
// else an Override names its type.
std::string KeptContentTypesXml(const KeptPackage& kept,
                                std::map<std::string, std::string>& defaults,
                                const std::unordered_set<std::string>& made) {
  std::string out;
  for (const KeptPart& part : kept.parts) {
    if (part.contentType.empty() || made.count(package::AsciiLower(part.name))) continue;
    const std::string extension = ExtensionOf(part.name);
    auto given = defaults.find(extension);
    if (given == defaults.end() && !extension.empty()) {
      const auto source = std::find_if(kept.defaults.begin(), kept.defaults.end(),
                                       [&](const auto& d) { return d.first == extension; });
      if (source != kept.defaults.end() && source->second == part.contentType) {
        out += "<Default Extension=\"" + Attr(extension) + "\" ContentType=\"" +
               Attr(part.contentType) + "\"/>";
        given = defaults.emplace(extension, part.contentType).first;
      }
    }
    if (given != defaults.end() && given->second == part.contentType) continue;
    out += "<Override PartName=\"/" + Attr(part.name) + "\" ContentType=\"" +
           Attr(part.contentType) + "\"/>";
  }
  return out;
}

void AddKeptParts(package::ZipWriter& zip, const KeptPackage& kept,
                  const std::unordered_set<std::string>& made) {
  for (const KeptPart& part : kept.parts) {
    if (made.count(package::AsciiLower(part.name))) continue;
    std::string bytes =
        part.image ? std::string(part.image->bytes.begin(), part.image->bytes.end()) : part.bytes;
    zip.Add(part.name, std::move(bytes), Compressed(ExtensionOf(part.name)));
  }
}

WrittenWrappers PairWrappers(std::size_t count, const WrapperLists& lists, const WrapperFits& fits,
                             const WrapperPairs& pairs) {
  WrittenWrappers written;
  written.opens.resize(count);
  written.closes.resize(count);
  struct Open {
    const BlockWrapper* wrapper;
    std::size_t item, index;
  };
  std::vector<Open> open;
  for (std::size_t k = 0; k < count; ++k) {
    const auto& opens = lists(k, true);
    const auto& closes = lists(k, false);
    written.opens[k].assign(opens.size(), false);
    written.closes[k].assign(closes.size(), false);
    for (std::size_t i = 0; i < opens.size(); ++i) {
      if (!fits(k, *opens[i], true)) continue;
      if (opens[i]->close.empty())
        written.opens[k][i] = true;  // an empty control
      else
        open.push_back({opens[i].get(), k, i});
    }
    for (std::size_t i = 0; i < closes.size(); ++i) {
      if (!fits(k, *closes[i], false)) continue;
      if (closes[i]->open.empty()) {
        written.closes[k][i] = true;
        continue;
      }
      const auto found = std::find_if(open.rbegin(), open.rend(),
                                      [&](const Open& o) { return o.wrapper == closes[i].get(); });
      if (found == open.rend() || !pairs(found->item, k, *closes[i])) continue;
      written.opens[found->item][found->index] = true;
      written.closes[k][i] = true;
      // Controls opened inside it and not closed there are not written.
      open.erase(std::prev(found.base()), open.end());
    }
  }
  return written;
}

namespace {

// Whether q stands in the same cells as p down to depth, and in the same table below that.
bool SameTable(const Paragraph& p, const Paragraph& q, std::size_t depth) {
  if (q.cells.size() <= depth) return false;
  for (std::size_t d = 0; d < depth; ++d)
    if (!(p.cells[d] == q.cells[d])) return false;
  return p.cells[depth].table == q.cells[depth].table;
}

}  // namespace

// A control stands around paragraphs of its own cell, or around the table at its depth that
// the paragraph begins (opening) or ends (closing).
WrittenWrappers PairWrappers(const std::vector<Paragraph>& paragraphs) {
  auto lists = [&](std::size_t k, bool opens) -> const std::vector<BlockWrapperPtr>& {
    return opens ? paragraphs[k].opens : paragraphs[k].closes;
  };
  auto fits = [&](std::size_t k, const BlockWrapper& wrapper, bool opens) {
    const Paragraph& p = paragraphs[k];
    if (wrapper.depth >= p.cells.size()) return wrapper.depth == p.cells.size();
    const std::size_t neighbour = opens ? k - 1 : k + 1;
    return neighbour >= paragraphs.size() || !SameTable(p, paragraphs[neighbour], wrapper.depth);
  };
  auto pairs = [&](std::size_t open, std::size_t close, const BlockWrapper& wrapper) {
    for (std::size_t d = 0; d < wrapper.depth; ++d)
      if (!(paragraphs[open].cells[d] == paragraphs[close].cells[d])) return false;
    return true;
  };
  return PairWrappers(paragraphs.size(), lists, fits, pairs);
}

std::string WrappersXml(const std::vector<BlockWrapperPtr>& wrappers,
                        const std::vector<bool>& written, bool opening,
                        std::optional<std::size_t> depth) {
  std::string out;
  for (std::size_t i = 0; i < wrappers.size() && i < written.size(); ++i)
    if (written[i] && (!depth || wrappers[i]->depth == *depth))
      out += opening ? wrappers[i]->open : wrappers[i]->close;
  return out;
}

bool IsTemplateName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  const std::string extension = package::AsciiLower(path.substr(dot + 1));
  return extension == "dotx" || extension == "dot" || extension == "dotm";
}

namespace {

// The settings' elements in the order the schema asks for, up to the last the model writes and
// those that may follow it.
constexpr std::string_view kSettingsOrder[] = {"writeProtection",
                                               "view",
                                               "zoom",
                                               "removePersonalInformation",
                                               "removeDateAndTime",
                                               "doNotDisplayPageBoundaries",
                                               "displayBackgroundShape",
                                               "printPostScriptOverText",
                                               "printFractionalCharacterWidth",
                                               "printFormsData",
                                               "embedTrueTypeFonts",
                                               "embedSystemFonts",
                                               "saveSubsetFonts",
                                               "saveFormsData",
                                               "mirrorMargins",
                                               "alignBordersAndEdges",
                                               "bordersDoNotSurroundHeader",
                                               "bordersDoNotSurroundFooter",
                                               "gutterAtTop",
                                               "hideSpellingErrors",
                                               "hideGrammaticalErrors",
                                               "activeWritingStyle",
                                               "proofState",
                                               "formsDesign",
                                               "attachedTemplate",
                                               "linkStyles",
                                               "stylePaneFormatFilter",
                                               "stylePaneSortMethod",
                                               "documentType",
                                               "mailMerge",
                                               "revisionView",
                                               "trackRevisions",
                                               "doNotTrackMoves",
                                               "doNotTrackFormatting",
                                               "documentProtection",
                                               "autoFormatOverride",
                                               "styleLockTheme",
                                               "styleLockQFSet",
                                               "defaultTabStop",
                                               "autoHyphenation",
                                               "consecutiveHyphenLimit",
                                               "hyphenationZone",
                                               "doNotHyphenateCaps",
                                               "showEnvelope",
                                               "summaryLength",
                                               "clickAndTypeStyle",
                                               "defaultTableStyle",
                                               "evenAndOddHeaders"};

std::size_t SettingsRank(reader::xml_node node, const std::string& prefix) {
  const std::string_view name = node.name();
  if (!name.starts_with(prefix)) return std::size(kSettingsOrder);
  const auto found =
      std::find(std::begin(kSettingsOrder), std::end(kSettingsOrder), name.substr(prefix.size()));
  return std::size_t(found - std::begin(kSettingsOrder));
}

// The settings' element of that name, made where the schema puts it when it is missing.
reader::xml_node SettingsChild(reader::xml_node settings, const std::string& prefix,
                               std::string_view name) {
  if (reader::xml_node found = reader::Child(settings, name)) return found;
  const std::size_t rank =
      std::size_t(std::find(std::begin(kSettingsOrder), std::end(kSettingsOrder), name) -
                  std::begin(kSettingsOrder));
  const std::string full = prefix + std::string(name);
  for (reader::xml_node c = settings.first_child(); c; c = c.next_sibling())
    if (c.type() == pugi::node_element && SettingsRank(c, prefix) > rank)
      return settings.insert_child_before(full.c_str(), c);
  return settings.append_child(full.c_str());
}

}  // namespace

std::string KeptSettingsXml(const std::string& xml, const Document& doc) {
  pugi::xml_document parsed;
  const unsigned options = pugi::parse_default | pugi::parse_declaration;
  if (!parsed.load_buffer(xml.data(), xml.size(), options, pugi::encoding_utf8)) return xml;
  reader::xml_node settings = parsed.document_element();
  const std::string root = settings.name();
  const std::string prefix = root.substr(0, root.find(':') + 1);
  bool changed = false;
  const float interval = doc.paragraphs.empty() ? 36 : doc.paragraphs.front().tabs.interval;
  const reader::xml_node tab = reader::Child(settings, "defaultTabStop");
  const std::string twips = Num(std::max<std::int64_t>(2, Twips(interval)));
  if (tab ? reader::Value(tab, "val") != twips : interval != 36) {
    reader::xml_node stop = SettingsChild(settings, prefix, "defaultTabStop");
    stop.remove_attribute((prefix + "val").c_str());
    stop.append_attribute((prefix + "val").c_str()) = twips.c_str();
    changed = true;
  }
  const reader::xml_node even = reader::Child(settings, "evenAndOddHeaders");
  if ((even && reader::OnOff(even)) != doc.evenAndOddHeaders) {
    if (doc.evenAndOddHeaders) {
      SettingsChild(settings, prefix, "evenAndOddHeaders")
          .remove_attribute((prefix + "val").c_str());
    } else {
      settings.remove_child(even);
    }
    changed = true;
  }
  if (!changed) return xml;
  std::string out;
  struct Collect : pugi::xml_writer {
    std::string* text;
    void write(const void* data, std::size_t size) override {
      text->append(static_cast<const char*>(data), size);
    }
  } writer;
  writer.text = &out;
  parsed.save(writer, "", pugi::format_raw, pugi::encoding_utf8);
  return out;
}

}  // namespace wordproc::ooxml::write
