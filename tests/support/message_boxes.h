// Records the message boxes that the plug-in shows, on both lanes: on linux
// the platform stand-in records them; on Windows the plug-in's import of
// MessageBoxA (and that of this test program, which links the plug-in's
// code too) is redirected to a recorder that returns IDOK at once.
#ifndef VANTORIX_TESTS_SUPPORT_MESSAGE_BOXES_H
#define VANTORIX_TESTS_SUPPORT_MESSAGE_BOXES_H

#include <windows.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace vxtest {

struct ShownBox {
  HWND owner;
  std::string text;
  std::string caption;
  UINT style;
};

bool operator==(const ShownBox &a, const ShownBox &b);
std::ostream &operator<<(std::ostream &out, const ShownBox &box);

// One recorder at a time.  Starts with no boxes recorded.
class MessageBoxRecorder {
 public:
  MessageBoxRecorder();
  ~MessageBoxRecorder();
  MessageBoxRecorder(const MessageBoxRecorder &) = delete;
  MessageBoxRecorder &operator=(const MessageBoxRecorder &) = delete;

  // Empty when every interception is in place; else what went wrong.
  std::string problem() const;
  // The boxes shown since construction or the last Clear, in order.
  std::vector<ShownBox> Boxes() const;
  void Clear();

 private:
  struct Hooks;
  std::unique_ptr<Hooks> hooks_;
};

}  // namespace vxtest

#endif
