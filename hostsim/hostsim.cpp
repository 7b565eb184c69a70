#include "hostsim/hostsim.h"

#include "hostsim/checked_call.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>

#include <fstream>

#include "hostsim/pe_loader.h"
#endif

#if defined(__SANITIZE_ADDRESS__)
#define HOSTSIM_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HOSTSIM_ASAN 1
#endif
#endif

namespace hostsim {

namespace {

// Bytes after each data block that must stay as they are.  Under
// AddressSanitizer there are none: it catches the overrun itself.
#ifdef HOSTSIM_ASAN
constexpr std::size_t kGuardBytes = 0;
#else
constexpr std::size_t kGuardBytes = 16;
#endif
constexpr unsigned char kGuardFill = 0xFD;
constexpr unsigned char kFreedFill = 0xDD;
constexpr unsigned char kFreshFill = 0xCD;

}  // namespace

struct Host::HandleRecord {
  unsigned char *master = nullptr;  // first member: a HostHandle points here
  uint32_t size = 0;
  uint32_t capacity = 0;
  int locks = 0;
  bool resized = false;
  bool guarded = false;
};

const std::string Host::kReplySentinel = "\x01<hostsim: no reply>\x02";

// ---------------------------------------------------------------------------
// Plug-in loading

Plugin::~Plugin() {
#ifdef _WIN32
  if (library_) FreeLibrary(static_cast<HMODULE>(library_));
#else
  if (library_) dlclose(library_);
#endif
}

#ifndef _WIN32
namespace {

bool IsWindowsImage(const std::string &path) {
  char magic[2] = {};
  std::ifstream file(path, std::ios::binary);
  return file.read(magic, 2) && magic[0] == 'M' && magic[1] == 'Z';
}

}  // namespace
#endif

std::unique_ptr<Plugin> Plugin::Load(const std::string &path, std::string *error) {
  std::unique_ptr<Plugin> plugin(new Plugin());
#ifdef _WIN32
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) {
    if (error) *error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
    return nullptr;
  }
  plugin->library_ = module;
  plugin->instance_ = module;
  char file[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, file, MAX_PATH);
  plugin->file_.assign(file, length < MAX_PATH ? length : 0);
  plugin->entry_ =
      reinterpret_cast<ExternCallProc>(reinterpret_cast<void *>(GetProcAddress(module, "FMExternCallProc")));
#else
  plugin->file_ = path;
  if (IsWindowsImage(path)) {
#ifdef HOSTSIM_PE_LOADER
    std::unique_ptr<PeModule> module = PeModule::Load(path, error);
    if (module == nullptr) return nullptr;
    plugin->entry_ = reinterpret_cast<ExternCallProc>(module->Export("FMExternCallProc"));
    plugin->instance_ = static_cast<HINSTANCE>(module->Base());
    plugin->image_ = std::move(module);
#else
    if (error) *error = path + " is a Windows image: only the 32-bit x86 build (the linux32 preset) loads those";
    return nullptr;
#endif
  } else {
    void *library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
      if (error) *error = "cannot load " + path + ": " + dlerror();
      return nullptr;
    }
    plugin->library_ = library;
    void *entry = dlsym(library, "FMExternCallProc");
    plugin->entry_ = reinterpret_cast<ExternCallProc>(entry);
    Dl_info info;
    if (entry && dladdr(entry, &info)) plugin->instance_ = static_cast<HINSTANCE>(info.dli_fbase);
  }
#endif
  if (plugin->entry_ == nullptr) {
    if (error) *error = path + " does not export FMExternCallProc";
    return nullptr;
  }
  return plugin;
}

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

const char *ServiceName(Service service) {
  switch (service) {
    case Service::ResizeHandle: return "ResizeHandle";
    case Service::QueryHandleSize: return "QueryHandleSize";
    case Service::PrepareHandle: return "PrepareHandle";
    case Service::LockHandle: return "LockHandle";
    case Service::UnlockHandle: return "UnlockHandle";
    case Service::LastMemoryError: return "LastMemoryError";
  }
  return "?";
}

// ---------------------------------------------------------------------------
// The six services.  They get no context, so they answer for the host that
// sent the call in progress.

struct Services {
  static Host *active;

  static Host::HandleRecord *Find(HostHandle handle, const char *service) {
    Host *host = active;
    for (auto &record : host->handles_) {
      if (reinterpret_cast<HostHandle>(&record->master) == handle) return record.get();
    }
    host->violations_.push_back(std::string(service) + " with a handle the host never gave out");
    return nullptr;
  }

  static void Note(Service service, HostHandle handle, uint32_t argument) {
    if (active->options_.journal) active->journal_.push_back(JournalEntry{service, handle, argument});
  }

  static void VX_CDECL Resize(HostHandle handle, uint32_t newSize) {
    Note(Service::ResizeHandle, handle, newSize);
    Host::HandleRecord *record = Find(handle, "ResizeHandle");
    if (record == nullptr) return;
    if (active->failResizes_ > 0) {
      --active->failResizes_;
      active->lastMemoryError_ = active->failCode_;
      return;
    }
    active->lastMemoryError_ = 0;
    record->resized = true;
    if (!active->options_.strict && newSize <= record->capacity) {
      record->size = newSize;
      return;
    }
    // Move the data to a new block every time, and poison the old one, so a
    // data address kept across this call is caught.
    const std::size_t guard = active->options_.strict ? kGuardBytes : 0;
    auto *moved = static_cast<unsigned char *>(std::malloc(newSize + guard + (newSize + guard == 0 ? 1 : 0)));
    const uint32_t kept = std::min(record->size, newSize);
    if (kept) std::memcpy(moved, record->master, kept);
    if (newSize > kept) std::memset(moved + kept, kFreshFill, newSize - kept);
    if (guard) std::memset(moved + newSize, kGuardFill, guard);
    if (active->options_.strict) std::memset(record->master, kFreedFill, record->capacity);
    std::free(record->master);
    record->master = moved;
    record->size = newSize;
    record->capacity = newSize;
    record->guarded = guard != 0;
  }

  static uint32_t VX_CDECL QuerySize(HostHandle handle) {
    Note(Service::QueryHandleSize, handle, 0);
    Host::HandleRecord *record = Find(handle, "QueryHandleSize");
    return record ? record->size : 0;
  }

  static void VX_CDECL Prepare(HostHandle handle) {
    Note(Service::PrepareHandle, handle, 0);
    Find(handle, "PrepareHandle");
  }

  static void VX_CDECL Lock(HostHandle handle) {
    Note(Service::LockHandle, handle, 0);
    Host::HandleRecord *record = Find(handle, "LockHandle");
    if (record) ++record->locks;
  }

  static void VX_CDECL Unlock(HostHandle handle) {
    Note(Service::UnlockHandle, handle, 0);
    Host::HandleRecord *record = Find(handle, "UnlockHandle");
    if (record == nullptr) return;
    if (record->locks == 0) {
      active->violations_.push_back("UnlockHandle on a handle that is not locked");
      return;
    }
    --record->locks;
  }

  static int16_t VX_CDECL LastError() {
    Note(Service::LastMemoryError, nullptr, 0);
    return active->lastMemoryError_;
  }
};

Host *Services::active = nullptr;

// ---------------------------------------------------------------------------
// Host

Host::Host(const Plugin &plugin) : Host(plugin, Options()) {}

Host::Host(const Plugin &plugin, Options options) : plugin_(plugin), options_(options) {
  std::memset(&block_, kBlockFill, sizeof block_);
}

Host::~Host() {
  for (auto &record : handles_) std::free(record->master);
  if (Services::active == this) Services::active = nullptr;
}

HostHandle Host::NewHandle(const std::string &bytes) {
  auto record = std::make_unique<HandleRecord>();
  const std::size_t guard = options_.strict ? kGuardBytes : 0;
  const std::size_t size = bytes.size();
  record->master = static_cast<unsigned char *>(std::malloc(size + guard + (size + guard == 0 ? 1 : 0)));
  if (size) std::memcpy(record->master, bytes.data(), size);
  if (guard) std::memset(record->master + size, kGuardFill, guard);
  record->size = static_cast<uint32_t>(size);
  record->capacity = record->size;
  record->guarded = guard != 0;
  HostHandle handle = reinterpret_cast<HostHandle>(&record->master);
  handles_.push_back(std::move(record));
  return handle;
}

void Host::FreeHandle(HostHandle handle) {
  for (auto it = handles_.begin(); it != handles_.end(); ++it) {
    if (reinterpret_cast<HostHandle>(&(*it)->master) != handle) continue;
    if (options_.strict) std::memset((*it)->master, kFreedFill, (*it)->capacity);
    std::free((*it)->master);
    handles_.erase(it);
    return;
  }
}

std::string Host::Bytes(HostHandle handle) const {
  for (auto &record : handles_) {
    if (reinterpret_cast<HostHandle>(&record->master) == handle)
      return std::string(reinterpret_cast<const char *>(record->master), record->size);
  }
  return std::string();
}

int Host::LockCount(HostHandle handle) const {
  for (auto &record : handles_) {
    if (reinterpret_cast<HostHandle>(&record->master) == handle) return record->locks;
  }
  return 0;
}

void Host::FailResizes(int count, int16_t code) {
  failResizes_ = count;
  failCode_ = code;
}

ExternCallBlock *Host::PrepareBlock(uint8_t callKind) {
  std::memset(&block_, kBlockFill, sizeof block_);
  block_.hostVersion = hostVersion_;
  block_.callKind = callKind;
  block_.instanceHandle = plugin_.instance();
  block_.ResizeHandle = &Services::Resize;
  block_.QueryHandleSize = &Services::QuerySize;
  block_.PrepareHandle = &Services::Prepare;
  block_.LockHandle = &Services::Lock;
  block_.UnlockHandle = &Services::Unlock;
  block_.LastMemoryError = &Services::LastError;
  Services::active = this;
  return &block_;
}

void Host::Call() {
  journalMark_ = journal_.size();
  const std::string broken = CheckedCall(plugin_.entry(), &block_);
  if (!broken.empty()) violations_.push_back(broken);
  if (options_.strict) CheckHandles();
}

void Host::CheckHandles() {
  for (auto &record : handles_) {
    if (!record->guarded) continue;
    for (std::size_t i = 0; i < kGuardBytes; ++i) {
      if (record->master[record->size + i] != kGuardFill) {
        violations_.push_back("bytes written past the end of a handle's data");
        break;
      }
    }
  }
}

int32_t Host::Init(int16_t hostVersion) {
  hostVersion_ = hostVersion;
  PrepareBlock(CallInit);
  Call();
  return static_cast<int32_t>(block_.reply);
}

void Host::Idle(uint8_t idleKind) {
  PrepareBlock(CallIdle)->idleKind = idleKind;
  Call();
}

void Host::Shutdown() {
  PrepareBlock(CallShutdown);
  Call();
}

void Host::Preferences() {
  PrepareBlock(CallPreferences);
  Call();
}

ExternCallBlock Host::Send(uint8_t callKind) {
  PrepareBlock(callKind);
  Call();
  return block_;
}

ExternalResult Host::External(int32_t functionIndex, const std::string &parameter) {
  return External(functionIndex, parameter, kReplySentinel);
}

ExternalResult Host::External(int32_t functionIndex, const std::string &parameter, const std::string &initialReply) {
  HostHandle param = NewHandle(parameter);
  HostHandle reply = NewHandle(initialReply);
  ExternCallBlock *block = PrepareBlock(CallExternal);
  block->functionIndex = functionIndex;
  block->parameterHandle = param;
  block->reply = reinterpret_cast<intptr_t>(reply);
  Call();

  ExternalResult result;
  result.reply = Bytes(reply);
  for (auto &record : handles_) {
    if (reinterpret_cast<HostHandle>(&record->master) == reply) result.touched = record->resized;
  }
  result.touched = result.touched || result.reply != initialReply;
  if (options_.strict) {
    if (LockCount(param) != 0)
      violations_.push_back("parameter handle left locked " + std::to_string(LockCount(param)) + " time(s)");
    if (Bytes(param) != parameter) violations_.push_back("parameter text changed");
    if (LockCount(reply) != 0) violations_.push_back("reply handle left locked");
  }
  // Free both handles now, so that a plug-in that keeps them is caught.
  lastParameter_ = param;
  lastReply_ = reply;
  FreeHandle(param);
  FreeHandle(reply);
  return result;
}

void Host::SendPrepared(ExternCallBlock *block) {
  Services::active = this;
  plugin_.entry()(block);
}

RepeatedCall::RepeatedCall(Host &host, int32_t functionIndex, const std::string &parameter)
    : host_(host), parameter_(host.NewHandle(parameter)), reply_(host.NewHandle(std::string())) {
  block_ = *host.PrepareBlock(CallExternal);
  block_.functionIndex = functionIndex;
  block_.parameterHandle = parameter_;
  block_.reply = reinterpret_cast<intptr_t>(reply_);
}

RepeatedCall::~RepeatedCall() {
  host_.FreeHandle(parameter_);
  host_.FreeHandle(reply_);
}

std::vector<Service> Host::ParameterCalls() const {
  std::vector<Service> calls;
  for (std::size_t i = journalMark_; i < journal_.size(); ++i) {
    if (journal_[i].handle == lastParameter_) calls.push_back(journal_[i].service);
  }
  return calls;
}

}  // namespace hostsim
