#include "labels/ProductDatabase.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "labels/Units.h"
#include "platform/Files.h"

namespace labels {

namespace fs = std::filesystem;

namespace {

constexpr const char* kPaperFile = "paper-sizes.xml";
constexpr std::size_t kCausesShown = 5;
constexpr int kLongestEquivChain = 32;

// Lower case of ASCII and Russian letters, for comparisons ignoring case.
std::string Lower(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = text[i];
    if (c >= 'A' && c <= 'Z') {
      out += char(c + 32);
    } else if ((c == 0xD0) && i + 1 < text.size()) {
      const unsigned char d = text[++i];
      if (d >= 0x90 && d <= 0x9F)
        out += {char(0xD0), char(d + 0x20)};  // А..П
      else if (d >= 0xA0 && d <= 0xAF)
        out += {char(0xD1), char(d - 0x20)};  // Р..Я
      else if (d == 0x81)
        out += {char(0xD1), char(0x91)};  // Ё
      else
        out += {char(c), char(d)};
    } else {
      out += char(c);
    }
  }
  return out;
}

std::string Key(const std::string& brand, const std::string& part) {
  return Lower(brand) + "\n" + Lower(part);
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream stream(text);
  for (std::string part; std::getline(stream, part, separator);)
    if (!part.empty()) parts.push_back(part);
  return parts;
}

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

bool IsProductFileName(const std::string& name) {
  auto endsWith = [&](const std::string& ext) {
    return name.size() > ext.size() && name.compare(name.size() - ext.size(), ext.size(), ext) == 0;
  };
  return !platform::IsHiddenName(name) && (endsWith(".xml") || endsWith(".template"));
}

// A folder's product files: its paper sizes first, then the rest by name.
std::vector<std::string> FilesOf(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    std::error_code ignored;
    if (IsProductFileName(name) && fs::is_regular_file(it->path(), ignored)) names.push_back(name);
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return (a == kPaperFile) != (b == kPaperFile) ? a == kPaperFile : a < b;
  });
  for (std::string& name : names) name = (fs::path(folder) / name).string();
  return names;
}

class Loader {
 public:
  void AddBuiltins();
  void ReadFolder(const std::string& folder);
  std::vector<Product> Products();
  std::vector<std::string> Problems() const;

 private:
  void ReadFile(const std::string& path);
  void Note(const std::string& file, const std::string& cause);
  void Resolve(const TemplateEntry& entry);
  const TemplateEntry* Base(const TemplateEntry& entry, std::string& problem) const;
  const PaperSize* Paper(const std::string& id) const;

  std::vector<PaperSize> papers_ = StandardPaperSizes();
  std::map<std::string, TemplateEntry> entries_;  // by Key; a later file's entry replaces
  std::vector<std::string> order_;                // keys in the order first read
  std::map<std::string, Product> products_;       // by lower-case Id
  std::vector<std::string> files_;                // files with problems, in the order met
  std::map<std::string, std::vector<std::string>> causes_;
  std::map<std::string, std::string> errors_;
};

void Loader::AddBuiltins() {
  for (const Product& product : BuiltinProducts()) products_[Lower(product.Id())] = product;
}

void Loader::ReadFolder(const std::string& folder) {
  for (const std::string& path : FilesOf(folder)) ReadFile(path);
}

void Loader::ReadFile(const std::string& path) {
  TemplateFile file = ReadTemplateFile(path);
  if (!file.error.empty()) {
    if (!causes_.count(path) && !errors_.count(path)) files_.push_back(path);
    errors_[path] = file.error;
    return;
  }
  for (const std::string& cause : file.skipped) Note(path, cause);
  for (PaperSize& paper : file.papers) {
    auto same = std::find_if(papers_.begin(), papers_.end(),
                             [&](const PaperSize& p) { return p.id == paper.id; });
    if (same != papers_.end())
      *same = paper;
    else
      papers_.push_back(paper);
  }
  for (TemplateEntry& entry : file.templates) {
    const std::string key = Key(entry.brand, entry.part);
    if (!entries_.count(key)) order_.push_back(key);
    entries_[key] = std::move(entry);
  }
}

void Loader::Note(const std::string& file, const std::string& cause) {
  if (!causes_.count(file) && !errors_.count(file)) files_.push_back(file);
  causes_[file].push_back(cause);
}

const PaperSize* Loader::Paper(const std::string& id) const {
  for (const PaperSize& paper : papers_)
    if (paper.id == id) return &paper;
  for (const PaperSize& paper : papers_)
    if (!paper.pwgName.empty() && paper.pwgName == id) return &paper;
  return nullptr;
}

// The entry whose geometry this one has: itself, or the end of its chain of equivs.
const TemplateEntry* Loader::Base(const TemplateEntry& entry, std::string& problem) const {
  const TemplateEntry* current = &entry;
  for (int step = 0; !current->equiv.empty(); ++step) {
    if (step == kLongestEquivChain) {
      problem = "цепочка ссылок equiv замкнута на себя";
      return nullptr;
    }
    auto next = entries_.find(Key(current->brand, current->equiv));
    if (next == entries_.end()) {
      problem = "ссылается (equiv) на неизвестный образец " + current->brand + " " + current->equiv;
      return nullptr;
    }
    current = &next->second;
  }
  return current;
}

void Loader::Resolve(const TemplateEntry& entry) {
  const std::string id = entry.brand + " " + entry.part;
  std::string problem;
  const TemplateEntry* base = Base(entry, problem);
  Product product;
  if (base && !base->paperId.empty()) {
    if (const PaperSize* paper = Paper(base->paperId)) {
      product.paper = paper->name;
      product.pageWidth = paper->width;
      product.pageHeight = paper->height;
    } else {
      problem = "неизвестный формат бумаги «" + base->paperId + "»";
    }
  } else if (base) {
    product.pageWidth = base->width;
    product.pageHeight = base->height;
  }
  if (!problem.empty()) return Note(entry.source, id + ": " + problem);
  product.brand = entry.brand;
  product.part = entry.part;
  product.description = entry.description.empty() ? base->description : entry.description;
  product.labels = base->labels;
  product.source = entry.source;
  products_[Lower(product.Id())] = std::move(product);
}

std::vector<Product> Loader::Products() {
  for (const std::string& key : order_) Resolve(entries_.at(key));
  std::vector<Product> all;
  all.reserve(products_.size());
  for (auto& [key, product] : products_) all.push_back(std::move(product));
  return all;
}

std::string CausesText(const std::vector<std::string>& causes) {
  std::string text;
  for (std::size_t i = 0; i < causes.size() && i < kCausesShown; ++i)
    text += (i ? "; " : "") + causes[i];
  if (causes.size() > kCausesShown)
    text += "; и ещё " + std::to_string(causes.size() - kCausesShown);
  return text;
}

std::vector<std::string> Loader::Problems() const {
  std::vector<std::string> problems;
  for (const std::string& file : files_) {
    if (auto error = errors_.find(file); error != errors_.end())
      problems.push_back("Файл описаний этикеток " + platform::Quoted(file) +
                         " пропущен: " + error->second);
    else
      problems.push_back("В файле описаний этикеток " + platform::Quoted(file) +
                         " пропущены образцы: " + CausesText(causes_.at(file)));
  }
  return problems;
}

bool Contains(const std::string& haystack, const std::vector<std::string>& words) {
  return std::all_of(words.begin(), words.end(), [&](const std::string& word) {
    return haystack.find(word) != std::string::npos;
  });
}

}  // namespace

std::vector<std::string> ProductDatabase::StandardFolders() {
  if (const std::string chosen = Env("VSP_LABEL_TEMPLATE_DIRS"); !chosen.empty())
    return Split(chosen, ':');
  std::string dataDirs = Env("XDG_DATA_DIRS");
  if (dataDirs.empty()) dataDirs = "/usr/local/share:/usr/share";
  std::vector<std::string> folders;
  for (const std::string& dir : Split(dataDirs, ':'))
    folders.insert(folders.begin(), dir + "/libglabels-3.0/templates");
  const std::string home = Env("HOME");
  std::string config = Env("XDG_CONFIG_HOME");
  if (config.empty() && !home.empty()) config = home + "/.config";
  if (!config.empty()) folders.push_back(config + "/libglabels/templates");
  if (!home.empty()) folders.push_back(home + "/.glabels");
  if (!config.empty()) folders.push_back(config + "/varnel-stampora/templates");
  std::vector<std::string> unique;
  for (const std::string& folder : folders)
    if (std::find(unique.begin(), unique.end(), folder) == unique.end()) unique.push_back(folder);
  return unique;
}

ProductDatabase ProductDatabase::Load(const std::vector<std::string>& folders, bool builtins) {
  Loader loader;
  if (builtins) loader.AddBuiltins();
  for (const std::string& folder : folders) loader.ReadFolder(folder);
  ProductDatabase db;
  db.products_ = loader.Products();
  db.problems_ = loader.Problems();
  return db;
}

const Product* ProductDatabase::Find(const std::string& id) const {
  const std::string wanted = Lower(id);
  auto it =
      std::lower_bound(products_.begin(), products_.end(), wanted,
                       [](const Product& p, const std::string& w) { return Lower(p.Id()) < w; });
  return it != products_.end() && Lower(it->Id()) == wanted ? &*it : nullptr;
}

std::vector<const Product*> ProductDatabase::Search(const std::string& text) const {
  std::string query = Lower(text);
  std::replace(query.begin(), query.end(), ',', '.');
  std::replace(query.begin(), query.end(), '\t', ' ');
  const std::vector<std::string> words = Split(query, ' ');
  std::vector<const Product*> found;
  for (const Product& product : products_) {
    const std::string haystack = Lower(product.Id() + " " + product.description + " " +
                                       PaperText(product) + " " + LabelSizeText(product));
    if (Contains(haystack, words)) found.push_back(&product);
  }
  return found;
}

std::string LabelSizeText(const Product& product) {
  const LabelKind* kind = product.MainLabel();
  if (!kind) return {};
  return FormatMm(kind->width) + "x" + FormatMm(kind->height);
}

std::string PaperText(const Product& product) {
  if (!product.paper.empty()) return product.paper;
  return FormatMm(product.pageWidth) + "x" + FormatMm(product.pageHeight);
}

}  // namespace labels
