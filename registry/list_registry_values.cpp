// ListRegistryValues (index 4): root|key path -> one paragraph a value of the
// key: its name in the host's character set, ", [", a type label and "]".
#include <cstring>

#include "host/external_functions.h"
#include "host/host_text.h"
#include "registry/key_access.h"
#include "registry/list_frame.h"
#include "registry/param_frame.h"
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

// Opens the key and lists its values, one entry each: the name, ", [", the
// label and "]", after a carriage return unless it is the first.  A key that
// cannot be opened answers the open's own status.
void AnswerValues(HKEY root, const char *path, HKEY *key, HostHandle reply, char *names, ByteString *list) {
  const LONG openStatus = OpenExistingKey(root, path, key);
  if (openStatus != ERROR_SUCCESS) {
    AnswerSystemError(reply, openStatus, true, names, kListBufferSize);
    return;
  }
  uint32_t index = 0;
  LONG status = ERROR_SUCCESS;
  for (;;) {
    DWORD capacity = kListBufferSize;  // set afresh before every step
    DWORD type = REG_NONE;
    status = RegEnumValueA(*key, index, names, &capacity, nullptr, &type, nullptr, nullptr);
    ++index;
    if (status != ERROR_SUCCESS) break;
    names[kListBufferSize - 1] = 0;
    ToHostText(names, static_cast<int32_t>(std::strlen(names)));
    if (!AppendOrGiveUp(list, {index > 1 ? "\r" : "", names, ", [", TypeLabel(type), "]"}, reply, names)) return;
  }
  FinishList(status, index, status == ERROR_NO_MORE_ITEMS, reply, names, *list);
}

}  // namespace

void ListRegistryValues(HostHandle parameter, HostHandle reply) { RunListFunction(parameter, reply, &AnswerValues); }
