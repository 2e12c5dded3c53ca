#include "catalogue/uCatalogueViews.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "platform/Files.h"
#include "platform/UserInteraction.h"
#include "platform/Utf8.h"

namespace catalogue {

namespace {

constexpr char kSep = platform::kPathSep;

// Names are taken as they come: a byte that starts no valid sequence stands for itself.
std::u32string Decode(const std::string& text) {
  std::u32string out;
  for (std::size_t i = 0; i < text.size();) {
    const platform::Utf8Char c = platform::DecodeUtf8(text, i);
    out += c.codePoint;
    i += c.length;
  }
  return out;
}

char32_t LowerCodePoint(char32_t c) {
  if (c >= U'A' && c <= U'Z') return c + 0x20;
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;  // А..Я
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;  // Ѐ..Џ, Ё among them
  return c;
}

// Code points ordered alphabetically: "ё" sorts right after "е".
std::u32string SortKey(const std::string& name) {
  std::u32string key;
  for (char32_t c : Decode(name)) {
    c = LowerCodePoint(c);
    key += c == 0x451 ? char32_t(0x435 * 2 + 1) : char32_t(c * 2);
  }
  return key;
}

bool IsFolder(const std::string& parent, const dirent* e) {
  if (e->d_type == DT_DIR) return true;
  if (e->d_type != DT_LNK && e->d_type != DT_UNKNOWN) return false;
  struct stat st {};
  return stat((parent + kSep + e->d_name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<std::string> Subfolders(const std::string& folder) {
  std::vector<std::string> names;
  ListSubfolders(folder, names);
  return names;
}

}  // namespace

std::string TComboState::Text() const {
  return ItemIndex >= 0 && ItemIndex < int(Items.size()) ? Items[std::size_t(ItemIndex)]
                                                         : std::string();
}

bool TComboState::SelectText(const std::string& text) {
  for (std::size_t i = 0; i < Items.size(); ++i) {
    if (SameTextIgnoringCase(Items[i], text)) {
      ItemIndex = int(i);
      return true;
    }
  }
  return false;
}

std::string TCatalogueTab::RecentItem() const {
  return std::string("Недавние ") + (Kind == kSheetKind ? "листы" : "оттиски");
}

std::string TCatalogueTab::NewCategoryPrompt() const {
  return std::string("Введите название новой категории ") +
         (Kind == kSheetKind ? "листов" : "оттисков") + ":";
}

void ListSubfolders(const std::string& folder, std::vector<std::string>& list) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  std::vector<std::string> names;
  while (const dirent* e = readdir(dir))
    if (e->d_name[0] != '.' && IsFolder(folder, e)) names.emplace_back(e->d_name);
  closedir(dir);
  std::sort(names.begin(), names.end());
  list.insert(list.end(), names.begin(), names.end());
}

void TSortedNames::Add(const std::string& name) {
  std::u32string key = SortKey(name);
  auto at = std::lower_bound(keys_.begin(), keys_.end(), key);
  if (at != keys_.end() && *at == key) return;
  names_.insert(names_.begin() + (at - keys_.begin()), name);
  keys_.insert(at, std::move(key));
}

std::string LowerText(const std::string& text) {
  std::string out;
  for (char32_t c : Decode(text)) platform::AppendUtf8(out, LowerCodePoint(c));
  return out;
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
  return LowerText(a) == LowerText(b);
}

std::string CategoryNameProblem(const std::string& name) {
  if (name.empty()) return "Название категории не может быть пустым.";
  if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos)
    return "Название категории «" + name + "» не может содержать знаки «/» и «\\».";
  if (name == "." || name == "..") return "Название категории не может быть «" + name + "».";
  if (name[0] == '.')
    return "Название категории «" + name +
           "» не может начинаться с точки: такая папка не будет видна в списке.";
  return {};
}

TCatalogue::TCatalogue(std::string dataFolder, std::unique_ptr<TPreviewList>& list)
    : dataFolder_(std::move(dataFolder)), list_(list) {}

std::string TCatalogue::RootFolder(const TCatalogueTab& tab) const {
  return dataFolder_ + tab.RootName();
}

std::vector<std::string> TCatalogue::CategoryFolders(const TCatalogueTab& tab) const {
  std::vector<std::string> all = Subfolders(RootFolder(tab));
  if (tab.Category.ItemIndex == 0) return all;
  std::vector<std::string> chosen;
  for (const std::string& name : all)
    if (SameTextIgnoringCase(name, tab.Category.Text())) chosen.push_back(name);
  return chosen;
}

std::vector<std::string> TCatalogue::SourceFolders(const TCatalogueTab& tab,
                                                   const std::string& category) const {
  std::vector<std::string> all = Subfolders(RootFolder(tab) + kSep + category);
  int index = tab.Filter.ItemIndex;
  // The last item, "Недавние ...", shows what "Все" shows.
  if (index == 0 || index == tab.Filter.LastIndex()) return all;
  std::vector<std::string> chosen;
  for (const std::string& name : all)
    if (SameTextIgnoringCase(name, tab.Filter.Text())) chosen.push_back(name);
  return chosen;
}

void TCatalogue::FillCategoryBox(TCatalogueTab& tab) {
  TSortedNames names;
  for (const std::string& name : Subfolders(RootFolder(tab))) names.Add(name);
  tab.Category.Items = {kAllItem};
  for (const std::string& name : names.Names()) tab.Category.Items.push_back(name);
  tab.Category.Items.push_back(kAddCategoryItem);
  tab.Category.ItemIndex = 0;
  FillFilterBox(tab);
}

void TCatalogue::FillFilterBox(TCatalogueTab& tab) {
  const std::string remembered = tab.Filter.Text();
  const int index = tab.Category.ItemIndex;
  if (index >= 0 && index < tab.Category.LastIndex()) {
    // With the filter box still on "Все", every source folder of the category counts.
    TComboState all{{}, 0};
    TCatalogueTab scope = tab;
    scope.Filter = all;
    TSortedNames names;
    for (const std::string& category : CategoryFolders(scope))
      for (const std::string& source : SourceFolders(scope, category)) names.Add(source);
    tab.Filter.Items = {kAllItem};
    for (const std::string& name : names.Names()) tab.Filter.Items.push_back(name);
    tab.Filter.Items.push_back(tab.RecentItem());
    if (!tab.Filter.SelectText(remembered)) tab.Filter.ItemIndex = 0;
  }
  FillGrid(tab);
}

void TCatalogue::FillGrid(TCatalogueTab& tab) {
  if (OnLoading) OnLoading(tab);
  if (!list_) {
    list_ = std::make_unique<TPreviewList>(dataFolder_, MakeContainer ? MakeContainer() : nullptr);
    list_->ProcessMessages = ProcessMessages;
    list_->Report = Report;
    list_->LoadCacheOrReport();
  }
  TPreviewList& list = *list_;
  list.Refresh();
  list.ClearPresent(tab.Kind);
  const std::string root = std::string(tab.RootName()) + kSep;
  for (const std::string& category : CategoryFolders(tab))
    for (const std::string& source : SourceFolders(tab, category))
      list.ScanFolder(root + category + kSep + source + kSep, tab.Kind);
  if (list.Modified) list.SaveCacheOrReport();
  tab.Rows.clear();
  for (const TPreviewItemPtr& entry : list.Entries())
    if (entry->Present == 1 && entry->Kind == tab.Kind) tab.Rows.push_back(entry);
}

void TCatalogue::cbGlyphCategoryChange(TCatalogueTab& tab, const std::string& caption) {
  const int index = tab.Category.ItemIndex;
  if (index == 0) {
    FillCategoryBox(tab);
  } else if (index == tab.Category.LastIndex()) {
    auto name = platform::UI().inputBox(caption, tab.NewCategoryPrompt(), "");
    if (name && !name->empty()) AddCategory(tab.Kind, *name);
    FillCategoryBox(tab);
  } else {
    FillFilterBox(tab);
  }
}

bool TCatalogue::AddCategory(std::uint8_t kind, const std::string& name) {
  std::string problem = CategoryNameProblem(name);
  if (!problem.empty()) {
    platform::UI().messageBox(problem, "Внимание!", platform::MsgIcon::Warning,
                              platform::MsgButtons::Ok);
    return false;
  }
  TCatalogueTab tab(kind);
  return mkdir((RootFolder(tab) + kSep + name).c_str(), 0777) == 0;
}

}  // namespace catalogue
