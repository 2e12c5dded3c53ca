// Catalogue speed: scanning a large tree against a bare walk of it, the thumbnail cache
// against zlib alone on the same bytes (LoadCache: at least 70% of RawInflate's throughput, the
// difference being mostly what fresh memory for the pictures costs), and rendering thumbnails
// through the word processor.
//   bench_catalogue --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <QGuiApplication>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "catalogue/uPreviewList.h"
#include "wordlink/Automation.h"
#include "wordlink/uExtAppController.h"
#include "wordproc/Container.h"
#include "wordproc/WordProcessor.h"

using namespace catalogue;

namespace {

std::string Scratch() {
  static std::string folder = [] {
    char pattern[] = "/tmp/vsp-bench-catalogue-XXXXXX";
    return std::string(mkdtemp(pattern)) + "/";
  }();
  return folder;
}

// 4 categories x 5 source folders x 10 x 10 folders x 50 documents = 100,000 files.
const std::string& Tree() {
  static std::string data = [] {
    std::string root = Scratch() + "tree/";
    for (int c = 0; c < 4; ++c)
      for (int s = 0; s < 5; ++s)
        for (int a = 0; a < 10; ++a)
          for (int b = 0; b < 10; ++b) {
            std::string dir = root + "Оттиски/Категория " + std::to_string(c) + "/Источник " +
                              std::to_string(s) + "/" + std::to_string(a) + "/" +
                              std::to_string(b) + "/";
            std::filesystem::create_directories(dir);
            for (int f = 0; f < 50; ++f) {
              int fd = open((dir + "оттиск" + std::to_string(f) + ".doc").c_str(),
                            O_CREAT | O_WRONLY, 0644);
              close(fd);
            }
          }
    return root;
  }();
  return data;
}

std::vector<std::string> SourceFolders() {
  std::vector<std::string> folders;
  for (int c = 0; c < 4; ++c)
    for (int s = 0; s < 5; ++s)
      folders.push_back("Оттиски/Категория " + std::to_string(c) + "/Источник " +
                        std::to_string(s) + "/");
  return folders;
}

std::size_t BareWalk(int dirFd) {
  std::size_t files = 0;
  DIR* dir = fdopendir(dirFd);
  while (const dirent* e = readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    if (e->d_type == DT_DIR) {
      files += BareWalk(openat(dirfd(dir), e->d_name, O_RDONLY | O_DIRECTORY));
    } else {
      struct stat st {};
      fstatat(dirfd(dir), e->d_name, &st, 0);
      ++files;
    }
  }
  closedir(dir);
  return files;
}

void BM_BareWalkWithStat(benchmark::State& state) {
  Tree();  // made once, before any timing
  std::size_t files = 0;
  for (auto _ : state) {
    files = 0;
    for (const std::string& f : SourceFolders())
      files += BareWalk(open((Tree() + f).c_str(), O_RDONLY | O_DIRECTORY));
  }
  state.counters["files"] = double(files);
}

void BM_ScanIntoEmptyList(benchmark::State& state) {
  Tree();
  int count = 0;
  for (auto _ : state) {
    TPreviewList list(Tree());
    for (const std::string& f : SourceFolders()) list.ScanFolder(f, kGlyphKind);
    count = list.Count();
    state.PauseTiming();
    list.Clear();  // freeing 100,000 entries is not scanning
    state.ResumeTiming();
  }
  state.counters["entries"] = count;
}

void BM_RescanUnchanged(benchmark::State& state) {
  TPreviewList list(Tree());
  for (const std::string& f : SourceFolders()) list.ScanFolder(f, kGlyphKind);
  for (auto _ : state)
    for (const std::string& f : SourceFolders()) list.ScanFolder(f, kGlyphKind);
  state.counters["entries"] = list.Count();
}

// A page picture: white, a frame, and lines of grey "text" that vary from page to page.
TBitmap PagePicture(unsigned seed) {
  TBitmap b(kThumbnailWidth, 305);
  for (int x = 0; x < b.Width(); ++x) b.SetPixel(x, 0, kBlack), b.SetPixel(x, 304, kBlack);
  for (int y = 0; y < b.Height(); ++y) b.SetPixel(0, y, kBlack), b.SetPixel(215, y, kBlack);
  for (int line = 20; line < 280; line += 9)
    for (int x = 20; x < 196; ++x) {
      seed = seed * 1103515245u + 12345u;
      if ((seed >> 16) % 3 == 0) b.SetPixel(x, line + int(seed >> 28) % 4, RGBColor(60, 60, 60));
    }
  return b;
}

struct CacheFixture {
  TPreviewList list{Scratch() + "cache/"};
  std::vector<std::uint8_t> plain;       // the records as the body holds them
  std::vector<std::uint8_t> compressed;  // the whole file
  CacheFixture() {
    std::filesystem::create_directories(list.DataFolder());
    for (int i = 0; i < 2000; ++i) {
      TPreviewItem* e =
          list.FindOrAdd("Оттиски/Категория/Источник/оттиск" + std::to_string(i) + ".doc", 0, 1);
      e->Thumbnail = std::make_shared<TBitmap>(PagePicture(unsigned(i)));
    }
    TMemoryWriter file;
    list.SaveCacheTo(file);
    compressed = file.Bytes;
    uLongf size = 512u << 20;
    plain.resize(size);
    uncompress(plain.data(), &size, compressed.data() + 8, uLong(compressed.size() - 8));
    plain.resize(size);
  }
};

CacheFixture& Cache() {
  static CacheFixture fixture;
  return fixture;
}

class NullWriter : public TByteWriter {
 public:
  void Write(const void*, std::size_t n) override { bytes += n; }
  std::size_t bytes = 0;
};

void BM_RawDeflateLevel1(benchmark::State& state) {
  const auto& plain = Cache().plain;
  std::vector<std::uint8_t> out(kStreamBufferSize);
  for (auto _ : state) {
    z_stream z{};
    deflateInit(&z, 1);
    z.next_in = const_cast<Bytef*>(plain.data());
    z.avail_in = uInt(plain.size());
    int rc;
    do {
      z.next_out = out.data();
      z.avail_out = uInt(out.size());
      rc = deflate(&z, Z_FINISH);
      benchmark::DoNotOptimize(out.data());
    } while (rc != Z_STREAM_END);
    deflateEnd(&z);
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(plain.size()));
}

void BM_SaveCache(benchmark::State& state) {
  for (auto _ : state) {
    NullWriter out;
    Cache().list.SaveCacheTo(out);
    benchmark::DoNotOptimize(out.bytes);
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(Cache().plain.size()));
}

void BM_SaveCacheFile(benchmark::State& state) {
  for (auto _ : state) Cache().list.SaveCache();
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(Cache().plain.size()));
}

void BM_RawInflate(benchmark::State& state) {
  const auto& file = Cache().compressed;
  std::vector<std::uint8_t> out(kStreamBufferSize);
  for (auto _ : state) {
    z_stream z{};
    inflateInit(&z);
    z.next_in = const_cast<Bytef*>(file.data() + 8);
    z.avail_in = uInt(file.size() - 8);
    int rc;
    do {
      z.next_out = out.data();
      z.avail_out = uInt(out.size());
      rc = inflate(&z, Z_NO_FLUSH);
      benchmark::DoNotOptimize(out.data());
    } while (rc == Z_OK);
    inflateEnd(&z);
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(Cache().plain.size()));
}

void BM_LoadCache(benchmark::State& state) {
  const auto& file = Cache().compressed;
  TPreviewList list("/nowhere/");
  for (auto _ : state) {
    TMemoryReader in(file.data(), file.size());
    list.LoadCacheFrom(in, "cache.dat");
    state.PauseTiming();
    list.Clear();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(Cache().plain.size()));
}

// 100 one-page documents made by the word processor itself, each rendered once per pass.
void BM_RenderThumbnail(benchmark::State& state) {
  std::string data = Scratch() + "render/";
  std::filesystem::create_directories(data);
  wordlink::TExtAppController controller;
  TPreviewList list(data);
  try {
    wordlink::Variant app = wordlink::CreateOleObject("Word.Application");
    for (int i = 0; i < 100; ++i) {
      wordlink::Variant doc = app.get("Documents").call("Add");
      doc.get("Content").call("InsertAfter", "Оттиск номер " + std::to_string(i));
      doc.call("SaveAs", data + "d" + std::to_string(i) + ".docx");
      doc.call("Close", 0);
    }
    app.call("Quit", 0);
    for (int i = 0; i < 100; ++i) list.FindOrAdd("d" + std::to_string(i) + ".docx", 0, 0);
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
    return;
  }
  for (auto _ : state) {
    for (int i = 0; i < list.Count(); ++i) {
      list.Items(i)->DropThumbnail();
      RenderThumbnail(*list.Items(i), controller);
    }
  }
  state.counters["per_document_ms"] =
      benchmark::Counter(double(state.iterations()) * list.Count() / 1000.0,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["width"] = list.Items(0)->Thumbnail->Width();
}

BENCHMARK(BM_BareWalkWithStat)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanIntoEmptyList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RescanUnchanged)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawDeflateLevel1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveCache)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveCacheFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawInflate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadCache)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderThumbnail)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication gui(argc, argv);
  wordproc::RegisterWordProcessor();
  wordproc::RegisterDocumentContainer();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove_all(Scratch(), ignored);
  return 0;
}
