// The pe library's loader of 32-bit Windows DLLs (the linux32 lane), on
// copies of the product itself: what it refuses, a load at another base
// than the preferred one, an import that nothing binds, and process detach
// on unload.  The rest of the suite runs the product through it.
#include "pe/module.h"

#ifdef VX_PE_LOADER

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "tests/support/registry_scratch.h"

namespace {

// Where a field of the file header lies, from the PE header's start.
constexpr std::size_t kFileHeader = offsetof(pe::PeHeader, file);
constexpr std::size_t kMachine = kFileHeader + offsetof(pe::FileHeader, machine);
constexpr std::size_t kCharacteristics = kFileHeader + offsetof(pe::FileHeader, characteristics);
constexpr std::size_t kOptionalMagic = sizeof(pe::PeHeader);

// The product's bytes, changed or not, in a file of the test's own.
class ProductCopy {
 public:
  ProductCopy() {
    pe::Image product;
    EXPECT_TRUE(product.Load(vxtest::LoadedPlugin().File())) << product.Error();
    bytes_ = product.Bytes();
    path_ = testing::TempDir() + "product-copy-" + std::to_string(getpid()) + ".dll";
  }
  ~ProductCopy() { std::remove(path_.c_str()); }
  ProductCopy(const ProductCopy &) = delete;
  ProductCopy &operator=(const ProductCopy &) = delete;

  std::string &bytes() { return bytes_; }
  // The PE header's offset in the file.
  std::size_t Header() const {
    pe::DosHeader dos{};
    std::memcpy(&dos, bytes_.data(), sizeof dos);
    return dos.peHeaderOffset;
  }
  // Writes the bytes and returns the file's path.
  const std::string &Write() {
    std::ofstream(path_, std::ios::binary).write(bytes_.data(), static_cast<std::streamsize>(bytes_.size()));
    return path_;
  }

 private:
  std::string bytes_;
  std::string path_;
};

struct Refusal {
  const char *what;
  std::size_t offset;  // from the PE header, or from the file's start
  bool fromHeader;
  std::string bytes;
  const char *reason;  // a part of the error
};

TEST(PeLoaderTest, RefusesWhatIsNotA32BitX86Dll) {
  const Refusal refusals[] = {
      {"no MZ header", 0, false, "ZM", "no MZ header"},
      {"no PE signature", 0, true, "PX", "no PE header"},
      {"machine x86-64", kMachine, true, std::string("\x64\x86", 2), "not a 32-bit x86 image"},
      {"PE32+ optional header", kOptionalMagic, true, std::string("\x0B\x02", 2), "PE32+"},
  };
  for (const Refusal &r : refusals) {
    ProductCopy copy;
    copy.bytes().replace((r.fromHeader ? copy.Header() : 0) + r.offset, r.bytes.size(), r.bytes);
    std::string error;
    EXPECT_EQ(pe::Module::Load(copy.Write(), &error), nullptr) << r.what;
    EXPECT_NE(error.find(r.reason), std::string::npos) << r.what << ": " << error;
    EXPECT_NE(error.find(copy.Write()), std::string::npos) << r.what << ": the error names the file: " << error;
  }
  ProductCopy executable;
  // The DLL bit, in the high byte of the characteristics.
  executable.bytes()[executable.Header() + kCharacteristics + 1] &= ~(pe::kFileDll >> 8);
  std::string error;
  EXPECT_EQ(pe::Module::Load(executable.Write(), &error), nullptr);
  EXPECT_NE(error.find("is not a DLL"), std::string::npos) << error;
}

TEST(PeLoaderTest, AnImportThatNothingBindsRefusesTheLoadAndIsNamed) {
  ProductCopy copy;
  const std::size_t name = copy.bytes().find(std::string("Sleep\0", 6));
  ASSERT_NE(name, std::string::npos) << "the product imports Sleep";
  copy.bytes().replace(name, 6, std::string("Beep\0\0", 6));
  const std::size_t sections = pe::LiveCriticalSections();
  std::string error;
  EXPECT_EQ(pe::Module::Load(copy.Write(), &error), nullptr);
  EXPECT_NE(error.find("KERNEL32.dll!Beep"), std::string::npos) << error;
  EXPECT_EQ(pe::LiveCriticalSections(), sections) << "the module's code ran before its imports were bound";
}

TEST(PeLoaderTest, ProcessDetachRunsOnUnload) {
  // The product's runtime makes a critical section at process attach and
  // deletes it at process detach.  Counted after the copy is made, which
  // loads the suite's own copy of the plug-in first where no earlier test has.
  ProductCopy copy;
  const std::size_t before = pe::LiveCriticalSections();
  std::string error;
  std::unique_ptr<pe::Module> module = pe::Module::Load(copy.Write(), &error);
  ASSERT_NE(module, nullptr) << error;
  EXPECT_GT(pe::LiveCriticalSections(), before) << "process attach";
  module.reset();
  EXPECT_EQ(pe::LiveCriticalSections(), before) << "process detach";
}

class PeLoaderRelocationTest : public vxtest::RegistryTest {};

TEST_F(PeLoaderRelocationTest, LoadsAtAnotherBaseWhenThePreferredOneIsTaken) {
  ProductCopy copy;
  pe::Image image;
  ASSERT_TRUE(image.Load(copy.Write())) << image.Error();
  const uintptr_t preferred = static_cast<uintptr_t>(image.ImageLayout().imageBase);
  const std::size_t size = image.ImageLayout().imageSize;
  // Hold the preferred range, unless it is taken already (by the suite's
  // own copy of the plug-in).
  void *held = mmap(reinterpret_cast<void *>(preferred), size, PROT_NONE,
                    MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
  std::string error;
  std::unique_ptr<hostsim::Plugin> moved = hostsim::Plugin::Load(copy.Write(), &error);
  ASSERT_NE(moved, nullptr) << error;
  EXPECT_NE(reinterpret_cast<uintptr_t>(moved->instance()), preferred);
  {
    // Its code, data and imports work where it is.
    hostsim::Host relocated(*moved);
    EXPECT_EQ(relocated.External(0, "").reply, host().External(0, "").reply);
    relocated.External(vxtest::kSetRegistryKey,
                       vxtest::Param({"HKEY_CURRENT_USER", Scratch(), "moved", "REG_SZ", "relocated"}));
    EXPECT_EQ(Call(vxtest::kGetRegistryKey, vxtest::Param({"HKEY_CURRENT_USER", Scratch(), "moved"})).reply,
              "relocated");
    for (const std::string &violation : relocated.Violations()) ADD_FAILURE() << "host: " << violation;
  }
  moved.reset();
  if (held != MAP_FAILED) munmap(held, size);
}

}  // namespace

#endif
