// Linked into every test program but the desktop one: before anything runs, no test may reach
// the user's settings or a real printer. Prints go to PDF files, and CUPS, asked for the default
// printer, answers from a scheduler that is not there.
#include <cstdlib>

namespace {

const bool kIsolated = [] {
  setenv("VSP_REGISTRY_FILE", VSP_TEST_SCRATCH "/registry", 1);
  setenv("VSP_PRINT_TO_PDF_DIR", VSP_TEST_SCRATCH "/prints", 1);
  setenv("CUPS_SERVER", VSP_TEST_SCRATCH "/no-cups-scheduler", 1);
  setenv("XDG_CACHE_HOME", VSP_TEST_SCRATCH "/cache", 1);
  return true;
}();

}  // namespace
