// ToHostText against a plain model: drop every line feed, map the rest
// through the character table, cut at the first zero byte and terminate
// there; the bytes after the terminator stay as they were.  (The table
// itself is checked by the unit tests against the character sets; this
// target is about the conversion around it.)  Every input also checks that
// the scratch buffer is freed and, under AddressSanitizer, that nothing is
// touched beyond text[length].
//
// Input: one control byte, then the text.  The control byte 0xFF makes the
// scratch allocation fail; any value is also the byte found at text[length].
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <vxplatform/testing.h>

#include "host/host_text.h"

namespace {

[[noreturn]] void Fail(const char *what, std::size_t length) {
  std::fprintf(stderr, "ToHostText: %s (text of %zu bytes)\n", what, length);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) return 0;
  const bool failAllocation = data[0] == 0xFF;
  const std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
  const int32_t length = static_cast<int32_t>(text.size());

  // length + 1 bytes, as the callers provide.
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back(static_cast<char>(data[0]));
  std::vector<char> expected = buffer;
  int32_t expectedResult = length;
  if (length > 0 && !failAllocation) {
    std::string converted;
    for (char c : text) {
      if (c != '\n') converted += static_cast<char>(HostCharTable[static_cast<unsigned char>(c)]);
    }
    const std::size_t end = std::min(converted.find('\0'), converted.size());
    for (std::size_t i = 0; i < end; ++i) expected[i] = converted[i];
    expected[end] = 0;
    expectedResult = static_cast<int32_t>(end);
  }

  const std::size_t liveBefore = vxplatform::LiveGlobalAllocations();
  if (failAllocation) vxplatform::FailGlobalAlloc(1);
  const int32_t result = ToHostText(buffer.data(), length);
  vxplatform::FailGlobalAlloc(0);

  if (result != expectedResult) Fail("result", text.size());
  if (buffer != expected) Fail("converted text", text.size());
  if (vxplatform::LiveGlobalAllocations() != liveBefore) Fail("scratch buffer not freed", text.size());
  return 0;
}
