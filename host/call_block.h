// The host's call block and its memory handles.
//
// The host passes one ExternCallBlock by pointer on every call.  The 32-bit
// layout is the host's own (72 bytes); the 64-bit build of the same code
// widens every pointer, handle and unused 4-byte slot to 8 bytes and keeps
// the order of the fields (128 bytes).
#ifndef VANTORIX_HOST_CALL_BLOCK_H
#define VANTORIX_HOST_CALL_BLOCK_H

#include <windows.h>

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define VX_CDECL __cdecl
#else
#define VX_CDECL
#endif

// A pointer to the host's master pointer, which holds the address of the
// handle's data bytes.  The data may move whenever the host is called, so
// the master pointer is read anew after every service call.
using HostHandle = unsigned char **;

extern "C" {
using ResizeHandleProc = void(VX_CDECL *)(HostHandle handle, uint32_t newSize);
using QueryHandleSizeProc = uint32_t(VX_CDECL *)(HostHandle handle);
using PrepareHandleProc = void(VX_CDECL *)(HostHandle handle);
using LockHandleProc = void(VX_CDECL *)(HostHandle handle);
using UnlockHandleProc = void(VX_CDECL *)(HostHandle handle);
using LastMemoryErrorProc = int16_t(VX_CDECL *)();
}

struct ExternCallBlock {
  int16_t hostVersion;  // interface version offered by the host
  uint8_t unused2[7];
  uint8_t callKind;  // CallKind
  uint8_t idleKind;
  uint8_t unused11;
  int32_t functionIndex;
  HostHandle parameterHandle;
  HINSTANCE instanceHandle;  // the plug-in's own module
  intptr_t reply;            // init answer out; reply handle in, for external calls
  void *unused28;            // 32-bit offsets of the unused slots
  void *unused32;
  ResizeHandleProc ResizeHandle;
  QueryHandleSizeProc QueryHandleSize;
  void *unused44;
  PrepareHandleProc PrepareHandle;
  LockHandleProc LockHandle;
  UnlockHandleProc UnlockHandle;
  void *unused60;
  void *unused64;
  LastMemoryErrorProc LastMemoryError;
};

#if UINTPTR_MAX > 0xFFFFFFFFu
static_assert(offsetof(ExternCallBlock, hostVersion) == 0, "hostVersion");
static_assert(offsetof(ExternCallBlock, callKind) == 9, "callKind");
static_assert(offsetof(ExternCallBlock, idleKind) == 10, "idleKind");
static_assert(offsetof(ExternCallBlock, functionIndex) == 12, "functionIndex");
static_assert(offsetof(ExternCallBlock, parameterHandle) == 16, "parameterHandle");
static_assert(offsetof(ExternCallBlock, instanceHandle) == 24, "instanceHandle");
static_assert(offsetof(ExternCallBlock, reply) == 32, "reply");
static_assert(offsetof(ExternCallBlock, ResizeHandle) == 56, "ResizeHandle");
static_assert(offsetof(ExternCallBlock, QueryHandleSize) == 64, "QueryHandleSize");
static_assert(offsetof(ExternCallBlock, PrepareHandle) == 80, "PrepareHandle");
static_assert(offsetof(ExternCallBlock, LockHandle) == 88, "LockHandle");
static_assert(offsetof(ExternCallBlock, UnlockHandle) == 96, "UnlockHandle");
static_assert(offsetof(ExternCallBlock, LastMemoryError) == 120, "LastMemoryError");
static_assert(sizeof(ExternCallBlock) == 128, "64-bit block size");
#else
static_assert(offsetof(ExternCallBlock, hostVersion) == 0, "hostVersion");
static_assert(offsetof(ExternCallBlock, callKind) == 9, "callKind");
static_assert(offsetof(ExternCallBlock, idleKind) == 10, "idleKind");
static_assert(offsetof(ExternCallBlock, functionIndex) == 12, "functionIndex");
static_assert(offsetof(ExternCallBlock, parameterHandle) == 16, "parameterHandle");
static_assert(offsetof(ExternCallBlock, instanceHandle) == 20, "instanceHandle");
static_assert(offsetof(ExternCallBlock, reply) == 24, "reply");
static_assert(offsetof(ExternCallBlock, ResizeHandle) == 36, "ResizeHandle");
static_assert(offsetof(ExternCallBlock, QueryHandleSize) == 40, "QueryHandleSize");
static_assert(offsetof(ExternCallBlock, PrepareHandle) == 48, "PrepareHandle");
static_assert(offsetof(ExternCallBlock, LockHandle) == 52, "LockHandle");
static_assert(offsetof(ExternCallBlock, UnlockHandle) == 56, "UnlockHandle");
static_assert(offsetof(ExternCallBlock, LastMemoryError) == 68, "LastMemoryError");
static_assert(sizeof(ExternCallBlock) == 72, "32-bit block size");
#endif

// Call kinds (the block's callKind).
enum CallKind : uint8_t {
  CallInit = 0,
  CallIdle = 1,
  CallExternal = 3,
  CallShutdown = 4,
  CallPreferences = 5,
};

// The interface version this plug-in speaks, and the range of host
// versions it accepts.
constexpr int32_t kInterfaceVersion = 4;
constexpr int16_t kLowestHostVersion = 4;
constexpr int16_t kHighestHostVersion = 255;
constexpr int32_t kRefuseHost = -1;

extern "C" {
typedef void(VX_CDECL *ExternCallProc)(ExternCallBlock *block);
}

#endif
