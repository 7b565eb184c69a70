// ListRegistryKeys (index 3): root|key path -> the names of the key's direct
// subkeys, one a paragraph, in the host's character set.
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

// Lists the subkeys of key into list and answers the list, or the message
// for an enumeration that failed at once.  A null key stands for a key that
// could not be opened: it is answered as an invalid handle, whatever kept
// the key from being opened.
void AnswerSubkeys(HKEY key, HostHandle reply, char *names, ByteString *list) {
  uint32_t index = 0;
  LONG status = ERROR_SUCCESS;
  for (;;) {
    status = key == nullptr ? static_cast<LONG>(ERROR_INVALID_HANDLE) : RegEnumKeyA(key, index, names, kListBufferSize);
    ++index;
    if (status != ERROR_SUCCESS) break;
    names[kListBufferSize - 1] = 0;
    ToHostText(names, static_cast<int32_t>(std::strlen(names)));
    if (!list->AppendTexts({index > 1 ? "\r" : "", names})) {
      // Never a partial list presented as complete.
      list->Release();
      AnswerSystemError(reply, ERROR_NOT_ENOUGH_MEMORY, true, names, kListBufferSize);
      return;
    }
  }
  if ((status == ERROR_NO_MORE_ITEMS || status == ERROR_INVALID_HANDLE) && index == 1) {
    AnswerSystemError(reply, status, true, names, kListBufferSize);
  } else if (list->length() > 0) {
    // The names so far, also when a later step failed; nothing at all when
    // the very first step failed otherwise.
    PutResult(reply, list->data(), list->length());
  }
}

}  // namespace

void ListRegistryKeys(HostHandle parameter, HostHandle reply) {
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
    OpenExistingKey(rootKey, path, &key);  // its status is not reported (see AnswerSubkeys)
    AnswerSubkeys(key, reply, names, &list);
  }
  CloseKey(key);
  ShowArrowCursor();
  UnlockParameter(parameter);
  list.Release();
}
