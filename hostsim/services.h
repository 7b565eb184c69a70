// The six memory services that the host offers the plug-in in every call
// block.  They get no context, so they answer for the host that sent the
// call in progress.
#ifndef VANTORIX_HOSTSIM_SERVICES_H
#define VANTORIX_HOSTSIM_SERVICES_H

#include <cstdint>

#include "host/call_block.h"
#include "hostsim/host.h"

namespace hostsim {

struct Services {
  // Puts the services into the block and makes host the one that answers.
  static void Offer(Host *host, ExternCallBlock *block);
  // Makes host the one that answers a block it filled in before.
  static void Answer(Host *host) { active = host; }
  // A host that goes away answers no more.
  static void Withdraw(const Host *host) {
    if (active == host) active = nullptr;
  }

 private:
  static HandleTable::Record *Find(HostHandle handle, const char *service);
  static void Note(Service service, HostHandle handle, uint32_t argument);
  static void VX_CDECL Resize(HostHandle handle, uint32_t newSize);
  static uint32_t VX_CDECL QuerySize(HostHandle handle);
  static void VX_CDECL Prepare(HostHandle handle);
  static void VX_CDECL Lock(HostHandle handle);
  static void VX_CDECL Unlock(HostHandle handle);
  static int16_t VX_CDECL LastError();

  static Host *active;
};

}  // namespace hostsim

#endif
