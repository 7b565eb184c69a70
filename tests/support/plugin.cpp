#include "tests/support/plugin.h"

#include <cstdio>

#include "hostsim/checked_call.h"
#include "tests/support/sha256.h"
#include "tools/regfile/file_io.h"

namespace vxtest {

const hostsim::Plugin &LoadedPlugin() {
  static const hostsim::Plugin &plugin = []() -> const hostsim::Plugin & {
    const hostsim::Plugin &loaded = hostsim::DefaultPlugin();
    // Which bytes this run tests, in the log.
    std::string bytes, error;
    bool exists = false;
    if (regfile::ReadWholeFile(loaded.File(), &bytes, &exists, &error) && exists) {
      std::printf("plug-in under test: %s (SHA-256 %s)\n", loaded.File().c_str(), Sha256Hex(bytes).c_str());
    } else {
      std::printf("plug-in under test: %s (cannot be read)\n", loaded.File().c_str());
    }
    if (hostsim::CallsAreChecked()) std::printf("every call into it is checked for the 32-bit calling convention\n");
    return loaded;
  }();
  return plugin;
}

void SendToEntry(ExternCallBlock *block) {
  const std::string broken = hostsim::CheckedCall(LoadedPlugin().entry(), block);
  if (!broken.empty()) ADD_FAILURE() << broken;
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
