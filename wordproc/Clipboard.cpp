#include "wordproc/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <optional>

namespace wordproc {

namespace {

std::optional<Fragment>& Content() {
  static std::optional<Fragment> content;
  return content;
}

void PublishText(const std::string& text) {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
  if (QClipboard* clipboard = QGuiApplication::clipboard())
    clipboard->setText(QString::fromStdString(text));
}

}  // namespace

void SetClipboard(Fragment fragment, const std::string& text) {
  PublishText(text);
  Content() = std::move(fragment);
}

const Fragment* ClipboardFragment() {
  return Content() ? &*Content() : nullptr;
}

}  // namespace wordproc
