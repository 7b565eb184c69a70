// The thread block that 32-bit Windows code finds through the FS segment,
// for the calling thread of a linux 32-bit x86 program (see module.h).
//
// The runtime that a Windows DLL carries reads a few fields of it directly:
// the block's own address, the stack's bounds, the exception list and the
// thread-local storage slots.  The block holds those, and FS is loaded with
// a segment whose base is the block; it stays loaded, as 32-bit linux
// programs address their own thread data through GS.
#ifndef VANTORIX_PE_THREAD_BLOCK_H
#define VANTORIX_PE_THREAD_BLOCK_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace pe {

// The fields at the offsets where Windows keeps them.
struct ThreadBlock {
  static constexpr std::size_t kTlsSlots = 64;
  static constexpr std::size_t kModuleTlsSlots = 32;

  uint32_t exceptionList;  // 0x00: the end of the chain, 0xFFFFFFFF
  uint32_t stackBase;      // 0x04: the stack's top
  uint32_t stackLimit;     // 0x08: its lowest address
  uint32_t unused0C[3];    //
  uint32_t self;           // 0x18: this block's address
  uint32_t unused1C[4];    //
  uint32_t tlsPointer;     // 0x2C: the modules' thread-local data, by index
  uint8_t unused30[0xE10 - 0x30];
  uint32_t tlsSlots[kTlsSlots];         // 0xE10: TlsGetValue's slots
  uint32_t moduleTls[kModuleTlsSlots];  // what tlsPointer points to
};
static_assert(offsetof(ThreadBlock, self) == 0x18, "self");
static_assert(offsetof(ThreadBlock, tlsPointer) == 0x2C, "tlsPointer");
static_assert(sizeof(ThreadBlock) <= 4096, "one page");
static_assert(offsetof(ThreadBlock, tlsSlots) == 0xE10, "tlsSlots");

// The calling thread's block, made and loaded into FS on first use; null,
// with the reason in *error, if the system refuses the segment.  A block
// lives as long as the process: a module's detach code may still read it
// while the program's static objects are destroyed.
ThreadBlock *CurrentThreadBlock(std::string *error);

}  // namespace pe

#endif
