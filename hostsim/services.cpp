#include "hostsim/services.h"

#include <string>

namespace hostsim {

Host *Services::active = nullptr;

const char *ServiceName(Service service) {
  switch (service) {
    case Service::ResizeHandle: return "ResizeHandle";
    case Service::QueryHandleSize: return "QueryHandleSize";
    case Service::PrepareHandle: return "PrepareHandle";
    case Service::LockHandle: return "LockHandle";
    case Service::UnlockHandle: return "UnlockHandle";
    case Service::LastMemoryError: return "LastMemoryError";
  }
  return "?";
}

void Services::Offer(Host *host, ExternCallBlock *block) {
  block->ResizeHandle = &Resize;
  block->QueryHandleSize = &QuerySize;
  block->PrepareHandle = &Prepare;
  block->LockHandle = &Lock;
  block->UnlockHandle = &Unlock;
  block->LastMemoryError = &LastError;
  active = host;
}

HandleTable::Record *Services::Find(HostHandle handle, const char *service) {
  HandleTable::Record *record = active->handles_.Find(handle);
  if (record == nullptr) active->violations_.push_back(std::string(service) + " with a handle the host never gave out");
  return record;
}

void Services::Note(Service service, HostHandle handle, uint32_t argument) {
  if (active->options_.journal) active->journal_.push_back(JournalEntry{service, handle, argument});
}

void VX_CDECL Services::Resize(HostHandle handle, uint32_t newSize) {
  Note(Service::ResizeHandle, handle, newSize);
  HandleTable::Record *record = Find(handle, "ResizeHandle");
  if (record == nullptr) return;
  if (active->failResizes_ > 0) {
    --active->failResizes_;
    active->lastMemoryError_ = active->failCode_;
    return;
  }
  active->lastMemoryError_ = active->handles_.Resize(record, newSize) ? 0 : Host::kMemoryFull;
}

uint32_t VX_CDECL Services::QuerySize(HostHandle handle) {
  Note(Service::QueryHandleSize, handle, 0);
  HandleTable::Record *record = Find(handle, "QueryHandleSize");
  return record ? record->size : 0;
}

void VX_CDECL Services::Prepare(HostHandle handle) {
  Note(Service::PrepareHandle, handle, 0);
  Find(handle, "PrepareHandle");
}

void VX_CDECL Services::Lock(HostHandle handle) {
  Note(Service::LockHandle, handle, 0);
  HandleTable::Record *record = Find(handle, "LockHandle");
  if (record) ++record->locks;
}

void VX_CDECL Services::Unlock(HostHandle handle) {
  Note(Service::UnlockHandle, handle, 0);
  HandleTable::Record *record = Find(handle, "UnlockHandle");
  if (record == nullptr) return;
  if (record->locks == 0) {
    active->violations_.push_back("UnlockHandle on a handle that is not locked");
    return;
  }
  --record->locks;
}

int16_t VX_CDECL Services::LastError() {
  Note(Service::LastMemoryError, nullptr, 0);
  return active->lastMemoryError_;
}

}  // namespace hostsim
