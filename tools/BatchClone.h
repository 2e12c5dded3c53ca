// The cloning subcommands of stampora-batch: clone, count, templates and print, run headless on
// the embedded word processor the way the main window runs them.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/PrinterCalibration.h"
#include "catalogue/uPreviewList.h"
#include "clone/uClone.h"
#include "tools/BatchArgs.h"

namespace batch {

// The main window's part in a cloning run, without a window: the sheet it is asked to edit is
// only noted, messages and progress go to the console interaction.
class BatchHost : public cloning::CloneHost {
 public:
  explicit BatchHost(std::string dataFolder);
  ~BatchHost() override;

  wordlink::TExtAppController& Controller() override { return *controller_; }
  std::string DataFolder() override { return dataFolder_; }
  catalogue::TPreviewList& PreviewList() override { return list_; }
  wordlink::TExtAppDocument* EditItem(catalogue::TPreviewItem& entry) override;
  void SheetFilled(wordlink::TExtAppDocument& sheet) override;

  // Where the filled sheet is printed to, when set, and the offset that replaces the stored
  // calibration there.
  std::string PdfFile;
  std::optional<app::TPrinterOffset> Offset;

  // The filled sheet's file, once the run got that far.
  const std::string& SheetFile() const { return sheetFile_; }

 private:
  std::string dataFolder_;
  std::unique_ptr<wordlink::TExtAppController> controller_;
  catalogue::TPreviewList list_;
  std::string sheetFile_;
};

struct CloneRequest {
  std::string dataFolder, category, paper;
  int sets = 0;
  cloning::TCloneParams glyphs;
  std::string out, pdf;
  int start = 1;  // the first page's first position to fill
  std::optional<app::TPrinterOffset> offset;
  bool skipBadRecords = false;
};

// --offset X,Y: millimetres right and down that replace the stored calibration; none when
// the option is absent. UsageError when it is no offset.
std::optional<app::TPrinterOffset> OffsetOption(const ParsedArgs& args);

// "FILE" or "FILE:COUNT"; a suffix that is not a whole number belongs to the file name.
cloning::TCloneParam ParseGlyphArg(const std::string& text);
// A data folder given on the command line: absolute, ending with the separator; UsageError
// when it is not a folder.
std::string DataFolderArg(const std::string& text);
CloneRequest CloneRequestFrom(const ParsedArgs& args);

// Each returns the exit code; failures are explained on err.
int BatchClone(const CloneRequest& request, std::ostream& out, std::ostream& err);
int BatchCount(const std::string& dataFolder, const std::string& category, const std::string& paper,
               std::ostream& out, std::ostream& err);
int BatchTemplates(const std::string& dataFolder, const std::string& category, std::ostream& out);
// Prints as the quick print command does, with the non-printing shapes hidden and the printer's
// calibration (or offset) applied; to pdf when given, otherwise to the default printer (or
// VSP_PRINT_TO_PDF_DIR).
int BatchPrint(const std::string& file, const std::string& pdf,
               const std::optional<app::TPrinterOffset>& offset, std::ostream& out,
               std::ostream& err);

// Opens IN in the word processor and saves it as OUT, in the format OUT's extension names:
// .docx/.dotx a package, .doc/.dot the format IN came in, .pdf the printed pages.
int BatchConvert(const std::string& in, const std::string& out, std::ostream& err);

}  // namespace batch
