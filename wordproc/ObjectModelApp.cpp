#include <QApplication>
#include <QPrinterInfo>
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "platform/Files.h"
#include "wordproc/DocumentWindow.h"
#include "wordproc/ObjectModel.h"
#include "wordproc/RecentFiles.h"
#include "wordproc/core/Units.h"

namespace wordproc::om {

namespace {

bool SameText(std::string_view a, std::string_view b) {
  return LowerName(a) == LowerName(b);
}

bool IsEventInterface(std::string_view id) {
  for (const char* known :
       {"{000209FE-0000-0000-C000-000000000046}", "{00020A00-0000-0000-C000-000000000046}",
        "{00020A01-0000-0000-C000-000000000046}"})
    if (SameText(id, known)) return true;
  return false;
}

bool IsTemplateFile(const std::string& path) {
  std::string ext = LowerName(std::filesystem::path(path).extension().string());
  return ext == ".dot" || ext == ".dotx" || ext == ".dotm";
}

Variant Found(const std::shared_ptr<DocumentObj>& doc) {
  return Variant(DispatchPtr(doc));
}

std::shared_ptr<DocumentObj> Register(ApplicationObj& app, std::unique_ptr<Document> model,
                                      bool visible) {
  auto doc = std::make_shared<DocumentObj>(app.self(), std::move(model));
  doc->visibleFlag = visible;
  app.documents.push_back(doc);
  app.setActive(doc);
  doc->showWindow(app.visible() && visible);
  return doc;
}

// Open and OpenNoRepairDialog: FileName, ConfirmConversions, ReadOnly, AddToRecentFiles,
// PasswordDocument, PasswordTemplate, Revert, WritePasswordDocument, WritePasswordTemplate,
// Format, Encoding, Visible, OpenAndRepair, DocumentDirection, NoEncodingDialog, XMLTransform.
Variant OpenDocument(ApplicationObj& app, Args& args) {
  AtMost(args, 16);
  const std::string path = app.resolve(RequiredString(args, 0));
  const bool readOnly = BoolArg(args, 2, false);
  const bool addToRecent = BoolArg(args, 3, true);
  const bool revert = BoolArg(args, 6, false);
  const bool visible = BoolArg(args, 11, true);
  if (auto open = app.findByFullName(path)) {
    if (revert) open->replaceModel(LoadForAutomation(path));
    app.setActive(open);
    return Found(open);
  }
  auto model = LoadForAutomation(path);
  model->isTemplate = IsTemplateFile(path);
  auto doc = Register(app, std::move(model), visible);
  std::filesystem::path p(path);
  doc->name = p.filename().string();
  doc->folder = p.parent_path().string();
  doc->readOnly = readOnly || platform::IsReadOnly(path);
  doc->refreshWindow();
  if (addToRecent) AddRecentFile(path);
  app.raiseDocumentEvent(kEventDocumentOpen, *doc);
  return Found(doc);
}

// Template, NewTemplate, DocumentType, Visible.
Variant AddDocument(ApplicationObj& app, Args& args) {
  AtMost(args, 4);
  auto model = Given(args, 0) ? LoadForAutomation(app.resolve(args[0].toString()))
                              : std::make_unique<Document>();
  const bool asTemplate = BoolArg(args, 1, false);
  if (Given(args, 2)) EnumArg(args[2], {0, 1, 2, 3, 4});
  model->isTemplate = asTemplate;
  auto doc = Register(app, std::move(model), BoolArg(args, 3, true));
  doc->name = app.nextUntitledName(asTemplate);
  doc->refreshWindow();
  app.raiseDocumentEvent(kEventNewDocument, *doc);
  return Found(doc);
}

std::shared_ptr<DocumentObj> DocumentItem(ApplicationObj& app, const Variant& index) {
  if (index.type() == wordlink::VarType::String) {
    const std::string wanted = index.toString();
    for (auto& doc : app.documents)
      if (SameText(doc->name, wanted) || SameText(doc->fullName(), wanted)) return doc;
  } else {
    int n = index.toInt();
    if (n >= 1 && std::size_t(n) <= app.documents.size()) return app.documents[std::size_t(n) - 1];
  }
  Fail("Запрошенный элемент семейства не существует");
}

class AppPart : public ObjectBase {
 public:
  explicit AppPart(std::shared_ptr<ApplicationObj> app) : app_(std::move(app)) {}
  ApplicationObj& app() { return *app_; }

 protected:
  void checkAlive() const override { app_->checkAlive(); }
  void afterCall() override { app_->refreshWindows(); }

  std::shared_ptr<ApplicationObj> app_;
};

class DocumentsObj : public AppPart {
 public:
  using AppPart::AppPart;

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override {
    static const Members<DocumentsObj> members(
        {
            {"Count",
             [](DocumentsObj& s, Args&) { return Variant(int(s.app().documents.size())); }},
            {"Item",
             [](DocumentsObj& s, Args& a) {
               if (!Given(a, 0)) Fail("Не задан номер или имя документа");
               return Found(DocumentItem(s.app(), a[0]));
             }},
            {"Add", [](DocumentsObj& s, Args& a) { return AddDocument(s.app(), a); }},
            {"Open", [](DocumentsObj& s, Args& a) { return OpenDocument(s.app(), a); }},
            {"OpenNoRepairDialog",
             [](DocumentsObj& s, Args& a) { return OpenDocument(s.app(), a); }},
            {"Application", [](DocumentsObj& s, Args&) { return Variant(DispatchPtr(s.app_)); }},
            {"Parent", [](DocumentsObj& s, Args&) { return Variant(DispatchPtr(s.app_)); }},
        },
        "Item");
    return members.dispatch(*this, member, kind, args);
  }
};

// Two inches: no printer's paper runs that far off.
constexpr double kLargestPrinterOffset = 144;

class OptionsObj : public AppPart {
 public:
  using AppPart::AppPart;

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override {
    static const Members<OptionsObj> members({
        {"MeasurementUnit", [](OptionsObj& s, Args&) { return Variant(s.app().measurementUnit); },
         [](OptionsObj& s, Args&, const Variant& v) {
           s.app().measurementUnit = EnumArg(v, {0, 1, 2, 3, 4});
         }},
        {"CheckSpellingAsYouType",
         [](OptionsObj& s, Args&) { return Variant(s.app().checkSpelling); },
         [](OptionsObj& s, Args&, const Variant& v) { s.app().checkSpelling = v.toBool(); }},
        {"CheckGrammarAsYouType",
         [](OptionsObj& s, Args&) { return Variant(s.app().checkGrammar); },
         [](OptionsObj& s, Args&, const Variant& v) { s.app().checkGrammar = v.toBool(); }},
        {"SetPrinterOffset", [](OptionsObj& s, Args& a) { return s.setPrinterOffset(a); }},
        {"ClearPrinterOffsets",
         [](OptionsObj& s, Args& a) {
           AtMost(a, 0);
           s.app().printSettings.offsets.clear();
           return Variant();
         }},
        {"PrinterOffsetHorizontal",
         [](OptionsObj& s, Args& a) { return Variant(float(s.offsetOf(a).x())); }},
        {"PrinterOffsetVertical",
         [](OptionsObj& s, Args& a) { return Variant(float(s.offsetOf(a).y())); }},
        {"Application", [](OptionsObj& s, Args&) { return Variant(DispatchPtr(s.app_)); }},
    });
    return members.dispatch(*this, member, kind, args);
  }

 private:
  // SetPrinterOffset(Printer, Horizontal, Vertical): points right and down; the printer "PDF"
  // is PDF output, "*" every printer without an offset of its own.
  Variant setPrinterOffset(Args& args) {
    AtMost(args, 3);
    const std::string printer = RequiredString(args, 0);
    const double x = RequiredFloat(args, 1), y = RequiredFloat(args, 2);
    if (printer.empty()) Fail("Не задано имя принтера");
    if (!(std::abs(x) <= kLargestPrinterOffset && std::abs(y) <= kLargestPrinterOffset))
      Fail("Значение вне допустимого диапазона");
    app().printSettings.offsets[printer] = QPointF(x, y);
    return Variant();
  }

  QPointF offsetOf(Args& args) {
    AtMost(args, 1);
    return app().printSettings.offsetFor(RequiredString(args, 0));
  }
};

constexpr int kDialogFileSaveAs = 84;
constexpr int kDialogFilePrint = 88;

class DialogObj : public AppPart {
 public:
  DialogObj(std::shared_ptr<ApplicationObj> app, int type) : AppPart(std::move(app)), type_(type) {}

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override {
    static const Members<DialogObj> members({
        {"Show", [](DialogObj& s, Args& a) { return Variant(s.show(a)); }},
        {"Display", [](DialogObj& s, Args& a) { return Variant(s.show(a)); }},
        {"Type", [](DialogObj& s, Args&) { return Variant(s.type_); }},
        {"Application", [](DialogObj& s, Args&) { return Variant(DispatchPtr(s.app_)); }},
    });
    return members.dispatch(*this, member, kind, args);
  }

 private:
  int show(Args& args) {
    AtMost(args, 1);
    auto doc = app().activeDocument();
    return type_ == kDialogFilePrint ? doc->showPrintDialog() : doc->showSaveAsDialog();
  }

  int type_;
};

class DialogsObj : public AppPart {
 public:
  using AppPart::AppPart;

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override {
    static const Members<DialogsObj> members(
        {
            {"Item",
             [](DialogsObj& s, Args& a) {
               int type = RequiredInt(a, 0);
               if (type != kDialogFilePrint && type != kDialogFileSaveAs)
                 Fail("Диалог " + std::to_string(type) + " недоступен");
               return Variant(DispatchPtr(std::make_shared<DialogObj>(s.app_, type)));
             }},
            {"Application", [](DialogsObj& s, Args&) { return Variant(DispatchPtr(s.app_)); }},
        },
        "Item");
    return members.dispatch(*this, member, kind, args);
  }
};

int AlertLevel(const Variant& value) {
  if (value.type() == wordlink::VarType::Bool) return value.toBool() ? -1 : 0;
  return EnumArg(value, {-1, -2, 0});
}

void SetWindowState(ApplicationObj& app, const Variant& value) {
  app.windowState = EnumArg(value, {0, 1, 2});
  if (auto doc = app.activeOrNull()) {
    doc->window.state = app.windowState;
    if (doc->ui) doc->ui->setWindowState(app.windowState);
  }
}

int GetWindowState(ApplicationObj& app) {
  auto doc = app.activeOrNull();
  if (!doc) return app.windowState;
  return doc->ui ? doc->ui->windowState() : doc->window.state;
}

// The printer the instance prints on: the one chosen, else the system's default.
std::string ActivePrinter(ApplicationObj& app) {
  if (!app.printSettings.printer.empty()) return app.printSettings.printer;
  return QPrinterInfo::defaultPrinterName().toStdString();
}

// An empty name goes back to the system's default printer.
void SetActivePrinter(ApplicationObj& app, const std::string& name) {
  if (!name.empty() &&
      !QPrinterInfo::availablePrinterNames().contains(QString::fromStdString(name)))
    Fail("Принтер «" + name + "» не найден в системе");
  app.printSettings.printer = name;
}

Variant ActiveWindow(ApplicationObj& app) {
  return Variant(MakeWindow(app.activeDocument()));
}

const Members<ApplicationObj>& ApplicationMembers() {
  using A = ApplicationObj;
  static const Members<A> members({
      {"Version", [](A&, Args&) { return Variant("16.0"); }},
      {"Visible", [](A& s, Args&) { return Variant(s.visible()); },
       [](A& s, Args&, const Variant& v) { s.setVisible(v.toBool()); }},
      {"DisplayAlerts", [](A& s, Args&) { return Variant(s.displayAlerts); },
       [](A& s, Args&, const Variant& v) { s.displayAlerts = AlertLevel(v); }},
      {"ScreenUpdating", [](A& s, Args&) { return Variant(s.screenUpdating); },
       [](A& s, Args&, const Variant& v) { s.screenUpdating = v.toBool(); }},
      {"WindowState", [](A& s, Args&) { return Variant(GetWindowState(s)); },
       [](A& s, Args&, const Variant& v) { SetWindowState(s, v); }},
      {"Quit",
       [](A& s, Args& a) {
         AtMost(a, 3);
         s.quitApplication(Given(a, 0) ? EnumArg(a[0], {-1, 0, -2}) : -2);
         return Variant();
       }},
      {"Documents", [](A& s, Args&) { return Variant(MakeDocuments(s.self())); }},
      {"ActivePrinter", [](A& s, Args&) { return Variant(ActivePrinter(s)); },
       [](A& s, Args&, const Variant& v) { SetActivePrinter(s, v.toString()); }},
      {"Options", [](A& s, Args&) { return Variant(MakeOptions(s.self())); }},
      {"Dialogs", [](A& s, Args&) { return Variant(MakeDialogs(s.self())); }},
      {"Selection", [](A& s, Args&) { return Variant(MakeSelection(s.self())); }},
      {"ActiveDocument", [](A& s, Args&) { return Found(s.activeDocument()); }},
      {"ActiveWindow", [](A& s, Args&) { return ActiveWindow(s); }},
      {"Application", [](A& s, Args&) { return Variant(DispatchPtr(s.self())); }},
      {"PathSeparator", [](A&, Args&) { return Variant(std::string(1, platform::kPathSep)); }},
      {"PixelsToPoints",
       [](A&, Args& a) { return Variant(float(RequiredFloat(a, 0) * ScreenPointsPerPixel())); }},
      {"PointsToPixels",
       [](A&, Args& a) { return Variant(float(RequiredFloat(a, 0) / ScreenPointsPerPixel())); }},
      {"MillimetersToPoints",
       [](A&, Args& a) { return Variant(float(RequiredFloat(a, 0) * kPointsPerMillimetre)); }},
      {"CentimetersToPoints",
       [](A&, Args& a) { return Variant(float(RequiredFloat(a, 0) * 10 * kPointsPerMillimetre)); }},
      {"ChangeFileOpenDirectory",
       [](A& s, Args& a) {
         s.openDirectory = s.resolve(RequiredString(a, 0));
         return Variant();
       }},
      {"Activate",
       [](A& s, Args&) {
         if (auto doc = s.activeOrNull(); doc && doc->ui) doc->ui->activate();
         return Variant();
       }},
  });
  return members;
}

}  // namespace

ApplicationObj::ApplicationObj() = default;

ApplicationObj::~ApplicationObj() {
  for (auto& doc : documents) doc->ui.reset();
}

std::shared_ptr<ApplicationObj> ApplicationObj::self() {
  return std::static_pointer_cast<ApplicationObj>(shared_from_this());
}

void ApplicationObj::checkAlive() const {
  if (quit_) Fail("Объект отключён от клиентов: приложение завершило работу");
}

Variant ApplicationObj::call(std::string_view member, InvokeKind kind, Args& args) {
  return ApplicationMembers().dispatch(*this, member, kind, args);
}

std::optional<std::uint32_t> ApplicationObj::advise(std::string_view interfaceId,
                                                    std::shared_ptr<wordlink::EventSink> sink) {
  if (quit_ || !sink || !IsEventInterface(interfaceId)) return std::nullopt;
  std::uint32_t cookie = nextCookie_++;
  sinks_[cookie] = std::move(sink);
  return cookie;
}

void ApplicationObj::unadvise(std::uint32_t cookie) {
  sinks_.erase(cookie);
}

std::shared_ptr<DocumentObj> ApplicationObj::activeOrNull() {
  auto doc = active_.lock();
  if (doc && !doc->closed) return doc;
  return documents.empty() ? nullptr : documents.back();
}

std::shared_ptr<DocumentObj> ApplicationObj::activeDocument() {
  auto doc = activeOrNull();
  if (!doc) Fail("Эта команда недоступна, так как нет открытых документов");
  return doc;
}

void ApplicationObj::setActive(const std::shared_ptr<DocumentObj>& doc) {
  active_ = doc;
  if (doc->ui) doc->ui->activate();
}

void ApplicationObj::forget(DocumentObj& doc) {
  std::erase_if(documents, [&](const auto& d) { return d.get() == &doc; });
}

std::shared_ptr<DocumentObj> ApplicationObj::findByFullName(const std::string& fullName) {
  for (auto& doc : documents)
    if (doc->fullName() == fullName) return doc;
  return nullptr;
}

std::string ApplicationObj::nextUntitledName(bool asTemplate) {
  return (asTemplate ? "Template" : "Document") + std::to_string(++untitled_);
}

std::string ApplicationObj::resolve(const std::string& fileName) const {
  if (fileName.empty()) Fail("Не задано имя файла");
  std::filesystem::path path(fileName);
  if (path.is_relative()) {
    std::filesystem::path base = openDirectory.empty() ? std::filesystem::current_path()
                                                       : std::filesystem::path(openDirectory);
    path = base / path;
  }
  return path.lexically_normal().string();
}

bool ApplicationObj::raiseCancelable(int dispId, Args& args, std::size_t cancelIndex) {
  auto sinks = sinks_;  // a sink may disconnect while it runs
  for (auto& [cookie, sink] : sinks) {
    try {
      sink->Invoke(dispId, args);
    } catch (...) {
      // A failing sink must not break the document operation that raised the event.
    }
  }
  try {
    return cancelIndex < args.size() && args[cancelIndex].toBool();
  } catch (const AutomationError&) {
    return false;
  }
}

bool ApplicationObj::raiseBeforePrint(DocumentObj& doc) {
  Args args{Variant(DispatchPtr(doc.self())), Variant(false)};
  return raiseCancelable(kEventDocumentBeforePrint, args, 1);
}

bool ApplicationObj::raiseBeforeSave(DocumentObj& doc, bool saveAsUi) {
  Args args{Variant(DispatchPtr(doc.self())), Variant(saveAsUi), Variant(false)};
  return raiseCancelable(kEventDocumentBeforeSave, args, 2);
}

bool ApplicationObj::raiseBeforeClose(DocumentObj& doc) {
  Args args{Variant(DispatchPtr(doc.self())), Variant(false)};
  return raiseCancelable(kEventDocumentBeforeClose, args, 1);
}

void ApplicationObj::raiseDocumentEvent(int dispId, DocumentObj& doc) {
  Args args{Variant(DispatchPtr(doc.self()))};
  raiseCancelable(dispId, args, args.size());
}

bool ApplicationObj::mayShowWindows() const {
  return visible_ && qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

DialogReply ApplicationObj::ask(DialogKind kind, const std::string& documentName,
                                DialogReply fallback) {
  if (auto scripted = ScriptedReply(kind, documentName)) return *scripted;
  if (mayShowWindows()) return AskWithWindow(kind, documentName, openDirectory);
  return fallback;
}

void ApplicationObj::setVisible(bool visible) {
  visible_ = visible;
  for (auto& doc : documents) doc->showWindow(visible && doc->visibleFlag);
}

void ApplicationObj::refreshWindows() {
  if (!screenUpdating || !visible_) return;
  for (std::size_t k = 0; k < documents.size(); ++k) documents[k]->refreshWindow();
}

void ApplicationObj::quitApplication(int saveChanges) {
  auto open = documents;
  for (auto it = open.rbegin(); it != open.rend(); ++it)
    if (!(*it)->closed) (*it)->close(saveChanges);
  Args none;
  raiseCancelable(kEventQuit, none, 0);
  quit_ = true;
  sinks_.clear();
  documents.clear();
  active_.reset();
}

DispatchPtr MakeDocuments(const std::shared_ptr<ApplicationObj>& app) {
  return std::make_shared<DocumentsObj>(app);
}

DispatchPtr MakeOptions(const std::shared_ptr<ApplicationObj>& app) {
  return std::make_shared<OptionsObj>(app);
}

DispatchPtr MakeDialogs(const std::shared_ptr<ApplicationObj>& app) {
  return std::make_shared<DialogsObj>(app);
}

}  // namespace wordproc::om
