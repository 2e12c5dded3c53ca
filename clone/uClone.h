// Glyph cloning: the sheet templates a glyph category offers, the paper sizes shown for them,
// the cloning run that turns glyphs into a filled sheet document, and the page counts shown
// before it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "datasource/DataSource.h"
#include "platform/Files.h"
#include "wordlink/uExtAppController.h"
#include "wordlink/uExtAppDocument.h"

namespace catalogue {
class TPreviewItem;
class TPreviewList;
}  // namespace catalogue

namespace cloning {

inline constexpr const char* kTemplatePrefix = "Шаблон_";
inline constexpr const char* kTemplateExtension = ".doc";
inline constexpr const char* kNoTemplatesItem = "<нет шаблонов для категории>";
inline constexpr int kNoTemplatesValue = -5;
inline constexpr const char* kMySheetsFolder = "Мои листы";
inline constexpr const char* kMyGlyphsFolder = "Мои оттиски";
inline constexpr const char* kOtherCategory = "Другие";

inline constexpr const char* kCloneProgressText = "Размножение оттисков..";
inline constexpr const char* kNoGraphicsMessage =
    "Оттиск не содержит графических объектов (даже надписей), клонирование не будет выполнено";
inline constexpr const char* kNoGraphicsCaption = "Внимание";
inline constexpr const char* kTemplateMissingCaption = "Не найден шаблон для клонирования: ";
inline constexpr const char* kNoPositionsCaption = "Внимание";

// One glyph to clone: its file and how many consecutive label positions it fills per set, or
// the data its labels are filled from (then each record fills its count of positions, and
// the sets and Count do not apply to it).
struct TCloneParam {
  TCloneParam() = default;
  TCloneParam(std::string fileName, std::int32_t count = 1,
              std::shared_ptr<const datasource::TDataSource> data = nullptr)
      : FileName(std::move(fileName)), Count(count), Data(std::move(data)) {}

  std::string FileName;
  std::int32_t Count = 1;
  std::shared_ptr<const datasource::TDataSource> Data;
};
using TCloneParams = std::vector<TCloneParam>;

// One paper size offered for cloning: the part of a sheet template's file name after its
// prefix, and the text shown for it (always the same).
struct TPaperSize {
  std::string Name;
  std::string Caption;
};

// The paper sizes of the category of the glyph last selected in the main window.
extern std::vector<TPaperSize> PaperSizes;

// dataFolder ends with the separator.
std::string GlyphCategoryFolder(const std::string& dataFolder, const std::string& category);
// The template file of a paper size: its real name when one exists ("Шаблон_A4.DOC" as well as
// "Шаблон_A4.doc"), else the name it would have.
std::string SheetTemplatePath(const std::string& dataFolder, const std::string& category,
                              const std::string& paperName);
// The folder the user's cloned sheets of a category are saved in (without creating it).
std::string MySheetsFolder(const std::string& dataFolder, const std::string& category);

// Rebuilds PaperSizes from the category's template files in natural order (PaperNameLess);
// lock files and temporaries of word processors are no templates.
const std::vector<TPaperSize>& LoadCloneTemplates(const std::string& dataFolder,
                                                  const std::string& category);

// The order people expect of paper names: letters ignoring case, runs of digits by their value
// ("A3" < "a4" < "A10"); names equal but for case keep a fixed order.
bool PaperNameLess(const std::string& a, const std::string& b);

// A paper-size combo box without the widget: the texts with their attached values, and the
// selected item. The window keeps its combo box in step with it.
struct TPaperSizeItem {
  std::string Text;
  int Value = 0;  // index into the paper-size list, or kNoTemplatesValue
};
struct TPaperSizeCombo {
  std::vector<TPaperSizeItem> Items;
  int ItemIndex = -1;

  std::string Text() const;
  // The attached value of the selected item; kNoTemplatesValue when nothing is selected.
  int SelectedValue() const;
};

// Refills the combo from the list and selects its previous text again (ignoring case), else
// the first item. True when at least one template exists.
bool FillPaperSizeCombo(TPaperSizeCombo& combo, const std::vector<TPaperSize>& sizes = PaperSizes);

// The template opened hidden and read-only, or nullptr when its file does not exist. What is
// opened is a private copy (kept in `copy` until the caller is done): the user may have the
// template itself open for editing, and that document must never be found, read or closed by
// a count.
wordlink::TExtAppDocument* OpenSheetTemplate(wordlink::TExtAppController& controller,
                                             const std::string& dataFolder,
                                             const std::string& category,
                                             const std::string& paperName,
                                             platform::ScopedTempFile& copy);

// The window a cloning run works in. The main window, the batch tool and the tests implement
// it; messages and the overwrite question go through platform::UI().
class CloneHost {
 public:
  virtual ~CloneHost() = default;

  virtual wordlink::TExtAppController& Controller() = 0;
  // Ends with the separator.
  virtual std::string DataFolder() = 0;
  // The program's catalogue entry list, where the cloned sheet is registered.
  virtual catalogue::TPreviewList& PreviewList() = 0;
  // Opens the entry in the word processor for the user and lists it among the open documents.
  virtual wordlink::TExtAppDocument* EditItem(catalogue::TPreviewItem& entry) = 0;

  // The progress display; by default that of platform::UI().
  virtual void BeginProgress(const std::string& text, int max);
  virtual void StepProgress();
  virtual void EndProgress();
  // Lets pending window messages run.
  virtual void ProcessMessages() {}
  // The filled sheet, before it is saved and closed: a host without a window prints it here
  // rather than reading the saved file back.
  virtual void SheetFilled(wordlink::TExtAppDocument& sheet) {}
};

// Fills a new sheet with sets × (the glyphs' counts) copies, registers it as a ".dot" beside
// the working sheet and opens a document based on it through the host. Returns that document,
// or the document the run stopped on (an open glyph that was not saved, a glyph without
// graphics), or nullptr. A glyph saved under another name on the way gets that name in the
// list. Word errors propagate after the progress has ended. The copies begin at the first
// page's position firstPosition (from 1), for a sheet whose first labels are used already; a
// position the template does not have is refused with a message. Glyphs with data fill their
// copies from their records; a glyph field the data lacks stops the run before any sheet is
// made, a record the word processor refuses stops it and discards the sheet, unless
// skipBadRecords: then such records are left out and listed in a message at the end.
wordlink::TExtAppDocument* CloneGlyphs(CloneHost& host, TCloneParams& glyphs, int sets,
                                       const std::string& category, const TPaperSize& paper,
                                       int firstPosition = 1, bool skipBadRecords = false);

// Sheets for sets × perSet labels with positions per sheet, the first page's positions before
// firstPosition left empty; 0 when sets or positions is 0. The main window passes perSet 1;
// the group print wizard the sum of its counts; with data, perSet is the labels of the data
// (LabelCount) and sets 1.
std::int64_t PageCount(std::int64_t perSet, std::int64_t sets, std::int64_t positions,
                       std::int64_t firstPosition = 1);

}  // namespace cloning
