// The embedded word processor as an automation server.
#pragma once

namespace wordproc {

// Registers the application class under the ProgID "Word.Application". Each created object is
// a separate instance with its own documents. Needs a QGuiApplication (or QApplication for
// visible instances) to exist when documents are rendered or shown.
void RegisterWordProcessor();

}  // namespace wordproc
