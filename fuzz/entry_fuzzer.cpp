// The whole plug-in through its entry point: each input becomes a sequence
// of host calls (every call kind, host versions, function indexes, and
// parameter texts built from root names and near misses, key paths below
// the fuzzer's own subtree, value names, type texts, data of any bytes,
// empty and missing fields, fields around the 250-byte limit), with resize
// failures and platform failures injected at random.  After every call the
// invariants that hold for every function are checked:
//   - the host saw no protocol fault: the parameter handle's locks balance,
//     no unlock without a lock, the parameter text is unchanged;
//   - no registry handle stays open;
//   - the reply is untouched, or exactly as long as the last resize the
//     plug-in asked for (nothing is written past it: AddressSanitizer);
//   - nothing outside the fuzzer's own subtree changed, the plug-in's
//     settings key aside;
//   - an unknown root name answers "<<ERROR>>", the version function its
//     text.
#include <fuzzer/FuzzedDataProvider.h>
#include <shlwapi.h>
#include <vxplatform/testing.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "host/entry.h"
#include "hostsim/hostsim.h"

namespace {

const char kSubtree[] = "Software\\VantorixFuzz";
const char kSettingsKey[] = "Software\\FileMaker\\FileMaker Pro\\5.5\\PlugIns\\Tarvex Plugin\\2.0v1";
const char *const kRootNames[] = {"HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_CLASSES_ROOT", "HKEY_CURRENT_CONFIG",
                                  "HKEY_USERS"};
const HKEY kRoots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,     HKEY_LOCAL_MACHINE,
                       HKEY_USERS,        HKEY_PERFORMANCE_DATA, HKEY_CURRENT_CONFIG};
const char *const kNearMisses[] = {"hkey_current_user",     "HKEY_CURRENT_USER ", "HKEY_CURRENT_USERS", "",
                                   "HKEY_PERFORMANCE_DATA", "HKEY_LOCAL_MACHIN",  " HKEY_USERS",        "HKCU"};
const char *const kTypeTexts[] = {"REG_SZ", "REG_MULTI_SZ", "reg_multi_sz", "REG_DWORD", "REG_MULTI_SZ ", ""};
const char *const kStatusFunctions[] = {"RegCreateKeyExA", "RegOpenKeyExA",   "RegQueryValueExA",
                                        "RegSetValueExA",  "RegDeleteValueA", "SHDeleteKeyA",
                                        "RegEnumKeyA",     "RegEnumValueA",   "FormatMessageA"};
const LONG kStatuses[] = {ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE,    ERROR_MORE_DATA, ERROR_NO_MORE_ITEMS,
                          ERROR_KEY_DELETED,   ERROR_NOT_ENOUGH_MEMORY, 12345,           -1};

// The registry outside the fuzzer's subtree and the settings key, as text:
// every key with its class and values, for before-and-after comparison.
void Snapshot(HKEY key, const std::string &path, std::string *out) {
  if (path == std::string("\\") + kSubtree || path == std::string("\\") + kSettingsKey) return;
  char className[256] = {};
  DWORD classLength = sizeof className;
  RegQueryInfoKeyA(key, className, &classLength, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                   nullptr);
  *out += "[" + path + "] " + className + "\n";
  for (DWORD i = 0;; ++i) {
    char name[16384];
    DWORD nameLength = sizeof name, type = 0, size = 0;
    if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
    std::string data(size, '\0');
    RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(data.data()), &size);
    *out += std::string(name) + "=" + std::to_string(type) + ":" + data + "\n";
  }
  std::vector<std::string> children;
  char child[512];
  for (DWORD i = 0; RegEnumKeyA(key, i, child, sizeof child) == ERROR_SUCCESS; ++i) children.push_back(child);
  for (const std::string &name : children) {
    HKEY sub = nullptr;
    if (RegOpenKeyExA(key, name.c_str(), 0, KEY_READ, &sub) != ERROR_SUCCESS) continue;
    Snapshot(sub, path + "\\" + name, out);
    RegCloseKey(sub);
  }
}

std::string RegistryOutsideSubtree() {
  std::string out;
  for (HKEY root : kRoots) Snapshot(root, "", &out);
  return out;
}

[[noreturn]] void Fail(const std::string &what, uint8_t kind, int32_t index, const std::string &parameter) {
  std::fprintf(stderr, "entry point: %s (call kind %u, index %d, parameter of %zu bytes: ", what.c_str(), kind, index,
               parameter.size());
  for (unsigned char c : parameter.substr(0, 200)) std::fprintf(stderr, c >= 0x20 && c < 0x7F ? "%c" : "\\x%02X", c);
  std::fprintf(stderr, ")\n");
  std::abort();
}

// A field of the parameter text.
std::string Field(FuzzedDataProvider &in) {
  switch (in.ConsumeIntegralInRange<int>(0, 6)) {
    case 0: return "";
    case 1: return std::string(in.PickValueInArray({249, 250, 251, 300}), in.ConsumeBool() ? 'k' : '|' + 1);
    case 2: return in.PickValueInArray(kTypeTexts);
    case 3: return "Name" + std::to_string(in.ConsumeIntegralInRange<int>(0, 3));
    default: return in.ConsumeRandomLengthString(300);  // any bytes, line ends and zero bytes included
  }
}

// A key path below the fuzzer's subtree, sometimes one of exactly 249, 250,
// 251 or 300 bytes.
std::string KeyPath(FuzzedDataProvider &in) {
  std::string path = kSubtree;
  const int depth = in.ConsumeIntegralInRange<int>(0, 3);
  for (int i = 0; i < depth; ++i)
    path += "\\" + std::string(1, static_cast<char>('A' + in.ConsumeIntegralInRange<int>(0, 3)));
  if (in.ConsumeIntegralInRange<int>(0, 7) == 0) {
    const std::size_t length = in.PickValueInArray({249u, 250u, 251u, 300u});
    path += "\\";
    path.resize(length, 'x');
  }
  return path;
}

std::string ParameterText(FuzzedDataProvider &in, int32_t index) {
  std::vector<std::string> fields;
  fields.push_back(in.ConsumeIntegralInRange<int>(0, 5) == 0 ? in.PickValueInArray(kNearMisses)
                                                             : in.PickValueInArray(kRootNames));
  // An empty key path reaches the root itself: allowed only for the
  // functions that do not write, so that nothing outside the subtree
  // changes.
  const bool reads = index == 2 || index == 3 || index == 4;
  fields.push_back(reads && in.ConsumeIntegralInRange<int>(0, 9) == 0 ? "" : KeyPath(in));
  const int more = in.ConsumeIntegralInRange<int>(0, 4);
  for (int i = 0; i < more; ++i) fields.push_back(Field(in));
  if (index == 6 && fields.size() >= 3 && fields[2].find('\\') != std::string::npos) fields[2] = "Child";
  std::string text;
  for (std::size_t i = 0; i < fields.size(); ++i) text += (i ? "|" : "") + fields[i];
  if (in.ConsumeIntegralInRange<int>(0, 15) == 0) {
    // Any bytes at all after the root, under a root name that is not one
    // (the "<<ERROR>>" path), or after a key path that stays in the subtree.
    text = in.ConsumeBool() ? std::string(in.PickValueInArray(kNearMisses)) + "|"
                            : std::string(in.PickValueInArray(kRootNames)) + "|" + kSubtree + "\\";
    text += in.ConsumeRandomLengthString(600);
  }
  return text;
}

// Puts a value of any type and data into the subtree, so that reading and
// listing meet every kind of value.
void SeedValue(FuzzedDataProvider &in) {
  const std::string path = std::string(kSubtree) + (in.ConsumeBool() ? "" : "\\A");
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr)) return;
  const std::string name = in.ConsumeBool() ? "" : "Name" + std::to_string(in.ConsumeIntegralInRange<int>(0, 3));
  const DWORD type = in.ConsumeIntegralInRange<DWORD>(0, 12);
  const std::string data = in.ConsumeRandomLengthString(320);
  RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE *>(data.data()),
                 static_cast<DWORD>(data.size()));
  RegCloseKey(key);
}

// Whether field 1 names a root, read as the plug-in reads it: as text, up to
// a zero byte if it holds one.
bool IsRootName(const std::string &parameter) {
  std::string root = parameter.substr(0, parameter.find('|'));
  root = root.substr(0, root.find('\0'));
  for (const char *name : kRootNames) {
    if (root == name) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static hostsim::Plugin plugin(&FMExternCallProc, nullptr);
  vxplatform::ResetRegistry();
  vxplatform::ClearInjectedFailures();
  vxplatform::ClearMessageBoxes();
  // The subtree exists under every root, and the keys above the settings
  // key exist, before the first snapshot: creating keys inside them then
  // changes nothing outside.
  for (HKEY root : kRoots) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, kSubtree, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS)
      RegCloseKey(key);
  }
  const std::string settingsParent = std::string(kSettingsKey).substr(0, std::string(kSettingsKey).rfind('\\'));
  HKEY parent = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, settingsParent.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &parent,
                      nullptr) == ERROR_SUCCESS)
    RegCloseKey(parent);
  const std::string outside = RegistryOutsideSubtree();

  FuzzedDataProvider in(data, size);
  hostsim::Host host(plugin);
  for (int step = 0; step < 16 && in.remaining_bytes() > 0; ++step) {
    const int action = in.ConsumeIntegralInRange<int>(0, 15);
    if (action == 0) {
      SeedValue(in);
      continue;
    }
    if (action == 1) host.FailResizes(1);
    if (action == 2) {
      vxplatform::InjectFailure(in.PickValueInArray(kStatusFunctions), in.PickValueInArray(kStatuses),
                                in.ConsumeIntegralInRange<int>(0, 3));
    }

    uint8_t kind = CallExternal;
    int32_t index = 0;
    std::string parameter;
    const int shape = in.ConsumeIntegralInRange<int>(0, 9);
    if (shape == 0) {
      kind = in.ConsumeIntegral<uint8_t>();
      if (kind == CallExternal) kind = CallIdle;
      const int16_t version =
          in.ConsumeBool() ? in.PickValueInArray<int16_t>({3, 4, 255, 256, -32768}) : in.ConsumeIntegral<int16_t>();
      if (kind == CallInit) {
        const int32_t answer = host.Init(version);
        const int32_t expected = version >= 4 && version <= 255 ? 4 : -1;
        if (answer != expected) Fail("initialisation answer", kind, index, parameter);
      } else {
        host.Send(kind);
      }
    } else {
      index = in.ConsumeIntegralInRange<int>(0, 12) == 0
                  ? in.PickValueInArray<int32_t>({1, 8, -1, static_cast<int32_t>(0x80000000)})
                  : in.ConsumeIntegralInRange<int32_t>(0, 7);
      parameter = ParameterText(in, index);
      host.ClearJournal();
      const hostsim::ExternalResult result = host.External(index, parameter);

      // The reply: untouched, or exactly as long as the last resize asked.
      uint32_t lastResize = 0;
      bool resized = false;
      for (const hostsim::JournalEntry &entry : host.Journal()) {
        if (entry.service == hostsim::Service::ResizeHandle && entry.handle == host.LastReplyHandle()) {
          resized = true;
          lastResize = entry.argument;
        }
      }
      if (!resized && result.touched) Fail("reply written without a resize", kind, index, parameter);
      if (resized && result.reply != hostsim::Host::kReplySentinel && result.reply.size() != lastResize)
        Fail("reply length differs from its resize", kind, index, parameter);
      if (result.touched && result.reply != hostsim::Host::kReplySentinel) {
        if (index >= 2 && index <= 7 && !IsRootName(parameter) && result.reply != "<<ERROR>>")
          Fail("an unknown root did not answer <<ERROR>>", kind, index, parameter);
        if (index == 0 && result.reply != "Vantorix Plugin 2.0") Fail("version text", kind, index, parameter);
      }
      if ((index == 1 || index < 0 || index > 7) && result.touched)
        Fail("an index without a function replied", kind, index, parameter);
    }
    vxplatform::ClearInjectedFailures();
    if (!host.Violations().empty()) Fail("host: " + host.Violations().front(), kind, index, parameter);
    if (vxplatform::OpenKeyHandleCount() != 0) Fail("a registry handle stayed open", kind, index, parameter);
    if (vxplatform::LiveLocalAllocations() != 0) Fail("a system message was not freed", kind, index, parameter);
    if (vxplatform::LiveGlobalAllocations() != 0) Fail("a scratch buffer was not freed", kind, index, parameter);
    if (RegistryOutsideSubtree() != outside) Fail("the registry changed outside the subtree", kind, index, parameter);
  }
  return 0;
}
