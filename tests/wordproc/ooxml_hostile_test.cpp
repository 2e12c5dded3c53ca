// Damaged and hostile packages: every one must end in a DocumentError naming the file, without a
// crash and without memory growing with what the file claims.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <fstream>

#include "bounded_support.h"
#include "ooxml_test_support.h"
#include "wordproc/PictureFile.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using namespace ooxml_test;
using testing::ExitedWithCode;

namespace {

std::string ErrorOf(const std::string& bytes, const PackageLimits& limits = {}) {
  try {
    ReadPackageFromMemory(bytes.data(), bytes.size(), "hostile.docx", limits);
  } catch (const DocumentError& error) {
    return error.what();
  }
  return std::string();
}

#define EXPECT_REFUSED(bytes, fragment)                                                       \
  do {                                                                                        \
    const std::string message = ErrorOf(bytes);                                               \
    EXPECT_EQ(0u, message.find("Не удалось открыть документ \"hostile.docx\": ")) << message; \
    EXPECT_NE(std::string::npos, message.find(fragment)) << message;                          \
  } while (0)

std::string Minimal() {
  return PackageWithBody("<w:p><w:r><w:t>ok</w:t></w:r></w:p>");
}

// Raw deflate of `count` copies of one byte: a literal, then matches of 258 bytes at distance 1
// in a fixed-Huffman block, 13 bits for every 258 bytes. A gigabyte takes a few megabytes and
// is never held uncompressed.
std::string DeflateRepeated(std::uint8_t byte, std::uint64_t count) {
  std::string out;
  std::uint64_t bits = 0;
  int used = 0;
  auto put = [&](std::uint32_t value, int n) {  // value already in transmission order
    bits |= static_cast<std::uint64_t>(value) << used;
    used += n;
    while (used >= 8) {
      out += static_cast<char>(bits & 0xFF);
      bits >>= 8;
      used -= 8;
    }
  };
  auto reversed = [](std::uint32_t code, int n) {
    std::uint32_t r = 0;
    for (int i = 0; i < n; ++i) r |= ((code >> i) & 1) << (n - 1 - i);
    return r;
  };
  const std::uint32_t literal = reversed(0x30 + byte, 8);  // fixed codes for 0..143
  const std::uint32_t match = reversed(0xC5, 8);           // length 258, then distance code 0
  put(1 | (1 << 1), 3);                                    // final block, fixed Huffman
  put(literal, 8);
  std::uint64_t left = count - 1;
  for (; left >= 258; left -= 258) put(match, 13);
  for (; left > 0; --left) put(literal, 8);
  put(0, 7);  // end of block
  if (used > 0) put(0, 8 - used);
  return out;
}

// A zip written entry by entry, with whatever sizes the test wants to claim.
class RawZip {
 public:
  explicit RawZip(const std::string& path) : out_(path, std::ios::binary) {}

  void AddStored(const std::string& name, const std::string& data) {
    Add(name, 0, data, Crc32(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()),
        data.size());
  }

  // The checksum of the deflated entries does not matter: reading must stop long before it.
  void Add(const std::string& name, std::uint16_t method, const std::string& data,
           std::uint32_t crc, std::uint64_t claimed) {
    const std::uint32_t offset = static_cast<std::uint32_t>(out_.tellp());
    const std::uint32_t claimed32 =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(claimed, 0xFFFFFFFFu));
    const std::uint32_t packed = static_cast<std::uint32_t>(data.size());
    WriteLocal(name, method, crc, packed, claimed32);
    out_ << data;
    central_.push_back({name, method, crc, packed, claimed32, offset});
  }

  void Finish() {
    const std::uint32_t start = static_cast<std::uint32_t>(out_.tellp());
    for (const Entry& e : central_) {
      Put32(0x02014b50);
      Put16(20);
      Put16(20);
      Put16(0);
      Put16(e.method);
      Put32(0);
      Put32(e.crc);
      Put32(e.packed);
      Put32(e.size);
      Put16(static_cast<std::uint16_t>(e.name.size()));
      Put16(0);
      Put16(0);
      Put16(0);
      Put16(0);
      Put32(0);
      Put32(e.offset);
      out_ << e.name;
    }
    const std::uint32_t size = static_cast<std::uint32_t>(out_.tellp()) - start;
    Put32(0x06054b50);
    Put16(0);
    Put16(0);
    Put16(static_cast<std::uint16_t>(central_.size()));
    Put16(static_cast<std::uint16_t>(central_.size()));
    Put32(size);
    Put32(start);
    Put16(0);
    out_.close();
  }

 private:
  struct Entry {
    std::string name;
    std::uint16_t method;
    std::uint32_t crc, packed, size, offset;
  };
  void Put16(std::uint16_t v) { out_.put(static_cast<char>(v)).put(static_cast<char>(v >> 8)); }
  void Put32(std::uint32_t v) {
    Put16(static_cast<std::uint16_t>(v));
    Put16(static_cast<std::uint16_t>(v >> 16));
  }
  void WriteLocal(const std::string& name, std::uint16_t method, std::uint32_t crc,
                  std::uint32_t packed, std::uint32_t size) {
    Put32(0x04034b50);
    Put16(20);
    Put16(0);
    Put16(method);
    Put32(0);
    Put32(crc);
    Put32(packed);
    Put32(size);
    Put16(static_cast<std::uint16_t>(name.size()));
    Put16(0);
    out_ << name;
  }

  std::ofstream out_;
  std::vector<Entry> central_;
};

long PeakResidentKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST(OoxmlHostile, NotAPackageAtAll) {
  EXPECT_REFUSED(std::string(), "не является пакетом");
  EXPECT_REFUSED(std::string("PK\x03\x04garbage", 11), "не является пакетом");
  EXPECT_REFUSED(std::string("{\\rtf1 hello}"), "не является пакетом");
  try {
    ReadPackage("/nonexistent/folder/file.docx");
    ADD_FAILURE();
  } catch (const DocumentError& error) {
    EXPECT_STREQ("Не удалось открыть документ \"/nonexistent/folder/file.docx\": файл не найден",
                 error.what());
  }
  EXPECT_THROW(LoadDocumentFile("/nonexistent/file.doc"), DocumentError);
  EXPECT_FALSE(LooksLikePackage("/nonexistent/file.doc"));
}

template <typename Open>
std::string RefusalOf(Open open) {
  try {
    open();
  } catch (const DocumentError& error) {
    return error.what();
  }
  return "opened";
}

// A pipe named like a document or a picture would block its reader forever, a device would
// never end; the child's watchdog turns a block into a failure instead of a hung test.
TEST(OoxmlHostile, OnlyRegularFilesAreOpened) {
  TempDir dir;
  const std::string pipe = dir / "pipe.doc";
  ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0600));
  auto open = [&] {
    std::string seen;
    for (const std::string& path : {pipe, std::string("/dev/zero")}) {
      float width = 0, height = 0;
      seen += RefusalOf([&] { LoadDocumentFile(path); }) + " | ";
      seen += RefusalOf([&] { ReadPackage(path); }) + " | ";
      seen += RefusalOf([&] { LoadPicture(path, width, height); }) + " | ";
      seen += LooksLikePackage(path) ? "zip | " : "not | ";
    }
    return seen;
  };
  EXPECT_EXIT(bounded_test::RunBounded(256, 20, open), ExitedWithCode(0),
              "^([^|]*pipe.doc[^:]*: это канал, а не файл \\| ){3}not \\| "
              "([^|]*/dev/zero[^:]*: это устройство, а не файл \\| ){3}not");
  EXPECT_NE(RefusalOf([&] { LoadDocumentFile(dir.path()); }).find("это папка, а не файл"),
            std::string::npos);
}

TEST(OoxmlHostile, TruncatedAndCorruptedPackagesNeverCrash) {
  const std::string good = Minimal();
  for (std::size_t keep : {good.size() - 1, good.size() - 22, good.size() / 2, std::size_t{30}}) {
    EXPECT_REFUSED(good.substr(0, keep), "");
  }
  // Every single-byte change either still reads or is refused cleanly.
  int refused = 0;
  for (std::size_t i = 0; i < good.size(); i += 3) {
    std::string damaged = good;
    damaged[i] = static_cast<char>(damaged[i] ^ 0x5A);
    if (!ErrorOf(damaged).empty()) ++refused;
  }
  EXPECT_GT(refused, 0);
}

TEST(OoxmlHostile, ZipBombFailsWithoutInflatingIt) {
  TempDir dir;
  const std::string path = dir / "bomb.docx";
  {
    RawZip zip(path);
    zip.AddStored("[Content_Types].xml", kContentTypes);
    zip.AddStored("_rels/.rels", kRootRels);
    // A gigabyte of zeros, honestly declared: refused from its header alone.
    zip.Add("word/document.xml", 8, DeflateRepeated(0, 1ull << 30), 0, 1ull << 30);
    zip.Finish();
  }
  const long before = PeakResidentKb();
  try {
    ReadPackage(path);
    ADD_FAILURE() << "the bomb was read";
  } catch (const DocumentError& error) {
    EXPECT_NE(std::string(error.what()).find("слишком велика"), std::string::npos) << error.what();
  }
  EXPECT_LT(PeakResidentKb() - before, 100 * 1024) << "memory grew by the size of the bomb";
}

TEST(OoxmlHostile, SizesThatLieAreCaughtWhileInflating) {
  TempDir dir;
  const std::string path = dir / "liar.docx";
  {
    RawZip zip(path);
    zip.AddStored("[Content_Types].xml", kContentTypes);
    zip.AddStored("_rels/.rels", kRootRels);
    // Claims 1000 bytes, inflates to 200 MB of spaces.
    zip.Add("word/document.xml", 8, DeflateRepeated(' ', 200ull << 20), 0, 1000);
    zip.Finish();
  }
  const long before = PeakResidentKb();
  std::string message;
  try {
    ReadPackage(path);
  } catch (const DocumentError& error) {
    message = error.what();
  }
  EXPECT_NE(message.find("часть \"word/document.xml\" больше, чем указано"), std::string::npos)
      << message;
  EXPECT_LT(PeakResidentKb() - before, 100 * 1024);
}

TEST(OoxmlHostile, LimitsOnEntriesPartsAndTotal) {
  std::map<std::string, std::string> parts;
  for (int i = 0; i < 20; ++i) parts["junk/" + std::to_string(i)] = "x";
  const std::string many = PackageWithBody("<w:p/>", parts);
  PackageLimits few;
  few.maxEntries = 10;
  EXPECT_NE(ErrorOf(many, few).find("слишком много частей"), std::string::npos);
  EXPECT_EQ("", ErrorOf(many));

  const std::string big =
      PackageWithBody("<w:p><w:r><w:t>" + std::string(5000, 'a') + "</w:t></w:r></w:p>");
  PackageLimits small;
  small.maxPartSize = 4000;
  EXPECT_NE(ErrorOf(big, small).find("слишком велика"), std::string::npos);
  small.maxPartSize = 1 << 20;
  small.maxTotalSize = 4000;
  EXPECT_NE(ErrorOf(big, small).find("допустимый объём"), std::string::npos);
  PackageLimits nodes;
  nodes.maxXmlNodes = 50;
  std::string wide;
  for (int i = 0; i < 100; ++i) wide += "<w:p/>";
  EXPECT_NE(ErrorOf(PackageWithBody(wide), nodes).find("слишком много элементов"),
            std::string::npos);
}

std::string Repeated(const std::string& item, std::size_t count) {
  std::string out;
  out.reserve(item.size() * count);
  for (std::size_t i = 0; i < count; ++i) out += item;
  return out;
}

// Text between elements is no part of the estimate made before parsing: the parse is counted
// as it allocates.
TEST(OoxmlHostile, ParagraphsTextAndParsedTreesAreLimited) {
  PackageLimits limits;
  limits.maxParagraphs = 100;
  limits.maxTextBytes = 1000;
  EXPECT_EQ("", ErrorOf(PackageWithBody(Repeated("<w:p/>", 100)), limits));
  EXPECT_NE(ErrorOf(PackageWithBody(Repeated("<w:p/>", 101)), limits).find("больше 100 абзацев"),
            std::string::npos);
  const std::string run = "<w:r><w:t>" + std::string(500, 'a') + "</w:t></w:r>";
  EXPECT_EQ("", ErrorOf(PackageWithBody("<w:p>" + run + "</w:p><w:p>" + run + "</w:p>"), limits));
  EXPECT_NE(ErrorOf(PackageWithBody("<w:p>" + run + run + run + "</w:p>"), limits)
                .find("текст документа больше 1000 байт"),
            std::string::npos);
  const std::string trees = PackageWithBody(Repeated("<w:unknown/>x", 100000));
  limits.maxMemory = 32 << 20;
  EXPECT_EQ("", ErrorOf(trees, limits));
  limits.maxMemory = 10 << 20;
  EXPECT_NE(
      ErrorOf(trees, limits).find("документ слишком велик: для его чтения нужно больше 10 МБ"),
      std::string::npos);
}

TEST(OoxmlHostile, MillionsOfEmptyParagraphsAreRefusedInBoundedMemory) {
  // 120 MB of "<w:p/>" in a package of a few hundred kilobytes; read as it came, its tree and
  // paragraphs would take several gigabytes.
  std::string package = PackageWithBody(Repeated("<w:p/>", 20000000));
  EXPECT_LT(package.size(), 1u << 20);
  EXPECT_EXIT(bounded_test::RunBounded(512, 60, [&] { return ErrorOf(package); }),
              ExitedWithCode(0), "документ слишком велик");
}

TEST(OoxmlHostile, MissingOrWrongParts) {
  EXPECT_REFUSED(Zip({{"word/document.xml", "<w:document/>"}}), "[Content_Types].xml");
  EXPECT_REFUSED(Zip({{"[Content_Types].xml", kContentTypes}, {"_rels/.rels", kRootRels}}),
                 "основной части");
  EXPECT_REFUSED(
      Zip({{"[Content_Types].xml", kContentTypes}, {"word/document.xml", "<w:document><w:body>"}}),
      "повреждена");
  EXPECT_REFUSED(
      Zip({{"[Content_Types].xml", kContentTypes}, {"word/document.xml", "<workbook/>"}}),
      "не является документом");
  std::string spreadsheet = kContentTypes;
  spreadsheet.replace(spreadsheet.find("wordprocessingml.document"), 25, "spreadsheetml.sheet");
  EXPECT_REFUSED(
      Zip({{"[Content_Types].xml", spreadsheet}, {"word/document.xml", "<w:document/>"}}),
      "не текстовый документ");
}

TEST(OoxmlHostile, DeepNestingAndDoctypes) {
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<w:sdt><w:sdtContent>";
  EXPECT_REFUSED(PackageWithBody(deep), "");  // unclosed and deep: refused either way
  for (int i = 0; i < 100000; ++i) deep += "</w:sdtContent></w:sdt>";
  EXPECT_REFUSED(PackageWithBody(deep), "вложена слишком глубоко");

  const std::string laughs =
      "<?xml version=\"1.0\"?><!DOCTYPE w:document [<!ENTITY a \"aaaaaaaaaa\">"
      "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\">]>"
      "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
      "<w:body><w:p><w:r><w:t>&c;</w:t></w:r></w:p></w:body></w:document>";
  EXPECT_REFUSED(Zip({{"[Content_Types].xml", kContentTypes}, {"word/document.xml", laughs}}),
                 "DTD");
  const std::string external =
      "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "&x;</Relationships>";
  EXPECT_REFUSED(Zip({{"[Content_Types].xml", kContentTypes},
                      {"_rels/.rels", external},
                      {"word/document.xml", "<w:document/>"}}),
                 "DTD");
}

TEST(OoxmlHostile, PicturesMustBeImages) {
  const std::string body =
      "<w:p><w:r><w:drawing><wp:inline><wp:extent cx=\"10\" cy=\"10\"/><wp:docPr id=\"1\" "
      "name=\"P\"/><a:graphic><a:graphicData><pic:pic><pic:blipFill><a:blip r:embed=\"rIdImg\"/>"
      "</pic:blipFill></pic:pic></a:graphicData></a:graphic></wp:inline></w:drawing></w:r></w:p>";
  EXPECT_REFUSED(PackageWithBody(body, {{"word/_rels/document.xml.rels", ImageRels()},
                                        {"word/media/image1.png", "<html>not a picture</html>"}}),
                 "часть \"word/media/image1.png\" не является изображением");
  EXPECT_REFUSED(PackageWithBody(body, {{"word/_rels/document.xml.rels", ImageRels()}}),
                 "word/media/image1.png");
  // A picture whose relationship is missing keeps its place without an image.
  const auto doc = ReadBytes(PackageWithBody(body));
  ASSERT_EQ(1u, doc->paragraphs[0].inlinePictures.size());
  EXPECT_FALSE(doc->paragraphs[0].inlinePictures[0].image);
}

TEST(OoxmlHostile, AbsurdNumbersAreClamped) {
  const std::string body =
      "<w:p><w:pPr><w:spacing w:before=\"1e308\" w:after=\"-5\"/></w:pPr><w:r><w:rPr>"
      "<w:sz w:val=\"99999999999\"/><w:color w:val=\"nonsense\"/></w:rPr><w:t>x</w:t></w:r>"
      "<w:r><w:drawing><wp:anchor relativeHeight=\"NaN\" behindDoc=\"0\"><wp:simplePos/>"
      "<wp:positionH relativeFrom=\"nowhere\"><wp:posOffset>999999999999999999999</wp:posOffset>"
      "</wp:positionH><wp:positionV relativeFrom=\"page\"><wp:posOffset>-1e400</wp:posOffset>"
      "</wp:positionV><wp:extent cx=\"NaN\" cy=\"-100\"/><wp:docPr id=\"-7\" name=\"A\"/>"
      "<a:graphic><a:graphicData><wpg:wgp><wpg:grpSpPr><a:xfrm><a:off x=\"0\" y=\"0\"/>"
      "<a:ext cx=\"1\" cy=\"1\"/><a:chOff x=\"-1e300\" y=\"inf\"/><a:chExt cx=\"0\" cy=\"1e-300\"/>"
      "</a:xfrm></wpg:grpSpPr><wps:wsp><wps:spPr><a:xfrm><a:off x=\"1e300\" y=\"5\"/>"
      "<a:ext cx=\"1e300\" cy=\"nan\"/></a:xfrm><a:ln w=\"1e30\"/></wps:spPr></wps:wsp>"
      "</wpg:wgp></a:graphicData></a:graphic></wp:anchor></w:drawing></w:r></w:p>"
      "<w:sectPr><w:pgSz w:w=\"-100\" w:h=\"1e20\"/><w:pgMar w:top=\"abc\" w:left=\"1e12\"/>"
      "</w:sectPr>";
  const auto doc = ReadBytes(PackageWithBody(body));
  auto sane = [](double v) { return std::isfinite(v) && std::fabs(v) <= 28346; };
  const PageSetup& page = doc->pageSetup;
  EXPECT_EQ(PageSetup().pageWidth, page.pageWidth);
  EXPECT_TRUE(sane(page.pageHeight));
  EXPECT_LE(page.leftMargin, page.pageWidth);
  EXPECT_EQ(PageSetup().topMargin, page.topMargin);
  const Paragraph& p = doc->paragraphs[0];
  EXPECT_TRUE(sane(p.spaceBefore));
  EXPECT_EQ(0, p.spaceAfter);
  EXPECT_LE(p.runs[0].format.fontSize, 1638);
  ASSERT_EQ(1u, doc->shapes.size());
  const Shape& group = *doc->shapes[0].shape;
  EXPECT_NE(0u, group.id);
  EXPECT_EQ(RelH::Column, group.relH);
  for (double v : {group.left, group.top, group.width, group.height}) EXPECT_TRUE(sane(v)) << v;
  ASSERT_EQ(1u, group.children.size());
  const Shape& child = *group.children[0];
  for (double v : {child.left, child.top, child.width, child.height}) EXPECT_TRUE(sane(v)) << v;
  EXPECT_TRUE(std::isfinite(child.line.weight));
  EXPECT_LE(child.line.weight, 1584);
}

}  // namespace
