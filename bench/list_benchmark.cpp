// Listing keys of 10, 1,000 and 100,000 subkeys or values through
// FMExternCallProc: the time per listed name should not grow with the size
// of the key.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/bench_support.h"

namespace {

constexpr int32_t kListKeys = 3;
constexpr int32_t kListValues = 4;

void ListBenchmark(benchmark::State &state, int32_t index) {
  const int count = static_cast<int>(state.range(0));
  const std::string path = vxbench::FreshKey((index == kListKeys ? "keys-" : "values-") + std::to_string(count));
  if (index == kListKeys) {
    vxbench::AddSubkeys(path, count);
  } else {
    vxbench::AddValues(path, count);
  }
  hostsim::RepeatedCall call(vxbench::LeanHost(), index, "HKEY_CURRENT_USER|" + path);
  call.Send();
  const std::size_t replyBytes = call.Reply().size();
  for (auto _ : state) call.Send();
  state.counters["names"] = count;
  state.counters["reply_bytes"] = static_cast<double>(replyBytes);
  // Seconds per listed name: the figure that must stay flat as keys grow.
  state.counters["per_name"] = benchmark::Counter(
      static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  vxbench::RemoveBenchKeys();
}

void BM_ListRegistryKeys(benchmark::State &state) { ListBenchmark(state, kListKeys); }
void BM_ListRegistryValues(benchmark::State &state) { ListBenchmark(state, kListValues); }

BENCHMARK(BM_ListRegistryKeys)->Arg(10)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ListRegistryValues)->Arg(10)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
