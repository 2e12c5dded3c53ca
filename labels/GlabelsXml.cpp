#include "labels/GlabelsXml.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <pugixml.hpp>
#include <stdexcept>

#include "labels/Units.h"
#include "platform/Files.h"

namespace labels {

namespace {

// More than any real file of the format; a larger one is not read into memory.
constexpr std::size_t kLargestFile = 32 * 1024 * 1024;

// One template that cannot be made into a product; its text names the cause.
class EntryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string NameOf(const pugi::xml_node& node) {
  return node.name();
}

bool Has(const pugi::xml_node& node, const char* attribute) {
  return !node.attribute(attribute).empty();
}

double Length(const pugi::xml_node& node, const char* attribute) {
  const char* text = node.attribute(attribute).as_string();
  const auto value = ParseLength(text);
  if (!value)
    throw EntryError("длина " + std::string(attribute) + "=\"" + text + "\" в <" + NameOf(node) +
                     "> не разобрана");
  return *value;
}

double RequiredLength(const pugi::xml_node& node, const char* attribute) {
  if (!Has(node, attribute)) throw EntryError("у <" + NameOf(node) + "> нет атрибута " + attribute);
  return Length(node, attribute);
}

int Count(const pugi::xml_node& node, const char* attribute) {
  const std::string text = node.attribute(attribute).as_string();
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size())
    throw EntryError("число " + std::string(attribute) + "=\"" + text +
                     "\" в <Layout> не разобрано");
  return value;
}

LabelLayout ReadLayout(const pugi::xml_node& node) {
  return {Count(node, "nx"),  Count(node, "ny"),  Length(node, "x0"),
          Length(node, "y0"), Length(node, "dx"), Length(node, "dy")};
}

void ReadShape(const pugi::xml_node& node, LabelKind& kind) {
  const std::string name = NameOf(node);
  if (name == "Label-rectangle") {
    kind.shape = LabelShape::Rectangle;
    kind.width = RequiredLength(node, "width");
    kind.height = RequiredLength(node, "height");
    kind.cornerRadius = Length(node, "round");
  } else if (name == "Label-ellipse") {
    kind.shape = LabelShape::Ellipse;
    kind.width = RequiredLength(node, "width");
    kind.height = RequiredLength(node, "height");
  } else if (name == "Label-round") {
    kind.shape = LabelShape::Round;
    kind.radius = RequiredLength(node, "radius");
    kind.width = kind.height = 2 * kind.radius;
  } else if (name == "Label-cd") {
    kind.shape = LabelShape::Cd;
    kind.radius = RequiredLength(node, "radius");
    kind.hole = Length(node, "hole");
    kind.width = Has(node, "width") ? Length(node, "width") : 2 * kind.radius;
    kind.height = Has(node, "height") ? Length(node, "height") : 2 * kind.radius;
  } else {
    throw EntryError("вид этикетки <" + name + "> не поддерживается");
  }
}

LabelKind ReadLabel(const pugi::xml_node& node) {
  LabelKind kind;
  ReadShape(node, kind);
  for (const pugi::xml_node& child : node.children("Layout"))
    kind.layouts.push_back(ReadLayout(child));
  if (kind.layouts.empty()) throw EntryError("у <" + NameOf(node) + "> нет раскладки <Layout>");
  return kind;
}

std::string Description(const pugi::xml_node& node) {
  if (Has(node, "_description")) return node.attribute("_description").as_string();
  return node.attribute("description").as_string();
}

// Brand and part, or the older single name "Brand Part".
void ReadName(const pugi::xml_node& node, TemplateEntry& entry) {
  entry.brand = node.attribute("brand").as_string();
  entry.part = node.attribute("part").as_string();
  if (entry.brand.empty() && entry.part.empty()) {
    const std::string name = node.attribute("name").as_string();
    const auto space = name.find(' ');
    entry.brand = name.substr(0, space);
    if (space != std::string::npos) entry.part = name.substr(space + 1);
  }
}

void ReadPaper(const pugi::xml_node& node, TemplateEntry& entry) {
  const std::string size = node.attribute("size").as_string();
  if (size.empty()) throw EntryError("не указан формат бумаги (size)");
  if (size != "Other") {
    entry.paperId = size;
    return;
  }
  entry.width = RequiredLength(node, "width");
  entry.height = RequiredLength(node, "height");
}

TemplateEntry ReadTemplate(const pugi::xml_node& node, const std::string& source) {
  TemplateEntry entry;
  entry.source = source;
  entry.description = Description(node);
  entry.equiv = node.attribute("equiv").as_string();
  if (!entry.equiv.empty()) return entry;
  ReadPaper(node, entry);
  for (const pugi::xml_node& child : node.children()) {
    const std::string name = NameOf(child);
    if (name.rfind("Label-", 0) == 0) entry.labels.push_back(ReadLabel(child));
  }
  if (entry.labels.empty()) throw EntryError("нет описания этикетки (<Label-…>)");
  return entry;
}

void ReadTemplates(const pugi::xml_node& root, TemplateFile& file, const std::string& source) {
  for (const pugi::xml_node& node : root.children("Template")) {
    TemplateEntry name;
    ReadName(node, name);
    const std::string id = name.brand + " " + name.part;
    if (name.brand.empty() || name.part.empty()) {
      file.skipped.push_back("образец без марки или номера: нет атрибутов brand и part");
      continue;
    }
    try {
      TemplateEntry entry = ReadTemplate(node, source);
      entry.brand = name.brand;
      entry.part = name.part;
      file.templates.push_back(std::move(entry));
    } catch (const EntryError& e) {
      file.skipped.push_back(id + ": " + e.what());
    }
  }
}

void ReadPapers(const pugi::xml_node& root, TemplateFile& file) {
  for (const pugi::xml_node& node : root.children("Paper-size")) {
    PaperSize paper;
    paper.id = node.attribute("id").as_string();
    paper.name = Has(node, "_name") ? node.attribute("_name").as_string()
                                    : node.attribute("name").as_string();
    paper.pwgName = node.attribute("pwg_size").as_string();
    try {
      paper.width = RequiredLength(node, "width");
      paper.height = RequiredLength(node, "height");
    } catch (const EntryError& e) {
      file.skipped.push_back("формат бумаги " + paper.id + ": " + e.what());
      continue;
    }
    if (paper.name.empty()) paper.name = paper.id;
    if (!paper.id.empty()) file.papers.push_back(paper);
  }
}

std::string ReadWhole(const std::string& path) {
  const int fd = platform::OpenRegularFile(path);
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || text.size() + std::size_t(got) > kLargestFile) {
      const int error = got < 0 ? errno : 0;
      close(fd);
      if (got < 0) throw platform::FileError("ошибка чтения: " + platform::ErrorReason(error));
      if (got > 0) throw platform::FileError("файл больше 32 МБ");
      return text;
    }
    text.append(buffer, std::size_t(got));
  }
}

}  // namespace

TemplateFile ParseTemplateText(const std::string& text, const std::string& source) {
  TemplateFile file;
  pugi::xml_document doc;
  const pugi::xml_parse_result parsed = doc.load_buffer(text.data(), text.size());
  if (!parsed) {
    file.error = std::string("это не XML: ") + parsed.description() + " (байт " +
                 std::to_string(parsed.offset) + ")";
    return file;
  }
  const pugi::xml_node root = doc.document_element();
  const std::string kind = root.name();
  if (kind == "Glabels-templates") ReadTemplates(root, file, source);
  if (kind == "Glabels-paper-sizes") ReadPapers(root, file);
  return file;
}

TemplateFile ReadTemplateFile(const std::string& path) {
  std::string text;
  try {
    text = ReadWhole(path);
  } catch (const platform::FileError& e) {
    TemplateFile file;
    file.error = e.what();
    return file;
  }
  return ParseTemplateText(text, path);
}

}  // namespace labels
