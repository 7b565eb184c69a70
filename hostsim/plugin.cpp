#include "hostsim/plugin.h"

#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>

#include <fstream>

#include "pe/module.h"
#endif

namespace hostsim {

namespace {

constexpr char kEntryName[] = "FMExternCallProc";

#ifndef _WIN32
bool IsWindowsImage(const std::string &path) {
  char magic[2] = {};
  std::ifstream file(path, std::ios::binary);
  return file.read(magic, 2) && magic[0] == 'M' && magic[1] == 'Z';
}
#endif

}  // namespace

Plugin::~Plugin() {
#ifdef _WIN32
  if (library_) FreeLibrary(static_cast<HMODULE>(library_));
#else
  if (library_) dlclose(library_);
#endif
}

std::unique_ptr<Plugin> Plugin::Load(const std::string &path, std::string *error) {
  std::unique_ptr<Plugin> plugin(new Plugin());
#ifdef _WIN32
  const bool loaded = plugin->LoadWithSystem(path, error);
#else
  plugin->file_ = path;
  const bool loaded = IsWindowsImage(path) ? plugin->MapWindowsImage(path, error) : plugin->OpenShared(path, error);
#endif
  if (!loaded) return nullptr;
  if (plugin->entry_ == nullptr) {
    if (error) *error = path + " does not export " + kEntryName;
    return nullptr;
  }
  return plugin;
}

#ifdef _WIN32
bool Plugin::LoadWithSystem(const std::string &path, std::string *error) {
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) {
    if (error) *error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  library_ = module;
  instance_ = module;
  char file[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, file, MAX_PATH);
  file_.assign(file, length < MAX_PATH ? length : 0);
  entry_ = reinterpret_cast<ExternCallProc>(reinterpret_cast<void *>(GetProcAddress(module, kEntryName)));
  return true;
}
#else
bool Plugin::MapWindowsImage(const std::string &path, std::string *error) {
#ifdef VX_PE_LOADER
  std::unique_ptr<pe::Module> module = pe::Module::Load(path, error);
  if (module == nullptr) return false;
  entry_ = reinterpret_cast<ExternCallProc>(module->Export(kEntryName));
  instance_ = static_cast<HINSTANCE>(module->Base());
  image_ = std::move(module);
  return true;
#else
  if (error) *error = path + " is a Windows image: only the 32-bit x86 build (the linux32 preset) loads those";
  return false;
#endif
}

bool Plugin::OpenShared(const std::string &path, std::string *error) {
  void *library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    if (error) *error = "cannot load " + path + ": " + dlerror();
    return false;
  }
  library_ = library;
  void *entry = dlsym(library, kEntryName);
  entry_ = reinterpret_cast<ExternCallProc>(entry);
  Dl_info info;
  if (entry && dladdr(entry, &info)) instance_ = static_cast<HINSTANCE>(info.dli_fbase);
  return true;
}
#endif

std::string Plugin::String(unsigned id) const {
  char text[1024];
  int length = LoadStringA(instance_, id, text, sizeof text);
  return length > 0 ? std::string(text, static_cast<std::size_t>(length)) : std::string();
}

std::string DefaultPluginPath() {
#ifdef VX_PLUGIN_FILE
  return BuildFilePath(VX_PLUGIN_FILE);
#else
  std::string self;
#ifdef _WIN32
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  self.assign(path, n);
  const std::string name = "Vantorix.fmx";
#else
  char path[4096];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path);
  if (n > 0) self.assign(path, static_cast<std::size_t>(n));
  const std::string name = "Vantorix.so";
#endif
  const std::size_t slash = self.find_last_of("/\\");
  return (slash == std::string::npos ? std::string() : self.substr(0, slash + 1)) + name;
#endif
}

std::string BuildFilePath(const std::string &unixPath) {
#ifdef _WIN32
  if (!unixPath.empty() && unixPath[0] == '/') return "Z:" + unixPath;
#endif
  return unixPath;
}

const Plugin &DefaultPlugin() {
  static std::unique_ptr<Plugin> plugin = [] {
    std::string error;
    std::unique_ptr<Plugin> loaded = Plugin::Load(DefaultPluginPath(), &error);
    if (!loaded) {
      std::fprintf(stderr, "cannot load the plug-in: %s\n", error.c_str());
      std::exit(1);
    }
    return loaded;
  }();
  return *plugin;
}

}  // namespace hostsim
