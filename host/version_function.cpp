#include <windows.h>

#include "host/external_functions.h"
#include "host/own_module.h"
#include "host/reply.h"
#include "resources/string_ids.h"

void VersionFunction(HostHandle reply) {
  char text[64];
  // Loaded anew on every call; a missing string gives an empty text (the
  // count of characters copied is then 0).
  const int length = LoadStringA(OwnModule(), IDS_VERSION_TEXT, text, sizeof text);
  PutResult(reply, text, static_cast<uint32_t>(length));
}
