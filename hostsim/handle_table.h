// The host's memory handles: each handle points to its master pointer, and
// that to the handle's data block.  In strict mode every block carries guard
// bytes, every resize moves the data to a new block, and a block given back
// is poisoned before it is freed, so that a plug-in that keeps a data
// address across a resize, or writes past its data, is caught.
#ifndef VANTORIX_HOSTSIM_HANDLE_TABLE_H
#define VANTORIX_HOSTSIM_HANDLE_TABLE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/call_block.h"

namespace hostsim {

class HandleTable {
 public:
  struct Record {
    unsigned char *master = nullptr;  // first member: a HostHandle points here
    uint32_t size = 0;
    uint32_t capacity = 0;
    int locks = 0;
    bool resized = false;
    bool guarded = false;
  };

  explicit HandleTable(bool strict) : strict_(strict) {}
  ~HandleTable();
  HandleTable(const HandleTable &) = delete;
  HandleTable &operator=(const HandleTable &) = delete;

  // A new handle whose data are these bytes; throws std::bad_alloc when
  // the memory cannot be had.
  HostHandle New(const std::string &bytes);
  // Gives the handle's block back; a handle the table does not know is
  // ignored.
  void Free(HostHandle handle);
  // The record behind a handle; null for one the table never gave out or
  // has freed.
  Record *Find(HostHandle handle);
  const Record *Find(HostHandle handle) const;
  // Gives the record's data this size, keeping what fits; added bytes are
  // filled.  Strict: always in a new block; lean: in place when it fits.
  // False, with the record as it was, when no block of that size can be had.
  bool Resize(Record *record, uint32_t newSize);
  // How many guarded blocks have had a byte written past their data.
  std::size_t Overruns() const;

 private:
  // A new block of `size` bytes for record, holding the first `kept` bytes
  // of data, then fill, then (strict) the guard bytes.  False, with the
  // record untouched, when the memory cannot be had.
  bool Place(Record *record, const unsigned char *data, uint32_t kept, uint32_t size) const;
  // Poisons (strict) and frees a block of `capacity` bytes.
  void Release(unsigned char *block, uint32_t capacity) const;

  bool strict_;
  std::vector<std::unique_ptr<Record>> records_;
};

}  // namespace hostsim

#endif
