// stampora-batch render: a page of a document as a PNG picture.
#pragma once

#include <ostream>
#include <string>

namespace batch {

// Draws page (1-based) of the document file widthPx pixels wide into the PNG file outPng.
// Needs a QGuiApplication. Returns 0, or 1 after writing the reason to err.
int BatchRender(const std::string& file, int page, int widthPx, const std::string& outPng,
                std::ostream& err);

}  // namespace batch
