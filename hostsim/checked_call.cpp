#include "hostsim/checked_call.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace hostsim {

#if defined(__i386__)

// What the trampoline reads before the call and writes after it.  It is
// found through a fixed symbol, not a register: after the call no register
// but the scratch ones can be trusted.  Calls into the plug-in come one at a
// time, on one thread, as the host makes them.
extern "C" {
struct VxCallRecord {
  uint32_t entry;      //  0: the function to call
  uint32_t block;      //  4: its argument
  uint32_t pad;        //  8: bytes to drop below a 16-byte boundary
  uint32_t espAtCall;  // 12: ESP at the call instruction, argument pushed
  uint32_t ownEsp;     // 16: the trampoline's ESP, to come back to
  uint32_t ebx;        // 20: registers as the entry point left them
  uint32_t esi;        // 24
  uint32_t edi;        // 28
  uint32_t ebp;        // 32
  uint32_t esp;        // 36
  uint32_t eflags;     // 40
  uint16_t cwAfter;    // 44: x87 control word after the call
  uint16_t unused46;
  uint16_t cwBefore;  // 48: x87 control word before the call
  uint16_t unused50;
};
VxCallRecord vx_call_record;
void vx_checked_call();
}
static_assert(offsetof(VxCallRecord, ebx) == 20, "record layout");
static_assert(offsetof(VxCallRecord, cwBefore) == 48, "record layout");

// The values the callee-saved registers hold when the entry point starts.
#define VX_EBX_MARK 0xB7B7B001
#define VX_ESI_MARK 0x5E5E5002
#define VX_EDI_MARK 0xD1D1D003
#define VX_EBP_MARK 0xBFBFB004
#define VX_STR2(x) #x
#define VX_STR(x) VX_STR2(x)
#define VX_MARKS \
  "  movl $" VX_STR(VX_EBX_MARK) ", %ebx\n"      \
  "  movl $" VX_STR(VX_ESI_MARK) ", %esi\n"      \
  "  movl $" VX_STR(VX_EDI_MARK) ", %edi\n"      \
  "  movl $" VX_STR(VX_EBP_MARK) ", %ebp\n"

#if defined(_WIN32)
#define VX_SYMBOL(name) "_" #name
#define VX_RECORD_TO_ECX "  movl $_vx_call_record, %ecx\n"
#define VX_FUNCTION_TYPE(name)
#else
#define VX_SYMBOL(name) #name
// Position-independent: the record's address from the global offset table.
#define VX_RECORD_TO_ECX                         \
  "  call 1f\n"                                  \
  "1:\n"                                         \
  "  popl %ecx\n"                                \
  "  addl $_GLOBAL_OFFSET_TABLE_+(.-1b), %ecx\n" \
  "  leal vx_call_record@GOTOFF(%ecx), %ecx\n"
#define VX_FUNCTION_TYPE(name) "  .type " #name ", @function\n"
#endif

asm(VX_ASM_TEXT_BEGIN
    "  .globl " VX_SYMBOL(vx_checked_call) "\n" VX_FUNCTION_TYPE(vx_checked_call)  //
    VX_SYMBOL(vx_checked_call) ":\n"
    "  pushl %ebp\n"
    "  pushl %ebx\n"
    "  pushl %esi\n"
    "  pushl %edi\n" VX_RECORD_TO_ECX
    "  movl %esp, 16(%ecx)\n"
    "  fnstcw 48(%ecx)\n"
    "  movl 0(%ecx), %eax\n"
    "  movl 4(%ecx), %edx\n"
    "  andl $-16, %esp\n"
    "  subl 8(%ecx), %esp\n"
    "  pushl %edx\n"
    "  movl %esp, 12(%ecx)\n" VX_MARKS
    "  call *%eax\n" VX_RECORD_TO_ECX
    "  movl %ebx, 20(%ecx)\n"
    "  movl %esi, 24(%ecx)\n"
    "  movl %edi, 28(%ecx)\n"
    "  movl %ebp, 32(%ecx)\n"
    "  movl %esp, 36(%ecx)\n"
    "  pushfl\n"
    "  popl 40(%ecx)\n"
    "  fnstcw 44(%ecx)\n"
    "  cld\n"
    "  fldcw 48(%ecx)\n"
    "  movl 16(%ecx), %esp\n"
    "  popl %edi\n"
    "  popl %esi\n"
    "  popl %ebx\n"
    "  popl %ebp\n"
    "  ret\n"
    VX_ASM_TEXT_END);

namespace {

unsigned callCount = 0;

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

// The entry point and what it was asked, for reports:
// "FMExternCallProc(CallExternal, function 2)".
std::string CallName(const ExternCallBlock &block) {
  std::string kind;
  switch (block.callKind) {
    case CallInit: kind = "CallInit"; break;
    case CallIdle: kind = "CallIdle"; break;
    case CallExternal: kind = "CallExternal, function " + std::to_string(block.functionIndex); break;
    case CallShutdown: kind = "CallShutdown"; break;
    case CallPreferences: kind = "CallPreferences"; break;
    default: kind = "call kind " + std::to_string(block.callKind); break;
  }
  return "FMExternCallProc(" + kind + ")";
}

void CheckRegister(std::string *broken, const char *name, uint32_t expected, uint32_t actual) {
  if (actual != expected)
    *broken += std::string(name) + " not preserved (" + Hex(expected) + " became " + Hex(actual) + "); ";
}

}  // namespace

bool CallsAreChecked() { return true; }

std::string CheckedCall(ExternCallProc entry, ExternCallBlock *block) {
  const std::string call = CallName(*block);
  // ESP at the call is 4, 8 or 12 modulo 16: from a 16-byte boundary, drop
  // (12 - misalignment) bytes, then push the 4-byte argument.
  const unsigned misalignment = 4u * (1u + callCount++ % 3u);
  vx_call_record = VxCallRecord{};
  vx_call_record.entry = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(entry));
  vx_call_record.block = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(block));
  vx_call_record.pad = 12u - misalignment;
  vx_checked_call();

  const VxCallRecord &r = vx_call_record;
  std::string broken;
  CheckRegister(&broken, "EBX", VX_EBX_MARK, r.ebx);
  CheckRegister(&broken, "ESI", VX_ESI_MARK, r.esi);
  CheckRegister(&broken, "EDI", VX_EDI_MARK, r.edi);
  CheckRegister(&broken, "EBP", VX_EBP_MARK, r.ebp);
  if (r.esp != r.espAtCall) {
    const long moved = static_cast<long>(static_cast<int32_t>(r.esp - r.espAtCall));
    broken +=
        "ESP not back where it was (moved by " + std::to_string(moved) + " bytes, but the caller pops the argument); ";
  }
  if (r.eflags & 0x400u) broken += "direction flag left set; ";
  if (r.cwAfter != r.cwBefore)
    broken += "x87 control word changed (" + Hex(r.cwBefore) + " became " + Hex(r.cwAfter) + "); ";
  if (broken.empty()) return broken;
  broken.resize(broken.size() - 2);
  return call + " broke the calling convention: " + broken;
}

unsigned LastCallMisalignment() { return callCount == 0 ? 0 : 12u - vx_call_record.pad; }

#else

bool CallsAreChecked() { return false; }

std::string CheckedCall(ExternCallProc entry, ExternCallBlock *block) {
  entry(block);
  return std::string();
}

unsigned LastCallMisalignment() { return 0; }

#endif

}  // namespace hostsim
