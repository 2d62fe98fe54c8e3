#pragma once
// An open port on a pseudo-terminal, for the dispatcher tests.

#include <gtest/gtest.h>

#include <memory>

#include "serial/device/device_layer.h"
#include "serial/dispatcher/dispatcher.h"
#include "serial/testing/pty_pair.h"
#include "tests/support/temp_dir.h"

namespace ql::testing {

class PortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallTermiosLayer();
    SetLockDirectory(locks.path().string());
  }
  void TearDown() override {
    if (port != 0 && FindOpen(port)) ClosePort(port);
    // A close that was pending completes on its dispatch thread: wait for it, so no
    // thread of this test outlives it.
    EXPECT_TRUE(WaitUntil([] { return NoPortOpen(); }));
    SetLockDirectory("");
  }

  // Opens the port on the pseudo-terminal with the given output ring size.
  void Open(int outSize = 4096) {
    ASSERT_EQ(OpenPort(port, pty.path(), 8192, outSize, 8, 1, 0, 19200), 0);
    ASSERT_GT(port, 0);
    pty.CloseSlave();
  }
  static bool FindOpen(int handle) { return InUsed(handle) >= 0; }
  static bool NoPortOpen() {
    for (int h = 1; h <= kMaxPorts; ++h)
      if (FindOpen(h)) return false;
    return true;
  }

  // Waits until the receive buffer holds n bytes.
  bool WaitHeld(int n, int timeoutMs = 3000) {
    return WaitUntil([&] { return InUsed(port) == n; }, timeoutMs);
  }

  std::string ReadAll() {
    std::string s;
    for (int c; (c = ReadChar(port)) >= 0;) s += static_cast<char>(c);
    return s;
  }

  TempDir locks;
  PtyPair pty;
  int port = 0;
};

}  // namespace ql::testing
