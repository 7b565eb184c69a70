// The plug-in library under test, loaded once for the whole run, and a test
// fixture that gives each test a fresh strict host.
#ifndef VANTORIX_TESTS_SUPPORT_PLUGIN_H
#define VANTORIX_TESTS_SUPPORT_PLUGIN_H

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "hostsim/hostsim.h"

namespace vxtest {

// The plug-in built beside the test program (Vantorix.fmx or Vantorix.so).
const hostsim::Plugin &LoadedPlugin();

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
