// The host stand-in's calling-convention checks, shown able to fail: entry
// points that each break one rule of the 32-bit convention that the host
// relies on, called as the host calls the plug-in.  The suite's every call
// into the plug-in goes through the same checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "hostsim/checked_call.h"
#include "hostsim/hostsim.h"

#if defined(__i386__)

extern "C" {
void vx_broken_ebx(ExternCallBlock *);
void vx_broken_esi(ExternCallBlock *);
void vx_broken_edi(ExternCallBlock *);
void vx_broken_ebp(ExternCallBlock *);
void vx_broken_pops_argument(ExternCallBlock *);
void vx_broken_direction_flag(ExternCallBlock *);
void vx_broken_control_word(ExternCallBlock *);
void vx_sound_records_esp(ExternCallBlock *);
}

#if defined(_WIN32)
#define VX_ENTRY(name) ".globl _" #name "\n_" #name ":\n"
#else
#define VX_ENTRY(name) ".globl " #name "\n.type " #name ", @function\n" #name ":\n"
#endif

// Each entry breaks one rule and returns; the last keeps every rule and
// answers, in the block's reply field, the ESP it was entered with.
asm(VX_ASM_TEXT_BEGIN
    VX_ENTRY(vx_broken_ebx) "  movl $0x12345678, %ebx\n  ret\n"  //
    VX_ENTRY(vx_broken_esi) "  movl $0x12345678, %esi\n  ret\n"  //
    VX_ENTRY(vx_broken_edi) "  movl $0x12345678, %edi\n  ret\n"  //
    VX_ENTRY(vx_broken_ebp) "  movl $0x12345678, %ebp\n  ret\n"  //
    VX_ENTRY(vx_broken_pops_argument) "  ret $4\n"                //
    VX_ENTRY(vx_broken_direction_flag) "  std\n  ret\n"           //
    VX_ENTRY(vx_broken_control_word)                              //
    "  subl $4, %esp\n"
    "  fnstcw (%esp)\n"
    "  xorw $0x0300, (%esp)\n"
    "  fldcw (%esp)\n"
    "  addl $4, %esp\n"
    "  ret\n"  //
    VX_ENTRY(vx_sound_records_esp)
    "  movl 4(%esp), %eax\n"
    "  movl %esp, 24(%eax)\n"
    "  ret\n"
    VX_ASM_TEXT_END);

namespace {

struct BrokenEntry {
  const char *what;
  ExternCallProc entry;
  const char *reported;
};

const BrokenEntry kBrokenEntries[] = {
    {"changes EBX", vx_broken_ebx, "EBX not preserved (0xB7B7B001 became 0x12345678)"},
    {"changes ESI", vx_broken_esi, "ESI not preserved (0x5E5E5002 became 0x12345678)"},
    {"changes EDI", vx_broken_edi, "EDI not preserved (0xD1D1D003 became 0x12345678)"},
    {"changes EBP", vx_broken_ebp, "EBP not preserved (0xBFBFB004 became 0x12345678)"},
    {"pops its argument", vx_broken_pops_argument, "ESP not back where it was (moved by 4 bytes"},
    {"leaves the direction flag set", vx_broken_direction_flag, "direction flag left set"},
    {"changes the x87 precision", vx_broken_control_word, "x87 control word changed"},
};

TEST(CallingConventionTest, EachBrokenRuleIsReportedNamingTheCall) {
  for (const BrokenEntry &broken : kBrokenEntries) {
    hostsim::Plugin plugin(broken.entry, nullptr);
    hostsim::Host host(plugin);
    host.Init();
    host.External(2, "HKEY_CURRENT_USER|Software|x");
    const std::vector<std::string> &violations = host.Violations();
    ASSERT_EQ(violations.size(), 2u) << broken.what;
    EXPECT_EQ(violations[0].rfind("FMExternCallProc(CallInit) broke the calling convention: ", 0), 0u)
        << broken.what << ": " << violations[0];
    EXPECT_EQ(violations[1].rfind("FMExternCallProc(CallExternal, function 2) broke", 0), 0u)
        << broken.what << ": " << violations[1];
    EXPECT_NE(violations[0].find(broken.reported), std::string::npos) << broken.what << ": " << violations[0];
    // Only the rule that was broken.
    EXPECT_EQ(violations[0].find(';'), std::string::npos) << broken.what << ": " << violations[0];
  }
}

TEST(CallingConventionTest, EntryPointsStartOnAStackAlignedTo4ButNot16) {
  hostsim::Plugin plugin(vx_sound_records_esp, nullptr);
  hostsim::Host host(plugin);
  std::vector<unsigned> seen;
  for (int call = 0; call < 3; ++call) {
    // The block's reply answers the ESP at entry, which points at the
    // return address: the argument above it sits at ESP + 4.
    const uint32_t espAtEntry = static_cast<uint32_t>(host.Init());
    const unsigned atCall = (espAtEntry + 4) % 16;
    EXPECT_EQ(atCall, hostsim::LastCallMisalignment());
    EXPECT_EQ(atCall % 4, 0u);
    EXPECT_NE(atCall, 0u);
    seen.push_back(atCall);
  }
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (std::vector<unsigned>{4, 8, 12})) << "every misalignment, in turn";
  EXPECT_TRUE(host.Violations().empty()) << host.Violations()[0];
}

}  // namespace

#endif
