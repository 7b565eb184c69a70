// The cost of each external function through FMExternCallProc, beside the
// bare platform calls that the function makes: the difference is the
// plug-in's own work (fields, conversion, reply).  The host stand-in runs in
// its lean mode so that its bookkeeping is not counted.
//
// Each iteration times the function and its bare calls one after the other,
// in alternating order, so that both see the same state of the registry
// (under wine the wineserver's speed drifts over a run).  The benchmark's
// time is the function's; the counters give the bare calls' time, the
// difference and the difference in percent of the bare calls.
#include <benchmark/benchmark.h>

#include <shlwapi.h>

#include <chrono>
#include <functional>
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

using Step = std::function<void()>;

double Seconds(const Step &step) {
  const auto start = std::chrono::steady_clock::now();
  step();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Times function and bare, each after its own untimed set-up.
void Paired(benchmark::State &state, const Step &setup, const Step &function, const Step &bare) {
  double functionSeconds = 0;
  double bareSeconds = 0;
  bool functionFirst = true;
  for (auto _ : state) {
    double functionTime = 0;
    double bareTime = 0;
    for (int turn = 0; turn < 2; ++turn) {
      setup();
      if ((turn == 0) == functionFirst) {
        functionTime = Seconds(function);
      } else {
        bareTime = Seconds(bare);
      }
    }
    functionFirst = !functionFirst;
    functionSeconds += functionTime;
    bareSeconds += bareTime;
    state.SetIterationTime(functionTime);
  }
  const double iterations = static_cast<double>(state.iterations());
  state.counters["bare_ns"] = bareSeconds / iterations * 1e9;
  state.counters["own_ns"] = (functionSeconds - bareSeconds) / iterations * 1e9;
  state.counters["own_pct"] = bareSeconds > 0 ? 100.0 * (functionSeconds - bareSeconds) / bareSeconds : 0;
}

void Nothing() {}

// --- Vantorix-Version: the version string -----------------------------------

void BM_Version(benchmark::State &state) {
  hostsim::RepeatedCall call(vxbench::LeanHost(), 0, "");
  char text[64];
  Paired(
      state, Nothing, [&] { call.Send(); },
      [&] { benchmark::DoNotOptimize(LoadStringA(hostsim::DefaultPlugin().instance(), IDS_VERSION_TEXT, text, 64)); });
}

// --- Vantorix-GetRegistryKey: create-or-open, query, close --------------------

void BM_Get(benchmark::State &state) {
  const std::string path = KeyPath();
  hostsim::RepeatedCall call(vxbench::LeanHost(), 2, kRoot + "|" + path + "|" + kName);
  BYTE data[252];
  Paired(
      state, Nothing, [&] { call.Send(); },
      [&] {
        HKEY key = CreateOrOpen(path);
        DWORD type = 0, size = 250;
        RegQueryValueExA(key, kName.c_str(), nullptr, &type, data, &size);
        RegCloseKey(key);
      });
  if (call.Reply() != kData) state.SkipWithError("unexpected reply");
}

// --- Vantorix-SetRegistryKey: create-or-open, write, read back, close ---------

void BM_Set(benchmark::State &state) {
  const std::string path = KeyPath();
  hostsim::RepeatedCall call(vxbench::LeanHost(), 5, kRoot + "|" + path + "|" + kName + "||" + kData);
  BYTE data[252];
  Paired(
      state, Nothing, [&] { call.Send(); },
      [&] {
        HKEY key = CreateOrOpen(path);
        RegSetValueExA(key, kName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(kData.c_str()),
                       static_cast<DWORD>(kData.size() + 1));
        DWORD size = 250;
        RegQueryValueExA(key, kName.c_str(), nullptr, nullptr, data, &size);
        RegCloseKey(key);
      });
  if (call.Reply() != kData) state.SkipWithError("unexpected reply");
}

// --- Vantorix-ListRegistryKeys / -Values (10 of each): cursor, open,
// enumerate, close, cursor -------------------------------------------------

// The bare calls of a list function: the wait cursor, the open, every
// enumeration step until one fails, the close and the arrow cursor.
void ListBare(const std::string &path, const std::function<LONG(HKEY, DWORD)> &step) {
  Cursor(IDC_WAIT);
  HKEY key = nullptr;
  RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &key);
  for (DWORD i = 0; step(key, i) == ERROR_SUCCESS; ++i) {
  }
  RegCloseKey(key);
  Cursor(IDC_ARROW);
}

void BM_ListKeys(benchmark::State &state) {
  const std::string path = KeyPath();
  hostsim::RepeatedCall call(vxbench::LeanHost(), 3, kRoot + "|" + path);
  char name[512];
  Paired(
      state, Nothing, [&] { call.Send(); },
      [&] { ListBare(path, [&](HKEY key, DWORD i) { return RegEnumKeyA(key, i, name, sizeof name); }); });
}

void BM_ListValues(benchmark::State &state) {
  const std::string path = KeyPath();
  hostsim::RepeatedCall call(vxbench::LeanHost(), 4, kRoot + "|" + path);
  char name[512];
  Paired(
      state, Nothing, [&] { call.Send(); },
      [&] {
        ListBare(path, [&](HKEY key, DWORD i) {
          DWORD capacity = sizeof name, type = 0;
          return RegEnumValueA(key, i, name, &capacity, nullptr, &type, nullptr, nullptr);
        });
      });
}

// --- Vantorix-DeleteRegistryValue / -Key: create-or-open, delete, message,
// close; what is deleted is made again, untimed, before each. --------------

void BM_DeleteValue(benchmark::State &state) {
  const std::string path = KeyPath();
  HKEY key = CreateOrOpen(path);
  hostsim::RepeatedCall call(vxbench::LeanHost(), 7, kRoot + "|" + path + "|doomed");
  Paired(
      state, [&] { RegSetValueExA(key, "doomed", 0, REG_SZ, reinterpret_cast<const BYTE *>("x"), 2); },
      [&] { call.Send(); },
      [&] {
        HKEY reached = CreateOrOpen(path);
        MessageText(static_cast<DWORD>(RegDeleteValueA(reached, "doomed")));
        RegCloseKey(reached);
      });
  RegCloseKey(key);
}

void BM_DeleteKey(benchmark::State &state) {
  const std::string path = KeyPath();
  const std::string doomed = path + "\\doomed";
  hostsim::RepeatedCall call(vxbench::LeanHost(), 6, kRoot + "|" + path + "|doomed");
  Paired(
      state, [&] { RegCloseKey(CreateOrOpen(doomed)); }, [&] { call.Send(); },
      [&] {
        HKEY reached = CreateOrOpen(path);
        MessageText(SHDeleteKeyA(reached, "doomed"));
        RegCloseKey(reached);
      });
}

BENCHMARK(BM_Version)->UseManualTime();
BENCHMARK(BM_Get)->UseManualTime();
BENCHMARK(BM_Set)->UseManualTime();
BENCHMARK(BM_ListKeys)->UseManualTime();
BENCHMARK(BM_ListValues)->UseManualTime();
BENCHMARK(BM_DeleteValue)->UseManualTime();
BENCHMARK(BM_DeleteKey)->UseManualTime();

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  vxbench::RemoveBenchKeys();
  return 0;
}
