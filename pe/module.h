// A small loader of 32-bit Windows DLLs for 32-bit x86 linux programs, so
// that the linux32 lane runs the product's own bytes against the platform
// stand-in.
//
// It checks the headers (PE32, x86, a DLL), maps the sections with their
// protections and applies the base relocations (mapping.cpp), binds every
// import by name (imports.cpp: the platform stand-in, the C library and a
// few start-up shims; an import that nothing binds refuses the load), gives
// LoadStringA the module's string table (string_table.cpp), gives the thread
// a thread block on FS (thread_block.h), and runs the TLS callbacks and the
// entry point for process attach, and again for process detach when the
// module is unloaded (attach.cpp).  Calls into a module come from the thread
// that loaded it.
#ifndef VANTORIX_PE_MODULE_H
#define VANTORIX_PE_MODULE_H

#if defined(__i386__) && !defined(_WIN32)
#define VX_PE_LOADER 1

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "pe/image.h"

namespace pe {

struct ThreadBlock;

class Module {
 public:
  // Maps, binds and attaches the DLL at path; null, with the reason in
  // *error, if it is refused.
  static std::unique_ptr<Module> Load(const std::string &path, std::string *error);
  // Process detach, then unmapped.
  ~Module();
  Module(const Module &) = delete;
  Module &operator=(const Module &) = delete;

  void *Base() const { return base_; }
  // The address of the named export; null if there is none.
  void *Export(const char *name) const;

  // --- for the runtime shims that ask about modules (runtime_shims.cpp) ---
  // The loaded module whose image holds address, or null.
  static Module *Containing(const void *address);
  // The loaded module of this file name (without regard to case; ".dll"
  // when the name has no extension), or null.
  static Module *Named(const char *name);
  // The run of pages from address's page on that share its protection
  // (Windows' PAGE_* value); false outside the image.
  bool Region(const void *address, void **start, std::size_t *size, uint32_t *protection) const;
  // Gives the pages of [address, address + size) this protection; the
  // previous one of the first page in *previous.  False outside the image or
  // for a protection that has no equivalent.
  bool Protect(const void *address, std::size_t size, uint32_t protection, uint32_t *previous);

 private:
  Module() = default;
  // The mapped image's bytes at this address, `count` records of T; null
  // outside the image.
  template <typename T>
  T *At(uint32_t address, std::size_t count = 1) const {
    if (address > size_ || (size_ - address) / sizeof(T) < count) return nullptr;
    return reinterpret_cast<T *>(base_ + address);
  }
  // mapping.cpp
  bool Map(std::string *error);
  bool Relocate(std::string *error);
  bool ProtectSections(std::string *error);
  // imports.cpp
  bool BindImports(std::string *error);
  // attach.cpp
  bool Attach(std::string *error);
  bool GiveThreadLocalStorage(ThreadBlock *thread, std::string *error);
  void RunTlsCallbacks(uint32_t reason);
  void Detach();
  void ReleaseThreadLocalStorage();
  // string_table.cpp
  void ShareStringTable() const;
  void WithdrawStringTable() const;

  std::string path_;
  unsigned char *base_ = nullptr;
  std::size_t size_ = 0;
  uint32_t preferred_ = 0;
  std::vector<uint32_t> pages_;  // each page's protection
  int tlsIndex_ = -1;
  void *tlsData_ = nullptr;
  bool attached_ = false;
  Image image_;
};

// What the import dll!name is bound to; null if nothing binds it.
void *BoundImport(const std::string &dll, const std::string &name);

// Critical sections that modules have initialised and not yet deleted.
std::size_t LiveCriticalSections();

}  // namespace pe

#endif
#endif
