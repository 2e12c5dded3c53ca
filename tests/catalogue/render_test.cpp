#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "Support.h"
#include "catalogue/uPreviewList.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "wordlink/uExtAppController.h"

using namespace catalogue;
using namespace catalogue_test;
using wordlink::Args;
using wordlink::InvokeKind;
using wordlink::Variant;

namespace {

using Journal = std::vector<std::string>;

std::string Describe(const Variant& v) {
  switch (v.type()) {
    case wordlink::VarType::Missing:
      return "~";
    case wordlink::VarType::Object:
      return "obj";
    case wordlink::VarType::Single:
      return v.toString() + "f";
    default:
      return v.toString();
  }
}

// An automation object that writes every call into the journal and answers from handlers.
class Scripted : public wordlink::Dispatch {
 public:
  Scripted(std::string name, Journal& journal) : name_(std::move(name)), journal_(journal) {}
  std::map<std::string, std::function<Variant(Args&)>> on;  // lower-case member names

  Variant invoke(std::string_view member, InvokeKind kind, Args& args) override {
    std::string line = name_ + "." + std::string(member);
    if (kind == InvokeKind::PropertyPut) line += "=" + Describe(args.back());
    if (kind == InvokeKind::Method) {
      line += "(";
      for (std::size_t i = 0; i < args.size(); ++i) line += (i ? "," : "") + Describe(args[i]);
      line += ")";
    }
    journal_.push_back(line);
    std::string key(member);
    std::transform(key.begin(), key.end(), key.begin(), ::tolower);
    auto handler = on.find(key);
    return handler == on.end() ? Variant() : handler->second(args);
  }

 private:
  std::string name_;
  Journal& journal_;
};

Variant Obj(const std::shared_ptr<Scripted>& o) {
  return Variant(wordlink::DispatchPtr(o));
}

class FakeBox : public wordlink::OleContainer {
 public:
  explicit FakeBox(Journal& j) : journal(j) {}
  Journal& journal;
  int naturalWidth = 816, naturalHeight = 1056, w = 0, h = 0;
  bool has = false;
  std::string embedded;  // the file's contents when the object was made from it
  bool embeddedWritable = false;

  void setAutoSize(bool on) override { journal.push_back("box.autoSize=" + std::to_string(on)); }
  void createObjectFromFile(const std::string& file, bool iconic) override {
    journal.push_back("box.create(" + file + "," + std::to_string(iconic) + ")");
    embedded = ReadFile(file);
    embeddedWritable = !platform::IsReadOnly(file);
    has = true, w = naturalWidth, h = naturalHeight;
  }
  bool hasObject() const override { return has; }
  int width() const override { return w; }
  int height() const override { return h; }
  void setWidth(int v) override { journal.push_back("box.width=" + std::to_string(w = v)); }
  void setHeight(int v) override { journal.push_back("box.height=" + std::to_string(h = v)); }
  void paintTo(std::uint32_t* pixels, int cw, int ch, int x, int y) override {
    journal.push_back("box.paint(" + std::to_string(cw) + "x" + std::to_string(ch) + "@" +
                      std::to_string(x) + "," + std::to_string(y) + ")");
    std::fill(pixels, pixels + cw * ch, 0xFF102030u);
  }
  void destroyObject() override {
    journal.push_back("box.destroy");
    has = false;
  }
};

const std::string kMru = "Software\\Microsoft\\Office\\16.0\\Word\\File MRU";

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app->on["version"] = [](Args&) { return Variant("16.0"); };
    app->on["visible"] = [](Args&) { return Variant(false); };
    app->on["documents"] = [this](Args&) { return Obj(docs); };
    app->on["options"] = [this](Args&) {
      return Obj(std::make_shared<Scripted>("options", journal));
    };
    docs->on["opennorepairdialog"] = [this](Args& a) -> Variant {
      if (refuseOpen) throw wordlink::AutomationError("Open", "cannot open");
      opened = a.at(0).toString();
      return Obj(doc);
    };
    doc->on["pagesetup"] = [this](Args&) { return Obj(setup); };
    doc->on["goto"] = [this](Args&) { return Obj(range); };
    doc->on["shapes"] = [this](Args&) { return Obj(shapes); };
    doc->on["fullname"] = [this](Args&) { return Variant(opened); };
    setup->on["pagewidth"] = [](Args&) { return Variant(612.0f); };
    setup->on["pageheight"] = [](Args&) { return Variant(792.0f); };
    shapes->on["addtextbox"] = [this](Args&) -> Variant {
      if (refuseTextbox) throw wordlink::AutomationError("AddTextbox", "no room");
      return Obj(shape);
    };
    shape->on["fill"] = [this](Args&) { return Obj(fill); };
    wordlink::RegisterProgId("Word.Application", [this] { return wordlink::DispatchPtr(app); });
    auto owned = std::make_unique<FakeBox>(journal);
    box = owned.get();
    list.Container = std::move(owned);
    list.ProcessMessages = [this] { ++pumps; };
    platform::Registry::Instance().deleteValue(platform::RegRoot::CurrentUser, kMru, "Item 1");
  }
  void TearDown() override { wordlink::UnregisterProgId("Word.Application"); }

  TPreviewItem& Entry(const std::string& path, const std::string& content) {
    WriteFile(data + path, content);
    return *list.FindOrAdd(path, kGlyphKind, 0);
  }
  Journal Lines(const std::string& prefixes) const {
    Journal picked;
    for (const std::string& line : journal)
      if (prefixes.find(line.substr(0, line.find('.')) + " ") != std::string::npos)
        picked.push_back(line);
    return picked;
  }

  Journal journal;
  std::shared_ptr<Scripted> app = std::make_shared<Scripted>("app", journal),
                            docs = std::make_shared<Scripted>("docs", journal),
                            doc = std::make_shared<Scripted>("doc", journal),
                            setup = std::make_shared<Scripted>("setup", journal),
                            range = std::make_shared<Scripted>("range", journal),
                            shapes = std::make_shared<Scripted>("shapes", journal),
                            shape = std::make_shared<Scripted>("shape", journal),
                            fill = std::make_shared<Scripted>("fill", journal);
  bool refuseOpen = false, refuseTextbox = false;
  std::string opened;
  std::string data = NewDataFolder();
  TPreviewList list{data};
  FakeBox* box = nullptr;
  int pumps = 0;
  wordlink::TExtAppController controller;
};

}  // namespace

TEST_F(RenderTest, OutlinesACopyInTheWordProcessorThenPaintsItTwoHundredSixteenWide) {
  TPreviewItem& entry = Entry("Оттиски/К/М/a.doc", "DOC");
  chmod((data + entry.Path).c_str(), 0444);
  auto before = FilesStartingWith(TempFolder(), "vsp");
  ASSERT_TRUE(RenderThumbnail(entry, controller));

  Journal expected = {"box.autoSize=1",
                      "doc.PageSetup",
                      "setup.PageWidth",
                      "setup.PageHeight",
                      "doc.GoTo(1,1,1)",
                      "range.Select()",
                      "doc.Shapes",
                      "shapes.AddTextbox(1,0f,0f,607f,787f)",
                      "shape.Fill",
                      "fill.Visible=0",
                      "shape.RelativeHorizontalPosition=1",
                      "shape.RelativeVerticalPosition=1",
                      "shape.Width=612f",
                      "shape.Height=792f",
                      "shape.Left=0",
                      "shape.Top=0",
                      "doc.SaveAs(" + opened + ",16,False,,False)",
                      "doc.Type",
                      "doc.Close(0,1,True)",
                      "box.create(" + opened + ",0)",
                      "box.width=216",
                      "box.height=280",
                      "box.paint(216x280@0,0)",
                      "box.destroy"};
  EXPECT_EQ(Lines("box doc setup range shapes shape fill "), expected);
  EXPECT_NE(std::find(journal.begin(), journal.end(),
                      "docs.OpenNoRepairDialog(" + opened + ",~,False,False,~,~,~,~,~,~,~,False)"),
            journal.end());
  ASSERT_EQ(entry.Thumbnail->Width(), 216);
  EXPECT_EQ(entry.Thumbnail->Height(), 280) << "216 * 1056 / 816 = 279.53";
  EXPECT_EQ(entry.Thumbnail->Pixel(215, 279), RGBColor(0x10, 0x20, 0x30));
  EXPECT_EQ(pumps, 7);

  EXPECT_TRUE(platform::IsReadOnly(data + entry.Path)) << "the catalogue document is untouched";
  EXPECT_EQ(opened.rfind(TempFolder() + "vsp", 0), 0u) << opened;
  EXPECT_EQ(opened.substr(opened.size() - 4), ".doc");
  EXPECT_EQ(box->embedded, "DOC");
  EXPECT_TRUE(box->embeddedWritable);
  EXPECT_EQ(FilesStartingWith(TempFolder(), "vsp"), before) << "the copy goes with its thumbnail";
}

TEST_F(RenderTest, HeightRoundsHalvesToEven) {
  for (auto [natural, expected] : {std::pair{5, 2}, {7, 4}, {3, 2}}) {
    box->naturalWidth = 432, box->naturalHeight = natural;
    TPreviewItem& entry = Entry("a" + std::to_string(natural) + ".doc", "x");
    RenderThumbnail(entry, controller);
    EXPECT_EQ(entry.Thumbnail->Height(), expected) << natural;
  }
}

TEST_F(RenderTest, FailuresKeepTheFourByFourPlaceholder) {
  refuseOpen = true;
  TPreviewItem& unopened = Entry("a.doc", "x");
  EXPECT_TRUE(RenderThumbnail(unopened, controller));
  EXPECT_EQ(*unopened.Thumbnail, TBitmap(4, 4));
  EXPECT_EQ(std::count_if(journal.begin(), journal.end(),
                          [](const std::string& l) { return l.rfind("box.create", 0) == 0; }),
            0);
  EXPECT_EQ(pumps, 2);

  refuseOpen = false;
  box->naturalWidth = 0;
  TPreviewItem& empty = Entry("b.doc", "x");
  RenderThumbnail(empty, controller);
  EXPECT_EQ(empty.Thumbnail->Width(), 4);
  EXPECT_FALSE(box->has);

  refuseTextbox = true;
  journal.clear();
  std::vector<std::string> reports;
  list.Report = [&](const std::string& text) { reports.push_back(text); };
  TPreviewItem& broken = Entry("c.doc", "x");
  EXPECT_TRUE(RenderThumbnail(broken, controller));
  EXPECT_EQ(Lines("doc ").back(), "doc.Close(0,1,True)") << "the copy is not left open";
  EXPECT_EQ(broken.Thumbnail->Width(), 4);
  EXPECT_FALSE(broken.TransientThumbnail) << "cached: the document fails alike until it changes";
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("«" + data + "c.doc»"), std::string::npos) << reports[0];
  EXPECT_NE(reports[0].find("no room"), std::string::npos) << reports[0];
  EXPECT_FALSE(list.Rendering);
  EXPECT_TRUE(FilesStartingWith(TempFolder(), "vsp").empty()) << "nor is the copy left behind";
}

TEST_F(RenderTest, DotEntriesRenderTheirTwinAndNestedRequestsWait) {
  WriteFile(data + "x.doc", "TWIN");
  TPreviewItem& dot = Entry("x.dot", "TEMPLATE");
  TPreviewItem& other = Entry("y.doc", "y");
  bool nested = true;
  list.ProcessMessages = [&] { nested = nested && !RenderThumbnail(other, controller); };
  RenderThumbnail(dot, controller);
  EXPECT_EQ(box->embedded, "TWIN");
  EXPECT_TRUE(nested) << "the container is busy";
  EXPECT_FALSE(other.Thumbnail);
}

TEST_F(RenderTest, RecentFileEntryIsRemovedOnlyWhenItNamesTheCopy) {
  platform::Registry& reg = platform::Registry::Instance();
  auto item = [&](const std::string& text) {
    reg.write(platform::RegRoot::CurrentUser, kMru, "Item 1", {platform::RegType::String, text, 0});
  };
  item("[F00000000][T01D]*/home/user/letter.doc");
  RenderThumbnail(Entry("a.doc", "x"), controller);
  EXPECT_TRUE(reg.read(platform::RegRoot::CurrentUser, kMru, "Item 1"));

  doc->on["saveas"] = [&](Args&) {  // a word processor that lists what it saved
    item("[F00000000]*" + opened);
    return Variant();
  };
  RenderThumbnail(Entry("b.doc", "x"), controller);
  EXPECT_FALSE(reg.read(platform::RegRoot::CurrentUser, kMru, "Item 1"));

  ForgetRecentFile(12);
  EXPECT_FALSE(reg.keyExists(platform::RegRoot::CurrentUser,
                             "Software\\Microsoft\\Office\\12.0\\Word\\File MRU"));
}

TEST_F(RenderTest, TemporaryFolderThatCannotBeMadeIsReportedOnceAndKeptOutOfTheCache) {
  std::vector<std::string> reports;
  list.Report = [&](const std::string& text) { reports.push_back(text); };
  TPreviewItem& a = Entry("a.doc", "x");
  TPreviewItem& b = Entry("b.doc", "x");
  const std::string blocker = NewDataFolder() + "file";
  WriteFile(blocker, "not a folder");
  {
    ScopedEnv tmp("TMPDIR", blocker + "/tmp");
    ScopedEnv runtime("XDG_RUNTIME_DIR", std::nullopt);
    EXPECT_TRUE(RenderThumbnail(a, controller));
    EXPECT_TRUE(RenderThumbnail(b, controller));
  }
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("временную папку"), std::string::npos) << reports[0];
  EXPECT_NE(reports[0].find(blocker), std::string::npos) << reports[0];
  for (TPreviewItem* entry : {&a, &b}) {
    EXPECT_EQ(*entry->Thumbnail, TBitmap(4, 4));
    EXPECT_FALSE(IsCacheable(*entry)) << "a placeholder for a passing reason is not kept";
  }
  EXPECT_TRUE(box->embedded.empty());
}

TEST_F(RenderTest, OnlyRegularFilesInsideTheDataFolderAreCopied) {
  TPreviewItem& pipe = Entry("pipe.doc", "x");
  std::filesystem::remove(data + "pipe.doc");
  ASSERT_EQ(mkfifo((data + "pipe.doc").c_str(), 0600), 0);
  EXPECT_EQ(ExitCodeWithin(30,
                           [&] {
                             RenderThumbnail(pipe, controller);
                             return box->embedded.empty() ? 0 : 1;
                           }),
            0)
      << "a pipe under a document's name is never opened";

  const std::string outside = NewDataFolder() + "private.doc";
  WriteFile(outside, "PRIVATE");
  WriteFile(data + "sub/in.doc", "INSIDE");
  ASSERT_EQ(symlink(outside.c_str(), (data + "out.doc").c_str()), 0);
  ASSERT_EQ(symlink("sub/in.doc", (data + "in.doc").c_str()), 0);
  TPreviewItem* out = list.FindOrAdd("out.doc", kGlyphKind, 1);
  TPreviewItem* in = list.FindOrAdd("in.doc", kGlyphKind, 1);
  RenderThumbnail(*out, controller);
  EXPECT_TRUE(box->embedded.empty());
  EXPECT_EQ(*out->Thumbnail, TBitmap(4, 4));
  RenderThumbnail(*in, controller);
  EXPECT_EQ(box->embedded, "INSIDE");
}
