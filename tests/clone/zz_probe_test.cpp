#include <chrono>
#include <cstdio>
#include "CloneSupport.h"
#include "clone/uPlacing.h"
#include "wordproc/Ooxml.h"
#include "wordproc/Render.h"
#include "wordproc/Layout.h"
using namespace cloning;
using namespace clone_test;
namespace {
double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }
TEST(Probe, Phases) {
  if (!getenv("VSP_PROBE")) GTEST_SKIP();
  Variant word = wordlink::CreateOleObject("Word.Application");
  word.put("Visible", false);
  const Variant skip = Variant::missing();
  std::string g = getenv("VSP_PROBE_GLYPH"), t = getenv("VSP_PROBE_TEMPLATE");
  std::string data = NewDataFolder();
  double t0 = Now();
  Variant gd = word.get("Documents").call("OpenNoRepairDialog", g, skip, false, false, skip, skip, skip, skip, skip, skip, skip, false);
  PrepareGlyphDocument(gd);
  gd.call("SaveAs", data + "g.doc.tmp"); gd.call("Close", 0);
  double t1 = Now();
  Variant doc = word.get("Documents").call("OpenNoRepairDialog", t, skip, false, false, skip, skip, skip, skip, skip, skip, skip, false);
  TSheetTemplate layout = ReadSheetTemplate(doc);
  double t2 = Now();
  FillSheet(doc, layout, {{data + "g.doc", 1}}, atoi(getenv("VSP_PROBE")), nullptr);
  double t3 = Now();
  doc.call("SaveAs", data + "sheet.doc");
  double t4 = Now();
  wordproc::PackageLimits lim; lim.maxPartSize = 1ull<<31; lim.maxTotalSize = 1ull<<32; lim.maxXmlNodes = 1ull<<31;
  auto back = wordproc::ReadPackage(data + "sheet.doc", lim);
  double t5 = Now();
  wordproc::Layout layout2(*back);
  wordproc::WritePdf(*back, layout2, data + "x.pdf");
  double t6 = Now();
  printf("pdf %.3f\n", t6-t5);
  printf("glyph %.3f template %.3f fill %.3f save %.3f read %.3f\n", t1-t0, t2-t1, t3-t2, t4-t3, t5-t4);
  word.call("Quit", 0);
}
}
