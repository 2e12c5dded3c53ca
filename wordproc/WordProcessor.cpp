#include "wordproc/WordProcessor.h"

#include <memory>

#include "wordlink/Automation.h"
#include "wordproc/ObjectModel.h"

namespace wordproc {

void RegisterWordProcessor() {
  wordlink::RegisterProgId("Word.Application", [] {
    return std::static_pointer_cast<wordlink::Dispatch>(std::make_shared<om::ApplicationObj>());
  });
}

}  // namespace wordproc
