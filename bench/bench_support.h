// What the benchmarks share: a lean host (no journal, no poisoning) for the
// plug-in built beside them, and keys of the benchmarks' own under
// HKEY_CURRENT_USER\Software\VantorixBench.
#ifndef VANTORIX_BENCH_BENCH_SUPPORT_H
#define VANTORIX_BENCH_BENCH_SUPPORT_H

#include <windows.h>

#include <string>

#include "hostsim/hostsim.h"

namespace vxbench {

// A lean host that has initialised the plug-in.
hostsim::Host &LeanHost();

// HKEY_CURRENT_USER-relative path of a fresh, empty benchmark key.
std::string FreshKey(const std::string &name);
// Gives the key `count` subkeys, or `count` string values, named n0, n1, ...
void AddSubkeys(const std::string &path, int count);
void AddValues(const std::string &path, int count);
// Removes every benchmark key.
void RemoveBenchKeys();

}  // namespace vxbench

#endif
