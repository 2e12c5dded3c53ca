// The Qt side of the tests: one application for the whole program (documents are laid out with
// Qt's fonts; windows need widgets), the embedded word processor registered as the program
// registers it, pages made through its automation, and the text of printed PDF files.
#pragma once

#include <string>
#include <vector>

#include "wordlink/Automation.h"

namespace test_support {

// Creates the program's QApplication under the offscreen platform (unless another platform is
// asked for) and registers the embedded word processor and its document container; once.
void EnsureApplication();

// A new document of the given page size in points, with no margins.
wordlink::Variant NewPage(const wordlink::Variant& word, float width, float height);
// Positions of the shape measured from the page's edges.
void PageRelative(const wordlink::Variant& shape);
// Saves the document under the path (creating its folders) and closes it.
void SaveClosed(const wordlink::Variant& doc, const std::string& path);

// The text pdftotext finds in a PDF file; empty when there is none.
std::string PdfText(const std::string& pdf);
// The PDF files in a folder, sorted by name.
std::vector<std::string> PdfsIn(const std::string& folder);

}  // namespace test_support
