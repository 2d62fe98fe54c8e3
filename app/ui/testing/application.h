#pragma once
// The one QApplication of a widget test program, made on first use.

namespace ql::testing {

void EnsureApplication();

}  // namespace ql::testing
