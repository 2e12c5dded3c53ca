// Receives the application events of a visible word processor instance: refuses prints of
// documents with non-printing guide shapes unless the program started the print, and notes
// saves so the catalogue is refreshed on the next activation.
#pragma once

#include <cstdint>
#include <memory>

#include "wordlink/Automation.h"

namespace wordlink {

class TExtAppController;

inline constexpr const char* kApplicationEventsId = "{000209FE-0000-0000-C000-000000000046}";
inline constexpr const char* kApplicationEventsSecondId = "{000209F6-0000-0000-C000-000000000046}";
inline constexpr const char* kDocumentInterfaceId = "{0002096B-0000-0000-C000-000000000046}";

inline constexpr std::int32_t kDispDocumentBeforePrint = 7;
inline constexpr std::int32_t kDispDocumentBeforeSave = 8;

inline constexpr const char* kNonPrintableMessage =
    "Этот документ содержит непечатаемые линии!\r\nДля корректной его распечатки, запускайте "
    "печать только из программы VSP.";

class TWordEventSink : public EventSink {
 public:
  // Connects to the source's event interface. The sink stays alive until the program ends.
  static std::shared_ptr<TWordEventSink> Attach(TExtAppController* controller,
                                                const Variant& source);
  ~TWordEventSink() override;

  std::int32_t Invoke(std::int32_t dispId, Args& args) override;

  bool connected() const { return connected_; }
  std::int32_t nesting() const { return nesting_; }

 private:
  TWordEventSink(TExtAppController* controller, const Variant& source);
  void BeforePrint(Args& args);

  std::int32_t nesting_ = 0;
  TExtAppController* Controller_ = nullptr;
  Variant source_;
  std::uint32_t cookie_ = 0;
  bool connected_ = false;
};

}  // namespace wordlink
