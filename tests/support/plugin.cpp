#include "tests/support/plugin.h"

#include <cstdio>
#include <cstdlib>

namespace vxtest {

const hostsim::Plugin &LoadedPlugin() {
  static std::unique_ptr<hostsim::Plugin> plugin = [] {
    std::string error;
    auto loaded = hostsim::Plugin::Load(hostsim::DefaultPluginPath(), &error);
    if (!loaded) {
      std::fprintf(stderr, "cannot load the plug-in: %s\n", error.c_str());
      std::abort();
    }
    return loaded;
  }();
  return *plugin;
}

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
