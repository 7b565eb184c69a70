// SetRegistryKey (index 5): root|key path|value name|type|data -> writes a
// string or multi-string value and answers it as read back, unconverted.
#include <cstring>

#include "host/external_functions.h"
#include "host/reply.h"
#include "registry/key_access.h"
#include "registry/param_frame.h"
#include "registry/root_keys.h"
#include "registry/system_error_text.h"

namespace {

bool IsMultiStringType(const char *typeText) {
  static const char kMultiString[] = "REG_MULTI_SZ";  // compared with its terminator
  for (uint32_t i = 0; i < sizeof kMultiString; ++i) {
    if (typeText[i] != kMultiString[i]) return false;
  }
  return true;
}

// Chooses the value type by the type field.  Every text but "REG_MULTI_SZ"
// writes a plain string, and the field then reads "REG_SZ": it is also the
// class text of a key that the write creates.
DWORD ChooseValueType(char *typeText) {
  if (IsMultiStringType(typeText)) return REG_MULTI_SZ;
  static const char kString[] = "REG_SZ";
  for (uint32_t i = 0; i < sizeof kString; ++i) typeText[i] = kString[i];
  return REG_SZ;
}

// Writes the value and answers it as read back.  A string is stored with
// its terminating zero byte; a multi-string of one string with two, so that
// the list of strings is properly ended.  The data buffer holds at most 250
// characters and has room for both.
void WriteAndReadBack(HKEY key, const char *valueName, DWORD type, char *data, HostHandle reply, char *work) {
  const uint32_t terminators = type == REG_MULTI_SZ ? 2 : 1;
  const uint32_t length = static_cast<uint32_t>(std::strlen(data));
  for (uint32_t i = 0; i < terminators; ++i) data[length + i] = 0;

  LONG status = RegSetValueExA(key, valueName, 0, type, reinterpret_cast<const BYTE *>(data), length + terminators);
  if (status != ERROR_SUCCESS) {
    AnswerSystemError(reply, status, false, work, kWorkBufferSize);
    return;
  }
  DWORD count = kQueryByteLimit;
  status = RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE *>(work), &count);
  if (status != ERROR_SUCCESS) {
    AnswerSystemError(reply, status, false, work, kWorkBufferSize);
    return;
  }
  // The text as stored, without the terminators that the write added.
  if (count > kQueryByteLimit) count = kQueryByteLimit;
  PutResult(reply, work, count >= terminators ? count - terminators : 0);
}

}  // namespace

void SetRegistryKey(HostHandle parameter, HostHandle reply) {
  char root[kFieldBufferSize] = {};
  char path[kFieldBufferSize] = {};
  char valueName[kFieldBufferSize] = {};
  char typeText[kFieldBufferSize] = {};
  char data[kFieldBufferSize] = {};
  char work[kWorkBufferSize] = {};

  LockParameter(parameter);
  char *const fields[] = {root, path, valueName, typeText, data};
  const bool whole = ReadFields(parameter, fields, 5);
  const DWORD type = ChooseValueType(typeText);

  HKEY rootKey = nullptr;
  if (!ResolveRootKey(root, &rootKey)) {
    AnswerRootError(reply, work);
  } else if (!whole) {
    AnswerSystemError(reply, ERROR_INVALID_PARAMETER, false, work, kWorkBufferSize);
  } else {
    HKEY key = nullptr;
    if (CreateOrOpenKey(rootKey, path, typeText, &key) != 0) {
      WriteAndReadBack(key, valueName, type, data, reply, work);
    }
    CloseKey(key);
  }
  UnlockParameter(parameter);
}
