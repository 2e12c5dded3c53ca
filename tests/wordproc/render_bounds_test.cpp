// Laying out and drawing unusual and hostile documents ends, in bounded memory.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <limits>

#include "tests/wordproc/bounded_support.h"
#include "tests/wordproc/render_support.h"
#include "wordproc/Layout.h"
#include "wordproc/Render.h"
#include "wordproc/RenderText.h"

using namespace wordproc;
using namespace render_test;
using namespace bounded_test;
using testing::ExitedWithCode;

namespace {

constexpr double kPointsPerMm = 72 / 25.4;

TEST(RenderBounds, TextColumnIsTheRoomBetweenTheMarginsOrAMinimum) {
  PageSetup a4;
  EXPECT_FLOAT_EQ(TextColumnWidth(a4), a4.pageWidth - 180);
  PageSetup label{float(30 * kPointsPerMm), float(20 * kPointsPerMm), 72, 72, 90, 90};
  EXPECT_FLOAT_EQ(TextColumnWidth(label), kMinTextColumn);
  PageSetup narrow{20, 20, 0, 0, 0, 0};
  EXPECT_FLOAT_EQ(TextColumnWidth(narrow), 20) << "a narrow page without margins keeps its width";
  PageSetup broken{100, 100, 0, 0, std::numeric_limits<float>::quiet_NaN(), 0};
  EXPECT_FLOAT_EQ(TextColumnWidth(broken), kMinTextColumn);
}

TEST(RenderBounds, LinesBreakAtEveryWidthAtLeastOneCharacterALine) {
  UseFreshChildren();
  EXPECT_EXIT(RunBounded(256, 60,
                         [] {
                           EnsureApplication();
                           Document doc;
                           const Paragraph p = TextParagraph(doc, "ab cd\xF0\x9F\x98\x80");
                           std::string counts;
                           for (double width : {0.0, -50.0, std::nan(""), 1e9})
                             counts += std::to_string(CountLines(p, width)) + " ";
                           return "lines " + counts;
                         }),
              ExitedWithCode(0), "lines 5 5 1 1 ");
}

TEST(RenderBounds, PageNarrowerThanItsMarginsIsLaidOutDrawnAndPrinted) {
  UseFreshChildren();
  EXPECT_EXIT(
      RunBounded(256, 60,
                 [] {
                   EnsureApplication();
                   Document doc;
                   doc.pageSetup.pageWidth = float(30 * kPointsPerMm);
                   doc.pageSetup.pageHeight = float(20 * kPointsPerMm);
                   doc.paragraphs[0] = TextParagraph(doc, "Образец текста на маленькой этикетке");
                   Layout layout(doc);
                   const int lines =
                       int(std::lround(layout.paragraphHeight(0) / (kLineSpacing * 11)));
                   const QImage thumbnail = RenderPage(doc, layout, 1, 216);
                   QTemporaryDir dir;
                   WritePdf(doc, layout, dir.filePath("label.pdf").toStdString());
                   return "pages " + std::to_string(layout.pageCount()) + " lines " +
                          std::to_string(lines) + " picture " + std::to_string(thumbnail.width()) +
                          "x" + std::to_string(thumbnail.height());
                 }),
      ExitedWithCode(0), "pages 1 lines ([4-9]|[1-9][0-9]) picture 216x144");
}

}  // namespace
