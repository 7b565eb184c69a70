#include "host/reply.h"

#include "host/current_block.h"

void CopyBytes(const void *source, void *destination, uint32_t count) {
  const unsigned char *from = static_cast<const unsigned char *>(source);
  unsigned char *to = static_cast<unsigned char *>(destination);
  for (uint32_t i = 0; i < count; ++i) to[i] = from[i];
}

void PutResult(HostHandle reply, const void *text, uint32_t n) {
  CurrentCallBlock->ResizeHandle(reply, n);
  if (CurrentCallBlock->LastMemoryError() != 0) return;
  // The resize may have moved the data: read the master pointer only now.
  CopyBytes(text, *reply, n);
}
