// Message boxes and cursors: nothing is drawn; what the caller asked for is
// recorded so tests and tools can see it.
#include <cstdint>
#include <utility>

#include <vxplatform/testing.h>

namespace {

std::vector<vxplatform::MessageBoxRecord> &Boxes() {
  static std::vector<vxplatform::MessageBoxRecord> boxes;
  return boxes;
}

std::function<void(const vxplatform::MessageBoxRecord &)> &Observer() {
  static std::function<void(const vxplatform::MessageBoxRecord &)> observer;
  return observer;
}

std::vector<HCURSOR> &Cursors() {
  static std::vector<HCURSOR> cursors;
  return cursors;
}

HCURSOR current = nullptr;

// The system cursors, one distinct handle each.
constexpr uintptr_t kArrowCursor = 0x10003;
constexpr uintptr_t kWaitCursor = 0x10007;

}  // namespace

extern "C" {

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  vxplatform::MessageBoxRecord record{hWnd, lpText ? lpText : "", lpCaption ? lpCaption : "Error", uType};
  Boxes().push_back(record);
  if (Observer()) Observer()(record);
  return IDOK;  // returns at once, as if OK were pressed
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
  if (hInstance != nullptr) return nullptr;  // no module here holds cursors
  switch (reinterpret_cast<uintptr_t>(lpCursorName)) {
    case 32512: return reinterpret_cast<HCURSOR>(kArrowCursor);
    case 32514: return reinterpret_cast<HCURSOR>(kWaitCursor);
    default: SetLastError(1402); return nullptr;  // ERROR_INVALID_CURSOR_HANDLE
  }
}

HCURSOR WINAPI SetCursor(HCURSOR hCursor) {
  HCURSOR previous = current;
  current = hCursor;
  Cursors().push_back(hCursor);
  return previous;
}

}  // extern "C"

namespace vxplatform {

std::vector<MessageBoxRecord> MessageBoxes() { return Boxes(); }
void ClearMessageBoxes() { Boxes().clear(); }
void SetMessageBoxObserver(std::function<void(const MessageBoxRecord &)> observer) { Observer() = std::move(observer); }
HCURSOR CurrentCursor() { return current; }
std::vector<HCURSOR> CursorHistory() { return Cursors(); }
void ClearCursorHistory() { Cursors().clear(); }

}  // namespace vxplatform
