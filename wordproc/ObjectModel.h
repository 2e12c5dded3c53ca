// The embedded word processor's automation objects, shared by the files that implement them.
// Not for use outside wordproc/: the program reaches these objects only by ProgID and member
// name.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "wordlink/Automation.h"
#include "wordproc/Dialogs.h"
#include "wordproc/DocumentHost.h"
#include "wordproc/DocumentWindow.h"
#include "wordproc/Render.h"
#include "wordproc/core/Editor.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Model.h"

namespace wordproc::om {

using wordlink::Args;
using wordlink::AutomationError;
using wordlink::DispatchPtr;
using wordlink::InvokeKind;
using wordlink::Variant;

// Failures raised inside a member; ObjectBase adds the member's name.
[[noreturn]] void Fail(const std::string& message);
// What a cancelled prompt raises, so that the window's commands can tell it from failures.
class CancelledError : public AutomationError {
 public:
  using AutomationError::AutomationError;
};
// The user cancelled a prompt or dialog that the call needed; callers of the object model know
// this failure as error 4198.
[[noreturn]] void FailCancelled();

// Arguments in declaration order; a missing or empty argument takes the default.
bool Given(const Args& args, std::size_t index);
int IntArg(const Args& args, std::size_t index, int fallback);
int RequiredInt(const Args& args, std::size_t index);
float FloatArg(const Args& args, std::size_t index, float fallback);
float RequiredFloat(const Args& args, std::size_t index);
bool BoolArg(const Args& args, std::size_t index, bool fallback);
std::string StringArg(const Args& args, std::size_t index, const std::string& fallback = {});
std::string RequiredString(const Args& args, std::size_t index);
void AtMost(const Args& args, std::size_t count);
// MsoTriState as the object model reports a Boolean property of shapes.
inline Variant TriState(bool value) {
  return Variant(value ? -1 : 0);
}
// An argument that must be one of a set of enumeration values.
int EnumArg(const Variant& value, std::initializer_list<int> allowed);

// A member: a method or property get, and a property put when the member can be assigned.
template <class T>
struct Member {
  using Get = std::function<Variant(T&, Args&)>;
  using Put = std::function<void(T&, Args&, const Variant&)>;
  Member(std::string_view name, Get get, Put put = nullptr)
      : name(name), get(std::move(get)), put(std::move(put)) {}

  std::string_view name;
  Get get;
  Put put;
};

std::string LowerName(std::string_view name);
[[noreturn]] void FailUnknownMember();

// Members by name, matched ignoring case; "" names the default member.
template <class T>
class Members {
 public:
  Members(std::initializer_list<Member<T>> members, std::string_view defaultMember = {})
      : default_(LowerName(defaultMember)) {
    for (const Member<T>& m : members) map_.emplace(LowerName(m.name), m);
  }

  const Member<T>* find(std::string_view name) const {
    auto it = map_.find(name.empty() ? default_ : LowerName(name));
    return it == map_.end() ? nullptr : &it->second;
  }

  Variant dispatch(T& self, std::string_view name, InvokeKind kind, Args& args) const {
    const Member<T>* m = find(name);
    if (!m) FailUnknownMember();
    if (kind != InvokeKind::PropertyPut) {
      if (!m->get) Fail("Свойство доступно только для записи");
      return m->get(self, args);
    }
    if (!m->put) Fail("Свойство доступно только для чтения");
    if (args.empty()) Fail("Не задано значение свойства");
    Args indices(args.begin(), args.end() - 1);
    m->put(self, indices, args.back());
    return Variant();
  }

 private:
  std::unordered_map<std::string, Member<T>> map_;
  std::string default_;
};

// Every object checks that it is still usable before a member runs, and names the member in
// every failure.
class ObjectBase : public wordlink::Dispatch {
 public:
  Variant invoke(std::string_view member, InvokeKind kind, Args& args) final;

 protected:
  virtual void checkAlive() const = 0;
  virtual Variant call(std::string_view member, InvokeKind kind, Args& args) = 0;
  virtual void afterCall() {}
};

class ApplicationObj;
class DocumentObj;

// The application's event interfaces (ApplicationEvents2, 3 and 4 share their dispatch ids).
inline constexpr int kEventQuit = 2;
inline constexpr int kEventDocumentOpen = 4;
inline constexpr int kEventDocumentBeforeClose = 6;
inline constexpr int kEventDocumentBeforePrint = 7;
inline constexpr int kEventDocumentBeforeSave = 8;
inline constexpr int kEventNewDocument = 9;

class ApplicationObj : public ObjectBase {
 public:
  ApplicationObj();
  ~ApplicationObj() override;

  std::optional<std::uint32_t> advise(std::string_view interfaceId,
                                      std::shared_ptr<wordlink::EventSink> sink) override;
  void unadvise(std::uint32_t cookie) override;

  std::shared_ptr<ApplicationObj> self();
  void checkAlive() const override;
  bool hasQuit() const { return quit_; }

  // Documents, in the order they were opened.
  std::vector<std::shared_ptr<DocumentObj>> documents;
  std::shared_ptr<DocumentObj> activeDocument();  // fails when none is open
  std::shared_ptr<DocumentObj> activeOrNull();
  void setActive(const std::shared_ptr<DocumentObj>& doc);
  // Selecting in a document makes its selection the application's, without raising a window.
  void makeCurrent(const std::shared_ptr<DocumentObj>& doc) { active_ = doc; }
  void forget(DocumentObj& doc);
  std::shared_ptr<DocumentObj> findByFullName(const std::string& fullName);
  std::string nextUntitledName(bool asTemplate);
  // A relative file name is taken from the folder ChangeFileOpenDirectory set, else from the
  // process's current folder.
  std::string resolve(const std::string& fileName) const;

  // Events, raised synchronously; each returns true when a sink cancelled.
  bool raiseBeforePrint(DocumentObj& doc);
  bool raiseBeforeSave(DocumentObj& doc, bool saveAsUi);
  bool raiseBeforeClose(DocumentObj& doc);
  void raiseDocumentEvent(int dispId, DocumentObj& doc);

  // Dialogs: a scripted answer first; a window when the instance may show one; else the
  // default answer.
  bool mayShowWindows() const;
  DialogReply ask(DialogKind kind, const std::string& documentName, DialogReply fallback);

  void setVisible(bool visible);
  bool visible() const { return visible_; }
  void refreshWindows();
  void quitApplication(int saveChanges);

  int displayAlerts = -1;  // wdAlertsAll
  bool screenUpdating = true;
  int windowState = 0;
  int measurementUnit = 1;  // centimetres, as the Russian edition starts
  bool checkSpelling = true;
  bool checkGrammar = true;
  std::string openDirectory;
  // The printer (ActivePrinter) and the offsets the program set for its printers.
  PrintSettings printSettings;

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override;
  void afterCall() override { refreshWindows(); }

 private:
  bool raiseCancelable(int dispId, Args& args, std::size_t cancelIndex);

  bool quit_ = false;
  bool visible_ = false;
  int untitled_ = 0;
  std::weak_ptr<DocumentObj> active_;
  std::uint32_t nextCookie_ = 1;
  std::map<std::uint32_t, std::shared_ptr<wordlink::EventSink>> sinks_;
};

struct WindowSettings {
  double left = 0, top = 0, width = 600, height = 450;  // points
  int state = 0;
  int viewType = 3;  // print layout
  bool showAll = false;
  bool displayPageBoundaries = true;
};

class DocumentObj : public ObjectBase, public DocumentHost {
 public:
  DocumentObj(const std::shared_ptr<ApplicationObj>& app, std::unique_ptr<Document> model);
  ~DocumentObj() override;

  std::shared_ptr<DocumentObj> self();
  std::shared_ptr<ApplicationObj> app() const;
  void checkAlive() const override;
  void afterCall() override;

  Document& model() { return *model_; }
  Editor& editor() override { return *editor_; }
  void replaceModel(std::unique_ptr<Document> model);

  std::string name;
  std::string folder;  // empty until saved
  bool readOnly = false;
  bool closed = false;
  bool visibleFlag = true;
  std::string fullName() const;
  int type() const { return model_->isTemplate ? 1 : 0; }

  bool saved() const;
  void setSaved(bool saved);

  // The selection of this document: a text range, or shapes when shapes are selected.
  std::shared_ptr<RangeState> selection;
  std::vector<std::uint32_t> selectedShapes;
  void selectText(std::int64_t start, std::int64_t end);
  void selectShapes(const std::vector<std::uint32_t>& ids, bool replace);
  // Where a shape added without an anchor goes: the first paragraph of the selection.
  std::uint64_t defaultAnchor();

  WindowSettings window;
  std::unique_ptr<DocumentWindowBase> ui;
  void showWindow(bool show);
  void refreshWindow();

  void save();
  // Without a format, the document is written in the one it was read in.
  void saveAs(const std::string& fileName, bool addToRecent,
              std::optional<SourceFormat> format = std::nullopt);
  int showSaveAsDialog();
  void close(int saveChanges);
  void printOut();
  int showPrintDialog();
  // The print dialog, then the print when it is confirmed. Unless the sinks were already asked
  // (askedSinks), they are asked once the dialog is confirmed and may cancel the print.
  int askAndPrint(bool askedSinks);

  const Document& document() const override { return *model_; }
  Layout& layout() override { return *layout_; }
  std::string title() const override { return name; }
  std::vector<std::uint32_t> shapeSelection() const override { return selectedShapes; }
  void setShapeSelection(const std::vector<std::uint32_t>& ids) override;
  void userPrint() override;
  std::optional<std::string> userPrintToPdf(const FileQuestion& askFile) override;
  bool userClose() override;
  void userSave() override;
  void userSaveAs() override;

 protected:
  Variant call(std::string_view member, InvokeKind kind, Args& args) override;

 private:
  void writeTo(const std::string& path, bool addToRecent,
               std::optional<SourceFormat> format = std::nullopt);
  std::optional<std::string> askFileName();
  void printPages();

  std::weak_ptr<ApplicationObj> app_;
  std::unique_ptr<Document> model_;
  std::unique_ptr<Layout> layout_;
  std::unique_ptr<Editor> editor_;
  std::uint64_t savedAt_ = 0;
  bool forcedUnsaved_ = false;
  std::uint64_t shownAt_ = 0;
  std::vector<std::uint32_t> shownSelection_;
  std::string shownName_;
};

// An object that lives inside a document and dies with it.
class DocumentPart : public ObjectBase {
 public:
  explicit DocumentPart(std::shared_ptr<DocumentObj> doc) : doc_(std::move(doc)) {}
  DocumentObj& doc() const { return *doc_; }
  const std::shared_ptr<DocumentObj>& docPtr() const { return doc_; }

 protected:
  void checkAlive() const override { doc_->checkAlive(); }
  void afterCall() override { doc_->afterCall(); }

  std::shared_ptr<DocumentObj> doc_;
};

// Objects made by the parts of the object model.
DispatchPtr MakeDocuments(const std::shared_ptr<ApplicationObj>& app);
DispatchPtr MakeOptions(const std::shared_ptr<ApplicationObj>& app);
DispatchPtr MakeDialogs(const std::shared_ptr<ApplicationObj>& app);
DispatchPtr MakeSelection(const std::shared_ptr<ApplicationObj>& app);
DispatchPtr MakeWindow(const std::shared_ptr<DocumentObj>& doc);
// The sections an object speaks for, as Editor::sectionsOf names them, found again at each
// call so that they follow the edits made since the object was handed out.
using SectionScope = std::function<std::vector<std::size_t>(DocumentObj&)>;
SectionScope WholeDocument();
// Those the range's paragraphs belong to; a range ending where a paragraph begins leaves it out.
SectionScope SectionsOfRange(std::shared_ptr<RangeState> range);
// The page set-up of the sections: a value they differ in reads wdUndefined, a value set goes
// to them all.
DispatchPtr MakePageSetup(const std::shared_ptr<DocumentObj>& doc, SectionScope sections);
DispatchPtr MakeSections(const std::shared_ptr<DocumentObj>& doc, SectionScope sections);
DispatchPtr MakeRange(const std::shared_ptr<DocumentObj>& doc, std::int64_t start,
                      std::int64_t end);
DispatchPtr MakeShapes(const std::shared_ptr<DocumentObj>& doc);
DispatchPtr MakeShape(const std::shared_ptr<DocumentObj>& doc, std::uint32_t id);
DispatchPtr MakeShapeRange(const std::shared_ptr<DocumentObj>& doc, std::vector<std::uint32_t> ids);
// WordArt: the shape Shapes.AddTextEffect makes from its arguments, and a shape's TextEffect.
std::unique_ptr<Shape> NewTextEffect(const Args& args);
DispatchPtr MakeTextEffect(const std::shared_ptr<DocumentObj>& doc, std::uint32_t id);
// The LineFormat, FillFormat or ShadowFormat of shapes: reads answer for the first, writes go
// to all.
DispatchPtr MakeLineFormat(const std::shared_ptr<DocumentObj>& doc, std::vector<std::uint32_t> ids);
DispatchPtr MakeFillFormat(const std::shared_ptr<DocumentObj>& doc, std::vector<std::uint32_t> ids);
DispatchPtr MakeShadowFormat(const std::shared_ptr<DocumentObj>& doc,
                             std::vector<std::uint32_t> ids);
DispatchPtr MakeWrapFormat(const std::shared_ptr<DocumentObj>& doc, std::vector<std::uint32_t> ids);
// All inline shapes of the document, or those in the paragraphs a range touches.
DispatchPtr MakeInlineShapes(const std::shared_ptr<DocumentObj>& doc,
                             std::optional<std::pair<std::int64_t, std::int64_t>> range);

// The fields of the body (shapeId 0: all, or those in a range of positions) or of a shape's text.
DispatchPtr MakeFields(const std::shared_ptr<DocumentObj>& doc, std::uint32_t shapeId,
                       std::optional<std::pair<std::int64_t, std::int64_t>> range);

// Shared by Document.GoTo and Selection.GoTo: the position the item starts at.
std::int64_t GoToPosition(DocumentObj& doc, const Args& args);
// Opens the document file through the reader, as an automation failure when it cannot.
std::unique_ptr<Document> LoadForAutomation(const std::string& path);
// Gives the document ids above all it already holds, so new shapes and paragraphs never clash.
void NormalizeIds(Document& doc);

// The print dialog's own window, used when no scripted answer exists: prints to the printer
// chosen there, after asking the sinks unless they were asked before the dialog. Returns false
// when the user cancelled.
bool PrintWithWindow(DocumentObj& doc, bool askedSinks);
// The save question and the save dialog's windows; the save dialog starts in the folder.
DialogReply AskWithWindow(DialogKind kind, const std::string& documentName,
                          const std::string& folder);

}  // namespace wordproc::om
