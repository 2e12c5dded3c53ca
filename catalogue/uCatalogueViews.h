// What the glyph and sheet tabs show: the items of the category and filter boxes, which of
// them is selected, and the entries of the grid in order. The main window keeps its widgets in
// step with a TCatalogueTab and calls these where its handlers run.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/uPreviewList.h"

namespace catalogue {

inline constexpr const char* kAllItem = "Все";
inline constexpr const char* kAddCategoryItem = "Добавить новую категорию...";
inline constexpr const char* kLoadingText = "Загрузка эскизов...";

struct TComboState {
  std::vector<std::string> Items;
  int ItemIndex = -1;

  std::string Text() const;
  int LastIndex() const { return int(Items.size()) - 1; }
  // Selects the first item equal to text ignoring case; false when there is none.
  bool SelectText(const std::string& text);
};

struct TCatalogueTab {
  explicit TCatalogueTab(std::uint8_t kind) : Kind(kind) {}

  std::uint8_t Kind;
  TComboState Category;
  TComboState Filter;
  // The grid's entries in list order; their count is the grid's Tag.
  std::vector<TPreviewItemPtr> Rows;

  const char* RootName() const { return Kind == kSheetKind ? kSheetRoot : kGlyphRoot; }
  // "Недавние оттиски" or "Недавние листы": the last filter item.
  std::string RecentItem() const;
  std::string NewCategoryPrompt() const;
};

// Adds the names of the subfolders of folder (given without a trailing separator), hidden ones
// and those beginning with "." left out, in name order.
void ListSubfolders(const std::string& folder, std::vector<std::string>& list);

// Sorted in alphabetical order ignoring case (Russian and Latin letters, "ё" after "е"); a name
// equal to one already held, ignoring case, is not added again.
class TSortedNames {
 public:
  void Add(const std::string& name);
  const std::vector<std::string>& Names() const { return names_; }

 private:
  std::vector<std::u32string> keys_;
  std::vector<std::string> names_;
};

std::string LowerText(const std::string& text);
bool SameTextIgnoringCase(const std::string& a, const std::string& b);

// Why a new category name is refused, or empty when it can be a folder of the root folder.
std::string CategoryNameProblem(const std::string& name);

class TCatalogue {
 public:
  // list is the program's one entry list, created by the first FillGrid.
  TCatalogue(std::string dataFolder, std::unique_ptr<TPreviewList>& list);

  // Before the scan: the tab's info line shows kLoadingText and pending messages run once.
  std::function<void(TCatalogueTab&)> OnLoading;
  // The container the list renders thumbnails with, asked for when the list is created.
  std::function<std::unique_ptr<wordlink::OleContainer>()> MakeContainer;
  // Given to the list for rendering.
  std::function<void()> ProcessMessages;
  // Given to the list for its problems (TPreviewList::Report).
  std::function<void(const std::string&)> Report;

  const std::string& DataFolder() const { return dataFolder_; }
  TPreviewList* List() const { return list_.get(); }

  void FillCategoryBox(TCatalogueTab& tab);
  void FillFilterBox(TCatalogueTab& tab);
  // A cache file that cannot be read or written (damaged, on a full or read-only disk, a
  // folder in its place) does not stop the fill: the entries are shown and the list reports
  // the problem once a run.
  void FillGrid(TCatalogueTab& tab);
  // The change handler of both category boxes; caption is the main window's caption.
  void cbGlyphCategoryChange(TCatalogueTab& tab, const std::string& caption);
  // Creates the category folder in the tab's root folder. A refused name is explained in a
  // message box; a folder that cannot be made is ignored silently. True when it was made.
  bool AddCategory(std::uint8_t kind, const std::string& name);

 private:
  std::string RootFolder(const TCatalogueTab& tab) const;
  std::vector<std::string> CategoryFolders(const TCatalogueTab& tab) const;
  std::vector<std::string> SourceFolders(const TCatalogueTab& tab,
                                         const std::string& category) const;

  std::string dataFolder_;
  std::unique_ptr<TPreviewList>& list_;
};

}  // namespace catalogue
