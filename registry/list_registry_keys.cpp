// ListRegistryKeys (index 3): root|key path -> the names of the key's direct
// subkeys, one a paragraph, in the host's character set.
#include <cstring>

#include "host/external_functions.h"
#include "host/host_text.h"
#include "registry/key_access.h"
#include "registry/list_frame.h"
#include "registry/param_frame.h"

namespace {

// Opens the key and lists its subkeys.  The open's status is not reported:
// a key that could not be opened is enumerated as no key at all, and its
// first step answers the message for an invalid handle, whatever kept the
// key from being opened.
void AnswerSubkeys(HKEY root, const char *path, HKEY *key, HostHandle reply, char *names, ByteString *list) {
  OpenExistingKey(root, path, key);
  uint32_t index = 0;
  LONG status = ERROR_SUCCESS;
  for (;;) {
    status =
        *key == nullptr ? static_cast<LONG>(ERROR_INVALID_HANDLE) : RegEnumKeyA(*key, index, names, kListBufferSize);
    ++index;
    if (status != ERROR_SUCCESS) break;
    names[kListBufferSize - 1] = 0;
    ToHostText(names, static_cast<int32_t>(std::strlen(names)));
    if (!AppendOrGiveUp(list, {index > 1 ? "\r" : "", names}, reply, names)) return;
  }
  FinishList(status, index, status == ERROR_NO_MORE_ITEMS || status == ERROR_INVALID_HANDLE, reply, names, *list);
}

}  // namespace

void ListRegistryKeys(HostHandle parameter, HostHandle reply) { RunListFunction(parameter, reply, &AnswerSubkeys); }
