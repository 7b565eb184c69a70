#include "bench/bench_support.h"

#include <shlwapi.h>

#include <memory>

namespace vxbench {

namespace {
const char kBenchRoot[] = "Software\\VantorixBench";
}

hostsim::Host &LeanHost() {
  static std::unique_ptr<hostsim::Host> host = [] {
    hostsim::Host::Options options;
    options.journal = false;
    options.strict = false;
    auto made = std::make_unique<hostsim::Host>(hostsim::DefaultPlugin(), options);
    made->Init(4);
    return made;
  }();
  return *host;
}

std::string FreshKey(const std::string &name) {
  const std::string path = std::string(kBenchRoot) + "\\" + name;
  SHDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
      ERROR_SUCCESS)
    RegCloseKey(key);
  return path;
}

void AddSubkeys(const std::string &path, int count) {
  HKEY parent = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &parent) != ERROR_SUCCESS) return;
  for (int i = 0; i < count; ++i) {
    HKEY child = nullptr;
    const std::string name = "n" + std::to_string(i);
    if (RegCreateKeyExA(parent, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr) == ERROR_SUCCESS)
      RegCloseKey(child);
  }
  RegCloseKey(parent);
}

void AddValues(const std::string &path, int count) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  for (int i = 0; i < count; ++i) {
    const std::string name = "n" + std::to_string(i);
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>("data"), 5);
  }
  RegCloseKey(key);
}

void RemoveBenchKeys() { SHDeleteKeyA(HKEY_CURRENT_USER, kBenchRoot); }

}  // namespace vxbench
