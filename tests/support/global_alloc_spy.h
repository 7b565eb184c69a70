// Watches the GlobalAlloc and GlobalFree calls of the plug-in code that is
// linked into the test program, and can make allocations fail.
//
// On linux this drives the platform stand-in's own controls.  On Windows
// (wine) it swaps the two entries of the test program's import address
// table for counting wrappers while it lives; calls made from the loaded
// plug-in library go through that library's own table and are not seen.
#ifndef VANTORIX_TESTS_SUPPORT_GLOBAL_ALLOC_SPY_H
#define VANTORIX_TESTS_SUPPORT_GLOBAL_ALLOC_SPY_H

#include <cstddef>
#include <memory>
#include <string>

namespace vxtest {

class GlobalAllocSpy {
 public:
  GlobalAllocSpy();
  ~GlobalAllocSpy();
  GlobalAllocSpy(const GlobalAllocSpy &) = delete;
  GlobalAllocSpy &operator=(const GlobalAllocSpy &) = delete;

  // Empty when the spy is in place; otherwise why not.
  const std::string &Error() const { return error_; }
  // The next `count` GlobalAlloc calls fail (0 cancels what is pending).
  void FailNext(int count);
  // Blocks allocated since the spy was made and not freed yet.
  std::ptrdiff_t LiveBlocks() const;

 private:
  struct Hooks;  // the import hooks, on Windows
  std::unique_ptr<Hooks> hooks_;
  std::string error_;
  std::size_t baseline_ = 0;
};

}  // namespace vxtest

#endif
