// Paragraph and run properties the model does not read, kept as the file had them. Styles are
// written as direct formatting, so what a style gives is kept with each paragraph and run as its
// known properties are.
#include "wordproc/core/OoxmlReadContext.h"

namespace wordproc::ooxml::reader {

namespace {

std::string_view PrefixOf(std::string_view qualified) {
  const std::size_t colon = qualified.find(':');
  return colon == std::string_view::npos ? std::string_view() : qualified.substr(0, colon);
}

constexpr PropertyKind kParagraph = PropertyKind::Paragraph, kRun = PropertyKind::Run;

}  // namespace

// Written into parts whose roots declare only our namespaces, a kept element may use no
// prefix but those, bound as we bind them.
bool ReadContext::WritableNames(xml_node node) {
  const void* root = node.root().internal_object();
  auto found = partNamespaces_.find(root);
  if (found == partNamespaces_.end()) {
    std::unordered_map<std::string, std::string> declared;
    xml_node element = node.root().first_child();
    while (element && element.type() != pugi::node_element) element = element.next_sibling();
    for (pugi::xml_attribute a : element.attributes()) {
      const std::string_view name = a.name();
      if (name.starts_with("xmlns:")) declared.emplace(name.substr(6), a.value());
    }
    found = partNamespaces_.emplace(root, std::move(declared)).first;
  }
  const auto& declared = found->second;
  auto ours = [&](std::string_view prefix) {
    if (prefix == "xml") return true;
    const auto bound = declared.find(std::string(prefix));
    if (bound == declared.end()) return false;
    for (const auto& [written, uri] : WrittenNamespaces())
      if (prefix == written) return bound->second == uri;
    return false;
  };
  std::function<bool(xml_node)> check = [&](xml_node n) {
    if (!ours(PrefixOf(n.name()))) return false;
    for (pugi::xml_attribute a : n.attributes()) {
      const std::string_view name = a.name();
      if (name != "xmlns" && !name.starts_with("xmlns:") && !PrefixOf(name).empty() &&
          !ours(PrefixOf(name)))
        return false;
    }
    for (xml_node c : n.children())
      if (c.type() == pugi::node_element && !check(c)) return false;
    return true;
  };
  return check(node);
}

KeptList ReadContext::UnreadProperties(xml_node props, PropertyKind kind, bool style) {
  if (!props) return nullptr;
  const void* key = props.internal_object();
  if (style) {
    if (const auto cached = unreadStyles_.find(key); cached != unreadStyles_.end())
      return cached->second;
  }
  std::vector<KeptProperty> kept;
  for (xml_node c : props.children()) {
    if (c.type() != pugi::node_element || ModelledProperty(kind, Local(c.name()))) continue;
    if (!WritableNames(c)) continue;
    KeptProperty property{c.name(), PropertyRank(kind, c.name()), NodeXml(c)};
    // A property named twice counts once, the last as readers take it.
    std::erase_if(kept, [&](const KeptProperty& p) { return p.name == property.name; });
    kept.push_back(std::move(property));
  }
  KeptList list = kept.empty() ? nullptr : Interned(MergeProperties({&kept}));
  if (style) unreadStyles_.emplace(key, list);
  return list;
}

KeptProperties ReadContext::KeepProperties(const std::vector<KeptList>& lists, PropertyKind kind) {
  std::vector<const std::vector<KeptProperty>*> given;
  const KeptList* only = nullptr;
  for (const KeptList& list : lists) {
    if (!list || list->empty()) continue;
    given.push_back(list.get());
    only = &list;
  }
  if (given.empty()) return {};
  if (given.size() == 1 && kind != PropertyKind::Mark) return {*only};
  std::vector<KeptProperty> merged = MergeProperties(given);
  if (kind == PropertyKind::Mark) {
    std::erase_if(merged, [](const KeptProperty& p) {
      return ModelledProperty(PropertyKind::Mark, Local(p.name.c_str()));
    });
  }
  if (merged.empty()) return {};
  return {Interned(std::move(merged))};
}

// What the styles give is worked out once for each style and table style.
void ReadContext::KeepStyleProperties(xml_node pPr, const std::string& styleId, bool inTable,
                                      Paragraph& para, RunFormat& paragraphRun) {
  std::string key = styleId;
  if (inTable) {
    for (const auto* nodes : {&tableStyle_.paragraph, &tableStyle_.run})
      for (xml_node props : *nodes)
        key += '/' + std::to_string(reinterpret_cast<std::uintptr_t>(props.internal_object()));
  }
  auto [cached, added] = styleProperties_.try_emplace(std::move(key));
  if (added) {
    std::vector<KeptList> paragraph, run;
    if (inTable) {
      for (xml_node props : tableStyle_.paragraph)
        paragraph.push_back(UnreadProperties(props, kParagraph, true));
      for (xml_node props : tableStyle_.run) run.push_back(UnreadProperties(props, kRun, true));
    }
    for (xml_node props : StyleChain(styleId, "pPr"))
      paragraph.push_back(UnreadProperties(props, kParagraph, true));
    for (xml_node props : StyleChain(styleId, "rPr"))
      run.push_back(UnreadProperties(props, kRun, true));
    cached->second = {KeepProperties(paragraph, kParagraph).list, KeepProperties(run, kRun).list};
  }
  // The document's defaults stay defaults, in the styles part.
  para.kept =
      KeepProperties({cached->second.first, UnreadProperties(pPr, kParagraph, false)}, kParagraph);
  paragraphRun.kept = {cached->second.second};
}

// Runs with the same properties share one list.
KeptList ReadContext::Interned(std::vector<KeptProperty> list) {
  std::string key;
  for (const KeptProperty& p : list) key += p.xml;
  auto [at, added] = internedProperties_.try_emplace(std::move(key));
  if (added) {
    ChargeModel(2 * at->first.size() + list.size() * sizeof(KeptProperty));
    at->second = std::make_shared<const std::vector<KeptProperty>>(std::move(list));
  }
  return at->second;
}

}  // namespace wordproc::ooxml::reader
