#include "registry/list_frame.h"

#include "host/reply.h"
#include "registry/key_access.h"
#include "registry/param_frame.h"
#include "registry/root_keys.h"
#include "registry/system_error_text.h"

namespace {

void ShowCursor(LPCSTR which) { SetCursor(LoadCursorA(nullptr, which)); }

}  // namespace

void RunListFunction(HostHandle parameter, HostHandle reply, ListAnswer answer) {
  char root[kFieldBufferSize] = {};
  char path[kFieldBufferSize] = {};
  char names[kListBufferSize] = {};
  ByteString list;

  LockParameter(parameter);
  ShowCursor(IDC_WAIT);
  char *const fields[] = {root, path};
  const bool whole = ReadFields(parameter, fields, 2);

  HKEY rootKey = nullptr;
  HKEY key = nullptr;
  if (!ResolveRootKey(root, &rootKey)) {
    AnswerRootError(reply, names);
  } else if (!whole) {
    AnswerSystemError(reply, ERROR_INVALID_PARAMETER, true, names, kListBufferSize);
  } else {
    answer(rootKey, path, &key, reply, names, &list);
  }
  CloseKey(key);
  ShowCursor(IDC_ARROW);
  UnlockParameter(parameter);
  list.Release();
}

void FinishList(LONG status, uint32_t index, bool firstStepMessage, HostHandle reply, char *names,
                const ByteString &list) {
  if (firstStepMessage && index == 1) {
    AnswerSystemError(reply, status, true, names, kListBufferSize);
  } else if (list.length() > 0) {
    // The entries so far, also when a later step failed; nothing at all when
    // the very first step failed otherwise.
    PutResult(reply, list.data(), list.length());
  }
}

bool AppendOrGiveUp(ByteString *list, std::initializer_list<const char *> pieces, HostHandle reply, char *names) {
  if (list->AppendTexts(pieces)) return true;
  list->Release();
  AnswerSystemError(reply, ERROR_NOT_ENOUGH_MEMORY, true, names, kListBufferSize);
  return false;
}
