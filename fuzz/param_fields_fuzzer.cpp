// GetParamField against a plain model of the parameter text: split it on
// '|' and apply the table of written bytes, reported length and whole flag.
// Every input also checks the host calls, one locked read of an unchanged
// text, and (under AddressSanitizer) that nothing is read or written outside
// the text and the destination.
//
// Input: two bytes of field number (little-endian, signed), one byte that
// chooses the limit (below 0x80: a small limit of 1 to 16, so that short
// inputs reach the limit; otherwise the callers' ParamFieldMax), then the
// parameter text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/current_block.h"
#include "host/entry.h"
#include "host/param_fields.h"
#include "hostsim/hostsim.h"

namespace {

constexpr unsigned char kUntouched = 0xA5;

struct Expected {
  std::string written;
  int32_t length = 0;
  bool whole = true;
};

Expected Model(const std::string &text, int field, uint32_t limit) {
  std::vector<std::string> fields(1);
  for (char c : text) {
    if (c == '|') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  Expected expected;
  if (text.empty() || field < 1 || static_cast<std::size_t>(field) > fields.size()) return expected;
  const std::string &value = fields[static_cast<std::size_t>(field) - 1];
  const bool last = static_cast<std::size_t>(field) == fields.size();
  if (value.size() < limit || (value.size() == limit && last)) {
    expected.written = value;
    expected.length = static_cast<int32_t>(value.size());
  } else {
    // Filled the limit with more to come: the bytes are there, the length
    // says nothing arrived.
    expected.written = value.substr(0, limit);
    expected.length = 0;
    expected.whole = false;
  }
  return expected;
}

[[noreturn]] void Fail(const char *what, const std::string &text, int field, uint32_t limit) {
  std::fprintf(stderr, "GetParamField: %s (field %d, limit %u, text of %zu bytes)\n", what, field, limit, text.size());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 3) return 0;
  const int16_t field = static_cast<int16_t>(data[0] | data[1] << 8);
  const uint32_t limit = data[2] < 0x80 ? 1u + data[2] % 16u : ParamFieldMax;
  const std::string text(reinterpret_cast<const char *>(data + 3), size - 3);

  static hostsim::Plugin plugin(&FMExternCallProc, nullptr);
  hostsim::Host host(plugin);
  CurrentCallBlock = host.PrepareBlock(CallExternal);
  HostHandle handle = host.NewHandle(text);
  // Exactly limit bytes, so that a write beyond them is caught.
  std::vector<unsigned char> destination(limit, kUntouched);
  int32_t length = -1;
  const bool whole = GetParamField(handle, field, limit, destination.data(), &length);

  const Expected expected = Model(text, field, limit);
  if (length != expected.length) Fail("reported length", text, field, limit);
  if (whole != expected.whole) Fail("whole flag", text, field, limit);
  if (std::string(destination.begin(), destination.begin() + static_cast<std::ptrdiff_t>(expected.written.size())) !=
      expected.written)
    Fail("bytes written", text, field, limit);
  for (std::size_t i = expected.written.size(); i < destination.size(); ++i) {
    if (destination[i] != kUntouched) Fail("destination written beyond the field", text, field, limit);
  }

  const std::vector<hostsim::JournalEntry> &journal = host.Journal();
  const hostsim::Service order[] = {hostsim::Service::QueryHandleSize, hostsim::Service::PrepareHandle,
                                    hostsim::Service::LockHandle, hostsim::Service::UnlockHandle};
  if (journal.size() != 4) Fail("number of host calls", text, field, limit);
  for (std::size_t i = 0; i < 4; ++i) {
    if (journal[i].service != order[i] || journal[i].handle != handle) Fail("host call order", text, field, limit);
  }
  if (host.LockCount(handle) != 0) Fail("handle left locked", text, field, limit);
  if (host.Bytes(handle) != text) Fail("parameter text changed", text, field, limit);
  if (!host.Violations().empty()) Fail(host.Violations().front().c_str(), text, field, limit);
  CurrentCallBlock = nullptr;
  return 0;
}
