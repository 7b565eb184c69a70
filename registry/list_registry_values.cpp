// ListRegistryValues (index 4): root|key path -> one paragraph a value of the
// key: its name in the host's character set, ", [", a type label and "]".
#include <cstring>

#include "host/external_functions.h"
#include "host/host_text.h"
#include "host/reply.h"
#include "registry/busy_cursor.h"
#include "registry/byte_string.h"
#include "registry/key_access.h"
#include "registry/param_frame.h"
#include "registry/root_keys.h"
#include "registry/system_error_text.h"

namespace {

// Every type without a label of its own (REG_NONE, REG_DWORD_BIG_ENDIAN,
// REG_LINK, REG_QWORD and the rest) is labelled as a string.
const char *TypeLabel(DWORD type) {
  switch (type) {
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    default: return "REG_SZ";
  }
}

// One entry: the name, ", [", the label and "]", after a carriage return
// unless it is the first.
bool AppendEntry(ByteString *list, bool first, const char *name, DWORD type) {
  return list->AppendTexts({first ? "" : "\r", name, ", [", TypeLabel(type), "]"});
}

// Lists the values of an open key into list and answers the list, or the
// message for a key without values.
void AnswerValues(HKEY key, HostHandle reply, char *names, ByteString *list) {
  uint32_t index = 0;
  LONG status = ERROR_SUCCESS;
  for (;;) {
    DWORD capacity = kListBufferSize;
    DWORD type = REG_NONE;
    status = RegEnumValueA(key, index, names, &capacity, nullptr, &type, nullptr, nullptr);
    ++index;
    if (status != ERROR_SUCCESS) break;
    names[kListBufferSize - 1] = 0;
    ToHostText(names, static_cast<int32_t>(std::strlen(names)));
    if (!AppendEntry(list, index == 1, names, type)) {
      // Never a partial list presented as complete.
      list->Release();
      AnswerSystemError(reply, ERROR_NOT_ENOUGH_MEMORY, true, names, kListBufferSize);
      return;
    }
  }
  if (status == ERROR_NO_MORE_ITEMS && index == 1) {
    AnswerSystemError(reply, status, true, names, kListBufferSize);
  } else if (list->length() > 0) {
    // The entries so far, also when a later step failed; nothing at all when
    // the very first step failed otherwise.
    PutResult(reply, list->data(), list->length());
  }
}

}  // namespace

void ListRegistryValues(HostHandle parameter, HostHandle reply) {
  char root[kFieldBufferSize] = {};
  char path[kFieldBufferSize] = {};
  char names[kListBufferSize] = {};
  ByteString list;

  LockParameter(parameter);
  ShowWaitCursor();
  char *const fields[] = {root, path};
  const bool whole = ReadFields(parameter, fields, 2);

  HKEY rootKey = nullptr;
  HKEY key = nullptr;
  if (!ResolveRootKey(root, &rootKey)) {
    AnswerRootError(reply, names);
  } else if (!whole) {
    AnswerSystemError(reply, ERROR_INVALID_PARAMETER, true, names, kListBufferSize);
  } else {
    const LONG openStatus = OpenExistingKey(rootKey, path, &key);
    if (openStatus != ERROR_SUCCESS) {
      AnswerSystemError(reply, openStatus, true, names, kListBufferSize);
    } else {
      AnswerValues(key, reply, names, &list);
    }
  }
  CloseKey(key);
  ShowArrowCursor();
  UnlockParameter(parameter);
  list.Release();
}
