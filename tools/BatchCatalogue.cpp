#include "tools/BatchCatalogue.h"

#include <unistd.h>

#include <iostream>

#include "app/uCommon.h"
#include "app/uStartup.h"
#include "catalogue/uCatalogueViews.h"
#include "platform/Files.h"
#include "wordlink/uExtAppController.h"

namespace batch {

namespace {

using namespace catalogue;
using platform::Quoted;

// A file name may hold any byte but "/" and NUL; escaped, each name stays one field of one line.
std::string Field(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// Options that are switches still carry a value in this parser: anything but a "no" is a yes.
bool Switch(const ParsedArgs& args, const std::string& name) {
  auto value = args.option(name);
  return value && *value != "0" && *value != "no" && *value != "false" && *value != "нет";
}

std::string DataFolderOf(const ParsedArgs& args) {
  auto data = args.option("data");
  return data ? app::IncludeTrailingSeparator(*data) : app::ResolveDataFolder();
}

std::uint8_t KindOf(const ParsedArgs& args) {
  std::string kind = args.option("kind").value_or("glyphs");
  if (kind != "glyphs" && kind != "sheets")
    throw UsageError("--kind: ожидается glyphs или sheets, получено \"" + kind + "\"");
  return kind == "sheets" || Switch(args, "sheets") ? kSheetKind : kGlyphKind;
}

bool Choose(TComboState& box, const std::string& text, bool lastIsCommand) {
  return box.SelectText(text) && !(lastIsCommand && box.ItemIndex == box.LastIndex());
}

// A document that cannot be drawn keeps its placeholder and is reported by the list; the
// others are drawn all the same. On a terminal the count goes along on one line of stderr.
void RenderMissing(TCatalogueTab& tab, TPreviewList& list, std::ostream& err) {
  if (!wordlink::IsProgIdRegistered("Word.Application"))
    throw CatalogueError("для эскизов нужен текстовый процессор, а он не зарегистрирован");
  wordlink::TExtAppController controller;
  std::vector<TPreviewItemPtr> missing;
  for (const TPreviewItemPtr& entry : tab.Rows) {
    if (!entry->Thumbnail) missing.push_back(entry);
  }
  const bool terminal = &err == &std::cerr && ::isatty(STDERR_FILENO);
  PrepareThumbnails(missing, controller, [&](int done, int total) {
    if (terminal && total > 0)
      err << "\r" << PreparingText(done, total) << (done == total ? "\n" : "") << std::flush;
    return true;
  });
  if (list.Modified) list.SaveCacheOrReport();
}

std::string SizeOf(const TBitmap* b) {
  return b ? std::to_string(b->Width()) + "x" + std::to_string(b->Height()) : "-";
}

// Problems that leave the listing whole, such as a cache file that cannot be written, are
// warnings on stderr; the listing still succeeds.
int Scan(const ParsedArgs& args, std::ostream& out, std::ostream& err) {
  std::unique_ptr<TPreviewList> list;
  TCatalogue catalogue(DataFolderOf(args), list);
  catalogue.Report = [&err](const std::string& text) { err << "stampora-batch: " << text << "\n"; };
  TCatalogueTab tab(KindOf(args));
  catalogue.FillCategoryBox(tab);
  if (auto name = args.option("category")) {
    if (!Choose(tab.Category, *name, true)) {
      err << "stampora-batch: нет категории " << Quoted(*name) << "\n";
      return 1;
    }
    catalogue.FillFilterBox(tab);
  }
  if (auto name = args.option("filter")) {
    if (!Choose(tab.Filter, *name, false)) {
      err << "stampora-batch: нет папки " << Quoted(*name) << " в категории "
          << Quoted(tab.Category.Text()) << "\n";
      return 1;
    }
    catalogue.FillGrid(tab);
  }
  if (Switch(args, "thumbnails")) RenderMissing(tab, *list, err);
  for (const TPreviewItemPtr& e : tab.Rows)
    out << int(e->Kind) << '\t' << Field(e->Path) << '\t' << DateTimeToIso(e->FileDate) << '\t'
        << SizeOf(e->Thumbnail.get()) << '\n';
  return 0;
}

int ListCache(const std::string& name, std::ostream& out, std::ostream& err) {
  if (!platform::FileExists(name)) {
    err << "stampora-batch: нет файла эскизов " << Quoted(name) << "\n";
    return 1;
  }
  TFileReader in(name);
  TCacheReader reader(in);
  if (reader.Header() != TCacheReader::THeader::Cache) {
    err << "stampora-batch: " << Quoted(name)
        << (reader.Header() == TCacheReader::THeader::Foreign
                ? " не файл эскизов: нет подписи VSPP\n"
                : " записан более новой версией программы (версия " +
                      std::to_string(reader.Version()) + ")\n");
    return 1;
  }
  TCacheRecord r;
  for (int number = 1;; ++number) {
    try {
      if (!reader.Next(r)) return 0;
    } catch (const CatalogueError& e) {
      err << "stampora-batch: файл эскизов " << Quoted(name) << " повреждён (запись " << number
          << "): " << e.what() << "\n";
      return 1;
    }
    out << int(r.Kind) << '\t' << int(r.Reserved) << '\t' << Field(r.Path) << '\t'
        << DateTimeToIso(r.FileDate) << '\t' << r.Bmp.Width << 'x' << r.Bmp.Height << 'x'
        << r.Bmp.Bits << '\n';
  }
}

}  // namespace

int BatchScan(const ParsedArgs& args, std::ostream& out, std::ostream& err) {
  try {
    return Scan(args, out, err);
  } catch (const UsageError&) {
    throw;
  } catch (const std::exception& e) {
    err << "stampora-batch: " << e.what() << "\n";
    return 1;
  }
}

int BatchCache(const ParsedArgs& args, std::ostream& out, std::ostream& err) {
  try {
    return ListCache(DataFolderOf(args) + kCacheFileName, out, err);
  } catch (const std::exception& e) {
    err << "stampora-batch: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace batch
