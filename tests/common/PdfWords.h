// The words of a PDF file with their boxes in points from the page's top-left corner, as
// poppler's pdftotext -bbox reports them: an independent reader of what was printed.
#pragma once

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

namespace pdf_test {

struct PdfWord {
  int page = 0;  // from 1
  std::string text;
  double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
};

inline bool HavePdfToText() {
  return std::system("command -v pdftotext >/dev/null 2>&1") == 0;
}

inline std::vector<PdfWord> PdfWords(const std::string& pdf) {
  std::string quoted = "'";
  for (char c : pdf) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  std::string xml;
  if (FILE* p = popen(("pdftotext -bbox " + quoted + "' - 2>/dev/null").c_str(), "r")) {
    char buffer[4096];
    while (std::size_t n = fread(buffer, 1, sizeof buffer, p)) xml.append(buffer, n);
    pclose(p);
  }
  static const std::regex word(
      "<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">([^<]*)"
      "</word>");
  std::vector<PdfWord> words;
  int page = 0;
  std::size_t at = 0;
  for (std::size_t next; (next = xml.find('\n', at)) != std::string::npos; at = next + 1) {
    const std::string line = xml.substr(at, next - at);
    if (line.find("<page ") != std::string::npos) ++page;
    std::smatch m;
    if (std::regex_search(line, m, word))
      words.push_back(
          {page, m[5], std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4])});
  }
  return words;
}

}  // namespace pdf_test
