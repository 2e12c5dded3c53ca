#include "wordlink/AutoImpl.h"

#include <vector>

#include "platform/UserInteraction.h"
#include "wordlink/uExtAppDocument.h"

namespace wordlink {

namespace {

// Sinks live until the program ends, like the source's references to them.
std::vector<std::shared_ptr<TWordEventSink>>& LiveSinks() {
  static std::vector<std::shared_ptr<TWordEventSink>> sinks;
  return sinks;
}

bool HasNonPrintableShape(const Variant& document) {
  Variant shapes = document.get("Shapes");
  std::int32_t count = shapes.get("Count").toInt();
  for (std::int32_t i = 1; i <= count; ++i)
    if (HasNonPrintablePrefix(shapes.call("Item", i).get("Name").toString())) return true;
  return false;
}

}  // namespace

TWordEventSink::TWordEventSink(TExtAppController* controller, const Variant& source)
    : Controller_(controller), source_(source) {}

std::shared_ptr<TWordEventSink> TWordEventSink::Attach(TExtAppController* controller,
                                                       const Variant& source) {
  std::shared_ptr<TWordEventSink> sink(new TWordEventSink(controller, source));
  auto cookie = source.toObject()->advise(kApplicationEventsId, sink);
  if (cookie) {
    sink->cookie_ = *cookie;
    sink->connected_ = true;
  }
  LiveSinks().push_back(sink);
  return sink;
}

TWordEventSink::~TWordEventSink() {
  if (!connected_) return;
  try {
    source_.toObject()->unadvise(cookie_);
  } catch (...) {
  }
}

void TWordEventSink::BeforePrint(Args& args) {
  if (nesting_ != 0) return;
  ++nesting_;
  try {
    if (!PrintingFromProgram && HasNonPrintableShape(ArgAt(args, 0))) {
      platform::UI().messageBox(kNonPrintableMessage, "Varnel Stampora", platform::MsgIcon::Error,
                                platform::MsgButtons::Ok);
      RefArgAt(args, 1) = Variant(true);
    }
  } catch (...) {
    // A document whose shapes cannot be read prints as it is; nothing reaches the source.
  }
  if (--nesting_ < 0) nesting_ = 0;
}

std::int32_t TWordEventSink::Invoke(std::int32_t dispId, Args& args) {
  if (dispId == kDispDocumentBeforePrint)
    BeforePrint(args);
  else if (dispId == kDispDocumentBeforeSave)
    DocumentsSaved = true;
  return 0;
}

}  // namespace wordlink
