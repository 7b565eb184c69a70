// Loading and unloading a module, in the order of the steps, and what the
// loaded modules answer about themselves.
#include "pe/module.h"

#ifdef VX_PE_LOADER

#include <strings.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "pe/loader_internal.h"

namespace pe {

namespace detail {

std::vector<Module *> &LoadedModules() {
  static std::vector<Module *> modules;
  return modules;
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

}  // namespace detail

namespace {

// Why this loader refuses the image; empty if it can map it.
std::string Refusal(const std::string &path, const Image &image) {
  const Image::Layout &layout = image.ImageLayout();
  if (image.Is64Bit() || image.Machine() != kMachineI386) {
    return path + " is not a 32-bit x86 image (PE32, machine " + detail::Hex(kMachineI386) + "): machine " +
           detail::Hex(image.Machine()) + (image.Is64Bit() ? ", PE32+" : "");
  }
  if (!image.IsLibrary()) return path + " is not a DLL";
  if (layout.sectionAlignment == 0 || layout.sectionAlignment % detail::kPageSize != 0 || layout.imageSize == 0 ||
      layout.headersSize > layout.imageSize || layout.headersSize > image.Bytes().size()) {
    return path + ": image layout this loader cannot map (section alignment " + detail::Hex(layout.sectionAlignment) +
           ", image size " + detail::Hex(layout.imageSize) + ")";
  }
  return std::string();
}

}  // namespace

std::unique_ptr<Module> Module::Load(const std::string &path, std::string *error) {
  std::unique_ptr<Module> module(new Module());
  module->path_ = path;
  std::string why;
  if (!module->image_.Load(path)) {
    why = module->image_.Error();
  } else {
    why = Refusal(path, module->image_);
  }
  // Nothing of the module runs before its imports are bound.
  if (!why.empty() || !module->Map(&why) || !module->Relocate(&why) || !module->BindImports(&why) ||
      !module->ProtectSections(&why) || !module->Attach(&why)) {
    if (error) *error = why;
    return nullptr;
  }
  return module;
}

Module::~Module() {
  if (attached_) Detach();
  std::vector<Module *> &loaded = detail::LoadedModules();
  loaded.erase(std::remove(loaded.begin(), loaded.end(), this), loaded.end());
  ReleaseThreadLocalStorage();
  if (base_ != nullptr) munmap(base_, size_);
}

void *Module::Export(const char *name) const {
  const DataDirectory directory = image_.Directory(kExportDirectory);
  const ExportDirectory *exports = directory.address ? At<const ExportDirectory>(directory.address) : nullptr;
  if (exports == nullptr) return nullptr;
  const uint32_t *names = At<const uint32_t>(exports->names, exports->nameCount);
  const uint16_t *ordinals = At<const uint16_t>(exports->ordinals, exports->nameCount);
  const uint32_t *functions = At<const uint32_t>(exports->functions, exports->functionCount);
  for (uint32_t i = 0; names && ordinals && functions && i < exports->nameCount; ++i) {
    const char *exported = At<const char>(names[i]);
    if (exported == nullptr || std::strcmp(exported, name) != 0 || ordinals[i] >= exports->functionCount) continue;
    const uint32_t function = functions[ordinals[i]];
    // An address inside the export directory forwards to another DLL.
    if (function >= directory.address && function < directory.address + directory.size) return nullptr;
    return At<unsigned char>(function);
  }
  return nullptr;
}

Module *Module::Containing(const void *address) {
  for (Module *module : detail::LoadedModules()) {
    if (address >= module->base_ && address < module->base_ + module->size_) return module;
  }
  return nullptr;
}

Module *Module::Named(const char *name) {
  std::string wanted = name;
  wanted = wanted.substr(wanted.find_last_of("/\\") + 1);
  if (wanted.find('.') == std::string::npos) wanted += ".dll";
  for (Module *module : detail::LoadedModules()) {
    const std::string file = module->path_.substr(module->path_.find_last_of('/') + 1);
    if (strcasecmp(file.c_str(), wanted.c_str()) == 0) return module;
  }
  return nullptr;
}

}  // namespace pe

#endif
