// GetRegistryKey (index 2): root|key path|value name -> the value's data as
// text in the host's character set.
#include "host/external_functions.h"
#include "host/reply.h"
#include "registry/key_access.h"
#include "registry/param_frame.h"
#include "registry/root_keys.h"
#include "registry/system_error_text.h"
#include "registry/value_text.h"

namespace {

// Reads the value from a key that already existed and answers its text, or
// the converted system message when the query fails.
void AnswerValue(HKEY key, const char *valueName, HostHandle reply, char *work) {
  unsigned char data[kWorkBufferSize] = {};
  DWORD type = REG_NONE;
  DWORD count = kQueryByteLimit;
  const LONG status = RegQueryValueExA(key, valueName, nullptr, &type, data, &count);
  if (status != ERROR_SUCCESS) {
    AnswerSystemError(reply, status, true, work, kWorkBufferSize);
    return;
  }
  char text[kValueTextSize] = {};
  const uint32_t length = ValueText(type, data, count, text);
  PutResult(reply, text, length);
}

}  // namespace

void GetRegistryKey(HostHandle parameter, HostHandle reply) {
  char root[kFieldBufferSize] = {};
  char path[kFieldBufferSize] = {};
  char valueName[kFieldBufferSize] = {};
  char work[kWorkBufferSize] = {};

  LockParameter(parameter);
  char *const fields[] = {root, path, valueName};
  const bool whole = ReadFields(parameter, fields, 3);

  HKEY rootKey = nullptr;
  if (!ResolveRootKey(root, &rootKey)) {
    AnswerRootError(reply, work);
  } else if (!whole) {
    AnswerSystemError(reply, ERROR_INVALID_PARAMETER, true, work, kWorkBufferSize);
  } else {
    HKEY key = nullptr;
    // A missing key path is created (and left empty); there is then nothing
    // to read and no reply.
    if (CreateOrOpenKey(rootKey, path, "REG_SZ", &key) == REG_OPENED_EXISTING_KEY) {
      AnswerValue(key, valueName, reply, work);
    }
    CloseKey(key);
  }
  UnlockParameter(parameter);
}
