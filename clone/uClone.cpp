#include "clone/uClone.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string_view>
#include <system_error>

#include "catalogue/uCatalogueViews.h"
#include "catalogue/uPreviewList.h"
#include "clone/MergeData.h"
#include "clone/uPlacing.h"
#include "platform/Files.h"
#include "platform/UserInteraction.h"

namespace cloning {

namespace fs = std::filesystem;
using wordlink::TExtAppDocument;
using wordlink::Variant;

std::vector<TPaperSize> PaperSizes;

namespace {

constexpr char kSep = platform::kPathSep;

bool HasTemplatePrefix(const std::string& name) {
  return name.rfind(kTemplatePrefix, 0) == 0;
}

// The folder lists "*.doc" as the system matches it: the extension in any letter case.
bool HasDocExtension(const std::string& name) {
  if (name.size() < 4) return false;
  std::string ext = name.substr(name.size() - 4);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return char(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  return ext == kTemplateExtension;
}

std::string WithExtension(const std::string& path, const std::string& ext) {
  const auto dot = path.find_last_of('.');
  const auto sep = path.find_last_of(kSep);
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return path + ext;
  return path.substr(0, dot) + ext;
}

// A copy the word processor works on, in the private temporary folder under a name of its own:
// glyphs in read-only folders, long names and two runs on one glyph all work, and the copy goes
// with the object on every way out of the run.
platform::ScopedTempFile WorkingCopy(const std::string& source) {
  platform::ScopedTempFile copy = platform::ScopedTempFile::Create("vsp", kTemplateExtension);
  platform::CopyFileContents(source, copy.path());
  return copy;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The digit run at `at`, without leading zeros; `at` moves past it.
std::string_view DigitRun(std::string_view text, std::size_t& at) {
  const std::size_t start = at;
  while (at < text.size() && IsDigit(text[at])) ++at;
  std::string_view run = text.substr(start, at - start);
  while (run.size() > 1 && run[0] == '0') run.remove_prefix(1);
  return run;
}

// Below, at or above 0 as a comes before, with or after b: bytes as they are, digit runs by
// their value, however long.
int CompareNaturally(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      const std::string_view x = DigitRun(a, i), y = DigitRun(b, j);
      if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
      if (const int order = x.compare(y)) return order;
      continue;
    }
    if (a[i] != b[j])
      return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]) ? -1 : 1;
    ++i, ++j;
  }
  return (i < a.size()) - (j < b.size());
}

void ShowMessage(const std::string& text, const std::string& caption, platform::MsgIcon icon) {
  platform::UI().messageBox(text, caption, icon, platform::MsgButtons::Ok);
}

}  // namespace

std::string GlyphCategoryFolder(const std::string& dataFolder, const std::string& category) {
  return dataFolder + catalogue::kGlyphRoot + kSep + category + kSep;
}

std::string SheetTemplatePath(const std::string& dataFolder, const std::string& category,
                              const std::string& paperName) {
  const std::string folder = GlyphCategoryFolder(dataFolder, category);
  const std::string wanted = kTemplatePrefix + paperName + kTemplateExtension;
  if (platform::FileExists(folder + wanted)) return folder + wanted;
  std::error_code error;
  fs::directory_iterator it(folder, error);
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.size() == wanted.size() && HasDocExtension(name) &&
        name.compare(0, name.size() - 4, wanted, 0, wanted.size() - 4) == 0)
      return folder + name;
  }
  return folder + wanted;
}

std::string MySheetsFolder(const std::string& dataFolder, const std::string& category) {
  const std::string sheets = dataFolder + catalogue::kSheetRoot + kSep;
  if (platform::DirectoryExists(sheets + category))
    return sheets + category + kSep + kMySheetsFolder;
  return sheets + kOtherCategory + kSep + kMySheetsFolder;
}

const std::vector<TPaperSize>& LoadCloneTemplates(const std::string& dataFolder,
                                                  const std::string& category) {
  PaperSizes.clear();
  std::error_code error;
  fs::directory_iterator it(GlyphCategoryFolder(dataFolder, category), error);
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (platform::IsHiddenName(name) || platform::IsWordProcessorTempName(name) ||
        !HasDocExtension(name) || !HasTemplatePrefix(name))
      continue;
    if (!it->is_regular_file(error)) continue;
    const std::size_t prefix = std::string(kTemplatePrefix).size();
    const std::string paper = name.substr(prefix, name.size() - prefix - 4);
    PaperSizes.push_back({paper, paper});
  }
  std::sort(PaperSizes.begin(), PaperSizes.end(),
            [](const TPaperSize& a, const TPaperSize& b) { return PaperNameLess(a.Name, b.Name); });
  return PaperSizes;
}

bool PaperNameLess(const std::string& a, const std::string& b) {
  const int order = CompareNaturally(catalogue::LowerText(a), catalogue::LowerText(b));
  return order != 0 ? order < 0 : a < b;
}

std::string TPaperSizeCombo::Text() const {
  if (ItemIndex < 0 || ItemIndex >= int(Items.size())) return {};
  return Items[std::size_t(ItemIndex)].Text;
}

int TPaperSizeCombo::SelectedValue() const {
  if (ItemIndex < 0 || ItemIndex >= int(Items.size())) return kNoTemplatesValue;
  return Items[std::size_t(ItemIndex)].Value;
}

bool FillPaperSizeCombo(TPaperSizeCombo& combo, const std::vector<TPaperSize>& sizes) {
  const std::string remembered = combo.Text();
  combo.Items.clear();
  for (std::size_t i = 0; i < sizes.size(); ++i) combo.Items.push_back({sizes[i].Caption, int(i)});
  const bool any = !combo.Items.empty();
  if (!any) combo.Items.push_back({kNoTemplatesItem, kNoTemplatesValue});
  combo.ItemIndex = 0;
  for (std::size_t i = 0; i < combo.Items.size(); ++i) {
    if (catalogue::SameTextIgnoringCase(combo.Items[i].Text, remembered)) {
      combo.ItemIndex = int(i);
      break;
    }
  }
  return any;
}

TExtAppDocument* OpenSheetTemplate(wordlink::TExtAppController& controller,
                                   const std::string& dataFolder, const std::string& category,
                                   const std::string& paperName, platform::ScopedTempFile& copy) {
  const std::string path = SheetTemplatePath(dataFolder, category, paperName);
  if (!platform::FileExists(path)) return nullptr;
  copy = WorkingCopy(path);
  try {
    return controller.OpenDocument(copy.path(), false, true, wordlink::kKindDefault);
  } catch (const std::exception& e) {
    // The user knows the template, not its private copy.
    std::string text = e.what();
    for (auto at = text.find(copy.path()); at != std::string::npos;
         at = text.find(copy.path(), at + path.size()))
      text.replace(at, copy.path().size(), path);
    throw std::runtime_error(text);
  }
}

void CloneHost::BeginProgress(const std::string& text, int max) {
  platform::UI().beginProgress(text, max);
}

void CloneHost::StepProgress() {
  platform::UI().stepProgress();
}

void CloneHost::EndProgress() {
  platform::UI().endProgress();
}

namespace {

// One cloning run: the glyph stage, the template stage and the closing steps.
class TCloneRun {
 public:
  TCloneRun(CloneHost& host, TCloneParams& glyphs, int sets, const std::string& category,
            const TPaperSize& paper, int firstPosition, bool skipBadRecords)
      : host_(host),
        controller_(host.Controller()),
        dataFolder_(host.DataFolder()),
        glyphs_(glyphs),
        sets_(sets),
        category_(category),
        paper_(paper),
        firstPosition_(std::max(firstPosition, 1)),
        labels_(LabelCount(glyphs, sets)) {
    merge_.SkipBadRecords = skipBadRecords;
    merge_.Skipped = &skipped_;
  }

  TExtAppDocument* Run();

 private:
  bool GlyphStage();
  bool SaveOpenGlyph(TCloneParam& glyph);
  bool PrepareGlyph(const TCloneParam& glyph);
  bool DataFits(const TCloneParam& glyph, const Variant& doc);
  void ReportSkipped();
  void TemplateStage();
  TExtAppDocument* OpenWorkingSheet(const std::string& templatePath,
                                    platform::ScopedTempFile& work);
  void HideWordForFilling(TExtAppDocument& sheet);
  bool FillWorkingSheet(TExtAppDocument& sheet, const std::string& templatePath);
  void PublishSheet(const std::string& work, const std::string& sheetsFolder,
                    const Variant& workerApp);
  void BringResultForward();
  int ProgressMax() const;

  CloneHost& host_;
  wordlink::TExtAppController& controller_;
  const std::string dataFolder_;
  TCloneParams& glyphs_;
  const int sets_;
  const std::string category_;
  const TPaperSize paper_;
  const int firstPosition_;
  const std::int64_t labels_;
  TMergeOptions merge_;
  std::vector<std::string> skipped_;
  TExtAppDocument* result_ = nullptr;
  std::vector<platform::ScopedTempFile> workingCopies_;
};

// One step per glyph and set, or per record of a glyph with data.
int TCloneRun::ProgressMax() const {
  std::int64_t max = 0;
  for (const TCloneParam& glyph : glyphs_)
    max += glyph.Data ? std::int64_t(glyph.Data->Records.size()) : std::max(sets_, 0);
  return int(std::clamp<std::int64_t>(max, 0, INT_MAX));
}

TExtAppDocument* TCloneRun::Run() {
  host_.BeginProgress(kCloneProgressText, ProgressMax());
  try {
    if (GlyphStage()) TemplateStage();
  } catch (...) {
    BringResultForward();
    host_.EndProgress();
    throw;
  }
  BringResultForward();
  host_.EndProgress();
  ReportSkipped();
  host_.ProcessMessages();
  return result_;
}

bool TCloneRun::GlyphStage() {
  for (TCloneParam& glyph : glyphs_) {
    if (!SaveOpenGlyph(glyph) || !PrepareGlyph(glyph)) return false;
  }
  return true;
}

// The user's latest edits must be in the file before it is copied; a read-only collection
// file is saved under another name instead, when the user picks one.
bool TCloneRun::SaveOpenGlyph(TCloneParam& glyph) {
  TExtAppDocument* open = controller_.FindDocument(glyph.FileName, wordlink::kKindDefault);
  if (!open) return true;
  platform::OverwriteAnswer answer{1, {}};
  if (platform::IsReadOnly(glyph.FileName)) {
    answer = platform::UI().askOverwrite(
        GlyphCategoryFolder(dataFolder_, category_) + kMyGlyphsFolder + kSep, glyph.FileName);
  }
  if (answer.result == 1) {
    open->CloseDocument(wordlink::kSaveChanges);
    return true;
  }
  if (answer.result == 2) {
    open->SaveAsDocument(answer.newName);
    open->CloseDocument(wordlink::kSaveChanges);
    glyph.FileName = answer.newName;
    return true;
  }
  result_ = open;
  return false;
}

bool TCloneRun::PrepareGlyph(const TCloneParam& glyph) {
  workingCopies_.push_back(WorkingCopy(glyph.FileName));
  TExtAppDocument* doc =
      controller_.OpenDocument(workingCopies_.back().path(), false, false, wordlink::kKindDefault);
  if (!doc) throw std::runtime_error("Не удалось открыть оттиск «" + glyph.FileName + "»");
  if (PrepareGlyphDocument(doc->Document) == kNoGraphics) {
    ShowMessage(kNoGraphicsMessage, kNoGraphicsCaption, platform::MsgIcon::None);
    result_ = doc;
    return false;
  }
  if (!DataFits(glyph, doc->Document)) {
    doc->CloseDocument(wordlink::kDoNotSaveChanges);
    return false;
  }
  doc->Document.call("Save");
  doc->CloseDocument(wordlink::kDoNotSaveChanges);
  return true;
}

void TCloneRun::TemplateStage() {
  const std::string sheetsFolder = MySheetsFolder(dataFolder_, category_);
  platform::ForceDirectories(sheetsFolder);
  const std::string templatePath = SheetTemplatePath(dataFolder_, category_, paper_.Name);
  platform::ScopedTempFile work;
  TExtAppDocument* sheet = OpenWorkingSheet(templatePath, work);
  if (!sheet) return;
  HideWordForFilling(*sheet);
  if (!FillWorkingSheet(*sheet, templatePath)) return;
  host_.SheetFilled(*sheet);
  sheet->Document.call("Save");
  sheet->CloseDocument(wordlink::kSaveChanges);
  PublishSheet(work.path(), sheetsFolder, sheet->AppRef());
}

TExtAppDocument* TCloneRun::OpenWorkingSheet(const std::string& templatePath,
                                             platform::ScopedTempFile& work) {
  if (!platform::FileExists(templatePath)) {
    ShowMessage("", kTemplateMissingCaption + templatePath, platform::MsgIcon::Error);
    return nullptr;
  }
  work = WorkingCopy(templatePath);
  TExtAppDocument* sheet =
      controller_.OpenDocument(work.path(), false, false, wordlink::kKindDefault);
  if (!sheet) {
    ShowMessage("", kTemplateMissingCaption + work.path(), platform::MsgIcon::Error);
    return nullptr;
  }
  // Word holds the sheet in memory and writes the file anew when it is saved; until then no
  // stale working file is left behind should the filling fail.
  std::remove(work.path().c_str());
  return sheet;
}

// An invisible Word without background checking fills pages much faster.
void TCloneRun::HideWordForFilling(TExtAppDocument& sheet) {
  const Variant app = sheet.AppRef();
  const Variant view = sheet.Document.get("ActiveWindow").get("View");
  if (sheet.Instance->Version >= 10) view.put("DisplayPageBoundaries", true);
  const Variant options = app.get("Options");
  options.put("CheckSpellingAsYouType", false);
  options.put("CheckGrammarAsYouType", false);
  view.put("ShowAll", false);
  app.put("Visible", false);
  host_.ProcessMessages();
}

// A template without label positions would never use up a set: the run ends with a message
// instead of an endless sheet.
bool TCloneRun::FillWorkingSheet(TExtAppDocument& sheet, const std::string& templatePath) {
  const TSheetTemplate layout = ReadSheetTemplate(sheet.Document);
  if (layout.Positions.empty() && labels_ > 0) {
    sheet.CloseDocument(wordlink::kDoNotSaveChanges);
    ShowMessage("В шаблоне «" + templatePath +
                    "» нет ни одного места для оттиска, клонирование не будет выполнено",
                kNoPositionsCaption, platform::MsgIcon::None);
    return false;
  }
  if (std::size_t(firstPosition_) > layout.Positions.size() && labels_ > 0) {
    sheet.CloseDocument(wordlink::kDoNotSaveChanges);
    ShowMessage("В шаблоне «" + templatePath + "» " + std::to_string(layout.Positions.size()) +
                    " мест для оттисков, начать с места " + std::to_string(firstPosition_) +
                    " нельзя",
                kNoPositionsCaption, platform::MsgIcon::None);
    return false;
  }
  std::vector<std::string> copies;
  for (const platform::ScopedTempFile& copy : workingCopies_) copies.push_back(copy.path());
  try {
    FillSheet(
        sheet.Document, layout, glyphs_, copies, sets_, [this] { host_.StepProgress(); },
        firstPosition_, merge_);
  } catch (const TMergeError& e) {
    // Half a sheet of labels is no result: the sheet goes, nothing is written.
    sheet.CloseDocument(wordlink::kDoNotSaveChanges);
    ShowMessage(std::string(e.what()) + ". Этикетки не созданы.", kMergeCaption,
                platform::MsgIcon::Error);
    return false;
  }
  return true;
}

// Every merge field of the glyph must be in its data, and the data must fill some label; else
// the run stops before any sheet is made.
bool TCloneRun::DataFits(const TCloneParam& glyph, const Variant& doc) {
  if (!glyph.Data) return true;
  if (glyph.Data->LabelCount() == 0) {
    ShowMessage("В файле данных «" + glyph.Data->FileName +
                    "» нет ни одной записи для этикеток. Этикетки не созданы.",
                kMergeCaption, platform::MsgIcon::Error);
    return false;
  }
  const std::string missing =
      MissingFieldsMessage(ReadMergeFieldNames(doc), *glyph.Data, glyph.FileName);
  if (missing.empty()) return true;
  ShowMessage(missing, kMergeCaption, platform::MsgIcon::Error);
  return false;
}

void TCloneRun::ReportSkipped() {
  if (skipped_.empty()) return;
  std::string text = "Пропущены записи, которые не удалось поместить на этикетки (" +
                     std::to_string(skipped_.size()) + "):";
  constexpr std::size_t kListed = 30;
  for (std::size_t i = 0; i < skipped_.size() && i < kListed; ++i) text += "\n" + skipped_[i];
  if (skipped_.size() > kListed) text += "\n… и ещё " + std::to_string(skipped_.size() - kListed);
  ShowMessage(text, kMergeCaption, platform::MsgIcon::Warning);
}

// Word's next open or save-as dialog starts in the user's sheets folder.
// The ".dot" beside the working sheet is the result: the document the user edits is based on
// it, so it stays in the temporary folder until the program cleans that up.
void TCloneRun::PublishSheet(const std::string& work, const std::string& sheetsFolder,
                             const Variant& workerApp) {
  const std::string dot = WithExtension(work, ".dot");
  platform::CopyFileContents(work, dot);
  catalogue::TPreviewItem* entry = host_.PreviewList().FindOrAdd(dot, catalogue::kSheetKind, 0);
  result_ = host_.EditItem(*entry);
  const Variant app = result_ ? result_->AppRef() : workerApp;
  if (app.isObject()) app.call("ChangeFileOpenDirectory", sheetsFolder);
}

void TCloneRun::BringResultForward() {
  if (!result_) return;
  try {
    const Variant app = result_->AppRef();
    app.put("Visible", true);
    app.put("ScreenUpdating", true);
    app.call("Activate");
  } catch (const std::exception&) {
  }
}

}  // namespace

TExtAppDocument* CloneGlyphs(CloneHost& host, TCloneParams& glyphs, int sets,
                             const std::string& category, const TPaperSize& paper,
                             int firstPosition, bool skipBadRecords) {
  if (glyphs.empty()) return nullptr;
  TCloneRun run(host, glyphs, sets, category, paper, firstPosition, skipBadRecords);
  return run.Run();
}

std::int64_t PageCount(std::int64_t perSet, std::int64_t sets, std::int64_t positions,
                       std::int64_t firstPosition) {
  if (sets == 0 || positions == 0) return 0;
  const std::int64_t skipped = std::max<std::int64_t>(firstPosition, 1) - 1;
  return (perSet * sets + skipped - 1) / positions + 1;
}

}  // namespace cloning
