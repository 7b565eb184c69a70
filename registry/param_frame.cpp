#include "registry/param_frame.h"

#include "host/current_block.h"
#include "host/reply.h"

void LockParameter(HostHandle parameter) { CurrentCallBlock->LockHandle(parameter); }

void UnlockParameter(HostHandle parameter) { CurrentCallBlock->UnlockHandle(parameter); }

bool ReadFields(HostHandle parameter, char *const *fields, int count) {
  bool allWhole = true;
  for (int n = 1; n <= count; ++n) {
    unsigned char scratch[kFieldBufferSize] = {};
    int32_t length = 0;
    const bool whole = GetParamField(parameter, static_cast<int16_t>(n), ParamFieldMax, scratch, &length);
    if (!whole) allWhole = false;
    scratch[length] = 0;
    char *field = fields[n - 1];
    for (int32_t i = 0; i <= length; ++i) {
      field[i] = static_cast<char>(scratch[i]);
      if (i < length && scratch[i] == 0) allWhole = false;
    }
  }
  return allWhole;
}

void AnswerRootError(HostHandle reply, char *work) {
  static const char kRootError[] = "<<ERROR>>";
  uint32_t length = 0;
  for (; kRootError[length] != 0; ++length) work[length] = kRootError[length];
  work[length] = 0;
  PutResult(reply, work, length);
}
