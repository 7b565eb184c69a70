// A registry key of the test's own: created fresh under
// HKEY_CURRENT_USER\Software\VantorixTest and deleted, with everything
// below it, when the test ends.  No handle to it stays open.  Works on both lanes: against the linux
// stand-in and against wine's real registry.
#ifndef VANTORIX_TESTS_SUPPORT_SCRATCH_KEY_H
#define VANTORIX_TESTS_SUPPORT_SCRATCH_KEY_H

#include <windows.h>

#include <string>

namespace vxtest {

class ScratchKey {
 public:
  // The key's path starts with `prefix` and is unique within the run.
  explicit ScratchKey(const std::string &prefix = "key");
  ~ScratchKey();
  ScratchKey(const ScratchKey &) = delete;
  ScratchKey &operator=(const ScratchKey &) = delete;

  // The path below HKEY_CURRENT_USER, e.g. "Software\VantorixTest\key-3".
  const std::string &path() const { return path_; }
  // path() + "\" + sub.
  std::string Sub(const std::string &sub) const { return path_ + "\\" + sub; }

 private:
  std::string path_;
};

// A key handle opened for the scope of a test, closed at its end.
class KeyHandle {
 public:
  KeyHandle(HKEY root, const std::string &path, REGSAM access = KEY_ALL_ACCESS);
  ~KeyHandle();
  KeyHandle(const KeyHandle &) = delete;
  KeyHandle &operator=(const KeyHandle &) = delete;

  HKEY get() const { return handle_; }
  LONG status() const { return status_; }

 private:
  HKEY handle_ = nullptr;
  LONG status_;
};

}  // namespace vxtest

#endif
