#include <QApplication>
#include <QGuiApplication>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>

#include "platform/Files.h"
#include "platform/UserInteraction.h"
#include "wordproc/ObjectModel.h"
#include "wordproc/RecentFiles.h"
#include "wordproc/Render.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Ooxml.h"

namespace wordproc::om {

namespace {

bool IsTemplateFile(const std::string& path) {
  std::string ext = LowerName(std::filesystem::path(path).extension().string());
  return ext == ".dot" || ext == ".dotx" || ext == ".dotm";
}

void Report(const std::exception& e) {
  platform::UI().messageBox(e.what(), "Varnel Stampora", platform::MsgIcon::Error,
                            platform::MsgButtons::Ok);
}

// Range(Start, End): both optional; a reversed pair is swapped rather than refused.
Variant RangeOf(DocumentObj& doc, Args& args) {
  AtMost(args, 2);
  const std::int64_t length = doc.editor().storyLength();
  std::int64_t start = IntArg(args, 0, 0);
  std::int64_t end = Given(args, 1) ? args[1].toInt() : (Given(args, 0) ? start : length);
  if (start < 0 || end < 0) Fail("Значение вне допустимого диапазона");
  if (start > end) std::swap(start, end);
  return Variant(MakeRange(doc.self(), std::min(start, length), std::min(end, length)));
}

// PrintOut(Background, Append, Range, OutputFileName, From, To, Item, Copies, Pages, PageType,
// PrintToFile, …): printing to a file writes a PDF there.
Variant PrintOut(DocumentObj& doc, Args& args) {
  AtMost(args, 18);
  if (BoolArg(args, 10, false) && Given(args, 3)) {
    const std::string file = doc.app()->resolve(args[3].toString());
    if (doc.app()->raiseBeforePrint(doc)) return Variant();
    WritePdf(doc.model(), doc.layout(), file, doc.app()->printSettings);
    return Variant();
  }
  doc.printOut();
  return Variant();
}

// SaveAs(FileName, FileFormat, LockComments, Password, AddToRecentFiles, …). FileFormat 0 and 1
// (document, template) ask for binary Word 97, 12 to 16 for a package; left out, the document
// keeps the format it was read in.
Variant SaveAs(DocumentObj& doc, Args& args) {
  AtMost(args, 17);
  std::string file = Given(args, 0) ? args[0].toString() : doc.name;
  if (!Given(args, 0) && doc.folder.empty()) file += ".docx";
  std::optional<SourceFormat> format;
  if (Given(args, 1)) {
    format = EnumArg(args[1], {0, 1, 12, 13, 14, 15, 16}) <= 1 ? SourceFormat::Word97
                                                               : SourceFormat::Package;
  }
  doc.saveAs(file, BoolArg(args, 4, true), format);
  return Variant();
}

Variant Close(DocumentObj& doc, Args& args) {
  AtMost(args, 3);
  doc.close(Given(args, 0) ? EnumArg(args[0], {-1, 0, -2}) : -2);
  return Variant();
}

const Members<DocumentObj>& DocumentMembers() {
  using D = DocumentObj;
  static const Members<D> members(
      {
          {"Name", [](D& d, Args&) { return Variant(d.name); }},
          {"FullName", [](D& d, Args&) { return Variant(d.fullName()); }},
          {"Path", [](D& d, Args&) { return Variant(d.folder); }},
          {"Type", [](D& d, Args&) { return Variant(d.type()); }},
          {"ReadOnly", [](D& d, Args&) { return Variant(d.readOnly); }},
          {"Saved", [](D& d, Args&) { return Variant(d.saved()); },
           [](D& d, Args&, const Variant& v) { d.setSaved(v.toBool()); }},
          {"Activate",
           [](D& d, Args&) {
             d.app()->setActive(d.self());
             return Variant();
           }},
          {"ActiveWindow", [](D& d, Args&) { return Variant(MakeWindow(d.self())); }},
          {"Close", [](D& d, Args& a) { return Close(d, a); }},
          {"Save",
           [](D& d, Args&) {
             d.save();
             return Variant();
           }},
          {"SaveAs", [](D& d, Args& a) { return SaveAs(d, a); }},
          {"SaveAs2", [](D& d, Args& a) { return SaveAs(d, a); }},
          {"PrintOut", [](D& d, Args& a) { return PrintOut(d, a); }},
          {"Range", [](D& d, Args& a) { return RangeOf(d, a); }},
          {"Content",
           [](D& d, Args&) { return Variant(MakeRange(d.self(), 0, d.editor().storyLength())); }},
          {"GoTo",
           [](D& d, Args& a) {
             std::int64_t p = GoToPosition(d, a);
             return Variant(MakeRange(d.self(), p, p));
           }},
          {"Shapes", [](D& d, Args&) { return Variant(MakeShapes(d.self())); }},
          {"Fields", [](D& d, Args&) { return Variant(MakeFields(d.self(), 0, std::nullopt)); }},
          {"InlineShapes",
           [](D& d, Args&) { return Variant(MakeInlineShapes(d.self(), std::nullopt)); }},
          {"PageSetup",
           [](D& d, Args&) { return Variant(MakePageSetup(d.self(), WholeDocument())); }},
          {"Sections",
           [](D& d, Args&) { return Variant(MakeSections(d.self(), WholeDocument())); }},
          {"Application", [](D& d, Args&) { return Variant(DispatchPtr(d.app())); }},
          {"Parent", [](D& d, Args&) { return Variant(DispatchPtr(d.app())); }},
      },
      "Name");
  return members;
}

}  // namespace

DocumentObj::DocumentObj(const std::shared_ptr<ApplicationObj>& app,
                         std::unique_ptr<Document> model)
    : app_(app) {
  replaceModel(std::move(model));
}

DocumentObj::~DocumentObj() {
  ui.reset();
}

void DocumentObj::replaceModel(std::unique_ptr<Document> model) {
  const bool shown = ui != nullptr;
  ui.reset();
  NormalizeIds(*model);
  editor_.reset();
  layout_.reset();
  model_ = std::move(model);
  layout_ = std::make_unique<Layout>(*model_, FontMeasurer());
  editor_ = std::make_unique<Editor>(*model_, *layout_);
  selection = editor_->track(0, 0);
  selectedShapes.clear();
  setSaved(true);
  if (shown) showWindow(true);
}

std::shared_ptr<DocumentObj> DocumentObj::self() {
  return std::static_pointer_cast<DocumentObj>(shared_from_this());
}

std::shared_ptr<ApplicationObj> DocumentObj::app() const {
  auto app = app_.lock();
  if (!app) Fail("Объект отключён от клиентов: приложение завершило работу");
  return app;
}

void DocumentObj::checkAlive() const {
  app()->checkAlive();
  if (closed) Fail("Объект удалён: документ закрыт");
}

void DocumentObj::afterCall() {
  if (auto app = app_.lock()) app->refreshWindows();
}

Variant DocumentObj::call(std::string_view member, InvokeKind kind, Args& args) {
  return DocumentMembers().dispatch(*this, member, kind, args);
}

std::string DocumentObj::fullName() const {
  return folder.empty() ? name : folder + platform::kPathSep + name;
}

bool DocumentObj::saved() const {
  return !forcedUnsaved_ && editor_->changes() == savedAt_;
}

void DocumentObj::setSaved(bool saved) {
  savedAt_ = editor_->changes();
  forcedUnsaved_ = !saved;
}

void DocumentObj::selectText(std::int64_t start, std::int64_t end) {
  selection->start = editor_->clamp(std::min(start, end));
  selection->end = editor_->clamp(std::max(start, end));
  selectedShapes.clear();
}

void DocumentObj::selectShapes(const std::vector<std::uint32_t>& ids, bool replace) {
  if (replace) selectedShapes.clear();
  for (std::uint32_t id : ids)
    if (std::find(selectedShapes.begin(), selectedShapes.end(), id) == selectedShapes.end())
      selectedShapes.push_back(id);
  if (selectedShapes.empty()) return;
  std::uint32_t first = selectedShapes.front();
  std::size_t z = editor_->zIndex(first);
  if (z == Editor::npos) return;
  std::size_t paragraph = layout_->paragraphIndexOf(model_->shapes[z].anchorParagraph);
  std::int64_t at = paragraph == Layout::npos ? 0 : editor_->paragraphStart(paragraph);
  selection->start = selection->end = at;
}

std::uint64_t DocumentObj::defaultAnchor() {
  return model_->paragraphs[editor_->paragraphAt(selection->start)].id;
}

void DocumentObj::showWindow(bool show) {
  if (!show) {
    ui.reset();
    return;
  }
  if (ui || !qobject_cast<QApplication*>(QCoreApplication::instance())) return;
  ui = CreateDocumentWindow(this);
  if (!ui) return;
  ui->setGeometryPoints(window.left, window.top, window.width, window.height);
  ui->setWindowState(window.state);
  shownAt_ = editor_->changes();
}

// A new name and a selection made by automation show too, though they change nothing in the
// document.
void DocumentObj::refreshWindow() {
  if (!ui) return;
  if (shownAt_ == editor_->changes() && shownSelection_ == selectedShapes && shownName_ == name)
    return;
  shownAt_ = editor_->changes();
  shownSelection_ = selectedShapes;
  shownName_ = name;
  ui->refresh();
}

std::optional<std::string> DocumentObj::askFileName() {
  DialogReply reply = app()->ask(DialogKind::SaveAs, name, DialogReply{});
  if (reply.result != kDialogOk) return std::nullopt;
  if (!reply.fileName.empty()) return reply.fileName;
  return IsTemplateFile(name) || name.find('.') != std::string::npos ? name : name + ".docx";
}

void DocumentObj::writeTo(const std::string& path, bool addToRecent,
                          std::optional<SourceFormat> format) {
  model_->isTemplate = IsTemplateFile(path);
  // Saved as a package, an RTF or OpenDocument file keeps being one from now on.
  SourceFormat written = format.value_or(model_->sourceFormat);
  if (written == SourceFormat::Other) written = SourceFormat::Package;
  WriteDocumentFile(*model_, path, written);
  model_->sourceFormat = written;
  std::filesystem::path p(path);
  name = p.filename().string();
  folder = p.parent_path().string();
  readOnly = false;
  setSaved(true);
  if (addToRecent) AddRecentFile(path);
  if (ui) ui->refresh();
}

void DocumentObj::save() {
  const bool needsName = folder.empty() || readOnly;
  auto app = this->app();
  if (app->raiseBeforeSave(*this, needsName)) return;
  if (!needsName) return writeTo(fullName(), true);
  auto file = askFileName();
  if (!file) FailCancelled();
  writeTo(app->resolve(*file), true);
}

void DocumentObj::saveAs(const std::string& fileName, bool addToRecent,
                         std::optional<SourceFormat> format) {
  auto app = this->app();
  const std::string path = app->resolve(fileName);
  if (app->raiseBeforeSave(*this, false)) return;
  writeTo(path, addToRecent, format);
}

int DocumentObj::showSaveAsDialog() {
  auto app = this->app();
  if (app->raiseBeforeSave(*this, true)) return kDialogCancel;
  auto file = askFileName();
  if (!file) return kDialogCancel;
  writeTo(app->resolve(*file), true);
  return kDialogOk;
}

void DocumentObj::close(int saveChanges) {
  auto app = this->app();
  auto keep = self();
  if (app->raiseBeforeClose(*this)) FailCancelled();
  if (!saved() && saveChanges == -1) save();
  if (!saved() && saveChanges == -2) {
    DialogReply reply = app->ask(DialogKind::SaveChanges, name, DialogReply{kDialogNo, {}});
    if (reply.result == kDialogCancel) FailCancelled();
    if (reply.result == kDialogOk) save();
  }
  closed = true;
  ui.reset();
  selectedShapes.clear();
  app->forget(*this);
}

void DocumentObj::printPages() {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    Fail("Печать недоступна: программа запущена без графической среды");
  PrintPages(*model_, *layout_, name, app()->printSettings);
}

void DocumentObj::printOut() {
  if (app()->raiseBeforePrint(*this)) return;
  printPages();
}

int DocumentObj::showPrintDialog() {
  return askAndPrint(false);
}

int DocumentObj::askAndPrint(bool askedSinks) {
  auto app = this->app();
  auto scripted = ScriptedReply(DialogKind::Print, name);
  if (!scripted) {
    if (!app->mayShowWindows()) return kDialogCancel;
    return PrintWithWindow(*this, askedSinks) ? kDialogOk : kDialogCancel;
  }
  if (scripted->result != kDialogOk) return scripted->result;
  if (askedSinks || !app->raiseBeforePrint(*this)) printPages();
  return kDialogOk;
}

void DocumentObj::userPrint() {
  try {
    checkAlive();
    // A print the sinks refuse is refused before the user fills in the dialog for nothing.
    if (app()->raiseBeforePrint(*this)) return;
    askAndPrint(true);
  } catch (const std::exception& e) {
    Report(e);
  }
}

void DocumentObj::setShapeSelection(const std::vector<std::uint32_t>& ids) {
  selectShapes(ids, true);
  if (auto app = app_.lock()) app->makeCurrent(self());
}

std::optional<std::string> DocumentObj::userPrintToPdf(const FileQuestion& askFile) {
  try {
    checkAlive();
    if (app()->raiseBeforePrint(*this)) return std::nullopt;
    std::optional<std::string> file = askFile();
    if (!file) return std::nullopt;
    checkAlive();  // the question let the document be closed
    WritePdf(*model_, *layout_, *file, app()->printSettings);
    return file;
  } catch (const std::exception& e) {
    Report(e);
    return std::nullopt;
  }
}

void DocumentObj::userSaveAs() {
  try {
    checkAlive();
    showSaveAsDialog();
  } catch (const CancelledError&) {
  } catch (const std::exception& e) {
    Report(e);
  }
}

bool DocumentObj::userClose() {
  try {
    checkAlive();
    close(-2);
    return true;
  } catch (const CancelledError&) {
    return false;
  } catch (const std::exception& e) {
    Report(e);
    return false;
  }
}

void DocumentObj::userSave() {
  try {
    checkAlive();
    save();
  } catch (const CancelledError&) {
  } catch (const std::exception& e) {
    Report(e);
  }
}

namespace {

class ViewObj : public DocumentPart {
 public:
  using DocumentPart::DocumentPart;

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override {
    using V = ViewObj;
    static const Members<V> members(
        {
            {"Type", [](V& v, Args&) { return Variant(v.doc().window.viewType); },
             [](V& v, Args&, const Variant& x) {
               v.doc().window.viewType = EnumArg(x, {1, 2, 3, 4, 5, 6, 7});
             }},
            {"ShowAll", [](V& v, Args&) { return Variant(v.doc().window.showAll); },
             [](V& v, Args&, const Variant& x) { v.doc().window.showAll = x.toBool(); }},
            {"DisplayPageBoundaries",
             [](V& v, Args&) { return Variant(v.doc().window.displayPageBoundaries); },
             [](V& v, Args&, const Variant& x) {
               v.doc().window.displayPageBoundaries = x.toBool();
             }},
        },
        "Type");
    return members.dispatch(*this, member, kind, args);
  }
};

enum class Side { Left, Top, Width, Height };

class WindowObj : public DocumentPart {
 public:
  using DocumentPart::DocumentPart;

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override {
    using W = WindowObj;
    auto side = [](Side which) {
      return Member<W>{"", [which](W& w, Args&) { return Variant(w.geometry(which)); },
                       [which](W& w, Args&, const Variant& v) { w.setGeometry(which, v); }};
    };
    static const Members<W> members({
        {"Activate",
         [](W& w, Args&) {
           w.doc().app()->setActive(w.docPtr());
           return Variant();
         }},
        {"WindowState", [](W& w, Args&) { return Variant(w.state()); },
         [](W& w, Args&, const Variant& v) { w.setState(v); }},
        {"View",
         [](W& w, Args&) { return Variant(DispatchPtr(std::make_shared<ViewObj>(w.doc_))); }},
        {"Left", side(Side::Left).get, side(Side::Left).put},
        {"Top", side(Side::Top).get, side(Side::Top).put},
        {"Width", side(Side::Width).get, side(Side::Width).put},
        {"Height", side(Side::Height).get, side(Side::Height).put},
        {"Visible", [](W& w, Args&) { return Variant(w.doc().visibleFlag); },
         [](W& w, Args&, const Variant& v) {
           w.doc().visibleFlag = v.toBool();
           w.doc().showWindow(w.doc().visibleFlag && w.doc().app()->visible());
         }},
        {"Caption", [](W& w, Args&) { return Variant(w.doc().name); }},
        {"Document", [](W& w, Args&) { return Variant(DispatchPtr(w.doc_)); }},
        {"Application", [](W& w, Args&) { return Variant(DispatchPtr(w.doc().app())); }},
    });
    return members.dispatch(*this, member, kind, args);
  }

 private:
  void sync() {
    WindowSettings& s = doc().window;
    if (doc().ui) doc().ui->geometryPoints(s.left, s.top, s.width, s.height);
  }

  int geometry(Side which) {
    sync();
    const WindowSettings& s = doc().window;
    double value = which == Side::Left    ? s.left
                   : which == Side::Top   ? s.top
                   : which == Side::Width ? s.width
                                          : s.height;
    return int(std::lround(value));
  }

  void setGeometry(Side which, const Variant& value) {
    if (state() != 0) Fail("Нельзя изменить положение или размер развёрнутого или свёрнутого окна");
    sync();
    WindowSettings& s = doc().window;
    double v = value.toDouble();
    if ((which == Side::Width || which == Side::Height) && v < 1)
      Fail("Значение вне допустимого диапазона");
    (which == Side::Left    ? s.left
     : which == Side::Top   ? s.top
     : which == Side::Width ? s.width
                            : s.height) = v;
    if (doc().ui) doc().ui->setGeometryPoints(s.left, s.top, s.width, s.height);
  }

  int state() { return doc().ui ? doc().ui->windowState() : doc().window.state; }

  void setState(const Variant& value) {
    doc().window.state = EnumArg(value, {0, 1, 2});
    if (doc().ui) doc().ui->setWindowState(doc().window.state);
  }
};

}  // namespace

DispatchPtr MakeWindow(const std::shared_ptr<DocumentObj>& doc) {
  return std::make_shared<WindowObj>(doc);
}

}  // namespace wordproc::om
