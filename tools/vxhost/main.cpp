// vxhost: loads the plug-in as the host does and sends it external calls
// from the command line.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "hostsim/hostsim.h"
#include "resources/string_ids.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: vxhost [--plugin FILE] FUNCTION [PARAMETER]\n");
  return 2;
}

}  // namespace

int main(int argc, char **argv) {
  std::string pluginPath = hostsim::DefaultPluginPath();
  int arg = 1;
  if (arg + 1 < argc && std::string(argv[arg]) == "--plugin") {
    pluginPath = argv[arg + 1];
    arg += 2;
  }
  if (arg >= argc) return Usage();
  const std::string function = argv[arg++];
  const std::string parameter = arg < argc ? argv[arg] : "";

  std::string error;
  auto plugin = hostsim::Plugin::Load(pluginPath, &error);
  if (!plugin) {
    std::fprintf(stderr, "vxhost: %s\n", error.c_str());
    return 3;
  }
  int index = -1;
  for (int i = 0; i < 8; ++i) {
    if (plugin->String(IDS_FUNCTION_NAME_BASE + i) == function) index = i;
  }
  if (index < 0) {
    std::fprintf(stderr, "vxhost: the plug-in has no function %s\n", function.c_str());
    return 2;
  }
  hostsim::Host host(*plugin);
  if (host.Init(4) != 4) {
    std::fprintf(stderr, "vxhost: the plug-in refused the host\n");
    return 3;
  }
  hostsim::ExternalResult result = host.External(index, parameter);
  host.Shutdown();
  if (!result.touched) {
    std::fprintf(stderr, "vxhost: no reply\n");
    return 1;
  }
  std::printf("%s\n", result.reply.c_str());
  return 0;
}
