// The plug-in library under test, loaded once for the whole run, and a test
// fixture that gives each test a fresh strict host.
#ifndef VANTORIX_TESTS_SUPPORT_PLUGIN_H
#define VANTORIX_TESTS_SUPPORT_PLUGIN_H

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "hostsim/hostsim.h"

// A test that needs a control point of the linux platform stand-in (denied
// access, injected failures, the open-handle count) skips itself under wine.
#ifdef _WIN32
#define VX_SKIP_ON_WINE(reason) GTEST_SKIP() << "needs the linux stand-in: " << (reason)
#else
#define VX_SKIP_ON_WINE(reason) static_cast<void>(0)
#endif

namespace vxtest {

// The plug-in built beside the test program (Vantorix.fmx or Vantorix.so).
const hostsim::Plugin &LoadedPlugin();

// Sends a block straight to the loaded plug-in's entry point, through the
// same calling-convention checks as the host's own calls; a broken rule
// fails the test.
void SendToEntry(ExternCallBlock *block);

// Each test gets its own host; at the end the host must have seen no
// violation of the handle protocol.
class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  hostsim::Host &host() { return *host_; }

 private:
  std::unique_ptr<hostsim::Host> host_;
};

// Bytes as a readable C-style literal, for failure messages.
std::string Printable(const std::string &bytes);

}  // namespace vxtest

#endif
