#include "hostsim/handle_table.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define HOSTSIM_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HOSTSIM_ASAN 1
#endif
#endif

namespace hostsim {

namespace {

// Bytes after each data block that must stay as they are.  Under
// AddressSanitizer there are none: it catches the overrun itself.
#ifdef HOSTSIM_ASAN
constexpr std::size_t kGuardBytes = 0;
#else
constexpr std::size_t kGuardBytes = 16;
#endif

// The fill bytes are those that Microsoft's debug C runtime uses for the
// same purposes, so they read familiarly in a dump of a Windows program;
// none is 0, so no filled byte passes for a terminator or an empty text.
//
// The guard bytes after each block: a write past the data changes them, and
// the check after each call reports it.
constexpr unsigned char kGuardFill = 0xFD;
// A block's bytes once it is freed or left behind by a move: data read
// through an address kept from before shows up as a run of 0xDD.
constexpr unsigned char kFreedFill = 0xDD;
// The bytes that a resize adds after the kept data: a plug-in that reads
// them before writing them reads 0xCD, not zeros that would hide the fault.
constexpr unsigned char kFreshFill = 0xCD;

}  // namespace

HandleTable::~HandleTable() {
  for (auto &record : records_) std::free(record->master);
}

HostHandle HandleTable::New(const std::string &bytes) {
  auto record = std::make_unique<Record>();
  const auto size = static_cast<uint32_t>(bytes.size());
  if (!Place(record.get(), reinterpret_cast<const unsigned char *>(bytes.data()), size, size)) throw std::bad_alloc();
  HostHandle handle = reinterpret_cast<HostHandle>(&record->master);
  records_.push_back(std::move(record));
  return handle;
}

void HandleTable::Free(HostHandle handle) {
  for (auto it = records_.begin(); it != records_.end(); ++it) {
    if (reinterpret_cast<HostHandle>(&(*it)->master) != handle) continue;
    Release((*it)->master, (*it)->capacity);
    records_.erase(it);
    return;
  }
}

HandleTable::Record *HandleTable::Find(HostHandle handle) {
  return const_cast<Record *>(static_cast<const HandleTable *>(this)->Find(handle));
}

const HandleTable::Record *HandleTable::Find(HostHandle handle) const {
  for (const auto &record : records_) {
    if (reinterpret_cast<HostHandle>(&record->master) == handle) return record.get();
  }
  return nullptr;
}

bool HandleTable::Resize(Record *record, uint32_t newSize) {
  record->resized = true;
  if (!strict_ && newSize <= record->capacity) {
    record->size = newSize;
    return true;
  }
  unsigned char *old = record->master;
  const uint32_t oldCapacity = record->capacity;
  if (!Place(record, old, std::min(record->size, newSize), newSize)) return false;
  Release(old, oldCapacity);
  return true;
}

std::size_t HandleTable::Overruns() const {
  std::size_t overruns = 0;
  for (const auto &record : records_) {
    const unsigned char *guard = record->master + record->size;
    if (record->guarded && std::any_of(guard, guard + kGuardBytes, [](unsigned char b) { return b != kGuardFill; }))
      ++overruns;
  }
  return overruns;
}

bool HandleTable::Place(Record *record, const unsigned char *data, uint32_t kept, uint32_t size) const {
  const std::size_t guard = strict_ ? kGuardBytes : 0;
  // A size near 4 GB plus the guard does not fit a 32-bit size_t.
  if (size > SIZE_MAX - guard - 1) return false;
  auto *block = static_cast<unsigned char *>(std::malloc(size + guard + (size + guard == 0 ? 1 : 0)));
  if (block == nullptr) return false;
  if (kept) std::memcpy(block, data, kept);
  if (size > kept) std::memset(block + kept, kFreshFill, size - kept);
  if (guard) std::memset(block + size, kGuardFill, guard);
  record->master = block;
  record->size = size;
  record->capacity = size;
  record->guarded = guard != 0;
  return true;
}

void HandleTable::Release(unsigned char *block, uint32_t capacity) const {
  if (strict_) std::memset(block, kFreedFill, capacity);
  std::free(block);
}

}  // namespace hostsim
