// Calls into the plug-in's entry point the way a 32-bit host built with an
// older compiler does, and checks that the entry point kept the calling
// convention.
//
// On 32-bit x86 the call goes through a small assembly trampoline that
// enters with the stack aligned to 4 bytes but not to 16, fills the
// callee-saved registers with known values, and afterwards checks that EBX,
// ESI, EDI and EBP hold them again, that ESP is back where it was (cdecl:
// the caller pops the argument), that the direction flag is clear and that
// the x87 control word is unchanged.  Other builds call the entry directly.
#ifndef VANTORIX_HOSTSIM_CHECKED_CALL_H
#define VANTORIX_HOSTSIM_CHECKED_CALL_H

#include <string>

#include "host/call_block.h"

// Top-level assembly goes between these, so that the compiler's own output
// after it stays in the section the compiler thinks it is in (ELF can say
// so; on Windows the compiler names the section of everything it emits).
#if defined(_WIN32)
#define VX_ASM_TEXT_BEGIN ".text\n"
#define VX_ASM_TEXT_END ""
#else
#define VX_ASM_TEXT_BEGIN ".pushsection .text\n"
#define VX_ASM_TEXT_END ".popsection\n"
#endif

namespace hostsim {

// True where the calls are checked (32-bit x86 builds).
bool CallsAreChecked();

// Calls entry(block).  Returns what the entry point broke, naming the call
// and then every broken rule ("FMExternCallProc(CallInit) broke the calling
// convention: EBX not preserved (...)"), or an empty string when it kept
// every rule (always empty where calls are not checked).  The trampoline restores the caller's
// registers, direction flag and control word either way.
std::string CheckedCall(ExternCallProc entry, ExternCallBlock *block);

// The stack alignment of the checked calls: ESP modulo 16 at the call
// instruction, after the argument is pushed.  It cycles through 4, 8 and 12
// from call to call; 0 where calls are not checked.
unsigned LastCallMisalignment();

}  // namespace hostsim

#endif
