// Registry tests: a scratch key of their own under the current user's root,
// direct access to the registry beside the plug-in, and the replies that the
// platform's own messages make.
#ifndef VANTORIX_TESTS_SUPPORT_REGISTRY_SCRATCH_H
#define VANTORIX_TESTS_SUPPORT_REGISTRY_SCRATCH_H

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/host_text_rules.h"
#include "tests/support/plugin.h"
#include "tests/support/registry_state.h"
#include "tests/support/scratch_key.h"

namespace vxtest {

// External function indexes.
enum RegistryFunction : int32_t {
  kGetRegistryKey = 2,
  kListRegistryKeys = 3,
  kListRegistryValues = 4,
  kSetRegistryKey = 5,
  kDeleteRegistryKey = 6,
  kDeleteRegistryValue = 7,
};

// All six, with the number of fields each takes.
struct RegistryFunctionInfo {
  RegistryFunction index;
  const char *name;
  int fields;
  bool converts;  // whether its message replies are converted
};
const std::vector<RegistryFunctionInfo> &AllRegistryFunctions();

// The fields joined with '|'.
std::string Param(const std::vector<std::string> &fields);

// The reply that the functions make of the system's message for status: cut
// to workSize - 1 bytes, converted to the host's character set if convert is
// set (HostText: by the conversion's rules, not by the plug-in), without the
// line-end bytes at its end; "System error N." where the system has no
// message.
std::string SystemMessage(LONG status, bool convert = true, std::size_t workSize = 252);

// A value as the registry holds it.
using StoredValue = RegistryValue;

class RegistryTest : public PluginTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The scratch key's path below HKEY_CURRENT_USER, and paths below it.
  const std::string &Scratch() const { return scratch_->path(); }
  std::string Below(const std::string &relative) const { return scratch_->Sub(relative); }

  // Calls an external function.  Checks afterwards that the plug-in left no
  // registry key open (on the linux stand-in, which counts them); the
  // fixture's host checks the parameter handle's locks.
  hostsim::ExternalResult Call(RegistryFunction index, const std::string &parameter);
  // Whether the last call left the reply as the host supplied it.
  static bool NoReply(const hostsim::ExternalResult &result) {
    return !result.touched && result.reply == hostsim::Host::kReplySentinel;
  }

  // Direct registry access under HKEY_CURRENT_USER (full paths), through
  // the helpers of tests/support/registry_state.h.
  static void CreateKey(const std::string &path, const char *classText = nullptr) {
    ASSERT_EQ(vxtest::CreateKey(HKEY_CURRENT_USER, path, classText), ERROR_SUCCESS) << path;
  }
  static void DeleteTree(const std::string &path) { DeleteKeyTree(HKEY_CURRENT_USER, path); }
  static bool KeyExists(const std::string &path) { return vxtest::KeyExists(HKEY_CURRENT_USER, path); }
  static std::string KeyClass(const std::string &path) {
    return vxtest::KeyClass(HKEY_CURRENT_USER, path).value_or("<no key>");
  }
  static void PutValue(const std::string &path, const std::string &name, DWORD type, const std::string &data) {
    ASSERT_EQ(WriteValue(HKEY_CURRENT_USER, path, name, type, data), ERROR_SUCCESS) << path << " " << name;
  }
  static void PutString(const std::string &path, const std::string &name, const std::string &text) {
    PutValue(path, name, REG_SZ, text + std::string(1, '\0'));
  }
  static bool ReadValue(const std::string &path, const std::string &name, StoredValue *value) {
    std::optional<RegistryValue> read = vxtest::ReadValue(HKEY_CURRENT_USER, path, name);
    if (read) *value = *read;
    return read.has_value();
  }
  static bool ValueExists(const std::string &path, const std::string &name) {
    return vxtest::ReadValue(HKEY_CURRENT_USER, path, name).has_value();
  }
  static std::vector<std::string> Subkeys(const std::string &path) { return vxtest::Subkeys(HKEY_CURRENT_USER, path); }

 private:
  std::unique_ptr<ScratchKey> scratch_;
};

}  // namespace vxtest

#endif
