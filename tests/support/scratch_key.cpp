#include "tests/support/scratch_key.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

namespace vxtest {

namespace {
int counter = 0;
}

ScratchKey::ScratchKey(const std::string &prefix) {
  path_ = "Software\\VantorixTest\\" + prefix + "-" + std::to_string(++counter);
  SHDeleteKeyA(HKEY_CURRENT_USER, path_.c_str());  // leftovers of an interrupted run
  HKEY handle = nullptr;
  DWORD disposition = 0;
  LONG status =
      RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, &disposition);
  EXPECT_EQ(status, ERROR_SUCCESS) << "cannot create the scratch key " << path_;
  if (status == ERROR_SUCCESS) RegCloseKey(handle);
}

ScratchKey::~ScratchKey() { SHDeleteKeyA(HKEY_CURRENT_USER, path_.c_str()); }

KeyHandle::KeyHandle(HKEY root, const std::string &path, REGSAM access) {
  status_ = RegOpenKeyExA(root, path.c_str(), 0, access, &handle_);
  if (status_ != ERROR_SUCCESS) handle_ = nullptr;
}

KeyHandle::~KeyHandle() {
  if (handle_) RegCloseKey(handle_);
}

}  // namespace vxtest
