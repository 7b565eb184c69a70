#include "host/param_fields.h"

#include "host/current_block.h"

bool GetParamField(HostHandle handle, int16_t fieldNumber, uint32_t limit, unsigned char *destination,
                   int32_t *length) {
  ExternCallBlock *block = CurrentCallBlock;
  const uint32_t textLength = block->QueryHandleSize(handle);
  block->PrepareHandle(handle);
  block->LockHandle(handle);
  const unsigned char *text = *handle;  // valid until the unlock below

  int64_t fieldCounter = 1;  // wide enough for any count of separators
  uint32_t writePosition = 0;
  uint32_t savedLength = 0;
  bool done = false;
  uint32_t byteIndex = 0;

  if (textLength != 0) {
    while (byteIndex < textLength) {
      if (done || writePosition >= limit) break;
      const unsigned char byte = text[byteIndex];
      if (fieldCounter == fieldNumber) {
        if (byte != '|') {
          destination[writePosition++] = byte;
        } else if (writePosition > 0) {
          savedLength = writePosition;
          done = true;
          writePosition = 0;
          ++fieldCounter;
        } else {
          ++fieldCounter;  // the wanted field is empty
        }
      } else if (byte == '|') {
        ++fieldCounter;
      }
      ++byteIndex;
    }
  }

  // The field was cut if the scan stopped at the limit with text left over:
  // either more of the field or the separator that ends it.
  const bool whole = !(writePosition >= limit && byteIndex < textLength);

  block->UnlockHandle(handle);
  const bool endedEarly = byteIndex < textLength;
  *length = static_cast<int32_t>((endedEarly || done) ? savedLength : writePosition);
  return whole;
}
