// Redirects one imported function of one loaded module (Windows only): the
// module's import address table entry for dll!function is swapped for a
// replacement while the hook lives, and put back when it is destroyed.
// Calls that the module makes through the import then reach the
// replacement; other modules are not affected.
#ifndef VANTORIX_TESTS_SUPPORT_IMPORT_HOOK_H
#define VANTORIX_TESTS_SUPPORT_IMPORT_HOOK_H

#ifdef _WIN32

#include <windows.h>

#include <string>
#include <vector>

namespace vxtest {

class ImportHook {
 public:
  // dll is matched without regard to case ("user32.dll"); function by its
  // exact name.  If the module does not import it, nothing is changed and
  // installed() is false.
  ImportHook(HMODULE module, const char *dll, const char *function, void *replacement);
  ~ImportHook();
  ImportHook(const ImportHook &) = delete;
  ImportHook &operator=(const ImportHook &) = delete;

  bool installed() const { return !slots_.empty(); }
  // The address the module called before the hook (null if not installed).
  void *original() const { return original_; }
  // Why the hook could not be installed, for failure messages.
  const std::string &problem() const { return problem_; }

 private:
  struct Slot {
    void **address;
    void *previous;
  };
  std::vector<Slot> slots_;
  void *original_ = nullptr;
  std::string problem_;
};

}  // namespace vxtest

#endif  // _WIN32

#endif
