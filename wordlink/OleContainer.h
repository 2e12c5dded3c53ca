// The document container through which thumbnails are drawn: an embedded object made from a
// document file, served by the word processor, that takes its natural size, can be resized
// and paints its picture onto a bitmap.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace wordlink {

class OleContainer {
 public:
  virtual ~OleContainer() = default;
  // When on, creating an object sets the container to the object's natural size in pixels
  // (the first page at 96 pixels per inch).
  virtual void setAutoSize(bool on) = 0;
  // Embeds (never links) the document; throws AutomationError naming the file on failure.
  virtual void createObjectFromFile(const std::string& fileName, bool iconic) = 0;
  virtual bool hasObject() const = 0;
  virtual int width() const = 0;
  virtual int height() const = 0;
  virtual void setWidth(int pixels) = 0;
  virtual void setHeight(int pixels) = 0;
  // Paints the object's picture, scaled to the container's size, onto 32-bit pixels
  // (0xAARRGGBB, rows of canvasWidth) with its top-left corner at (x, y), clipped to the canvas.
  virtual void paintTo(std::uint32_t* pixels, int canvasWidth, int canvasHeight, int x, int y) = 0;
  virtual void destroyObject() = 0;
};

using OleContainerFactory = std::function<std::unique_ptr<OleContainer>()>;

// The word processor that serves embedded documents registers its container here.
void RegisterOleContainer(OleContainerFactory factory);
// Throws AutomationError when no server is registered.
std::unique_ptr<OleContainer> CreateOleContainer();

}  // namespace wordlink
