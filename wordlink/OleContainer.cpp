#include "wordlink/OleContainer.h"

#include "wordlink/Automation.h"

namespace wordlink {

namespace {
OleContainerFactory& ContainerFactory() {
  static OleContainerFactory factory;
  return factory;
}
}  // namespace

void RegisterOleContainer(OleContainerFactory factory) {
  ContainerFactory() = std::move(factory);
}

std::unique_ptr<OleContainer> CreateOleContainer() {
  if (!ContainerFactory())
    throw AutomationError("OleContainer", "No document server is registered");
  return ContainerFactory()();
}

}  // namespace wordlink
