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
