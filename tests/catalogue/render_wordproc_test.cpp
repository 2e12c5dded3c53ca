#include <gtest/gtest.h>

#include <QGuiApplication>
#include <cstdlib>

#include "Support.h"
#include "catalogue/uPreviewList.h"
#include "platform/Registry.h"
#include "wordlink/Automation.h"
#include "wordlink/uExtAppController.h"
#include "wordproc/Container.h"
#include "wordproc/WordProcessor.h"
#include "wordproc/core/Ooxml.h"

using namespace catalogue;
using namespace catalogue_test;

namespace {

QGuiApplication& Gui() {
  static int argc = 1;
  static char name[] = "test_catalogue";
  static char* argv[] = {name, nullptr};
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // Never destroyed: tearing the application down at exit races Qt's own static clean-up.
  static QGuiApplication* app = new QGuiApplication(argc, argv);
  return *app;
}

bool Dark(TColor c) {
  return RedOf(c) + GreenOf(c) + BlueOf(c) < 3 * 160;
}

}  // namespace

TEST(RenderWithWordProcessorTest, ThumbnailShowsTheFirstPageWithItsOutline) {
  Gui();
  wordproc::RegisterWordProcessor();
  wordproc::RegisterDocumentContainer();
  std::string data = NewDataFolder();
  std::string path = "Оттиски/Визитки/Мои оттиски/a.docx";
  WriteFile(data + path, "");
  {
    wordlink::Variant app = wordlink::CreateOleObject("Word.Application");
    wordlink::Variant doc = app.get("Documents").call("Add");
    doc.get("Content").call("InsertAfter", "Варнел");
    doc.call("SaveAs", data + path);
    doc.call("Close", 0);
    app.call("Quit", 0);
  }
  std::string original = ReadFile(data + path);
  TPreviewList list(data);
  TPreviewItem* entry = list.FindOrAdd(path, kGlyphKind, 0);
  {
    wordlink::TExtAppController controller;
    ASSERT_TRUE(RenderThumbnail(*entry, controller));
  }
  const TBitmap& t = *entry->Thumbnail;
  ASSERT_EQ(t.Width(), kThumbnailWidth);
  EXPECT_GT(t.Height(), 250) << "a portrait page";
  EXPECT_LT(t.Height(), 320);
  int darkOnEdges = 0;
  for (int y = 0; y < t.Height(); ++y) darkOnEdges += Dark(t.Pixel(0, y)) || Dark(t.Pixel(1, y));
  EXPECT_GT(darkOnEdges, t.Height() / 2) << "the page-sized text box outlines the page";
  EXPECT_EQ(ReadFile(data + path), original) << "only the copy was changed";
  auto newest = platform::Registry::Instance().read(
      platform::RegRoot::CurrentUser, "Software\\Microsoft\\Office\\16.0\\Word\\File MRU",
      "Item 1");
  EXPECT_TRUE(!newest || newest->text == data + path)
      << "the copy is not left in the recent-file list, the user's file stays";
  wordlink::UnregisterProgId("Word.Application");
}

// A design whose later pages are of another size: the thumbnail shows the first page, whose
// section the document's own page set-up cannot answer for.
TEST(RenderWithWordProcessorTest, ThumbnailOfSectionsOfTwoSizesShowsTheFirstPage) {
  Gui();
  wordproc::RegisterWordProcessor();
  wordproc::RegisterDocumentContainer();
  std::string data = NewDataFolder();
  std::string path = "Оттиски/Визитки/Мои оттиски/b.docx";
  WriteFile(data + path, "");
  wordproc::Document doc;
  wordproc::Section label;
  label.setup.pageWidth = 255.1f;  // 90 x 50 mm
  label.setup.pageHeight = 141.7f;
  label.setup.topMargin = label.setup.bottomMargin = 10;
  label.setup.leftMargin = label.setup.rightMargin = 10;
  doc.paragraphs[0].sectionEnd = label;
  wordproc::Paragraph last;
  last.id = doc.newParagraphId();
  doc.paragraphs.push_back(last);
  wordproc::WritePackage(doc, data + path);
  TPreviewList list(data);
  TPreviewItem* entry = list.FindOrAdd(path, kGlyphKind, 0);
  {
    wordlink::TExtAppController controller;
    ASSERT_TRUE(RenderThumbnail(*entry, controller));
  }
  const TBitmap& t = *entry->Thumbnail;
  ASSERT_EQ(t.Width(), kThumbnailWidth);
  EXPECT_NEAR(t.Height(), kThumbnailWidth * 141.7 / 255.1, 3) << "the first page's shape";
  wordlink::UnregisterProgId("Word.Application");
}
