#include "registry/system_error_text.h"

#include <cstring>

#include "host/host_text.h"
#include "host/reply.h"
#include "registry/number_text.h"

namespace {

constexpr DWORD kMessageFlags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;  // 0x1300
constexpr DWORD kNeutralLanguage = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);                     // 1024

// Copies text into work, at most size - 1 bytes, and terminates it.
void CopyCut(const char *text, char *work, uint32_t size) {
  uint32_t i = 0;
  for (; i + 1 < size && text[i] != 0; ++i) work[i] = text[i];
  work[i] = 0;
}

// "System error N." for a status that the system has no text for.  The
// longest, for a 10-digit status, is 25 bytes with its terminator.
void FallbackText(LONG status, char *work, uint32_t size) {
  char text[32] = "System error ";
  uint32_t length = static_cast<uint32_t>(std::strlen(text));
  length += DecimalText(static_cast<DWORD>(status), text + length);
  text[length++] = '.';
  text[length] = 0;
  CopyCut(text, work, size);
}

}  // namespace

uint32_t SystemErrorText(LONG status, bool convert, char *work, uint32_t size) {
  char *message = nullptr;
  const DWORD written = FormatMessageA(kMessageFlags, nullptr, static_cast<DWORD>(status), kNeutralLanguage,
                                       reinterpret_cast<LPSTR>(&message), 0, nullptr);
  if (written != 0) {
    CopyCut(message, work, size);
    LocalFree(message);
  } else {
    FallbackText(status, work, size);  // no text, and nothing allocated
  }

  uint32_t length = static_cast<uint32_t>(std::strlen(work));
  if (convert) {
    ToHostText(work, static_cast<int32_t>(length));
    length = static_cast<uint32_t>(std::strlen(work));  // the conversion removed the line feeds
  }
  // Drop the message's closing line end, and only the bytes really there.
  while (length > 0 && (work[length - 1] == '\r' || work[length - 1] == '\n')) --length;
  work[length] = 0;
  return length;
}

void AnswerSystemError(HostHandle reply, LONG status, bool convert, char *work, uint32_t size) {
  const uint32_t length = SystemErrorText(status, convert, work, size);
  PutResult(reply, work, length);
}
