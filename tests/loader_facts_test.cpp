// The plug-in file on the system's own loader (the Windows lanes): its
// process attach and detach run, it unloads and loads again with fresh
// state, and it works when loaded away from its preferred base.  Each test
// loads a copy of the lane's plug-in under another name, so that its loads
// and unloads are its own.
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "hostsim/hostsim.h"
#include "pe/image.h"
#include "resources/string_ids.h"
#include "tests/support/registry_scratch.h"
#include "tests/support/scratch_key.h"

namespace {

// The headers of a loaded module, read from its own memory.
const IMAGE_NT_HEADERS *Headers(HMODULE module) {
  const auto *base = reinterpret_cast<const unsigned char *>(module);
  const auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
  return reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
}

// The RVAs in the module's writable sections that hold `value`.
std::vector<DWORD> WritableSlotsHolding(HMODULE module, const void *value) {
  std::vector<DWORD> slots;
  const auto *base = reinterpret_cast<const unsigned char *>(module);
  const IMAGE_NT_HEADERS *nt = Headers(module);
  const IMAGE_SECTION_HEADER *section = IMAGE_FIRST_SECTION(nt);
  for (unsigned i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    if ((section->Characteristics & IMAGE_SCN_MEM_WRITE) == 0) continue;
    for (DWORD at = 0; at + sizeof value <= section->Misc.VirtualSize; at += sizeof value) {
      const void *held;
      std::memcpy(&held, base + section->VirtualAddress + at, sizeof held);
      if (held == value) slots.push_back(section->VirtualAddress + at);
    }
  }
  return slots;
}

class LoaderFactsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The suite's own copy of the plug-in first, at the preferred base, as
    // in a whole run, so that the copy below loads elsewhere: 32-bit wine
    // keeps the range around the preferred base reserved, loaded or not.
    vxtest::LoadedPlugin();
    char folder[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, folder), 0u);
    copy_ = std::string(folder) + "vx-loader-" + std::to_string(GetCurrentProcessId()) + ".fmx";
    ASSERT_TRUE(CopyFileA(hostsim::DefaultPluginPath().c_str(), copy_.c_str(), FALSE))
        << "cannot copy " << hostsim::DefaultPluginPath() << " (error " << GetLastError() << ")";
  }
  void TearDown() override { DeleteFileA(copy_.c_str()); }

  // Init and the version function through the module's entry point, as the
  // host calls them; the host's block stays reachable through `host`.
  static void ExpectItWorks(hostsim::Host &host, HMODULE module) {
    EXPECT_EQ(host.Init(), 4);
    const std::string version = hostsim::Plugin(nullptr, module).String(IDS_VERSION_TEXT);
    ASSERT_FALSE(version.empty());
    EXPECT_EQ(host.External(0, "").reply, version);
    EXPECT_TRUE(host.Violations().empty()) << host.Violations()[0];
  }

  static ExternCallProc Entry(HMODULE module) {
    return reinterpret_cast<ExternCallProc>(reinterpret_cast<void *>(GetProcAddress(module, "FMExternCallProc")));
  }

  std::string copy_;
};

TEST_F(LoaderFactsTest, AttachAndDetachRunAndAReloadStartsFresh) {
  HMODULE module = LoadLibraryA(copy_.c_str());
  // The loader calls the entry point with process attach and fails the load
  // unless it answers TRUE; there is one to call.
  ASSERT_NE(module, nullptr) << "error " << GetLastError();
  EXPECT_NE(Headers(module)->OptionalHeader.AddressOfEntryPoint, 0u);

  std::vector<DWORD> slots;
  {
    hostsim::Plugin plugin(Entry(module), module);
    hostsim::Host host(plugin);
    ExpectItWorks(host, module);
    // The plug-in keeps the block of the call in progress: find where.
    slots = WritableSlotsHolding(module, &host.LastBlock());
  }
  ASSERT_FALSE(slots.empty()) << "the block pointer is nowhere in the plug-in's data";

  // Process detach runs and the module is gone.
  const void *oldBase = module;
  ASSERT_TRUE(FreeLibrary(module));
  EXPECT_EQ(GetModuleHandleA(copy_.c_str()), nullptr);
  MEMORY_BASIC_INFORMATION region = {};
  ASSERT_NE(VirtualQuery(oldBase, &region, sizeof region), 0u);
  EXPECT_EQ(region.State, static_cast<DWORD>(MEM_FREE)) << "still mapped after the unload";

  module = LoadLibraryA(copy_.c_str());
  ASSERT_NE(module, nullptr) << "error " << GetLastError();
  const auto *base = reinterpret_cast<const unsigned char *>(module);
  for (DWORD rva : slots) {
    const void *held;
    std::memcpy(&held, base + rva, sizeof held);
    EXPECT_EQ(held, nullptr) << "state at RVA " << rva << " survived the unload";
  }
  {
    hostsim::Plugin plugin(Entry(module), module);
    hostsim::Host host(plugin);
    ExpectItWorks(host, module);
  }
  EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(LoaderFactsTest, WorksLoadedAwayFromItsPreferredBase) {
  // The preferred base and size, from the file's headers.
  pe::Image image;
  ASSERT_TRUE(image.Load(copy_)) << image.Error();
  const ULONG_PTR preferred = static_cast<ULONG_PTR>(image.ImageLayout().imageBase);
  const SIZE_T size = image.ImageLayout().imageSize;

  // Take the preferred range first, so that the loader must relocate.
  void *occupied = VirtualAlloc(reinterpret_cast<void *>(preferred), size, MEM_RESERVE, PAGE_NOACCESS);
  HMODULE module = LoadLibraryA(copy_.c_str());
  ASSERT_NE(module, nullptr) << "error " << GetLastError();
  EXPECT_NE(reinterpret_cast<ULONG_PTR>(module), preferred);

  // The same calls answer the same through the relocated copy and through
  // the plug-in that the suite loaded at its preferred base.
  vxtest::ScratchKey scratch("relocated");
  const std::string path = scratch.path();
  const std::vector<std::pair<int32_t, std::string>> calls = {
      {vxtest::kSetRegistryKey, vxtest::Param({"HKEY_CURRENT_USER", path, "text", "", "Gr\xFC\x65zi"})},
      {vxtest::kSetRegistryKey, vxtest::Param({"HKEY_CURRENT_USER", path + "\\sub", "n", "REG_DWORD", "42"})},
      {vxtest::kGetRegistryKey, vxtest::Param({"HKEY_CURRENT_USER", path, "text"})},
      {vxtest::kGetRegistryKey, vxtest::Param({"HKEY_CURRENT_USER", path + "\\sub", "n"})},
      {vxtest::kListRegistryKeys, vxtest::Param({"HKEY_CURRENT_USER", path})},
      {vxtest::kListRegistryValues, vxtest::Param({"HKEY_CURRENT_USER", path})},
      {vxtest::kGetRegistryKey, vxtest::Param({"HKEY_NOWHERE", path, "text"})},
      {vxtest::kDeleteRegistryValue, vxtest::Param({"HKEY_CURRENT_USER", path, "missing"})},
  };
  {
    hostsim::Plugin relocated(Entry(module), module);
    hostsim::Host moved(relocated);
    hostsim::Host home(hostsim::DefaultPlugin());
    ExpectItWorks(moved, module);
    EXPECT_EQ(home.Init(), 4);
    for (const auto &call : calls) {
      const hostsim::ExternalResult there = moved.External(call.first, call.second);
      const hostsim::ExternalResult here = home.External(call.first, call.second);
      EXPECT_EQ(there.reply, here.reply) << "function " << call.first << ": " << call.second;
    }
    EXPECT_TRUE(moved.Violations().empty()) << moved.Violations()[0];
  }
  EXPECT_TRUE(FreeLibrary(module));
  if (occupied != nullptr) VirtualFree(occupied, 0, MEM_RELEASE);
}

}  // namespace

#endif
