// Helpers for the package tests: scratch folders, hand-made pictures and packages, and running
// LibreOffice as an independent reader.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/Scratch.h"
#include "wordproc/core/Model.h"
#include "wordproc/core/Package.h"

namespace ooxml_test {

// A line of one stroke without arrowheads.
inline wordproc::LineFormat PlainLine(bool visible, float weight, wordproc::DashStyle dash,
                                      wordproc::Rgb color) {
  wordproc::LineFormat line;
  line.visible = visible;
  line.weight = weight;
  line.dash = dash;
  line.color = color;
  return line;
}

// A folder of its own under the test program's scratch folder, removed with the object.
class TempDir {
 public:
  TempDir() : path_(test_support::NewFolder("ooxml")) {}
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

using test_support::ReadFile;
using test_support::WriteFile;

inline std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  static const auto table = [] {
    std::vector<std::uint32_t> t(256);
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

// A real PNG of one colour, so that every reader can decode it. The image data is a zlib stream
// of stored blocks: no compressor needed.
inline std::vector<std::uint8_t> MakePng(int width, int height, std::uint32_t rgb) {
  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto be32 = [](std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
      out.push_back(static_cast<std::uint8_t>(v >> shift));
  };
  auto chunk = [&](const char* type, const std::vector<std::uint8_t>& data) {
    be32(png, static_cast<std::uint32_t>(data.size()));
    std::vector<std::uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    be32(png, Crc32(body.data(), body.size()));
  };
  std::vector<std::uint8_t> header;
  be32(header, static_cast<std::uint32_t>(width));
  be32(header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
  chunk("IHDR", header);
  std::vector<std::uint8_t> raw;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    for (int x = 0; x < width; ++x) {
      raw.push_back(static_cast<std::uint8_t>(rgb >> 16));
      raw.push_back(static_cast<std::uint8_t>(rgb >> 8));
      raw.push_back(static_cast<std::uint8_t>(rgb));
    }
  }
  std::vector<std::uint8_t> stream = {0x78, 0x01};
  std::size_t done = 0;
  do {
    const std::size_t n = std::min<std::size_t>(raw.size() - done, 65535);
    stream.push_back(done + n == raw.size() ? 1 : 0);
    stream.push_back(static_cast<std::uint8_t>(n));
    stream.push_back(static_cast<std::uint8_t>(n >> 8));
    stream.push_back(static_cast<std::uint8_t>(~n));
    stream.push_back(static_cast<std::uint8_t>(~n >> 8));
    stream.insert(stream.end(), raw.begin() + static_cast<std::ptrdiff_t>(done),
                  raw.begin() + static_cast<std::ptrdiff_t>(done + n));
    done += n;
  } while (done < raw.size());
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  be32(stream, (b << 16) | a);
  chunk("IDAT", stream);
  chunk("IEND", {});
  return png;
}

inline wordproc::ImagePtr MakeImage(std::uint32_t rgb = 0x3366CC) {
  auto image = std::make_shared<wordproc::Image>();
  image->contentType = "image/png";
  image->extension = "png";
  image->bytes = MakePng(4, 3, rgb);
  return image;
}

// A package from named parts, written by the same zip layer as documents.
inline std::string Zip(const std::map<std::string, std::string>& parts) {
  wordproc::package::ZipWriter writer;
  for (const auto& [name, data] : parts) writer.Add(name, data, true);
  const std::vector<std::uint8_t> bytes = writer.Finish();
  return std::string(bytes.begin(), bytes.end());
}

inline const char* kContentTypes =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" "
    "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Default Extension=\"png\" ContentType=\"image/png\"/>"
    "<Override PartName=\"/word/document.xml\" ContentType=\"application/"
    "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>";

inline const char* kRootRels =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
    "relationships/officeDocument\" Target=\"word/document.xml\"/></Relationships>";

inline const char* kNamespaces =
    " xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\""
    " xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\""
    " xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\""
    " xmlns:wp14=\"http://schemas.microsoft.com/office/word/2010/wordprocessingDrawing\""
    " xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\""
    " xmlns:pic=\"http://schemas.openxmlformats.org/drawingml/2006/picture\""
    " xmlns:wps=\"http://schemas.microsoft.com/office/word/2010/wordprocessingShape\""
    " xmlns:wpg=\"http://schemas.microsoft.com/office/word/2010/wordprocessingGroup\""
    " xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\""
    " xmlns:v=\"urn:schemas-microsoft-com:vml\""
    " xmlns:o=\"urn:schemas-microsoft-com:office:office\"";

// A package around a body; extra parts (relationships, media, styles) as given.
inline std::string PackageWithBody(const std::string& body,
                                   std::map<std::string, std::string> extra = {}) {
  extra.emplace("[Content_Types].xml", kContentTypes);
  extra.emplace("_rels/.rels", kRootRels);
  extra.emplace("word/document.xml", std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                                                 "<w:document") +
                                         kNamespaces + "><w:body>" + body +
                                         "</w:body></w:document>");
  return Zip(extra);
}

// Styles whose document defaults set 1.5 lines and 6 points after each paragraph, with the
// paragraph style "Tight" of exactly 12-point lines.
inline std::string SpacingStyles() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
         "<w:styles xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
         "<w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii=\"Calibri\" w:hAnsi=\"Calibri\"/>"
         "<w:sz w:val=\"22\"/></w:rPr></w:rPrDefault><w:pPrDefault><w:pPr>"
         "<w:spacing w:after=\"120\" w:line=\"360\" w:lineRule=\"auto\"/></w:pPr></w:pPrDefault>"
         "</w:docDefaults><w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\">"
         "<w:name w:val=\"Normal\"/></w:style><w:style w:type=\"paragraph\" w:styleId=\"Tight\">"
         "<w:name w:val=\"Tight\"/><w:basedOn w:val=\"Normal\"/><w:pPr>"
         "<w:spacing w:line=\"240\" w:lineRule=\"exact\"/></w:pPr></w:style></w:styles>";
}

// Document relationships that name one header part, header1.xml, as rIdH.
inline const char* kHeaderRels =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"http://"
    "schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"rIdH\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/header\" "
    "Target=\"header1.xml\"/></Relationships>";

// The last section of a hand-made body: A4 with inch margins.
inline const char* kA4Section =
    "<w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/><w:pgMar w:top=\"1440\" "
    "w:right=\"1440\" w:bottom=\"1440\" w:left=\"1440\"/></w:sectPr>";

// Those styles with an empty settings part: LibreOffice lays out a package without settings by
// its own rules, not the word processor's.
inline std::map<std::string, std::string> SpacingParts() {
  return {{"word/styles.xml", SpacingStyles()},
          {"word/settings.xml",
           "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:settings xmlns:w=\"http://"
           "schemas.openxmlformats.org/wordprocessingml/2006/main\"/>"},
          {"word/_rels/document.xml.rels",
           "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
           "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
           "<Relationship Id=\"rIdStyles\" Type=\"http://schemas.openxmlformats.org/"
           "officeDocument/2006/relationships/styles\" Target=\"styles.xml\"/>"
           "<Relationship Id=\"rIdSettings\" Type=\"http://schemas.openxmlformats.org/"
           "officeDocument/2006/relationships/settings\" Target=\"settings.xml\"/>"
           "</Relationships>"}};
}

inline std::string ImageRels(const std::string& target = "media/image1.png") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rIdImg\" Type=\"http://schemas.openxmlformats.org/officeDocument/"
         "2006/relationships/image\" Target=\"" +
         target + "\"/></Relationships>";
}

inline std::unique_ptr<wordproc::Document> ReadBytes(const std::string& bytes,
                                                     const wordproc::PackageLimits& limits = {}) {
  return wordproc::ReadPackageFromMemory(bytes.data(), bytes.size(), "test.docx", limits);
}

inline bool HaveProgram(const char* name) {
  const std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

inline std::string Quote(const std::string& text) {
  return test_support::ShellQuote(text);
}

// Converts a file with LibreOffice under its own profile and a time limit; returns the path of
// the converted file, or an empty string.
inline std::string ConvertWithLibreOffice(const std::string& input, const std::string& format,
                                          const std::string& outDir) {
  const std::string profile = outDir + "/lo-profile";
  std::filesystem::create_directories(profile);
  const std::string command = "timeout -k 10 240 soffice -env:UserInstallation=file://" + profile +
                              " --headless --norestore --convert-to " + Quote(format) +
                              " --outdir " + Quote(outDir) + " " + Quote(input) +
                              " >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return std::string();
  std::string extension = format.substr(0, format.find(':'));
  const std::string stem = std::filesystem::path(input).stem().string();
  const std::string output = outDir + "/" + stem + "." + extension;
  return std::filesystem::exists(output) ? output : std::string();
}

inline std::string RunAndCapture(const std::string& command) {
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    ::pclose(pipe);
  }
  return output;
}

// The text of one page (1-based) of a PDF, as pdftotext reads it.
inline std::string PdfPageText(const std::string& pdf, int page) {
  const std::string number = std::to_string(page);
  return RunAndCapture("pdftotext -f " + number + " -l " + number + " " + Quote(pdf) + " -");
}

inline const char* kSingle = "w:val=\"single\" w:sz=\"4\" w:space=\"0\" w:color=\"000000\"";

// Settings naming the layout of the word processor's current versions (compatibility mode 15).
inline const char* kCurrentSettings =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:settings xmlns:w=\"http://"
    "schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:compat><w:compatSetting "
    "w:name=\"compatibilityMode\" w:uri=\"http://schemas.microsoft.com/office/word\" "
    "w:val=\"15\"/></w:compat></w:settings>";

// Word's own defaults, as its current versions write them: 8 points after a paragraph and 1.08
// lines; its grid table style takes both away in cells and draws every border.
inline std::map<std::string, std::string> WordDefaultStyles() {
  const std::string b = kSingle;
  auto parts = SpacingParts();
  parts["word/settings.xml"] = kCurrentSettings;
  parts["word/styles.xml"] =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
      "<w:styles xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
      "<w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii=\"Calibri\" w:hAnsi=\"Calibri\"/>"
      "<w:sz w:val=\"22\"/></w:rPr></w:rPrDefault><w:pPrDefault><w:pPr>"
      "<w:spacing w:after=\"160\" w:line=\"259\" w:lineRule=\"auto\"/></w:pPr></w:pPrDefault>"
      "</w:docDefaults><w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\">"
      "<w:name w:val=\"Normal\"/></w:style>"
      "<w:style w:type=\"table\" w:default=\"1\" w:styleId=\"TableNormal\">"
      "<w:name w:val=\"Normal Table\"/><w:tblPr><w:tblInd w:w=\"0\" w:type=\"dxa\"/>"
      "<w:tblCellMar><w:top w:w=\"0\" w:type=\"dxa\"/><w:left w:w=\"108\" w:type=\"dxa\"/>"
      "<w:bottom w:w=\"0\" w:type=\"dxa\"/><w:right w:w=\"108\" w:type=\"dxa\"/>"
      "</w:tblCellMar></w:tblPr></w:style>"
      "<w:style w:type=\"table\" w:styleId=\"TableGrid\"><w:name w:val=\"Table Grid\"/>"
      "<w:basedOn w:val=\"TableNormal\"/><w:pPr><w:spacing w:after=\"0\" w:line=\"240\" "
      "w:lineRule=\"auto\"/></w:pPr><w:tblPr><w:tblBorders><w:top " +
      b + "/><w:left " + b + "/><w:bottom " + b + "/><w:right " + b + "/><w:insideH " + b +
      "/><w:insideV " + b + "/></w:tblBorders></w:tblPr></w:style></w:styles>";
  return parts;
}

// A word or letter of a PDF as pdftotext places it: its page (1-based) and top-left corner.
struct PdfWord {
  int page = 0;
  double x = 0, y = 0;
  std::string text;
};

// The words of a PDF (or of its first pages) with their boxes, in pdftotext's order.
inline std::vector<PdfWord> PdfWords(const std::string& pdf, int lastPage = 0) {
  const std::string range = lastPage > 0 ? "-l " + std::to_string(lastPage) + " " : "";
  const std::string html = RunAndCapture("pdftotext " + range + "-bbox " + Quote(pdf) + " -");
  static const std::regex word("<page |<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\"[^>]*>([^<]*)<");
  std::vector<PdfWord> words;
  int page = 0;
  for (auto it = std::sregex_iterator(html.begin(), html.end(), word); it != std::sregex_iterator();
       ++it) {
    const std::smatch& m = *it;
    if (!m[1].matched) {
      ++page;
      continue;
    }
    words.push_back({page, std::stod(m[1].str()), std::stod(m[2].str()), m[3].str()});
  }
  return words;
}

}  // namespace ooxml_test
