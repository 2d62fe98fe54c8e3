#include "app/ui/testing/application.h"

#include <QApplication>

namespace ql::testing {

void EnsureApplication() {
  if (QApplication::instance() != nullptr) return;
  static int argc = 1;
  static char name[] = "widget-test";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

}  // namespace ql::testing

// Fontconfig keeps its caches for the life of the process; the leak checker of
// sanitizer builds is told so, so that it reports only leaks of our own.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }
