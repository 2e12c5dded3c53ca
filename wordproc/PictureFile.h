// Pictures the user or automation brings in from files: checked and measured with Qt's image
// readers, or by their own headers for drawings (EMF, WMF, SVG), kept as the file's bytes.
#pragma once

#include <string>

#include "wordproc/core/Model.h"

namespace wordproc {

// A picture file as an image part, with the size it has at 96 pixels per inch (a drawing: the
// size it gives itself). Throws
// DocumentError naming the file when it cannot be read or is no picture.
ImagePtr LoadPicture(const std::string& path, float& width, float& height);

}  // namespace wordproc
