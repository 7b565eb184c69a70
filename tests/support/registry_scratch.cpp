#include "tests/support/registry_scratch.h"

#include <shlwapi.h>

#include "host/host_text.h"

#ifndef _WIN32
#include "vxplatform/testing.h"
#endif

namespace vxtest {

const std::vector<RegistryFunctionInfo> &AllRegistryFunctions() {
  static const std::vector<RegistryFunctionInfo> functions = {
      {kGetRegistryKey, "GetRegistryKey", 3, true},         {kListRegistryKeys, "ListRegistryKeys", 2, true},
      {kListRegistryValues, "ListRegistryValues", 2, true}, {kSetRegistryKey, "SetRegistryKey", 5, false},
      {kDeleteRegistryKey, "DeleteRegistryKey", 3, true},   {kDeleteRegistryValue, "DeleteRegistryValue", 3, true},
  };
  return functions;
}

std::string Param(const std::vector<std::string> &fields) {
  std::string text;
  for (std::size_t n = 0; n < fields.size(); ++n) text += (n == 0 ? "" : "|") + fields[n];
  return text;
}

std::string HostText(const std::string &text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  ToHostText(buffer.data(), static_cast<int32_t>(text.size()));
  return std::string(buffer.data());
}

std::string SystemMessage(LONG status, bool convert, std::size_t workSize) {
  char *message = nullptr;
  const DWORD length =
      FormatMessageA(0x1300, nullptr, static_cast<DWORD>(status), 1024, reinterpret_cast<LPSTR>(&message), 0, nullptr);
  std::string text = length != 0 && message != nullptr
                         ? std::string(message)
                         : "System error " + std::to_string(static_cast<DWORD>(status)) + ".";
  if (message != nullptr) LocalFree(message);
  if (text.size() > workSize - 1) text.resize(workSize - 1);
  if (convert) text = HostText(text);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  return text;
}

void RegistryTest::SetUp() {
  PluginTest::SetUp();
#ifndef _WIN32
  vxplatform::ResetRegistry();
  vxplatform::ClearInjectedFailures();
  vxplatform::ClearCursorHistory();
#endif
  const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string prefix = std::string(info->test_suite_name()) + "." + info->name();
  for (char &c : prefix) {
    if (c == '/') c = '_';  // parameterised test names
  }
  scratch_ = std::make_unique<ScratchKey>(prefix);
}

void RegistryTest::TearDown() {
#ifndef _WIN32
  vxplatform::ClearInjectedFailures();
#endif
  scratch_.reset();
  PluginTest::TearDown();
}

hostsim::ExternalResult RegistryTest::Call(RegistryFunction index, const std::string &parameter) {
  hostsim::ExternalResult result = host().External(index, parameter);
#ifndef _WIN32
  EXPECT_EQ(vxplatform::OpenKeyHandleCount(), 0u)
      << "key left open by function " << index << " with " << Printable(parameter);
#endif
  return result;
}

namespace {

// Opens (or creates) a key below HKEY_CURRENT_USER one path component at a
// time, so that paths longer than the platform takes in one call work too.
HKEY OpenPath(const std::string &path, bool create, const char *classText = nullptr) {
  HKEY key = HKEY_CURRENT_USER;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    const std::string component = path.substr(start, end - start);
    HKEY next = nullptr;
    LONG status;
    if (create) {
      DWORD disposition = 0;
      status = RegCreateKeyExA(key, component.c_str(), 0, const_cast<char *>(classText), 0, KEY_ALL_ACCESS, nullptr,
                               &next, &disposition);
    } else {
      status = RegOpenKeyExA(key, component.c_str(), 0, KEY_READ, &next);
    }
    if (key != HKEY_CURRENT_USER) RegCloseKey(key);
    if (status != ERROR_SUCCESS) return nullptr;
    key = next;
    start = end + 1;
  }
  return key;
}

}  // namespace

void RegistryTest::CreateKey(const std::string &path, const char *classText) {
  HKEY key = OpenPath(path, true, classText);
  ASSERT_NE(key, nullptr) << path;
  RegCloseKey(key);
}

void RegistryTest::DeleteTree(const std::string &path) { SHDeleteKeyA(HKEY_CURRENT_USER, path.c_str()); }

bool RegistryTest::KeyExists(const std::string &path) {
  HKEY key = OpenPath(path, false);
  if (key == nullptr) return false;
  RegCloseKey(key);
  return true;
}

std::string RegistryTest::KeyClass(const std::string &path) {
  HKEY key = OpenPath(path, false);
  if (key == nullptr) return "<no key>";
  char text[256] = {};
  DWORD size = sizeof text;
  const LONG status = RegQueryInfoKeyA(key, text, &size, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                       nullptr, nullptr);
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? std::string(text, size) : "<no class>";
}

void RegistryTest::PutValue(const std::string &path, const std::string &name, DWORD type, const std::string &data) {
  HKEY key = OpenPath(path, true);
  ASSERT_NE(key, nullptr) << path;
  const LONG status = RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE *>(data.data()),
                                     static_cast<DWORD>(data.size()));
  RegCloseKey(key);
  ASSERT_EQ(status, ERROR_SUCCESS) << path << " " << name;
}

bool RegistryTest::ReadValue(const std::string &path, const std::string &name, StoredValue *value) {
  HKEY key = OpenPath(path, false);
  if (key == nullptr) return false;
  std::vector<unsigned char> data(4096);
  DWORD size = static_cast<DWORD>(data.size());
  const LONG status = RegQueryValueExA(key, name.c_str(), nullptr, &value->type, data.data(), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return false;
  value->data.assign(reinterpret_cast<const char *>(data.data()), size);
  return true;
}

std::vector<std::string> RegistryTest::Subkeys(const std::string &path) {
  std::vector<std::string> names;
  HKEY key = OpenPath(path, false);
  if (key == nullptr) return names;
  char name[512];
  for (DWORD index = 0; RegEnumKeyA(key, index, name, sizeof name) == ERROR_SUCCESS; ++index) names.push_back(name);
  RegCloseKey(key);
  return names;
}

}  // namespace vxtest
