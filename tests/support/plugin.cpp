#include "tests/support/plugin.h"

#include <cstdio>

namespace vxtest {

const hostsim::Plugin &LoadedPlugin() { return hostsim::DefaultPlugin(); }

void PluginTest::SetUp() { host_ = std::make_unique<hostsim::Host>(LoadedPlugin()); }

void PluginTest::TearDown() {
  for (const std::string &violation : host_->Violations()) ADD_FAILURE() << "host: " << violation;
  host_.reset();
}

std::string Printable(const std::string &bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out + "\"";
}

}  // namespace vxtest
