// The cost of each external function through FMExternCallProc, beside the
// bare platform calls that the function makes: the difference is the
// plug-in's own work (fields, conversion, reply).  The host stand-in runs in
// its lean mode so that its bookkeeping is not counted.
#include <benchmark/benchmark.h>

#include <shlwapi.h>

#include <string>

#include "bench/bench_support.h"
#include "resources/string_ids.h"

namespace {

// Fields of about 20 bytes each.
const std::string kRoot = "HKEY_CURRENT_USER";
const std::string kName = "GreetingText";
const std::string kData = "Hello there, world!!";

std::string KeyPath() {
  static const std::string path = [] {
    std::string made = vxbench::FreshKey("calls");
    vxbench::AddSubkeys(made, 10);
    HKEY key = nullptr;
    RegOpenKeyExA(HKEY_CURRENT_USER, made.c_str(), 0, KEY_ALL_ACCESS, &key);
    for (int i = 0; i < 9; ++i) {
      const std::string name = "v" + std::to_string(i);
      RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>("data"), 5);
    }
    RegSetValueExA(key, kName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(kData.c_str()),
                   static_cast<DWORD>(kData.size() + 1));
    RegCloseKey(key);
    return made;
  }();
  return path;
}

HKEY CreateOrOpen(const std::string &path) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, const_cast<char *>("REG_SZ"), 0, KEY_ALL_ACCESS, nullptr, &key,
                  &disposition);
  return key;
}

// The system message for a status, fetched and released as a reply needs.
void MessageText(DWORD status) {
  char *text = nullptr;
  FormatMessageA(0x1300, nullptr, status, 1024, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  benchmark::DoNotOptimize(text);
  LocalFree(text);
}

void Cursor(LPCSTR which) { SetCursor(LoadCursorA(nullptr, which)); }

// --- Vantorix-Version -------------------------------------------------------

void BM_Version(benchmark::State &state) {
  hostsim::RepeatedCall call(vxbench::LeanHost(), 0, "");
  for (auto _ : state) call.Send();
}

void BM_Version_Bare(benchmark::State &state) {
  char text[64];
  for (auto _ : state) benchmark::DoNotOptimize(LoadStringA(vxbench::Plugin().instance(), IDS_VERSION_TEXT, text, 64));
}

// --- Vantorix-GetRegistryKey: create-or-open, query, close --------------------

void BM_Get(benchmark::State &state) {
  hostsim::RepeatedCall call(vxbench::LeanHost(), 2, kRoot + "|" + KeyPath() + "|" + kName);
  for (auto _ : state) call.Send();
  if (call.Reply() != kData) state.SkipWithError("unexpected reply");
}

void BM_Get_Bare(benchmark::State &state) {
  const std::string path = KeyPath();
  BYTE data[252];
  for (auto _ : state) {
    HKEY key = CreateOrOpen(path);
    DWORD type = 0, size = 250;
    RegQueryValueExA(key, kName.c_str(), nullptr, &type, data, &size);
    RegCloseKey(key);
  }
}

// --- Vantorix-SetRegistryKey: create-or-open, write, read back, close ---------

void BM_Set(benchmark::State &state) {
  hostsim::RepeatedCall call(vxbench::LeanHost(), 5, kRoot + "|" + KeyPath() + "|" + kName + "||" + kData);
  for (auto _ : state) call.Send();
  if (call.Reply() != kData) state.SkipWithError("unexpected reply");
}

void BM_Set_Bare(benchmark::State &state) {
  const std::string path = KeyPath();
  BYTE data[252];
  for (auto _ : state) {
    HKEY key = CreateOrOpen(path);
    RegSetValueExA(key, kName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(kData.c_str()),
                   static_cast<DWORD>(kData.size() + 1));
    DWORD size = 250;
    RegQueryValueExA(key, kName.c_str(), nullptr, nullptr, data, &size);
    RegCloseKey(key);
  }
}

// --- Vantorix-ListRegistryKeys / -Values: cursor, open, enumerate, close -----

void BM_ListKeys(benchmark::State &state) {
  hostsim::RepeatedCall call(vxbench::LeanHost(), 3, kRoot + "|" + KeyPath());
  for (auto _ : state) call.Send();
}

void BM_ListKeys_Bare(benchmark::State &state) {
  const std::string path = KeyPath();
  char name[512];
  for (auto _ : state) {
    Cursor(IDC_WAIT);
    HKEY key = nullptr;
    RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &key);
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
    }
    RegCloseKey(key);
    Cursor(IDC_ARROW);
  }
}

void BM_ListValues(benchmark::State &state) {
  hostsim::RepeatedCall call(vxbench::LeanHost(), 4, kRoot + "|" + KeyPath());
  for (auto _ : state) call.Send();
}

void BM_ListValues_Bare(benchmark::State &state) {
  const std::string path = KeyPath();
  char name[512];
  for (auto _ : state) {
    Cursor(IDC_WAIT);
    HKEY key = nullptr;
    RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &key);
    for (DWORD i = 0;; ++i) {
      DWORD capacity = sizeof name, type = 0;
      if (RegEnumValueA(key, i, name, &capacity, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS) break;
    }
    RegCloseKey(key);
    Cursor(IDC_ARROW);
  }
}

// --- Vantorix-DeleteRegistryValue / -Key: each iteration first recreates what
// it deletes, in both variants alike.

void BM_DeleteValue(benchmark::State &state) {
  HKEY key = CreateOrOpen(KeyPath());
  hostsim::RepeatedCall call(vxbench::LeanHost(), 7, kRoot + "|" + KeyPath() + "|doomed");
  for (auto _ : state) {
    RegSetValueExA(key, "doomed", 0, REG_SZ, reinterpret_cast<const BYTE *>("x"), 2);
    call.Send();
  }
  RegCloseKey(key);
}

void BM_DeleteValue_Bare(benchmark::State &state) {
  const std::string path = KeyPath();
  HKEY key = CreateOrOpen(path);
  for (auto _ : state) {
    RegSetValueExA(key, "doomed", 0, REG_SZ, reinterpret_cast<const BYTE *>("x"), 2);
    HKEY reached = CreateOrOpen(path);
    MessageText(static_cast<DWORD>(RegDeleteValueA(reached, "doomed")));
    RegCloseKey(reached);
  }
  RegCloseKey(key);
}

void BM_DeleteKey(benchmark::State &state) {
  const std::string doomed = KeyPath() + "\\doomed";
  hostsim::RepeatedCall call(vxbench::LeanHost(), 6, kRoot + "|" + KeyPath() + "|doomed");
  for (auto _ : state) {
    RegCloseKey(CreateOrOpen(doomed));
    call.Send();
  }
}

void BM_DeleteKey_Bare(benchmark::State &state) {
  const std::string path = KeyPath();
  const std::string doomed = path + "\\doomed";
  for (auto _ : state) {
    RegCloseKey(CreateOrOpen(doomed));
    HKEY reached = CreateOrOpen(path);
    MessageText(SHDeleteKeyA(reached, "doomed"));
    RegCloseKey(reached);
  }
}

BENCHMARK(BM_Version);
BENCHMARK(BM_Version_Bare);
BENCHMARK(BM_Get);
BENCHMARK(BM_Get_Bare);
BENCHMARK(BM_Set);
BENCHMARK(BM_Set_Bare);
BENCHMARK(BM_ListKeys);
BENCHMARK(BM_ListKeys_Bare);
BENCHMARK(BM_ListValues);
BENCHMARK(BM_ListValues_Bare);
BENCHMARK(BM_DeleteValue);
BENCHMARK(BM_DeleteValue_Bare);
BENCHMARK(BM_DeleteKey);
BENCHMARK(BM_DeleteKey_Bare);

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  vxbench::RemoveBenchKeys();
  return 0;
}
