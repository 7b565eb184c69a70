// DeleteRegistryKey (index 6) and DeleteRegistryValue (index 7):
// root|key path|name -> deletes the named subkey tree or value below the key
// and answers the system's message for the outcome, success included.
#include <shlwapi.h>

#include "host/external_functions.h"
#include "registry/key_access.h"
#include "registry/param_frame.h"
#include "registry/root_keys.h"
#include "registry/system_error_text.h"

namespace {

enum class DeleteTarget { SubkeyTree, Value };

void Delete(HostHandle parameter, HostHandle reply, DeleteTarget target) {
  char root[kFieldBufferSize] = {};
  char path[kFieldBufferSize] = {};
  char name[kFieldBufferSize] = {};
  char work[kWorkBufferSize] = {};

  LockParameter(parameter);
  char *const fields[] = {root, path, name};
  const bool whole = ReadFields(parameter, fields, 3);

  HKEY rootKey = nullptr;
  if (!ResolveRootKey(root, &rootKey)) {
    AnswerRootError(reply, work);
  } else if (!whole || (target == DeleteTarget::SubkeyTree && name[0] == 0)) {
    // An empty subkey name would make the tree delete empty the key of the
    // path itself: only what the parameter names is ever deleted.
    AnswerSystemError(reply, ERROR_INVALID_PARAMETER, true, work, kWorkBufferSize);
  } else {
    HKEY key = nullptr;
    // A missing key path is created (and left empty); there is then nothing
    // to delete and no reply.
    if (CreateOrOpenKey(rootKey, path, "REG_SZ", &key) == REG_OPENED_EXISTING_KEY) {
      const LONG status =
          target == DeleteTarget::SubkeyTree ? static_cast<LONG>(SHDeleteKeyA(key, name)) : RegDeleteValueA(key, name);
      AnswerSystemError(reply, status, true, work, kWorkBufferSize);
    }
    CloseKey(key);
  }
  UnlockParameter(parameter);
}

}  // namespace

void DeleteRegistryKey(HostHandle parameter, HostHandle reply) { Delete(parameter, reply, DeleteTarget::SubkeyTree); }

void DeleteRegistryValue(HostHandle parameter, HostHandle reply) { Delete(parameter, reply, DeleteTarget::Value); }
