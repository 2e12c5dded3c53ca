#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <cmath>
#include <filesystem>

#include "Support.h"
#include "catalogue/uPreviewList.h"

using namespace catalogue;
using namespace catalogue_test;

namespace {

// One blue 1x1 BMP, written out by hand.
const std::string kTinyBmp = "BM" + LE32(58) + LE32(0) + LE32(54) + LE32(40) + LE32(1) + LE32(1) +
                             LE16(1) + LE16(24) + std::string(24, '\0') +
                             std::string("\xFF\x00\x00\x00", 4);

std::string Record(int kind, int reserved, const std::string& path, double date,
                   const std::string& bmp = kTinyBmp) {
  return std::string{char(kind), char(reserved)} + LE32(std::uint32_t(path.size())) + path +
         LEDouble(date) + bmp;
}

std::string Deflated(const std::string& plain) {
  uLongf size = compressBound(uLong(plain.size()));
  std::string out(size, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &size,
            reinterpret_cast<const Bytef*>(plain.data()), uLong(plain.size()), 1);
  out.resize(size);
  return out;
}

std::string Header(int version, int flags) {
  return "VSPP" + LE16(version) + LE16(flags);
}

std::string BmpOf(const TBitmap& b) {
  TMemoryWriter out;
  WriteBmp(b, out);
  return std::string(out.Bytes.begin(), out.Bytes.end());
}

struct Loaded {
  TPreviewList list{"/data/"};
  bool threw = false;
  std::string error;
};

std::unique_ptr<Loaded> Load(const std::string& bytes, std::uint64_t budget = kMaxCacheBytes) {
  auto r = std::make_unique<Loaded>();
  TMemoryReader in(bytes.data(), bytes.size());
  try {
    r->list.LoadCacheFrom(in, "/data/cache.dat", budget);
  } catch (const CatalogueError& e) {
    r->threw = true;
    r->error = e.what();
  }
  return r;
}

}  // namespace

TEST(CacheTest, WritesMagicVersionFlagsAndOneLevelOneStreamOfThumbnailEntries) {
  std::string data = NewDataFolder();
  TPreviewList list(data);
  list.FindOrAdd("Оттиски/a.doc", kGlyphKind, 100.5)->Thumbnail =
      std::make_shared<TBitmap>(Pattern(3, 2));
  list.FindOrAdd("Оттиски/b.doc", kGlyphKind, 7);  // never drawn: no thumbnail, no record
  list.FindOrAdd("Листы/c.doc", kSheetKind, 9)->Thumbnail =
      std::make_shared<TBitmap>(Pattern(1, 1));
  list.SaveCache();
  std::string file = ReadFile(data + "cache.dat");
  EXPECT_EQ(file.substr(0, 10), Header(1, 1) + "\x78\x01");
  std::string body = Record(1, 2, "Листы/c.doc", 9, BmpOf(Pattern(1, 1))) +
                     Record(0, 2, "Оттиски/a.doc", 100.5, BmpOf(Pattern(3, 2)));
  EXPECT_EQ(file, Header(1, 1) + Deflated(body)) << "byte for byte what zlib level 1 makes";
  EXPECT_TRUE(FilesStartingWith(data, "vsp").empty());

  TPreviewList again(data);
  again.LoadCache();
  ASSERT_EQ(again.Count(), 2);
  const TPreviewItem& a = *again.Items(1);
  EXPECT_EQ(a.Path, "Оттиски/a.doc");
  EXPECT_EQ(a.FileDate, 100.5);
  EXPECT_EQ(*a.Thumbnail, Pattern(3, 2));
  EXPECT_EQ(a.Owner, &again);
  EXPECT_EQ(a.Present, 0);
  EXPECT_EQ(again.Items(0)->Kind, kSheetKind);
  EXPECT_FALSE(again.Modified);
}

TEST(CacheTest, ReadsHandWrittenFilesOfEveryAcceptedShape) {
  std::string two = Record(0, 2, "Оттиски/a.doc", 1) + Record(1, 7, "Листы/b.doc", 2);
  for (const std::string& file : {Header(1, 1) + Deflated(two), Header(1, 0) + two,
                                  Header(0, 0x0100) + two, Header(1, 0x0101) + Deflated(two)}) {
    auto r = Load(file);
    EXPECT_FALSE(r->threw) << r->error;
    ASSERT_EQ(r->list.Count(), 2);
    EXPECT_EQ(r->list.Items(0)->Path, "Листы/b.doc");
    EXPECT_EQ(r->list.Items(0)->Reserved, 7);
    EXPECT_EQ(r->list.Items(1)->Thumbnail->Pixel(0, 0), RGBColor(0, 0, 255));
  }
  for (const std::string& file : {Header(2, 1) + Deflated(two), "VSPQ" + LE16(1) + LE16(1) + two,
                                  Header(1, 1) + Deflated(""), Header(1, 0)}) {
    auto r = Load(file);
    EXPECT_FALSE(r->threw) << r->error;
    EXPECT_EQ(r->list.Count(), 0);
    EXPECT_FALSE(r->list.Modified);
  }
}

TEST(CacheTest, DamageKeepsEarlierRecordsReportsTheFileAndAsksForARewrite) {
  std::string good = Record(0, 2, "Оттиски/a.doc", 1);
  std::string next = Record(0, 2, "Оттиски/b.doc", 1);
  std::string compressed = Deflated(good + next);
  std::string flipped = compressed;
  flipped[flipped.size() - 3] ^= 0x5A;
  const std::size_t bmpAt = 6 + std::string("Оттиски/b.doc").size() + 8;
  std::string huge = next;
  huge.replace(bmpAt + 18, 8, LE32(20000) + LE32(20000));  // 1.2 GB of pixels
  const std::string files[] = {
      Header(1, 0) + good + next.substr(0, 20),
      Header(1, 1) + compressed.substr(0, compressed.size() - 6),
      Header(1, 1) + flipped,
      Header(1, 1) + compressed.substr(0, compressed.size() - 2),  // checksum cut short
      Header(1, 0) + good + std::string{0, 2} + LE32(0xFFFFFFFF),
      Header(1, 0) + good + std::string{0, 2} + LE32(40000) + std::string(40000, 'x'),
      Header(1, 0) + good + huge,
      Header(1, 0) + good + next.substr(0, bmpAt) + "XX" + next.substr(bmpAt + 2),
  };
  for (const std::string& file : files) {
    auto r = Load(file);
    EXPECT_TRUE(r->threw);
    EXPECT_NE(r->error.find("/data/cache.dat"), std::string::npos) << r->error;
    ASSERT_GE(r->list.Count(), 1) << r->error;
    EXPECT_EQ(r->list.Items(0)->Path, "Оттиски/a.doc");
    EXPECT_TRUE(r->list.Modified);
  }
  EXPECT_TRUE(Load("VSPP\x01")->threw);
  for (std::size_t at : {0, 1}) {  // the stream's own two-byte header
    std::string file = Header(1, 1) + compressed;
    file[8 + at] ^= 0x01;
    auto r = Load(file);
    EXPECT_TRUE(r->threw);
    EXPECT_EQ(r->list.Count(), 0);
  }
}

// The loader's checksum must agree with zlib's over any length and any split into pieces,
// including long runs of 0xFF, where its sums come closest to overflowing.
TEST(CacheTest, StreamChecksumAgreesWithZlib) {
  std::string bytes(300000, '\0');
  std::uint32_t seed = 12345;
  for (char& c : bytes) c = char((seed = seed * 1103515245u + 12345u) >> 23);
  const std::string ones(1 << 20, '\xFF');
  const std::string* sources[] = {&bytes, &ones};
  for (const std::string* data : sources)
    for (std::size_t length : {0, 1, 15, 16, 17, 5535, 5536, 5537, 11079, 300000}) {
      length = std::min(length, data->size());
      const auto* p = reinterpret_cast<const std::uint8_t*>(data->data());
      const auto expected = std::uint32_t(adler32(1, p, uInt(length)));
      EXPECT_EQ(Adler32(1, p, length), expected) << length;
      const std::size_t split = length / 3;
      EXPECT_EQ(Adler32(Adler32(1, p, split), p + split, length - split), expected) << length;
    }
  const auto* p = reinterpret_cast<const std::uint8_t*>(ones.data());
  EXPECT_EQ(Adler32(1, p, ones.size()), std::uint32_t(adler32(1, p, uInt(ones.size()))));
}

TEST(CacheTest, RecordsOutsideTheDataFolderOrOutOfOrderAreSettled) {
  std::string body = Record(0, 3, "b.doc", 1) + Record(0, 2, "/etc/passwd", 1) +
                     Record(0, 2, "../up.doc", 1) + Record(0, 2, "x/../../y.doc", 1) +
                     Record(0, 2, "a..b.doc", 1) + Record(5, 2, "k.doc", 1) +
                     Record(0, 4, "b.doc", 1);
  auto r = Load(Header(1, 0) + body);
  EXPECT_FALSE(r->threw) << r->error;
  ASSERT_EQ(r->list.Count(), 2);
  EXPECT_EQ(r->list.Items(0)->Path, "a..b.doc");
  EXPECT_EQ(r->list.Items(1)->Path, "b.doc");
  EXPECT_EQ(r->list.Items(1)->Reserved, 3) << "the first of two equal paths counts";
  EXPECT_EQ(r->list.FindOrAdd("b.doc", 0, 1), r->list.Items(1));
}

TEST(CacheTest, MissingFileMarksTheListAndAFailedWriteLeavesNoTrace) {
  std::string data = NewDataFolder();
  TPreviewList list(data);
  list.LoadCache();
  EXPECT_TRUE(list.Modified);
  list.FindOrAdd("a.doc", 0, 1)->Thumbnail = std::make_shared<TBitmap>(4, 4);
  std::filesystem::create_directories(data + "cache.dat/keep");
  try {
    list.SaveCache();
    FAIL() << "a folder in the cache file's place cannot be replaced";
  } catch (const CatalogueError& e) {
    EXPECT_NE(std::string(e.what()).find(data + "cache.dat"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(FilesStartingWith(data, "vsp").empty());
  EXPECT_TRUE(std::filesystem::exists(data + "cache.dat/keep"));
}

namespace {

// A 1-bit BMP: few bytes in the file, three bytes a pixel once loaded.
std::string OneBitBmp(int width, int height) {
  const std::uint32_t row = std::uint32_t(width + 31) / 32 * 4;
  const std::uint32_t size = 14 + 40 + 8 + row * std::uint32_t(height);
  return "BM" + LE32(size) + LE32(0) + LE32(62) + LE32(40) + LE32(std::uint32_t(width)) +
         LE32(std::uint32_t(height)) + LE16(1) + LE16(1) + std::string(24, '\0') +
         std::string(8, '\xFF') + std::string(row * std::uint32_t(height), '\0');
}

std::string Paths(const TPreviewList& list) {
  std::string paths;
  for (const auto& e : list.Entries()) paths += e->Path + " ";
  return paths;
}

}  // namespace

TEST(CacheTest, FilesTooShortForTheSignatureAreNoCache) {
  for (const std::string bytes : {"", "V", "VSP"}) {
    auto r = Load(bytes);
    EXPECT_FALSE(r->threw) << r->error;
    EXPECT_EQ(r->list.Count(), 0);
    EXPECT_FALSE(r->list.Modified) << "as a foreign file: replaced at the next write";
  }
}

// Wider than 216 pixels, taller than 20 times that, or dated outside the years 1 to 9999: the
// program never writes such a record. A 64 MB picture is refused from its header alone.
TEST(CacheTest, RecordsThatTheProgramNeverWritesAreDamage) {
  const std::string good = Record(0, 2, "a.doc", 1);
  const std::string huge = "BM" + LE32(0) + LE32(0) + LE32(54) + LE32(40) + LE32(4096) +
                           LE32(5461) + LE16(1) + LE16(24) + std::string(24, '\0');
  const std::string bad[] = {Record(0, 2, "b.doc", 1, OneBitBmp(217, 1)),
                             Record(0, 2, "b.doc", 1, OneBitBmp(1, 4321)),
                             Record(0, 2, "b.doc", 1, huge),
                             Record(0, 2, "b.doc", std::nan("")),
                             Record(0, 2, "b.doc", HUGE_VAL),
                             Record(0, 2, "b.doc", 1e300)};
  for (const std::string& record : bad) {
    auto r = Load(Header(1, 0) + good + record);
    EXPECT_TRUE(r->threw);
    EXPECT_EQ(Paths(r->list), "a.doc ") << r->error;
  }
  auto largest = Load(Header(1, 0) + good + Record(0, 2, "b.doc", 1, OneBitBmp(216, 4320)));
  EXPECT_FALSE(largest->threw) << largest->error;
}

// Each record counts as the larger of its bytes in the body and in memory, and the writer
// stops where the reader would.
TEST(CacheTest, WholeCacheIsBoundedAndTheWriterStaysWithinTheBound) {
  const std::uint64_t budget = 2u << 20;  // three 216 x 1000 thumbnails, not four
  TPreviewList list(NewDataFolder());
  for (const char* path : {"a.doc", "b.doc", "c.doc", "d.doc"})
    list.FindOrAdd(path, 0, 1)->Thumbnail = std::make_shared<TBitmap>(216, 1000);
  TMemoryWriter out;
  list.SaveCacheTo(out, budget);
  auto back = Load(std::string(out.Bytes.begin(), out.Bytes.end()), budget);
  EXPECT_FALSE(back->threw) << back->error;
  EXPECT_EQ(Paths(back->list), "a.doc b.doc c.doc ");

  std::string packed, gaps;  // 713 KB a record once loaded; 750 KB of gap a record in the body
  std::string spaced = kTinyBmp;
  spaced.replace(10, 4, LE32(54 + 750000));
  spaced.insert(54, std::string(750000, '\0'));
  for (const char* path : {"a.doc", "b.doc", "c.doc"}) {
    packed += Record(0, 2, path, 1, OneBitBmp(216, 1100));
    gaps += Record(0, 2, path, 1, spaced);
  }
  for (const std::string& body : {packed, gaps}) {
    auto r = Load(Header(1, 1) + Deflated(body), budget);
    EXPECT_NE(r->error.find("больше 2 МБ"), std::string::npos) << r->error;
    EXPECT_EQ(Paths(r->list), "a.doc b.doc ");
  }
}

TEST(CacheTest, ReplacedCacheKeepsItsModeAndANewOneTakesTheUmasks) {
  std::string data = NewDataFolder();
  TPreviewList list(data);
  list.FindOrAdd("a.doc", 0, 1)->Thumbnail = std::make_shared<TBitmap>(4, 4);
  struct stat st {};
  const mode_t previous = umask(027);
  list.SaveCache();
  umask(previous);
  ASSERT_EQ(stat((data + "cache.dat").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  chmod((data + "cache.dat").c_str(), 0664);
  list.SaveCache();
  ASSERT_EQ(stat((data + "cache.dat").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0664u) << "others sharing the catalogue still read it";
  EXPECT_EQ(FilesStartingWith(data, ""), std::vector<std::string>{"cache.dat"});
}

// Enough business cards to fill more than one arena block, each marked at both ends of its
// pixels, with the smallest and the tallest thumbnail among them: loaded, every picture is
// its own, the list still writes the same file, and a picture a grid holds outlives the list.
TEST(CacheTest, LoadedThumbnailsShareBlocksYetStayApartAndRewriteTheSameFile) {
  TPreviewList list(NewDataFolder());
  std::vector<TBitmap> pictures;
  for (int i = 0; i < 450; ++i) {
    TBitmap b(216, 120);
    b.SetPixel(0, 0, TColor(i));
    b.SetPixel(215, 119, TColor(i * 3));
    pictures.push_back(std::move(b));
  }
  pictures.push_back(Pattern(1, 1));
  pictures.push_back(Pattern(5, 3));
  pictures.push_back(Pattern(kThumbnailWidth, kMaxThumbnailHeight));
  auto pathOf = [](std::size_t i) {
    std::string number = std::to_string(10000 + i);
    return "Оттиски/" + number + ".doc";
  };
  for (std::size_t i = 0; i < pictures.size(); ++i)
    list.FindOrAdd(pathOf(i), kGlyphKind, 1)->Thumbnail = std::make_shared<TBitmap>(pictures[i]);
  TMemoryWriter first;
  list.SaveCacheTo(first);
  const std::string file(first.Bytes.begin(), first.Bytes.end());

  auto r = Load(file);
  ASSERT_FALSE(r->threw) << r->error;
  ASSERT_EQ(r->list.Count(), int(pictures.size()));
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    const TBitmap& t = *r->list.Items(int(i))->Thumbnail;
    EXPECT_TRUE(t.InArena());
    ASSERT_EQ(t, pictures[i]) << pathOf(i);
  }
  TMemoryWriter second;
  r->list.SaveCacheTo(second);
  EXPECT_EQ(std::string(second.Bytes.begin(), second.Bytes.end()), file);

  std::shared_ptr<TBitmap> held = r->list.Items(449)->Thumbnail;
  r->list.Items(448)->DropThumbnail();
  r->list.Clear();
  EXPECT_EQ(*held, pictures[449]);
}
