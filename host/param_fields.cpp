#include "host/param_fields.h"

#include <cstring>

#include "host/current_block.h"

// One pass over the text, from separator to separator: the fields before the
// wanted one are stepped over, the wanted one is copied up to the limit.
// The table of what is written and reported:
//   missing field, or empty text         nothing written   length 0
//   empty field                          nothing written   length 0
//   1 to limit - 1 bytes                 the field         its length
//   exactly limit bytes, ending the text the field         limit
//   limit bytes followed by a separator  the field         0, not whole
//   more than limit bytes                the first limit   0, not whole
bool GetParamField(HostHandle handle, int16_t fieldNumber, uint32_t limit, unsigned char *destination,
                   int32_t *length) {
  ExternCallBlock *block = CurrentCallBlock;
  const uint32_t textLength = block->QueryHandleSize(handle);
  block->PrepareHandle(handle);
  block->LockHandle(handle);
  const unsigned char *text = *handle;  // valid until the unlock below

  uint32_t reported = 0;
  bool whole = true;
  if (textLength != 0 && fieldNumber >= 1) {
    // Step over the fields before the wanted one.  The counter is wide
    // enough for any count of separators.
    uint32_t start = 0;
    bool found = true;
    for (int64_t field = 1; field < fieldNumber; ++field) {
      const void *separator = std::memchr(text + start, '|', textLength - start);
      if (separator == nullptr) {
        found = false;  // fewer fields than asked for
        break;
      }
      start = static_cast<uint32_t>(static_cast<const unsigned char *>(separator) - text) + 1;
    }
    if (found && start < textLength) {
      const void *separator = std::memchr(text + start, '|', textLength - start);
      const uint32_t end =
          separator ? static_cast<uint32_t>(static_cast<const unsigned char *>(separator) - text) : textLength;
      const uint32_t fieldLength = end - start;
      if (fieldLength < limit) {
        std::memcpy(destination, text + start, fieldLength);
        reported = fieldLength;
      } else {
        // The limit is filled: the bytes are there, but the field arrived
        // whole only if it ends the text exactly at the limit.
        std::memcpy(destination, text + start, limit);
        whole = start + limit == textLength;
        reported = whole ? limit : 0;
      }
    }
  }

  block->UnlockHandle(handle);
  *length = static_cast<int32_t>(reported);
  return whole;
}
