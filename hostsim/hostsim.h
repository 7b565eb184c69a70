// hostsim: a host stand-in that plays the plug-in's host for tests and tools.
//
// It builds call blocks, owns memory handles with master pointers, offers
// the six memory services and sends every kind of call.  It is strict on
// purpose: every resize moves the data to a new block and poisons and frees
// the old one, every service call is journalled, and after each call the
// handles are checked for unbalanced locks and for bytes written past the
// data.  A lean mode drops the journal and the poisoning for benchmarks.
#ifndef VANTORIX_HOSTSIM_HOSTSIM_H
#define VANTORIX_HOSTSIM_HOSTSIM_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/call_block.h"

namespace hostsim {

// A loaded plug-in library and its entry point.
class Plugin {
 public:
  // Loads the library at path; on failure returns null and says why.  On
  // linux a Windows image (a file that starts with "MZ") is mapped by the
  // 32-bit build's own loader (pe_loader.h), anything else by dlopen.
  static std::unique_ptr<Plugin> Load(const std::string &path, std::string *error);
  // Wraps an entry point that is linked in directly.
  Plugin(ExternCallProc entry, HINSTANCE instance) : entry_(entry), instance_(instance) {}
  ~Plugin();
  Plugin(const Plugin &) = delete;
  Plugin &operator=(const Plugin &) = delete;

  ExternCallProc entry() const { return entry_; }
  HINSTANCE instance() const { return instance_; }
  // The file the library was loaded from, as the system's loader names it;
  // empty for an entry point linked in directly.
  const std::string &File() const { return file_; }
  // The string with this id from the library's own string table, read the
  // way the host reads it; empty if there is none.
  std::string String(unsigned id) const;

 private:
  Plugin() = default;
  void *library_ = nullptr;
  std::shared_ptr<void> image_;  // a Windows image mapped by the loader
  std::string file_;
  ExternCallProc entry_ = nullptr;
  HINSTANCE instance_ = nullptr;
};

// The plug-in library that the tests and tools load: the file that the
// build names (the product, for the lanes that test its own bytes), or else
// the one built beside the running program, Vantorix.fmx on Windows,
// Vantorix.so on linux.
std::string DefaultPluginPath();

// A file that the build names by its Unix path, as this program opens it:
// under wine, drive Z: is the Unix root.
std::string BuildFilePath(const std::string &unixPath);

// That library, loaded on first use and kept for the life of the program;
// a program that cannot load it says why and exits.
const Plugin &DefaultPlugin();

enum class Service { ResizeHandle, QueryHandleSize, PrepareHandle, LockHandle, UnlockHandle, LastMemoryError };
const char *ServiceName(Service service);

struct JournalEntry {
  Service service;
  HostHandle handle;  // null for LastMemoryError
  uint32_t argument;  // the new size for ResizeHandle, else 0
};

// What an external call left in the reply handle.
struct ExternalResult {
  bool touched = false;  // resized or written at all
  std::string reply;     // the reply handle's bytes after the call
};

class Host {
 public:
  struct Options {
    bool journal = true;  // record every service call
    bool strict = true;   // move and poison on resize, guard bytes, checks
  };

  // The sentinel that a reply handle holds before an external call, so that
  // "no reply" can be told from an empty one.
  static const std::string kReplySentinel;

  explicit Host(const Plugin &plugin);
  Host(const Plugin &plugin, Options options);
  ~Host();
  Host(const Host &) = delete;
  Host &operator=(const Host &) = delete;

  // --- calls ---
  // CallInit offering this interface version; returns the answer in reply.
  int32_t Init(int16_t hostVersion = 4);
  void Idle(uint8_t idleKind = 0);
  void Shutdown();
  void Preferences();
  // Any call kind, with nothing else set up; returns the block afterwards.
  ExternCallBlock Send(uint8_t callKind);
  // CallExternal with a fresh parameter handle holding `parameter` and a
  // reply handle holding the sentinel (or `initialReply`).
  ExternalResult External(int32_t functionIndex, const std::string &parameter);
  ExternalResult External(int32_t functionIndex, const std::string &parameter, const std::string &initialReply);

  // The block as the plug-in left it after the last call.
  const ExternCallBlock &LastBlock() const { return block_; }
  // The bytes every field of a block holds before the host fills it in.
  static constexpr unsigned char kBlockFill = 0xEE;

  // --- faults ---
  // The next `count` resizes fail: LastMemoryError then answers `code` and
  // the data stays as it was.
  void FailResizes(int count, int16_t code = -108);

  // --- journal and checks ---
  const std::vector<JournalEntry> &Journal() const { return journal_; }
  void ClearJournal() { journal_.clear(); }
  // Journal entries of the last external call that concern its parameter
  // handle, in order.
  std::vector<Service> ParameterCalls() const;
  // Faults seen so far (unbalanced locks, an unlock without a lock, bytes
  // written past a handle's data, a changed parameter text, a service called
  // with a handle the host never gave out); empty when all is well.
  const std::vector<std::string> &Violations() const { return violations_; }
  HostHandle LastParameterHandle() const { return lastParameter_; }
  HostHandle LastReplyHandle() const { return lastReply_; }

  // --- handles (for tests that drive the services directly) ---
  HostHandle NewHandle(const std::string &bytes);
  void FreeHandle(HostHandle handle);
  std::string Bytes(HostHandle handle) const;
  int LockCount(HostHandle handle) const;
  // Makes this host the one whose services answer, and sets the block the
  // plug-in reads, without calling the plug-in.
  ExternCallBlock *PrepareBlock(uint8_t callKind);

  // Sends an already filled block to the plug-in with this host's services
  // answering, and nothing else: no journal mark, no checks.  For benchmarks
  // that send one prepared call many times (see RepeatedCall).
  void SendPrepared(ExternCallBlock *block);

  struct HandleRecord;  // public for the service trampolines

 private:
  void Call();
  void CheckHandles();

  const Plugin &plugin_;
  Options options_;
  ExternCallBlock block_;
  int16_t hostVersion_ = 4;
  std::vector<JournalEntry> journal_;
  std::vector<std::string> violations_;
  std::vector<std::unique_ptr<HandleRecord>> handles_;
  int failResizes_ = 0;
  int16_t failCode_ = 0;
  int16_t lastMemoryError_ = 0;
  HostHandle lastParameter_ = nullptr;
  HostHandle lastReply_ = nullptr;
  std::size_t journalMark_ = 0;

  friend struct Services;
};

// One external call prepared once and sent many times, with the same
// parameter and reply handles: what a benchmark measures is then the
// plug-in's work, not the host's set-up of each call.
class RepeatedCall {
 public:
  RepeatedCall(Host &host, int32_t functionIndex, const std::string &parameter);
  ~RepeatedCall();
  RepeatedCall(const RepeatedCall &) = delete;
  RepeatedCall &operator=(const RepeatedCall &) = delete;

  void Send() { host_.SendPrepared(&block_); }
  std::string Reply() const { return host_.Bytes(reply_); }

 private:
  Host &host_;
  HostHandle parameter_;
  HostHandle reply_;
  ExternCallBlock block_;
};

}  // namespace hostsim

#endif
