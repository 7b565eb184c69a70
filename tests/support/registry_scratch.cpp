#include "tests/support/registry_scratch.h"

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

}  // namespace vxtest
