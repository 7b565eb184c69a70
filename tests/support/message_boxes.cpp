#include "tests/support/message_boxes.h"

#include "tests/support/plugin.h"

#ifdef _WIN32
#include "tests/support/import_hook.h"
#else
#include <vxplatform/testing.h>
#endif

namespace vxtest {

bool operator==(const ShownBox &a, const ShownBox &b) {
  return a.owner == b.owner && a.text == b.text && a.caption == b.caption && a.style == b.style;
}

std::ostream &operator<<(std::ostream &out, const ShownBox &box) {
  return out << "{owner " << static_cast<const void *>(box.owner) << ", text " << Printable(box.text) << ", caption "
             << Printable(box.caption) << ", style 0x" << std::hex << box.style << std::dec << "}";
}

#ifdef _WIN32

namespace {

std::vector<ShownBox> &Recorded() {
  static std::vector<ShownBox> boxes;
  return boxes;
}

int WINAPI RecordMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
  Recorded().push_back(ShownBox{owner, text ? text : "", caption ? caption : "", style});
  return IDOK;
}

}  // namespace

struct MessageBoxRecorder::Hooks {
  ImportHook plugin{reinterpret_cast<HMODULE>(LoadedPlugin().instance()), "user32.dll", "MessageBoxA",
                    reinterpret_cast<void *>(&RecordMessageBox)};
  ImportHook program{GetModuleHandleA(nullptr), "user32.dll", "MessageBoxA",
                     reinterpret_cast<void *>(&RecordMessageBox)};
};

MessageBoxRecorder::MessageBoxRecorder() : hooks_(std::make_unique<Hooks>()) { Recorded().clear(); }
MessageBoxRecorder::~MessageBoxRecorder() = default;

std::string MessageBoxRecorder::problem() const {
  std::string problem;
  if (!hooks_->plugin.installed()) problem += "plug-in: " + hooks_->plugin.problem() + ". ";
  if (!hooks_->program.installed()) problem += "test program: " + hooks_->program.problem() + ". ";
  return problem;
}

std::vector<ShownBox> MessageBoxRecorder::Boxes() const { return Recorded(); }
void MessageBoxRecorder::Clear() { Recorded().clear(); }

#else

struct MessageBoxRecorder::Hooks {};

MessageBoxRecorder::MessageBoxRecorder() { vxplatform::ClearMessageBoxes(); }
MessageBoxRecorder::~MessageBoxRecorder() = default;

std::string MessageBoxRecorder::problem() const { return std::string(); }

std::vector<ShownBox> MessageBoxRecorder::Boxes() const {
  std::vector<ShownBox> boxes;
  for (const vxplatform::MessageBoxRecord &record : vxplatform::MessageBoxes())
    boxes.push_back(ShownBox{record.owner, record.text, record.caption, record.style});
  return boxes;
}

void MessageBoxRecorder::Clear() { vxplatform::ClearMessageBoxes(); }

#endif

}  // namespace vxtest
